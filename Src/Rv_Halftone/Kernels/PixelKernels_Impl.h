// The fast pixel work, written once over an instruction-set policy `Ops`. Each variant's
// translation unit sets its target options, includes this file and defines its Ops. Every
// function here has internal linkage: a copy compiled for AVX2 can never be picked by the
// linker for a caller that runs the portable variant.
//
// Ops provides, for a compile-time reversal R (0, 1, 3 or 7):
//   Cutter(CutRange r), with uint64_t Mask64<R>(const uint16_t* s)  bit j: s[j ^ R] in r
//   uint64_t PlaneMask64<R, P>(const unsigned char* b)    bit j: bit P of b[j ^ R]
//   uint64_t Spread<E>(uint64_t v, int at)                bit i of the low 64/E bits to E i + at
//   void ExpandToBytes(uint64_t m, int n, unsigned char v, unsigned char* d)  d[j] = v, set bits
//
// How a packed row comes out of 64-bit masks. With E output bits per x position (X passes of
// b bits, E = X x b in 1, 2, 4, 8), one output byte holds G = 8 / E consecutive x positions and
// the first of them sits in the most significant bits. If each pass's mask holds x position
// G q + i at bit G q + (G - 1 - i), i.e. bit j holds position j ^ (G - 1), then spreading
// every mask to every E-th bit and stacking the passes from the top down yields the output
// bytes in little-endian word order. Other pass counts take a per-pixel path.
//
// One pass reads its 64 samples straight into such a mask. Several passes read the same row at
// different starts, so the row's columns are decided once, in natural order, and each pass
// takes its 64 positions from those bits (then reversed into groups).
#pragma once

#include "PixelKernels.h"

#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "packed words are stored little-endian");

namespace rv_halftone {
namespace kernels {
namespace {

constexpr int kChunk = 64;  // x positions per mask word
// Padding for a partial chunk: no `high` exceeds it, so it never fires.
constexpr uint16_t kNeverFires = 0xFFFF;

// A cut entry as the kernels test it: t fires when (t - low) mod 2^16 <= limit. This is
// low <= t < high for every non-empty entry; empty ones (low >= high) are skipped before.
struct CutRange
{
    uint16_t low;
    uint16_t limit;
};

bool NonEmptyRange(SCutTable cut, CutRange& range)
{
    if (cut.low >= cut.high)
        return false;
    range.low = cut.low;
    range.limit = static_cast<uint16_t>(cut.high - cut.low - 1);
    return true;
}

int MinInt(int a, int b)
{
    return a < b ? a : b;
}

// The column `step` further on, wrapped into [0, layerWidth) (no division for wide rows).
int AdvanceColumn(int column, int step, int layerWidth)
{
    column += step;
    if (column < layerWidth)
        return column;
    return layerWidth >= step ? column - layerWidth : column % layerWidth;
}

uint64_t LowBits(int n)
{
    return n >= 64 ? ~0ull : (1ull << n) - 1;
}

// Reverses the order of the bits within each group of R + 1 (a mask of R = 0 stays).
template <int R>
uint64_t ReverseGroups(uint64_t v)
{
    if (R >= 1)
        v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    if (R >= 3)
        v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    if (R >= 7)
        v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
    return v;
}

// Copies n samples from `column` on, wrapping at the row's end, and pads the chunk.
__attribute__((noinline)) void GatherSamples(const uint16_t* layerRow, int layerWidth, int column,
                                             int n, uint16_t* chunk)
{
    int filled = 0;
    while (filled < n) {
        const int run = MinInt(n - filled, layerWidth - column);
        std::memcpy(chunk + filled, layerRow + column,
                    static_cast<size_t>(run) * sizeof(uint16_t));
        filled += run;
        column = 0;
    }
    for (int i = n; i < kChunk; ++i)
        chunk[i] = kNeverFires;
}

// The first n positions of a chunk, in its bit order.
template <int R>
uint64_t FirstPositions(int n)
{
    return ReverseGroups<R>(LowBits(n));
}

// A chunk that wraps or ends the row (at most two a row): at most two runs, each cut through a
// 64-sample window that lies inside the row and shifted into place. Shifts by whole groups keep
// the reversed order intact; other shifts are done in natural order, reversed afterwards. Only
// rows narrower than a window are copied (out of line, being rare).
template <int R, class Cutter>
__attribute__((always_inline)) inline uint64_t CutEdgeChunk(const Cutter& cutter,
                                                            const uint16_t* layerRow,
                                                            int layerWidth, int column, int n)
{
    constexpr int G = R + 1;
    if (layerWidth < kChunk) {
        alignas(64) uint16_t chunk[kChunk];
        GatherSamples(layerRow, layerWidth, column, n, chunk);
        return cutter.template Mask64<R>(chunk);
    }
    const int firstRun = MinInt(n, layerWidth - column);
    const int window = MinInt(column, layerWidth - kChunk);
    const int shift = column - window;
    if (shift % G == 0 && (firstRun == n || firstRun % G == 0)) {
        uint64_t mask = (cutter.template Mask64<R>(layerRow + window) >> shift) &
                        FirstPositions<R>(firstRun);
        if (firstRun < n) {
            mask |= (cutter.template Mask64<R>(layerRow) & FirstPositions<R>(n - firstRun))
                    << firstRun;
        }
        return mask;
    }
    uint64_t mask =
        (cutter.template Mask64<0>(layerRow + window) >> shift) & LowBits(firstRun);
    if (firstRun < n)
        mask |= (cutter.template Mask64<0>(layerRow) & LowBits(n - firstRun)) << firstRun;
    return ReverseGroups<R>(mask);
}

// The decisions of n (<= 64) x positions read from `column` on, by a Cutter (Ops::Cutter holds
// one row's range); a chunk inside the row is read in place.
template <int R, class Cutter>
__attribute__((always_inline)) inline uint64_t CutChunk(const Cutter& cutter,
                                                        const uint16_t* layerRow, int layerWidth,
                                                        int column, int n)
{
    if (n == kChunk && column <= layerWidth - kChunk)
        return cutter.template Mask64<R>(layerRow + column);
    return CutEdgeChunk<R>(cutter, layerRow, layerWidth, column, n);
}

template <class Ops, int R, int P>
uint64_t PlaneChunk(const unsigned char* bytes, int n)
{
    if (n == kChunk)
        return Ops::template PlaneMask64<R, P>(bytes);
    alignas(64) unsigned char chunk[kChunk] = {};
    std::memcpy(chunk, bytes, static_cast<size_t>(n));
    return Ops::template PlaneMask64<R, P>(chunk);
}

// ORs the first `count` little-endian bytes of word into out.
void OrWord(unsigned char* out, uint64_t word, int count)
{
    if (count >= 8) {
        uint64_t current;
        std::memcpy(&current, out, sizeof current);
        current |= word;
        std::memcpy(out, &current, sizeof current);
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<unsigned char>(out[i] | (word >> (8 * i)));
}

constexpr bool PackedByWords(int bitsPerXPosition)
{
    return bitsPerXPosition == 1 || bitsPerXPosition == 2 || bitsPerXPosition == 4 ||
           bitsPerXPosition == 8;
}

// ---- Fused cut and pack ----

// A job's scratch array. Defined here rather than taken from the standard library so that no
// template compiled with a variant's instruction set is shared with other translation units.
template <class T>
class ScratchArray
{
public:
    explicit ScratchArray(int count) : m_data(new T[static_cast<size_t>(count)]) {}
    ~ScratchArray() { delete[] m_data; }
    ScratchArray(const ScratchArray&) = delete;
    ScratchArray& operator=(const ScratchArray&) = delete;
    T* Data() const { return m_data; }

private:
    T* m_data;
};

struct RowContext
{
    const uint16_t* layerRow;
    int layerWidth;
    const int* columns;  // wrapped start column of each pass
    int passCount;
    int width;
    int bitsPerPixel;
    CutRange range;
    unsigned char* out;
    int rowBytes;
    uint64_t* rowBits;  // RowWords(layerWidth) words of scratch
};

// Words that hold a row's decisions followed by a repeat of its first 64 columns.
int RowWords(int layerWidth)
{
    return (layerWidth + kChunk - 1) / kChunk + 1;
}

// With several passes every sample is read by each of them: decide each column once, in
// natural order, with the first columns repeated after the row's end so that the 64 columns
// from any start are two neighbouring words.
template <class Cutter>
void CutWholeRow(const Cutter& cutter, const uint16_t* layerRow, int layerWidth, uint64_t* bits)
{
    const int words = RowWords(layerWidth);
    int column = 0;
    for (int w = 0; w < words; ++w) {
        bits[w] = CutChunk<0>(cutter, layerRow, layerWidth, column, kChunk);
        column = AdvanceColumn(column, kChunk, layerWidth);
    }
}

// The 64 decisions from column `start` (in [0, layerWidth)) on.
__attribute__((always_inline)) inline uint64_t RowBitsFrom(const uint64_t* bits, int start)
{
    const unsigned word = static_cast<unsigned>(start) / kChunk;
    const unsigned offset = static_cast<unsigned>(start) % kChunk;
    if (offset == 0)
        return bits[word];
    return (bits[word] >> offset) | (bits[word + 1] << (kChunk - offset));
}

// Output word w of a chunk: every pass's mask spread to every E-th bit, passes stacked from
// the top bit of each E-bit group down. A 2-bit pixel is deposited at its low bit and tripled,
// which sets both bits (the deposited bits are E >= 2 apart, so nothing carries).
template <class Ops, int X, int B>
__attribute__((always_inline)) inline uint64_t StackPasses(const uint64_t* mask, int w)
{
    constexpr int E = X * B;
    constexpr int kBitsPerWord = kChunk / E;  // mask bits that fill one output word
    uint64_t word = 0;
#pragma GCC unroll 8
    for (int k = 0; k < X; ++k) {
        const uint64_t bits = mask[k] >> (w * kBitsPerWord);
        if (B == 2)
            word |= Ops::template Spread<E>(bits, E - 2 - 2 * k) * 3;
        else
            word |= Ops::template Spread<E>(bits, E - 1 - k);
    }
    return word;
}

// ORs a chunk's E output words, made by wordOf(w), into the row, of which `available` bytes
// are left from here. Each word is stored as soon as it is made: gathering them for one wide
// store would make the processor wait for the narrow stores to land first.
template <int E, class WordOf>
__attribute__((always_inline)) inline void OrChunk(const WordOf& wordOf, unsigned char* out,
                                                   int available)
{
    if (available >= 8 * E) {
#pragma GCC unroll 8
        for (int w = 0; w < E; ++w)
            OrWord(out + 8 * w, wordOf(w), 8);
        return;
    }
    for (int w = 0; w < E && 8 * w < available; ++w)
        OrWord(out + 8 * w, wordOf(w), MinInt(8, available - 8 * w));
}

template <class Ops, int X, int B>
void CutPackRow_Words(const RowContext& row)
{
    constexpr int E = X * B;
    constexpr int R = 8 / E - 1;
    // Locals: the output stores could otherwise alias the context and force reloads.
    const uint16_t* const layerRow = row.layerRow;
    const int layerWidth = row.layerWidth;
    const int width = row.width;
    const int rowBytes = row.rowBytes;
    unsigned char* const out = row.out;
    const typename Ops::Cutter cutter(row.range);
    if (X > 1)
        CutWholeRow(cutter, layerRow, layerWidth, row.rowBits);
    int column[X];
    for (int k = 0; k < X; ++k)
        column[k] = row.columns[k];
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int n = MinInt(kChunk, width - x0);
        uint64_t mask[X];
#pragma GCC unroll 8
        for (int k = 0; k < X; ++k) {
            // One pass reads its samples directly, in output order; several share the row's.
            if (X == 1)
                mask[k] = CutChunk<R>(cutter, layerRow, layerWidth, column[k], n);
            else
                mask[k] = ReverseGroups<R>(RowBitsFrom(row.rowBits, column[k]) & LowBits(n));
            column[k] = AdvanceColumn(column[k], kChunk, layerWidth);
        }
        const int firstByte = x0 / 8 * E;
        OrChunk<E>([&mask](int w) { return StackPasses<Ops, X, B>(mask, w); }, out + firstByte,
                   rowBytes - firstByte);
    }
}

// Any pass count: each fired pixel is set on its own.
template <class Ops>
void CutPackRow_Pixels(const RowContext& row)
{
    const unsigned char pixelBits = row.bitsPerPixel == 1 ? 0x80 : 0xC0;
    CutWholeRow(typename Ops::Cutter(row.range), row.layerRow, row.layerWidth, row.rowBits);
    for (int k = 0; k < row.passCount; ++k) {
        int column = row.columns[k];
        for (int x0 = 0; x0 < row.width; x0 += kChunk) {
            const int n = MinInt(kChunk, row.width - x0);
            uint64_t mask = RowBitsFrom(row.rowBits, column) & LowBits(n);
            column = AdvanceColumn(column, kChunk, row.layerWidth);
            while (mask != 0) {
                const int j = __builtin_ctzll(mask);
                mask &= mask - 1;
                const long long bit =
                    (static_cast<long long>(x0 + j) * row.passCount + k) * row.bitsPerPixel;
                row.out[bit >> 3] = static_cast<unsigned char>(row.out[bit >> 3] |
                                                               (pixelBits >> (bit & 7)));
            }
        }
    }
}

template <class Ops>
void (*CutPackRowFor(int passCount, int bitsPerPixel))(const RowContext&)
{
    switch (passCount * 10 + bitsPerPixel) {
    case 11: return CutPackRow_Words<Ops, 1, 1>;
    case 12: return CutPackRow_Words<Ops, 1, 2>;
    case 21: return CutPackRow_Words<Ops, 2, 1>;
    case 22: return CutPackRow_Words<Ops, 2, 2>;
    case 41: return CutPackRow_Words<Ops, 4, 1>;
    case 42: return CutPackRow_Words<Ops, 4, 2>;
    case 81: return CutPackRow_Words<Ops, 8, 1>;
    default: return CutPackRow_Pixels<Ops>;
    }
}

template <class Ops>
void CutPackRows(const CutPackJob& job)
{
    if (job.rows <= 0 || job.width <= 0 || job.passCount < 1 ||
        (job.bitsPerPixel != 1 && job.bitsPerPixel != 2))
        return;
    const ScratchArray<int> columns(job.passCount);
    for (int k = 0; k < job.passCount; ++k)
        columns.Data()[k] = job.columnStarts[k] % job.layerWidth;
    const ScratchArray<uint64_t> rowBits(RowWords(job.layerWidth));

    RowContext row{};
    row.layerWidth = job.layerWidth;
    row.columns = columns.Data();
    row.passCount = job.passCount;
    row.width = job.width;
    row.bitsPerPixel = job.bitsPerPixel;
    row.rowBytes = static_cast<int>(
        (static_cast<long long>(job.width) * job.passCount * job.bitsPerPixel + 7) / 8);
    row.rowBits = rowBits.Data();
    void (*const cutPackRow)(const RowContext&) =
        CutPackRowFor<Ops>(job.passCount, job.bitsPerPixel);

    int layerRow = job.layerRowStart % job.layerHeight;
    for (int y = 0; y < job.rows; ++y) {
        if (NonEmptyRange(job.cutTable[y], row.range)) {
            row.layerRow = job.layer + static_cast<long long>(layerRow) * job.layerWidth;
            row.out = job.out + job.outRowStride * y;
            cutPackRow(row);
        }
        if (++layerRow == job.layerHeight)
            layerRow = 0;
    }
}

// ---- Byte-per-pixel cut ----

template <class Ops>
void CutRowToBytes(const uint16_t* layerRow, int layerWidth, int columnStart, int width,
                   SCutTable cut, unsigned char value, unsigned char* blockRow)
{
    CutRange range;
    if (!NonEmptyRange(cut, range))
        return;
    const typename Ops::Cutter cutter(range);
    int column = columnStart % layerWidth;
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int n = MinInt(kChunk, width - x0);
        const uint64_t mask = CutChunk<0>(cutter, layerRow, layerWidth, column, n);
        Ops::ExpandToBytes(mask, n, value, blockRow + x0);
        column = AdvanceColumn(column, kChunk, layerWidth);
    }
}

// ---- Packing byte-per-pixel rows ----

template <class Ops, int K, int B>
void PackRow_Words(const unsigned char* const* blockRows, int width, unsigned char* out,
                   int rowBytes)
{
    constexpr int E = K * B;
    constexpr int R = 8 / E - 1;
    constexpr int kBitsPerWord = kChunk / E;
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int n = MinInt(kChunk, width - x0);
        // plane[k][0] is the pixel's high bit (bit B - 1), which comes first in the output.
        uint64_t plane[K][B];
        for (int k = 0; k < K; ++k) {
            plane[k][0] = PlaneChunk<Ops, R, B - 1>(blockRows[k] + x0, n);
            if (B == 2)
                plane[k][B - 1] = PlaneChunk<Ops, R, 0>(blockRows[k] + x0, n);
        }
        // Word w: every block's bit planes spread to every E-th bit, stacked from the top down.
        const auto wordOf = [&plane](int w) {
            uint64_t word = 0;
            for (int k = 0; k < K; ++k) {
                for (int p = 0; p < B; ++p) {
                    word |= Ops::template Spread<E>(plane[k][p] >> (w * kBitsPerWord),
                                                    E - 1 - B * k - p);
                }
            }
            return word;
        };
        const int firstByte = x0 / 8 * E;
        OrChunk<E>(wordOf, out + firstByte, rowBytes - firstByte);
    }
}

// True when no byte has a bit outside `allowed`.
bool BytesWithin(const unsigned char* bytes, int count, unsigned char allowed)
{
    unsigned char seen = 0;
    for (int i = 0; i < count; ++i)
        seen = static_cast<unsigned char>(seen | bytes[i]);
    return (seen & ~allowed) == 0;
}

template <class Ops>
bool PackRowFromBytes(const unsigned char* const* blockRows, int blockCount, int width,
                      int bitsPerPixel, unsigned char* out)
{
    if (blockCount < 1 || width < 1)
        return true;  // nothing to write
    if (bitsPerPixel != 1 && bitsPerPixel != 2)
        return false;
    const long long bitsPerX = static_cast<long long>(blockCount) * bitsPerPixel;
    if (bitsPerX > 8 || !PackedByWords(static_cast<int>(bitsPerX)))
        return false;
    // A byte with bits above the pixel's would spill into its neighbours; the plain loop does
    // that exactly.
    const unsigned char allowed = static_cast<unsigned char>((1 << bitsPerPixel) - 1);
    for (int k = 0; k < blockCount; ++k) {
        if (!BytesWithin(blockRows[k], width, allowed))
            return false;
    }
    const int rowBytes = static_cast<int>((static_cast<long long>(width) * bitsPerX + 7) / 8);
    switch (blockCount * 10 + bitsPerPixel) {
    case 11: PackRow_Words<Ops, 1, 1>(blockRows, width, out, rowBytes); break;
    case 12: PackRow_Words<Ops, 1, 2>(blockRows, width, out, rowBytes); break;
    case 21: PackRow_Words<Ops, 2, 1>(blockRows, width, out, rowBytes); break;
    case 22: PackRow_Words<Ops, 2, 2>(blockRows, width, out, rowBytes); break;
    case 41: PackRow_Words<Ops, 4, 1>(blockRows, width, out, rowBytes); break;
    case 42: PackRow_Words<Ops, 4, 2>(blockRows, width, out, rowBytes); break;
    case 81: PackRow_Words<Ops, 8, 1>(blockRows, width, out, rowBytes); break;
    default: return false;
    }
    return true;
}

}  // namespace
}  // namespace kernels
}  // namespace rv_halftone
