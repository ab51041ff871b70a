// The sine ripple, byte per pixel and packed.
#include "Ripple.h"

#include "PixelKernels_Plain.h"

#include <climits>
#include <cstddef>

namespace rv_halftone {
namespace kernels {
namespace {

// The mask's rows with only the low bitsPerPixel bits of each byte, packed as the kernels pack
// passCount passes that all read the same row: every pass of a column moves, or none.
void PackMaskRows(const unsigned char* mask, int width, int rows, int passCount, int bitsPerPixel,
                  int rowBytes, unsigned char* packed)
{
    const unsigned char pixelBits = static_cast<unsigned char>((1 << bitsPerPixel) - 1);
    std::vector<unsigned char> row(static_cast<size_t>(width));
    const std::vector<const unsigned char*> passRows(static_cast<size_t>(passCount), row.data());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x)
            row[x] =
                static_cast<unsigned char>(mask[static_cast<long long>(y) * width + x] & pixelBits);
        plain::PackRowFromBytes(passRows.data(), passCount, width, bitsPerPixel,
                                packed + static_cast<long long>(y) * rowBytes);
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
    const long long size = static_cast<long long>(bands.count) * mask.width;
    unsigned char* const top = block + static_cast<long long>(bands.topRow) * mask.width;
    unsigned char* const bottom = block + static_cast<long long>(bands.bottomRow) * mask.width;
    for (long long i = 0; i < size; ++i)
        top[i] = static_cast<unsigned char>(top[i] | (mask.up[i] & bottom[i]));
    for (long long i = 0; i < size; ++i)
        bottom[i] = static_cast<unsigned char>(bottom[i] & mask.down[i]);
}

bool PackedRipple::Create(const RippleMask& mask, int width, int height, int passCount,
                          int bitsPerPixel)
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
    PackMaskRows(mask.up, width, bands.count, passCount, bitsPerPixel, m_rowBytes, m_up.data());
    PackMaskRows(mask.down, width, bands.count, passCount, bitsPerPixel, m_rowBytes, m_down.data());
    m_bands = bands;
    return true;
}

void PackedRipple::Apply(unsigned char* unitRows, long long rowStride) const
{
    for (int y = 0; y < m_bands.count; ++y) {
        unsigned char* const top = unitRows + (m_bands.topRow + y) * rowStride;
        unsigned char* const bottom = unitRows + (m_bands.bottomRow + y) * rowStride;
        const unsigned char* const up = m_up.data() + static_cast<long long>(y) * m_rowBytes;
        const unsigned char* const down = m_down.data() + static_cast<long long>(y) * m_rowBytes;
        for (int i = 0; i < m_rowBytes; ++i) {
            top[i] = static_cast<unsigned char>(top[i] | (up[i] & bottom[i]));
            bottom[i] = static_cast<unsigned char>(bottom[i] & down[i]);
        }
    }
}

}  // namespace kernels
}  // namespace rv_halftone
