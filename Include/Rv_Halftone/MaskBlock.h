// A two-dimensional block of bytes with its own storage.
#pragma once

#include <Rv_Halftone/Rv_Halftone_Export.h>
#include <ZebCommon/ExpandBuffer.h>

// Used as a byte-per-pixel block (one byte a pixel, 0 = no dot) and as a flat output buffer
// (width = bytes, height = colours). Row r starts at byte r x Width(). One thread uses a block at a
// time, except an output block whose disjoint rows the generator's workers write at once.
class RV_HALFTONE_API CMaskBlock
{
public:
    CMaskBlock();
    CMaskBlock(const CMaskBlock& other);             // owns a copy of the bytes
    CMaskBlock& operator=(const CMaskBlock& other);  // likewise
    ~CMaskBlock();

    // Sizes the block to width x height bytes, all 0. False (with a failure record, block
    // unchanged) for a negative size or one whose byte count does not fit an int.
    bool Create(int width, int height);
    // Sets every byte to 0; the size stays.
    void ClearMaskData();

    unsigned char* MaskData() const;  // writable although the block is const
    const unsigned char* MaskData_Const() const;
    int MaskDataBytesCount() const;
    int Width() const;
    int Height() const;

private:
    int m_width;
    int m_height;
    ExpandBuffer m_maskBuffer;
};
