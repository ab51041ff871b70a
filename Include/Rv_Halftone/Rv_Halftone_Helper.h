// The pixel kernels of mask rendering: cutting a threshold window into a byte-per-pixel block, and
// packing such blocks, pixel-interleaved, into bit-packed mask rows.
#pragma once

#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <string>

class CBandData;

// What GenerateMaskData_XRes cuts, and from where.
struct SGenerateMaskParam_In
{
    const SCutTable* cutTable;             // one entry per block row: [low, high) of that row
    int cutTableCount;                     // not read: the block height bounds the rows used
    const unsigned short* thresholdLayer;  // row-major, thresholdWidth samples per row
    int thresholdRowStart;                 // layer row that block row 0 reads
    int thresholdColumnStart;              // layer column that block column 0 reads
    int thresholdHeight;                   // layer rows; row indices wrap modulo it
    int thresholdWidth;                    // layer columns and row stride; columns wrap modulo it
    int bitsPerPixel;                      // index into the pixel value table
};

// What MergeMaskData_YRes packs, and where to.
struct SMergeMaskParam
{
    int bitsPerPixel;              // bits per pixel in the output, 1 to 8
    const CMaskBlock* maskBlocks;  // maskBlockCount blocks of one width and height
    int maskBlockCount;            // blocks interleaved pixel by pixel (K)
    int lineStart;                 // output row of block row 0
    int lineStep;                  // output rows between consecutive block rows
    unsigned char* outBuffer;      // row 0, byte 0 of the destination
    int maskLineBytes;             // bytes per output row
};

class RV_HALFTONE_API Halftone_Helper
{
public:
    // The byte of a set pixel in a byte-per-pixel block, by bits per pixel: all of its bits set.
    static constexpr int PixelValueTable_Count = 3;
    static constexpr unsigned char PixelValueTable[PixelValueTable_Count] = {0x00, 0x01, 0x03};

    // Sets block byte (y, x) to the pixel value when cutTable[y].low <= t < cutTable[y].high for
    // the sample t at layer row (thresholdRowStart + y), column (thresholdColumnStart + x), both
    // wrapped. Other bytes are not written, so the caller clears the block first. False, with a
    // failure record, only for a record that would read outside the layer or the pixel value
    // table (no layer, a layer size below 1, bitsPerPixel outside 0 to 2).
    static bool GenerateMaskData_XRes(SGenerateMaskParam_In& param, const CMaskBlock& block);

    // ORs the blocks into the output: block row y goes to output row lineStart + y x lineStep,
    // whose pixels are (x0 of block 0, x0 of block 1, ..., x1 of block 0, ...), packed from the
    // most significant bit down. Bits already set stay set. False, with a failure record, only
    // for a record it cannot read safely (bitsPerPixel outside 1 to 8, missing pointers, or
    // blocks of different sizes).
    static bool MergeMaskData_YRes(const SMergeMaskParam& param);

    // Development hooks. Writes nothing (no output format is fixed) and returns true.
    static bool OutputCutTable_Debug(const SCutTable* table, int count, std::string fileName);
    // Creates `band` (width x height, bitsPerPixel, as the band decoder does) and copies each of
    // the `height` packed lines of `lineBytes` bytes into it, cut to the band's stride. The
    // packing must already match the band's. False, with a failure record, when the band cannot be
    // created or data is null (or lineBytes negative); the band then stays as created.
    static bool Mask2Band_Debug(const unsigned char* data, int width, int height, int lineBytes,
                                int bitsPerPixel, CBandData& band);
};
