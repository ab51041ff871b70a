// A byte-per-pixel mask whose boundary follows one sine period across its width, and its bitwise
// complement: the generator splits the last rows of every feathered block along this curve.
#pragma once

#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <memory>

enum ESinMaskType
{
    SinMaskType_Ripple = 1,     // what the generator builds
    SinMaskType_Alternate = 2,  // computed and discarded: leaves the object without a mask
};

// Built once by Create, read-only afterwards: any number of threads may read it at once.
class RV_HALFTONE_API CSineMask
{
public:
    CSineMask();
    ~CSineMask();
    CSineMask(const CSineMask&) = delete;
    CSineMask& operator=(const CSineMask&) = delete;

    // featherHeight rows per feather band, maskWidth pixels per row, bitsPerPixel 0 to 2 (selects
    // the byte of a set pixel). The mask gets min(featherHeight / 2, maskWidth / 10) rows. False,
    // with a failure record, for a type other than 1 or 2, a negative size or a bitsPerPixel
    // outside 0 to 2.
    bool Create(int featherHeight, int maskWidth, int bitsPerPixel, ESinMaskType type);

    int FeatherHeight_Get() const;
    int MaskWidth_Get() const;
    int MaskHeight_Get() const;
    int MaskSize_Get() const;  // bytes in each buffer
    // Bytes of one feather band: MaskWidth_Get() x FeatherHeight_Get().
    int FeatherMask_Size() const;
    // Byte offset of the mask's first row within a feather band: the mask covers the band's last
    // MaskHeight_Get() rows.
    int SineMask_Offset_InFeather() const;
    // Row-major, MaskWidth_Get() bytes per row: the pixel byte at and above the curve, 0 below.
    const unsigned char* MaskBuffer_Down_Get() const;
    // Bitwise NOT of the down buffer: ANDing a pixel byte with it keeps exactly the pixels that
    // the down buffer does not cover.
    const unsigned char* MaskBuffer_Up_Get() const;

private:
    bool GenerateMaskData_Down();
    bool GenerateMaskData_Byte_Down(unsigned char* buffer, int size);
    bool GenerateMaskData_Up_By_Down();

    int m_featherHeight;
    ESinMaskType m_sinMaskType;
    int m_maskHeight;
    int m_maskWidth;
    int m_bitsPerPixel;
    std::unique_ptr<unsigned char[]> m_maskBuffer_Down;
    std::unique_ptr<unsigned char[]> m_maskBuffer_Up;
    int m_maskSize;
};
