// The sine ripple, byte per pixel and packed.
#include "Ripple.h"

#include <climits>
#include <cstddef>
#include <cstring>

namespace rv_halftone {
namespace kernels {
namespace {

// The mask's rows with only the low bitsPerPixel bits of each byte, packed as the kernels pack
// passCount passes that all read the same row: every pass of a column moves, or none.
void PackMaskRows(const KernelTable& kernels, const unsigned char* mask, int width, int rows,
                  int passCount, int bitsPerPixel, int rowBytes, unsigned char* packed)
{
    const unsigned char pixelBits = static_cast<unsigned char>((1 << bitsPerPixel) - 1);
    std::vector<unsigned char> row(static_cast<size_t>(width));
    const std::vector<const unsigned char*> passRows(static_cast<size_t>(passCount), row.data());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x)
            row[x] =
                static_cast<unsigned char>(mask[static_cast<long long>(y) * width + x] & pixelBits);
        PackRowFromBytesAnyShape(kernels, passRows.data(), passCount, width, bitsPerPixel,
                                 packed + static_cast<long long>(y) * rowBytes);
    }
}

// One row of the bands: the pixels `up` lets go move from bottom to top, `down` keeps the rest.
// Eight bytes at a time, since the packed rows are read as bytes of any alignment.
void RippleRow(unsigned char* top, unsigned char* bottom, const unsigned char* up,
               const unsigned char* down, long long bytes)
{
    long long i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t t, b, u, d;
        std::memcpy(&t, top + i, 8);
        std::memcpy(&b, bottom + i, 8);
        std::memcpy(&u, up + i, 8);
        std::memcpy(&d, down + i, 8);
        t |= u & b;
        b &= d;
        std::memcpy(top + i, &t, 8);
        std::memcpy(bottom + i, &b, 8);
    }
    for (; i < bytes; ++i) {
        top[i] = static_cast<unsigned char>(top[i] | (up[i] & bottom[i]));
        bottom[i] = static_cast<unsigned char>(bottom[i] & down[i]);
    }
}

}  // namespace

bool RippleBandsOf(const RippleMask& mask, int width, int height, RippleBands& bands)
{
    if (mask.rows < 1 || mask.width < 1 || mask.featherHeight < mask.rows || width != mask.width ||
        height < mask.featherHeight + mask.rows)
        return false;
    bands.topRow = mask.featherHeight - mask.rows;
    bands.bottomRow = height - mask.rows;
    bands.count = mask.rows;
    return true;
}

void RippleBytes(const RippleMask& mask, const RippleBands& bands, unsigned char* block)
{
    // The bands never overlap, so the rows may be done together.
    RippleRow(block + static_cast<long long>(bands.topRow) * mask.width,
              block + static_cast<long long>(bands.bottomRow) * mask.width, mask.up, mask.down,
              static_cast<long long>(bands.count) * mask.width);
}

bool PackedRipple::Create(const KernelTable& kernels, const RippleMask& mask, int width, int height,
                          int passCount, int bitsPerPixel)
{
    m_bands = RippleBands{0, 0, 0};
    m_rowBytes = 0;
    m_up.clear();
    m_down.clear();
    RippleBands bands{};
    if (!RippleBandsOf(mask, width, height, bands))
        return true;
    if (passCount < 1 || bitsPerPixel < 1 || bitsPerPixel > 2)
        return false;
    const long long rowBytes = (static_cast<long long>(width) * passCount * bitsPerPixel + 7) / 8;
    const long long bytes = rowBytes * bands.count;
    if (rowBytes > INT_MAX || bytes > INT_MAX)
        return false;
    m_up.resize(static_cast<size_t>(bytes));
    m_down.resize(static_cast<size_t>(bytes));
    m_rowBytes = static_cast<int>(rowBytes);
    PackMaskRows(kernels, mask.up, width, bands.count, passCount, bitsPerPixel, m_rowBytes,
                 m_up.data());
    PackMaskRows(kernels, mask.down, width, bands.count, passCount, bitsPerPixel, m_rowBytes,
                 m_down.data());
    m_bands = bands;
    return true;
}

void PackedRipple::Apply(unsigned char* unitRows, long long rowStride) const
{
    for (int y = 0; y < m_bands.count; ++y) {
        const long long maskRow = static_cast<long long>(y) * m_rowBytes;
        RippleRow(unitRows + (m_bands.topRow + y) * rowStride,
                  unitRows + (m_bands.bottomRow + y) * rowStride, m_up.data() + maskRow,
                  m_down.data() + maskRow, m_rowBytes);
    }
}

}  // namespace kernels
}  // namespace rv_halftone
