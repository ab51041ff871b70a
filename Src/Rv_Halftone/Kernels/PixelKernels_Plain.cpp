// The plain variant: the byte-per-pixel loops, one pixel at a time, which define the bytes every
// fast variant must give.
#include "PixelKernels_Plain.h"

#include <cstring>
#include <new>

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

// The caller's scratch: one row pointer per pass, then the passes' byte-per-pixel rows.
long long CutPackScratchWords(int /*layerWidth*/, int passCount, int width)
{
    static_assert(sizeof(const unsigned char*) <= sizeof(uint64_t), "a pointer per word");
    const long long rowBytes = static_cast<long long>(width) * passCount;
    return passCount + (rowBytes + 7) / 8;
}

void CutPackRows(const CutPackJob& job)
{
    if (job.rows <= 0 || job.width <= 0 || job.passCount < 1 ||
        (job.bitsPerPixel != 1 && job.bitsPerPixel != 2))
        return;
    const unsigned char value = job.bitsPerPixel == 1 ? 0x01 : 0x03;
    const size_t width = static_cast<size_t>(job.width);
    const size_t rowBytes = width * static_cast<size_t>(job.passCount);
    void* const pointerWords = job.scratch;
    const unsigned char** const rows = static_cast<const unsigned char**>(pointerWords);
    unsigned char* const bytes = reinterpret_cast<unsigned char*>(job.scratch + job.passCount);
    for (int k = 0; k < job.passCount; ++k)
        new (rows + k) const unsigned char*(bytes + width * k);
    int layerRow = job.layerRowStart % job.layerHeight;
    for (int y = 0; y < job.rows; ++y) {
        std::memset(bytes, 0, rowBytes);
        const uint16_t* samples = job.layer + static_cast<long long>(layerRow) * job.layerWidth;
        for (int k = 0; k < job.passCount; ++k) {
            CutRowToBytes(samples, job.layerWidth, job.columnStarts[k] % job.layerWidth, job.width,
                          job.cutTable[y], value, bytes + width * k);
        }
        PackRowFromBytes(rows, job.passCount, job.width, job.bitsPerPixel,
                         job.out + job.outRowStride * y);
        if (++layerRow == job.layerHeight)
            layerRow = 0;
    }
}

}  // namespace plain

const KernelTable& PlainKernels()
{
    static const KernelTable table = {Variant::Plain, plain::CutPackRows,
                                      plain::CutPackScratchWords, plain::CutRowToBytes,
                                      plain::PackRowFromBytes};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone
