// The plain variant: the byte-per-pixel loops, one pixel at a time, which define the bytes every
// fast variant must give.
#include "PixelKernels_Plain.h"

#include <algorithm>
#include <vector>

namespace rv_halftone {
namespace kernels {
namespace plain {

void CutRowToBytes(const uint16_t* layerRow, int layerWidth, int columnStart, int width,
                   SCutTable cut, unsigned char value, unsigned char* blockRow)
{
    const unsigned int low = cut.low;
    const unsigned int high = cut.high;
    int column = columnStart;
    for (int x = 0; x < width; ++x) {
        const unsigned int level = layerRow[column];
        if (low <= level && level < high)
            blockRow[x] = value;
        if (++column == layerWidth)
            column = 0;
    }
}

bool PackRowFromBytes(const unsigned char* const* blockRows, int blockCount, int width,
                      int bitsPerPixel, unsigned char* out)
{
    // The shift runs on across the columns and blocks of a row.
    int shift = 8 - bitsPerPixel;
    for (int x = 0; x < width; ++x) {
        for (int k = 0; k < blockCount; ++k) {
            *out = static_cast<unsigned char>(*out | ((blockRows[k][x] << shift) & 0xFF));
            shift -= bitsPerPixel;
            if (shift < 0) {
                shift = 8 - bitsPerPixel;
                ++out;
            }
        }
    }
    return true;
}

void CutPackRows(const CutPackJob& job)
{
    if (job.rows <= 0 || job.width <= 0 || job.passCount < 1 ||
        (job.bitsPerPixel != 1 && job.bitsPerPixel != 2))
        return;
    const unsigned char value = job.bitsPerPixel == 1 ? 0x01 : 0x03;
    const size_t width = static_cast<size_t>(job.width);
    std::vector<unsigned char> bytes(width * static_cast<size_t>(job.passCount));
    std::vector<const unsigned char*> rows(static_cast<size_t>(job.passCount));
    for (int k = 0; k < job.passCount; ++k)
        rows[k] = bytes.data() + width * k;
    int layerRow = job.layerRowStart % job.layerHeight;
    for (int y = 0; y < job.rows; ++y) {
        std::fill(bytes.begin(), bytes.end(), static_cast<unsigned char>(0));
        const uint16_t* samples = job.layer + static_cast<long long>(layerRow) * job.layerWidth;
        for (int k = 0; k < job.passCount; ++k) {
            CutRowToBytes(samples, job.layerWidth, job.columnStarts[k] % job.layerWidth, job.width,
                          job.cutTable[y], value, bytes.data() + width * k);
        }
        PackRowFromBytes(rows.data(), job.passCount, job.width, job.bitsPerPixel,
                         job.out + job.outRowStride * y);
        if (++layerRow == job.layerHeight)
            layerRow = 0;
    }
}

}  // namespace plain

const KernelTable& PlainKernels()
{
    static const KernelTable table = {Variant::Plain, "plain", plain::CutPackRows,
                                      plain::CutRowToBytes, plain::PackRowFromBytes};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone
