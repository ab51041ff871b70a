// A working buffer of threshold layers: each layer is one stored plane tiled to any size.
#pragma once

#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <memory>

// Layer k holds plane (k mod 16): sample (x, y) of layer k equals that plane at column x mod 544,
// row y mod 544. Written only by Create on its owner's thread; afterwards any number of threads
// may read it. Not copyable.
class RV_HALFTONE_API CBaseMaskData
{
public:
    CBaseMaskData();
    ~CBaseMaskData();
    CBaseMaskData(const CBaseMaskData&) = delete;
    CBaseMaskData& operator=(const CBaseMaskData&) = delete;

    // Builds `count` layers of width x height samples, replacing earlier ones. False, with a
    // failure record and nothing changed, for a negative size or one whose bytes do not fit an
    // int; allocation failure throws std::bad_alloc.
    bool Create(int width, int height, int count);
    // First sample of layer k (row-major, Width() samples per row).
    unsigned short* MaskData(int k) const;
    int Width() const;
    int Height() const;
    int Count() const;

private:
    int m_width;
    int m_height;
    int m_count;
    std::unique_ptr<unsigned short[]> m_data;
};
