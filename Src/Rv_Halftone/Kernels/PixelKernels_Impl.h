// The fast pixel work, written once over an instruction-set policy `Ops`. Each variant's
// translation unit sets its target options, includes this file and defines its Ops. Every
// function here has internal linkage: a copy compiled for AVX2 can never be picked by the
// linker for a caller that runs the portable variant.
//
// Ops provides, for a compile-time reversal R (0, 1, 3 or 7) and spacing E (1 to 16):
//   Cutter(CutRange r), with uint64_t Mask64<R>(const uint16_t* s)  bit j: s[j ^ R] in r
//   uint64_t PlaneMask64<R, P>(const unsigned char* b)    bit j: bit P of b[j ^ R]
//   uint64_t Spread<E>(uint64_t v, int at)    bit i of v to bit E i + at, those past 63 dropped
//   void ExpandToBytes(uint64_t m, int n, unsigned char v, unsigned char* d)  d[j] = v, set bits
//   void PositionMajor<X, B>(const uint64_t* m, int stride, uint64_t* p)  X (<= 8) masks, mask
//       k at m[k x stride] with position i at bit 63 - i, to 8 B words of 8 / B slots of 8 B
//       bits: p[q] holds position 8 q / B + r in its slot 8 / B - 1 - r, mask k in B bits of
//       the slot, the k-th B bits from its top
//   uint64_t PackSlotTops<N, S>(uint64_t v)  the top N bits of each S-bit slot of v (S = 8 or
//       16), packed into the low 64 N / S bits in the same order
//   void OrDoubledWords<N>(const uint64_t* w, unsigned char* out)  N big-endian words of
//       one-bit pixels ORed into out as 2 N stored words of two-bit pixels
//   void ReversedRun(const uint64_t* w, int at, int count, uint64_t* m)  m[i] = the 64 bits of
//       the bit string w from bit at - 64 i up, for i < count; may also write m[count] to
//       m[count + kRunOvershoot - 1] and read down to w[-kRunOvershoot]
//
// A packed row holds E = X x b bits per x position (X passes of b bits), position after
// position, each byte filled from its most significant bit; with E from 3 to 16 a position may
// straddle bytes and words. The fused kernel packs 64 positions at a time into E words, each
// made big-endian and byte-swapped as it is stored, so that the first position lands in the
// top bits of the first byte. Every pass brings its 64 decisions as one mask with the positions
// in reverse order (position i at bit 63 - i), taken from the row's decisions, which are made
// once and kept mirrored. With few passes each mask is spread straight into every word (see
// LandingOffset); with more, all masks are transposed to a slot per position and the bits used
// of the slots packed together (see kPositionMajor).
// Packing byte-per-pixel rows takes the whole positions of a byte, E = 1, 2, 4 or 8 only, with
// masks whose groups of 8 / E bits are reversed (the R above) and spread into little-endian
// words.
#pragma once

#include "PixelKernels.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

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

int MinInt(int a, int b) { return a < b ? a : b; }

// The column `step` further on, wrapped into [0, layerWidth) (no division for wide rows).
int AdvanceColumn(int column, int step, int layerWidth)
{
    column += step;
    if (column < layerWidth)
        return column;
    return layerWidth >= step ? column - layerWidth : column % layerWidth;
}

// Every stride-th bit, from bit 0 on.
constexpr uint64_t StrideBits(int stride)
{
    uint64_t bits = 0;
    for (int i = 0; i < 64; i += stride)
        bits |= 1ull << i;
    return bits;
}

uint64_t LowBits(int n) { return n >= 64 ? ~0ull : (1ull << n) - 1; }

// Reverses the order of the bits within each group of R + 1 (a mask of R = 0 stays).
template <int R> uint64_t ReverseGroups(uint64_t v)
{
    if (R >= 1)
        v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    if (R >= 3)
        v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    if (R >= 7)
        v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
    return v;
}

// How far Ops::ReversedRun may work past a run: it takes the masks of four chunks at a time.
constexpr int kRunOvershoot = 3;

// The top n bits of every slot of `slot` bits.
constexpr uint64_t SlotTopBits(int n, int slot)
{
    uint64_t bits = 0;
    for (int at = 0; at < 64; at += slot)
        bits |= ((1ull << n) - 1) << (at + slot - n);
    return bits;
}

// Copies n samples from `column` on, wrapping at the row's end, and pads the chunk.
__attribute__((noinline)) void GatherSamples(const uint16_t* layerRow, int layerWidth, int column,
                                             int n, uint16_t* chunk)
{
    int filled = 0;
    while (filled < n) {
        const int run = MinInt(n - filled, layerWidth - column);
        std::memcpy(chunk + filled, layerRow + column, static_cast<size_t>(run) * sizeof(uint16_t));
        filled += run;
        column = 0;
    }
    for (int i = n; i < kChunk; ++i)
        chunk[i] = kNeverFires;
}

// The first n positions of a chunk, in its bit order.
template <int R> uint64_t FirstPositions(int n) { return ReverseGroups<R>(LowBits(n)); }

// A chunk that wraps or ends the row (at most two a row): at most two runs, each cut through a
// 64-sample window that lies inside the row and shifted into place. Shifts by whole groups keep
// the reversed order intact; other shifts are done in natural order, reversed afterwards. Only
// rows narrower than a window are copied (out of line, being rare).
template <int R, class Cutter>
__attribute__((always_inline)) inline uint64_t
CutEdgeChunk(const Cutter& cutter, const uint16_t* layerRow, int layerWidth, int column, int n)
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
        uint64_t mask =
            (cutter.template Mask64<R>(layerRow + window) >> shift) & FirstPositions<R>(firstRun);
        if (firstRun < n) {
            mask |= (cutter.template Mask64<R>(layerRow) & FirstPositions<R>(n - firstRun))
                    << firstRun;
        }
        return mask;
    }
    uint64_t mask = (cutter.template Mask64<0>(layerRow + window) >> shift) & LowBits(firstRun);
    if (firstRun < n)
        mask |= (cutter.template Mask64<0>(layerRow) & LowBits(n - firstRun)) << firstRun;
    return ReverseGroups<R>(mask);
}

// The decisions of n (<= 64) x positions read from `column` on, by a Cutter (Ops::Cutter holds
// one row's range); a chunk inside the row is read in place.
template <int R, class Cutter>
__attribute__((always_inline)) inline uint64_t
CutChunk(const Cutter& cutter, const uint16_t* layerRow, int layerWidth, int column, int n)
{
    if (n == kChunk && column <= layerWidth - kChunk)
        return cutter.template Mask64<R>(layerRow + column);
    return CutEdgeChunk<R>(cutter, layerRow, layerWidth, column, n);
}

template <class Ops, int R, int P> uint64_t PlaneChunk(const unsigned char* bytes, int n)
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
    uint64_t* rowBits;  // MirroredRowWords(layerWidth) words of scratch, kRunOvershoot before
};

// Words that hold a row's decisions followed by a repeat of its first 64 columns.
int RowWords(int layerWidth) { return (layerWidth + kChunk - 1) / kChunk + 1; }

// The scratch of a mirrored row: one more word, read (and shifted out) at the top.
int MirroredRowWords(int layerWidth) { return RowWords(layerWidth) + 1; }

// The caller's scratch: the words that runs read before the mirrored row (they take nothing from
// them), the mirrored row, then the passes' wrapped start columns.
long long CutPackScratchWords(int layerWidth, int passCount, int /*width*/)
{
    const long long columnWords = (static_cast<long long>(passCount) + 1) / 2;
    return kRunOvershoot + MirroredRowWords(layerWidth) + columnWords;
}

// With several passes every sample is read by each of them: decide each column once, into one
// bit string with the first columns repeated after the row's end, so that the 64 columns from
// any start are two neighbouring words. The string is kept mirrored, column c at its bit
// 64 x RowWords - 1 - c, because the packing takes each pass's positions in reverse order.
template <class Cutter>
void CutWholeRowMirrored(const Cutter& cutter, const uint16_t* layerRow, int layerWidth,
                         uint64_t* bits)
{
    const int words = RowWords(layerWidth);
    int column = 0;
    for (int w = 0; w < words; ++w) {
        // Reversed within bytes, then the bytes: all 64 reversed.
        bits[words - 1 - w] =
            __builtin_bswap64(CutChunk<7>(cutter, layerRow, layerWidth, column, kChunk));
        column = AdvanceColumn(column, kChunk, layerWidth);
    }
    bits[words] = 0;
}

// The bit of the mirrored row where the 64 decisions from `column` on start.
int MirroredStart(int layerWidth, int column)
{
    return kChunk * (RowWords(layerWidth) - 1) - column;
}

// The first n (1 to 64) positions of a reversed mask.
uint64_t FirstPositionsReversed(int n) { return ~0ull << (kChunk - n); }

// How a chunk of 64 x positions is packed. Taken with one bit per pixel, pass k of position i
// is bit t = X i + k of the chunk's stream, which fills X words. A word's bytes are stored
// first to last and each byte is filled from its top bit, so stream bit t of word w is bit
// 63 - (t - 64 w) of the word read big-endian. With the positions of every pass's mask reversed
// (position i at bit 63 - i), mask bit j of pass k lands on bit c + X j, c = 63 + 64 w - k -
// 63 X: one run at stride X, a spread of the mask shifted down to the first bit that lands in
// the word. A position whose passes straddle two words needs nothing more, as every single bit
// lies in one of them. Two bits per pixel double each bit of that stream afterwards.
constexpr int LandingOffset(int X, int w, int k) { return 63 + 64 * w - k - 63 * X; }

// The first mask bit of pass k that lands in word w.
constexpr int FirstLandingBit(int X, int w, int k)
{
    return LandingOffset(X, w, k) >= 0 ? 0 : (X - 1 - LandingOffset(X, w, k)) / X;
}

// Stream word W of a chunk, big-endian, from every pass's reversed mask (pass k's at
// masks[k x stride]).
template <class Ops, int X, int W, int... K>
__attribute__((always_inline)) inline uint64_t SpreadStreamWord(const uint64_t* masks, int stride,
                                                                std::integer_sequence<int, K...>)
{
    return (Ops::template Spread<X>(masks[K * stride] >> FirstLandingBit(X, W, K),
                                    LandingOffset(X, W, K) + X * FirstLandingBit(X, W, K)) |
            ...);
}

template <class Ops, int X, int... W>
__attribute__((always_inline)) inline void FillSpreadWords(const uint64_t* masks, int stride,
                                                           uint64_t* words,
                                                           std::integer_sequence<int, W...>)
{
    ((words[W] = SpreadStreamWord<Ops, X, W>(masks, stride, std::make_integer_sequence<int, X>())),
     ...);
}

// Up to four passes, X spreads a word cost less than transposing all masks; from five on the
// transposition wins: Ops::PositionMajor makes a slot per position, and the E bits used of each
// slot are packed into the output words. Slots hold one bit per pass, except for two-bit pixels
// of eight passes: these fill 16-bit slots, and doubling the slots in vector registers is
// cheaper than doubling the packed words (with fewer passes the slots would have to be packed
// twice as often).
template <int X> constexpr bool kPositionMajor = X >= 5;
template <int X, int B> constexpr int kSlotBitsPerPass = X == 8 ? B : 1;

// ORs field G of the output words: positions (8 / b) G on, 8 X bits, the first one on top.
template <int X, int G>
__attribute__((always_inline)) inline void AppendPositions(uint64_t* words, uint64_t field)
{
    constexpr int kLength = 8 * X;
    constexpr int kWord = kLength * G / 64;
    constexpr int kOffset = kLength * G % 64;
    if (kOffset + kLength <= 64) {
        words[kWord] |= field << (64 - kOffset - kLength);
    } else {
        words[kWord] |= field >> (kOffset + kLength - 64);
        words[kWord + 1] |= field << (128 - kOffset - kLength);
    }
}

// A chunk's X x B output words, big-endian, through position-major slots.
template <class Ops, int X, int B, int... G>
__attribute__((always_inline)) inline void PositionMajorWords(const uint64_t* masks, int stride,
                                                              uint64_t* words,
                                                              std::integer_sequence<int, G...>)
{
    uint64_t positions[8 * B];
    Ops::template PositionMajor<X, B>(masks, stride, positions);
    for (int w = 0; w < X * B; ++w)
        words[w] = 0;
    (AppendPositions<X, G>(words, Ops::template PackSlotTops<X * B, 8 * B>(positions[G])), ...);
}

// The 32 stream bits in the low half of a big-endian word as 2-bit pixels.
template <class Ops> __attribute__((always_inline)) inline uint64_t DoubledBits(uint64_t v)
{
    const uint64_t low = Ops::template Spread<2>(v, 0);
    return low | low << 1;
}

// ORs output word `index` of a chunk, made big-endian, into out, of which `available` bytes are
// left from here (all of the chunk's when kWhole).
template <bool kWhole>
__attribute__((always_inline)) inline void OrBigEndianWord(unsigned char* out, int index,
                                                           uint64_t word, int available)
{
    const int at = 8 * index;
    if (kWhole)
        OrWord(out + at, __builtin_bswap64(word), 8);
    else if (at < available)
        OrWord(out + at, __builtin_bswap64(word), MinInt(8, available - at));
}

// Output words W x B on: the stream word itself, or with B = 2 its doubled halves.
template <class Ops, int B, bool kWhole, int W>
__attribute__((always_inline)) inline void OrStreamWord(uint64_t word, unsigned char* out,
                                                        int available)
{
    if (B == 1) {
        OrBigEndianWord<kWhole>(out, W, word, available);
    } else {
        OrBigEndianWord<kWhole>(out, 2 * W, DoubledBits<Ops>(word >> 32), available);
        OrBigEndianWord<kWhole>(out, 2 * W + 1, DoubledBits<Ops>(word), available);
    }
}

// ORs a chunk's stream words, made by streamWord(std::integral_constant<int, W>), into the row.
// Each word is stored as soon as it is made: gathering them for one wide store would make the
// processor wait for the narrow stores to land first.
template <class Ops, int B, bool kWhole, class StreamWordOf, int... W>
__attribute__((always_inline)) inline void OrStreamWords(const StreamWordOf& streamWord,
                                                         unsigned char* out, int available,
                                                         std::integer_sequence<int, W...>)
{
    (OrStreamWord<Ops, B, kWhole, W>(streamWord(std::integral_constant<int, W>()), out, available),
     ...);
}

// Packs a chunk from every pass's reversed mask, pass k's at masks[k x stride], into out, of
// which `available` bytes are left.
template <class Ops, int X, int B, bool kWhole>
__attribute__((always_inline)) inline void PackChunk(const uint64_t* masks, int stride,
                                                     unsigned char* out, int available)
{
    if constexpr (kPositionMajor<X>) {
        constexpr int kSlotB = kSlotBitsPerPass<X, B>;
        uint64_t words[X * kSlotB];
        PositionMajorWords<Ops, X, kSlotB>(masks, stride, words,
                                           std::make_integer_sequence<int, 8 * kSlotB>());
        if (kWhole && B / kSlotB == 2) {
            Ops::template OrDoubledWords<X>(words, out);
        } else {
            OrStreamWords<Ops, B / kSlotB, kWhole>(
                [&words](auto w) { return words[decltype(w)::value]; }, out, available,
                std::make_integer_sequence<int, X * kSlotB>());
        }
    } else if (kWhole && B == 2) {
        uint64_t words[X];
        FillSpreadWords<Ops, X>(masks, stride, words, std::make_integer_sequence<int, X>());
        Ops::template OrDoubledWords<X>(words, out);
    } else {
        OrStreamWords<Ops, B, kWhole>(
            [masks, stride](auto w) {
                return SpreadStreamWord<Ops, X, decltype(w)::value>(
                    masks, stride, std::make_integer_sequence<int, X>());
            },
            out, available, std::make_integer_sequence<int, X>());
    }
}

// Chunks whose masks are taken from the mirrored row together, pass by pass: a pass's offset
// into the row's words stays the same until it wraps, so its masks come out of a plain loop.
constexpr int kBlockChunks = 16;

// The chunks of the block of x positions from `block` on.
int ChunksOfBlock(int width, int block)
{
    return MinInt(kBlockChunks, (width - block + kChunk - 1) / kChunk);
}

// The masks of `count` chunks of one pass from `column` on, wrapped; returns the column after
// them.
template <class Ops>
__attribute__((always_inline)) inline int TakePassChunks(const uint64_t* mirrored, int layerWidth,
                                                         int column, int count, uint64_t* masks)
{
    const int mirroredEnd = MirroredStart(layerWidth, 0);
    int taken = 0;
    while (taken < count) {
        const int chunksLeftInRow = (layerWidth - column + kChunk - 1) / kChunk;
        const int run = MinInt(count - taken, chunksLeftInRow);
        Ops::ReversedRun(mirrored, mirroredEnd - column, run, masks + taken);
        taken += run;
        column += kChunk * run;
        if (column >= layerWidth) {
            column -= layerWidth;
            if (column >= layerWidth)  // only rows narrower than a chunk
                column %= layerWidth;
        }
    }
    return column;
}

// One pass reads its samples in place: no row of decisions to share.
template <class Ops, int B> void CutPackRow_OnePass(const RowContext& row)
{
    // Locals: the output stores could otherwise alias the context and force reloads.
    const uint16_t* const layerRow = row.layerRow;
    const int layerWidth = row.layerWidth;
    const int width = row.width;
    const int rowBytes = row.rowBytes;
    unsigned char* const out = row.out;
    const typename Ops::Cutter cutter(row.range);
    int column = row.columns[0];
    const auto cutPackChunk = [&](auto whole, int x0, int n) {
        const uint64_t reversed =
            __builtin_bswap64(CutChunk<7>(cutter, layerRow, layerWidth, column, n));
        column = AdvanceColumn(column, kChunk, layerWidth);
        const int firstByte = x0 / 8 * B;
        PackChunk<Ops, 1, B, decltype(whole)::value>(&reversed, 0, out + firstByte,
                                                     rowBytes - firstByte);
    };
    int x0 = 0;
    for (; x0 <= width - kChunk; x0 += kChunk)
        cutPackChunk(std::true_type(), x0, kChunk);
    if (x0 < width)
        cutPackChunk(std::false_type(), x0, width - x0);
}

template <class Ops, int X, int B> void CutPackRow_Words(const RowContext& row)
{
    constexpr int E = X * B;
    if constexpr (X == 1) {
        CutPackRow_OnePass<Ops, B>(row);
    } else {
        const int layerWidth = row.layerWidth;
        const int width = row.width;
        const int rowBytes = row.rowBytes;
        unsigned char* const out = row.out;
        const uint64_t* const mirrored = row.rowBits;
        CutWholeRowMirrored(typename Ops::Cutter(row.range), row.layerRow, layerWidth, row.rowBits);
        int column[X];
        for (int k = 0; k < X; ++k)
            column[k] = row.columns[k];
        // Room for the masks a run may write past its end.
        uint64_t masks[X][kBlockChunks + kRunOvershoot];
        for (int block = 0; block < width; block += kChunk * kBlockChunks) {
            const int chunks = ChunksOfBlock(width, block);
            for (int k = 0; k < X; ++k)
                column[k] = TakePassChunks<Ops>(mirrored, layerWidth, column[k], chunks, masks[k]);
            const auto packChunk = [&](auto whole, int c) {
                const int x0 = block + kChunk * c;
                const int firstByte = x0 / 8 * E;
                if (!decltype(whole)::value) {
                    for (int k = 0; k < X; ++k)
                        masks[k][c] &= FirstPositionsReversed(width - x0);
                }
                PackChunk<Ops, X, B, decltype(whole)::value>(&masks[0][c],
                                                             kBlockChunks + kRunOvershoot,
                                                             out + firstByte, rowBytes - firstByte);
            };
            const int wholeChunks = MinInt(chunks, (width - block) / kChunk);
            for (int c = 0; c < wholeChunks; ++c)
                packChunk(std::true_type(), c);
            if (wholeChunks < chunks)
                packChunk(std::false_type(), wholeChunks);
        }
    }
}

// More passes than any mode makes: each fired pixel is set on its own.
template <class Ops> void CutPackRow_Pixels(const RowContext& row)
{
    const unsigned char pixelBits = row.bitsPerPixel == 1 ? 0x80 : 0xC0;
    CutWholeRowMirrored(typename Ops::Cutter(row.range), row.layerRow, row.layerWidth, row.rowBits);
    uint64_t masks[kBlockChunks + kRunOvershoot];
    for (int k = 0; k < row.passCount; ++k) {
        int column = row.columns[k];
        for (int block = 0; block < row.width; block += kChunk * kBlockChunks) {
            const int chunks = ChunksOfBlock(row.width, block);
            column = TakePassChunks<Ops>(row.rowBits, row.layerWidth, column, chunks, masks);
            for (int c = 0; c < chunks; ++c) {
                const int x0 = block + kChunk * c;
                uint64_t reversed =
                    masks[c] & FirstPositionsReversed(MinInt(kChunk, row.width - x0));
                while (reversed != 0) {
                    const int i = __builtin_clzll(reversed);
                    reversed &= ~(0x8000000000000000ull >> i);
                    const long long bit =
                        (static_cast<long long>(x0 + i) * row.passCount + k) * row.bitsPerPixel;
                    row.out[bit >> 3] =
                        static_cast<unsigned char>(row.out[bit >> 3] | (pixelBits >> (bit & 7)));
                }
            }
        }
    }
}

template <class Ops> void (*CutPackRowFor(int passCount, int bitsPerPixel))(const RowContext&)
{
    switch (passCount * 10 + bitsPerPixel) {
    case 11: return CutPackRow_Words<Ops, 1, 1>;
    case 12: return CutPackRow_Words<Ops, 1, 2>;
    case 21: return CutPackRow_Words<Ops, 2, 1>;
    case 22: return CutPackRow_Words<Ops, 2, 2>;
    case 31: return CutPackRow_Words<Ops, 3, 1>;
    case 32: return CutPackRow_Words<Ops, 3, 2>;
    case 41: return CutPackRow_Words<Ops, 4, 1>;
    case 42: return CutPackRow_Words<Ops, 4, 2>;
    case 51: return CutPackRow_Words<Ops, 5, 1>;
    case 52: return CutPackRow_Words<Ops, 5, 2>;
    case 61: return CutPackRow_Words<Ops, 6, 1>;
    case 62: return CutPackRow_Words<Ops, 6, 2>;
    case 71: return CutPackRow_Words<Ops, 7, 1>;
    case 72: return CutPackRow_Words<Ops, 7, 2>;
    case 81: return CutPackRow_Words<Ops, 8, 1>;
    case 82: return CutPackRow_Words<Ops, 8, 2>;
    default: return CutPackRow_Pixels<Ops>;
    }
}

template <class Ops> void CutPackRows(const CutPackJob& job)
{
    if (job.rows <= 0 || job.width <= 0 || job.passCount < 1 ||
        (job.bitsPerPixel != 1 && job.bitsPerPixel != 2))
        return;
    uint64_t* const rowBits = job.scratch + kRunOvershoot;
    for (int i = 0; i < kRunOvershoot; ++i)
        job.scratch[i] = 0;
    void* const columnWords = rowBits + MirroredRowWords(job.layerWidth);
    int* const columns = static_cast<int*>(columnWords);
    for (int k = 0; k < job.passCount; ++k)
        new (columns + k) int(job.columnStarts[k] % job.layerWidth);

    RowContext row{};
    row.layerWidth = job.layerWidth;
    row.columns = columns;
    row.passCount = job.passCount;
    row.width = job.width;
    row.bitsPerPixel = job.bitsPerPixel;
    row.rowBytes = static_cast<int>(
        (static_cast<long long>(job.width) * job.passCount * job.bitsPerPixel + 7) / 8);
    row.rowBits = rowBits;
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

// ORs a chunk's E output words, made by wordOf(w), into the row, of which `available` bytes
// are left from here (stored one by one, as in OrPackedChunk).
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
