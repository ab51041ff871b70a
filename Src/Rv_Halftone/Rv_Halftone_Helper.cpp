// Halftone_Helper: the two pixel kernels, as plain reference loops.
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "Rv_Halftone_Internal.h"

namespace {

// Index in [0, size) of `index`, wrapping in both directions (size >= 1).
int WrapIndex(int index, int size)
{
    const int wrapped = index % size;
    return wrapped < 0 ? wrapped + size : wrapped;
}

bool GenerateParam_Readable(const SGenerateMaskParam_In& param)
{
    return param.cutTable != nullptr && param.thresholdLayer != nullptr &&
           param.thresholdHeight >= 1 && param.thresholdWidth >= 1 && param.bitsPerPixel >= 0 &&
           param.bitsPerPixel < Halftone_Helper::PixelValueTable_Count;
}

bool MergeParam_Readable(const SMergeMaskParam& param)
{
    if (param.maskBlocks == nullptr || param.outBuffer == nullptr || param.bitsPerPixel < 1 ||
        param.bitsPerPixel > 8)
        return false;
    // Every block is read with block 0's width and height.
    const CMaskBlock& first = param.maskBlocks[0];
    for (int k = 1; k < param.maskBlockCount; ++k) {
        if (param.maskBlocks[k].Width() != first.Width() ||
            param.maskBlocks[k].Height() != first.Height())
            return false;
    }
    return true;
}

}  // namespace

bool Halftone_Helper::GenerateMaskData_XRes(SGenerateMaskParam_In& param, const CMaskBlock& block)
{
    const int width = block.Width();
    const int height = block.Height();
    if (width < 1 || height < 1)
        return true;
    if (!GenerateParam_Readable(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    const unsigned char pixelValue = PixelValueTable[param.bitsPerPixel];
    unsigned char* const blockBytes = block.MaskData();
    const int firstColumn = WrapIndex(param.thresholdColumnStart, param.thresholdWidth);
    int layerRow = WrapIndex(param.thresholdRowStart, param.thresholdHeight);
    for (int y = 0; y < height; ++y) {
        const unsigned short* const samples =
            param.thresholdLayer + static_cast<long long>(layerRow) * param.thresholdWidth;
        const unsigned int low = param.cutTable[y].low;
        const unsigned int high = param.cutTable[y].high;
        unsigned char* const blockRow = blockBytes + static_cast<long long>(y) * width;
        int layerColumn = firstColumn;
        for (int x = 0; x < width; ++x) {
            const unsigned int level = samples[layerColumn];
            if (low <= level && level < high)
                blockRow[x] = pixelValue;
            if (++layerColumn == param.thresholdWidth)
                layerColumn = 0;
        }
        if (++layerRow == param.thresholdHeight)
            layerRow = 0;
    }
    return true;
}

bool Halftone_Helper::MergeMaskData_YRes(const SMergeMaskParam& param)
{
    if (param.maskBlockCount < 1)
        return true;
    if (!MergeParam_Readable(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    const int bits = param.bitsPerPixel;
    const int width = param.maskBlocks[0].Width();
    const int height = param.maskBlocks[0].Height();
    for (int y = 0; y < height; ++y) {
        unsigned char* out =
            param.outBuffer +
            (static_cast<long long>(param.lineStep) * y + param.lineStart) * param.maskLineBytes;
        // The shift runs on across the columns and blocks of a row; it restarts only per row.
        int shift = 8 - bits;
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < param.maskBlockCount; ++k) {
                const unsigned char pixel =
                    param.maskBlocks[k].MaskData_Const()[static_cast<long long>(y) * width + x];
                // Bits shifted above the byte are dropped.
                *out = static_cast<unsigned char>(*out | ((pixel << shift) & 0xFF));
                shift -= bits;
                if (shift < 0) {
                    shift = 8 - bits;
                    ++out;
                }
            }
        }
    }
    return true;
}
