// The portable variant: plain 64-bit arithmetic that every x86-64 (and any other) processor runs.
#include "PixelKernels_Impl.h"

#include <cstdint>

namespace rv_halftone {
namespace kernels {
namespace {

// Transposes the 8 x 8 bit matrix of a word, bit 8 j + r to bit 8 r + j: the corners of
// 2 x 2 blocks, then of 4 x 4, then of the whole.
uint64_t TransposeBits8x8(uint64_t v)
{
    uint64_t t = (v ^ (v >> 7)) & 0x00AA00AA00AA00AAull;
    v ^= t ^ (t << 7);
    t = (v ^ (v >> 14)) & 0x0000CCCC0000CCCCull;
    v ^= t ^ (t << 14);
    t = (v ^ (v >> 28)) & 0x00000000F0F0F0F0ull;
    return v ^ t ^ (t << 28);
}

// How Spread moves bit i of the `bits` that can land in a word to bit E i without a deposit
// instruction: by the binary digits of i from the top down, digit d moving its bits (E - 1) d
// further. The bits keep their order, so no step moves one onto another.
struct SpreadPlan
{
    int bits;
    int steps;
    int shift[6];
    uint64_t keep[6];
};

constexpr SpreadPlan PlanSpread(int E)
{
    SpreadPlan plan{};
    plan.bits = (64 + E - 1) / E;
    int digit = 1;
    while (digit * 2 < plan.bits)
        digit *= 2;
    for (; E > 1 && digit >= 1; digit /= 2) {
        uint64_t keep = 0;
        for (int i = 0; i < plan.bits; ++i)
            keep |= 1ull << (i + (E - 1) * (i & ~(digit - 1)));
        plan.shift[plan.steps] = (E - 1) * digit;
        plan.keep[plan.steps] = keep;
        ++plan.steps;
    }
    return plan;
}

struct PortableOps
{
    class Cutter
    {
    public:
        explicit Cutter(CutRange range) : m_range(range) { }

        // Read in order and reversed afterwards: the plain loop compiles to the tighter code.
        template <int R> uint64_t Mask64(const uint16_t* samples) const
        {
            uint64_t mask = 0;
            for (int j = 0; j < 64; ++j) {
                const uint16_t offset = static_cast<uint16_t>(samples[j] - m_range.low);
                mask |= static_cast<uint64_t>(offset <= m_range.limit) << j;
            }
            return ReverseGroups<R>(mask);
        }

    private:
        CutRange m_range;
    };

    template <int R, int P> static uint64_t PlaneMask64(const unsigned char* bytes)
    {
        uint64_t mask = 0;
        for (int j = 0; j < 64; ++j)
            mask |= static_cast<uint64_t>((bytes[j ^ R] >> P) & 1) << j;
        return mask;
    }

    template <int E> static uint64_t Spread(uint64_t v, int at)
    {
        constexpr SpreadPlan kPlan = PlanSpread(E);
        v &= ~0ull >> (64 - kPlan.bits);
#pragma GCC unroll 6
        for (int s = 0; s < kPlan.steps; ++s)
            v = (v | v << kPlan.shift[s]) & kPlan.keep[s];
        return v << at;
    }

    template <int X, int B>
    static void PositionMajor(const uint64_t* masks, int stride, uint64_t* positions)
    {
        for (int q = 0; q < 8; ++q) {
            // Byte q of the positions from every mask, mask k in byte 7 - k: transposed, each
            // position's byte has a bit per mask.
            uint64_t block = 0;
            for (int k = 0; k < X; ++k)
                block |= ((masks[k * stride] >> (56 - 8 * q)) & 0xFF) << (56 - 8 * k);
            const uint64_t bytes = TransposeBits8x8(block);
            if (B == 1) {
                positions[q] = bytes;
            } else {
                positions[2 * q] = DoubledBits<PortableOps>(bytes >> 32);
                positions[2 * q + 1] = DoubledBits<PortableOps>(bytes);
            }
        }
    }

    // Moves the fields down to the bottom of their slots, then closes the gaps between pairs
    // of them, of pairs of pairs and so on.
    template <int N, int S> static uint64_t PackSlotTops(uint64_t v)
    {
        v = (v & SlotTopBits(N, S)) >> (S - N);
        if (S == 8)
            v = (v & 0x00FF00FF00FF00FFull) | ((v & 0xFF00FF00FF00FF00ull) >> (8 - N));
        v = (v & 0x0000FFFF0000FFFFull) | ((v & 0xFFFF0000FFFF0000ull) >> (16 - 16 * N / S));
        return (v & 0x00000000FFFFFFFFull) | ((v & 0xFFFFFFFF00000000ull) >> (32 - 32 * N / S));
    }

    template <int N> static void OrDoubledWords(const uint64_t* words, unsigned char* out)
    {
        for (int w = 0; w < N; ++w) {
            OrWord(out + 16 * w, __builtin_bswap64(DoubledBits<PortableOps>(words[w] >> 32)), 8);
            OrWord(out + 16 * w + 8, __builtin_bswap64(DoubledBits<PortableOps>(words[w])), 8);
        }
    }

    static void ReversedRun(const uint64_t* bits, int at, int count, uint64_t* masks)
    {
        const uint64_t* const lower = bits + static_cast<unsigned>(at) / 64;
        const unsigned offset = static_cast<unsigned>(at) % 64;
        // The upper word moves in two steps, so that at offset 0 all of it is shifted out.
        for (int i = 0; i < count; ++i)
            masks[i] = (lower[-i] >> offset) | ((lower[1 - i] << 1) << (63 - offset));
    }

    static void ExpandToBytes(uint64_t mask, int /*count*/, unsigned char value,
                              unsigned char* bytes)
    {
        while (mask != 0) {
            bytes[__builtin_ctzll(mask)] = value;
            mask &= mask - 1;
        }
    }
};

}  // namespace

const KernelTable& PortableKernels()
{
    static const KernelTable table = {Variant::Portable, CutPackRows<PortableOps>,
                                      CutPackScratchWords, CutRowToBytes<PortableOps>,
                                      PackRowFromBytes<PortableOps>};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone
