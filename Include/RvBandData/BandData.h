// A band image: lines of pixels packed from the most significant bit down.
#pragma once

#include <RvBandData/RvBandData_Export.h>

#include <vector>

// Width() pixels on each of Height() lines, BitsPerPixel() bits a pixel; line y starts at
// Buffer() + y x LineStride(). The stride is the packed line rounded up to the line alignment given
// to Create, and the bits beyond the last pixel of a line stay 0. One thread writes a band at a
// time; a finished band may be read from any thread. Copies are made explicitly with Clone.
class RVBANDDATA_API CBandData
{
public:
    CBandData();
    virtual ~CBandData();
    CBandData(const CBandData&) = delete;
    CBandData& operator=(const CBandData&) = delete;

    // Replaces the band with a zero-filled one. bitsPerPixel is 1, 2, 4 or 8; lineAlign (bytes, at
    // least 1) is what each line stride is rounded up to. False, with the band unchanged, for a
    // width or height below 1, another bit depth or alignment, or a size whose bytes do not fit an
    // int.
    bool Create(int width, int height, int bitsPerPixel, int lineAlign);

    // A new band owned by the caller, never null: this one turned a quarter turn clockwise (the
    // first line becomes the right-most column) or anticlockwise (the first line becomes the
    // left-most column), with the same bits per pixel and line alignment. An empty band turns
    // into an empty band.
    CBandData* Rotate_Clockwise90_2Bit_To_2Bit() const;
    CBandData* Rotate_Anticlockwise90_2Bit_To_2Bit() const;

    // Makes `target` an independent copy of this band (an empty band copies to an empty band).
    bool Clone(CBandData& target) const;
    // Inverts every pixel bit in place; the padding after each line's last pixel stays 0. False
    // for an empty band.
    bool ConvertBuffer_Negative();

    // First byte of line 0; null for an empty band.
    unsigned char* Buffer();
    const unsigned char* Buffer() const;
    int LineStride() const;  // bytes from one line to the next
    int Width() const;       // pixels per line
    int Height() const;      // lines
    int BitsPerPixel() const;

private:
    int PixelValue(int x, int y) const;
    void PixelValue_Set(int x, int y, int value);
    int LineBits() const;
    CBandData* Rotate(bool clockwise) const;

    int m_width;
    int m_height;
    int m_bitsPerPixel;
    int m_lineAlign;
    int m_lineStride;
    std::vector<unsigned char> m_buffer;
};
