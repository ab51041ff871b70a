// The sine ripple of three-part smoothing: internal to the library, never installed.
//
// Where the ripple runs, the last rows of every unit are split along a sine curve: the pixels the
// curve's down mask covers stay, the others move to the same places in the last rows of the
// unit's first feather band. The byte-per-pixel form (RippleBytes) is the definition; the packed
// form (PackedRipple) does the same on rows that are already cut and packed, so that a ripple
// unit can take the fused kernels and gives the same bytes.
#pragma once

#include "PixelKernels.h"

#include <cstdint>
#include <vector>

namespace rv_halftone {
namespace kernels {

// The sine mask as the ripple reads it: `rows` rows of `width` bytes each, row-major. A down byte
// is the pixel value or 0, an up byte its complement.
struct RippleMask
{
    const unsigned char* down;
    const unsigned char* up;
    int width;
    int rows;
    int featherHeight;  // rows of a feather band; the mask covers its last `rows` rows
};

// The rows a ripple reads and writes in a unit: rows [bottomRow, bottomRow + count) give pixels
// to rows [topRow, topRow + count).
struct RippleBands
{
    int topRow;
    int bottomRow;
    int count;
};

// The bands in a unit of `height` rows of `width` pixels. False, leaving the unit as it is, for
// an empty mask, a width other than the mask's, or a unit shorter than a feather band plus the
// mask: its two bands would overlap, and moving would overwrite the pixels being moved.
bool RippleBandsOf(const RippleMask& mask, int width, int height, RippleBands& bands);

// The ripple on a byte-per-pixel block of the mask's width (one byte a pixel, rows adjacent).
void RippleBytes(const RippleMask& mask, const RippleBands& bands, unsigned char* block);

// The ripple on the packed rows of a unit: passCount blocks of the mask's width, interleaved
// pixel by pixel at bitsPerPixel bits, as the kernels pack them. The mask is packed once, for all
// units of a run; applying it allocates nothing.
class PackedRipple
{
public:
    // For units of `height` rows of `width` pixels a pass, packed with `kernels`. False, with
    // nothing kept, when the packed mask would not fit an int count of bytes; units the ripple
    // leaves alone (see RippleBandsOf) give an empty ripple.
    bool Create(const KernelTable& kernels, const RippleMask& mask, int width, int height,
                int passCount, int bitsPerPixel);
    // Unit row r starts at unitRows + r x rowStride; the unit's pixels must be 0 or all set, as
    // cut.
    void Apply(unsigned char* unitRows, long long rowStride) const;

private:
    RippleBands m_bands{0, 0, 0};
    int m_rowBytes = 0;
    std::vector<unsigned char> m_up;    // packed rows: a pixel's bits where it moves
    std::vector<unsigned char> m_down;  // packed rows: a pixel's bits where it stays
};

}  // namespace kernels
}  // namespace rv_halftone
