// The portable variant: plain 64-bit arithmetic that every x86-64 (and any other) processor runs.
#include "PixelKernels_Impl.h"

#include <cstdint>

namespace rv_halftone {
namespace kernels {
namespace {

struct PortableOps
{
    class Cutter
    {
    public:
        explicit Cutter(CutRange range) : m_range(range) {}

        template <int R>
        uint64_t Mask64(const uint16_t* samples) const
        {
            uint64_t mask = 0;
            for (int j = 0; j < 64; ++j) {
                const uint16_t offset = static_cast<uint16_t>(samples[j ^ R] - m_range.low);
                mask |= static_cast<uint64_t>(offset <= m_range.limit) << j;
            }
            return mask;
        }

    private:
        CutRange m_range;
    };

    template <int R, int P>
    static uint64_t PlaneMask64(const unsigned char* bytes)
    {
        uint64_t mask = 0;
        for (int j = 0; j < 64; ++j)
            mask |= static_cast<uint64_t>((bytes[j ^ R] >> P) & 1) << j;
        return mask;
    }

    // Moves bit i of the low 64 / E bits to bit E x i + at, halving the distance step by step.
    template <int E>
    static uint64_t Spread(uint64_t v, int at)
    {
        if (E == 2) {
            v &= 0xFFFFFFFFull;
            v = (v | v << 16) & 0x0000FFFF0000FFFFull;
            v = (v | v << 8) & 0x00FF00FF00FF00FFull;
            v = (v | v << 4) & 0x0F0F0F0F0F0F0F0Full;
            v = (v | v << 2) & 0x3333333333333333ull;
            v = (v | v << 1) & 0x5555555555555555ull;
        } else if (E == 4) {
            v &= 0xFFFFull;
            v = (v | v << 24) & 0x000000FF000000FFull;
            v = (v | v << 12) & 0x000F000F000F000Full;
            v = (v | v << 6) & 0x0303030303030303ull;
            v = (v | v << 3) & 0x1111111111111111ull;
        } else if (E == 8) {
            v &= 0xFFull;
            v = (v | v << 28) & 0x0000000F0000000Full;
            v = (v | v << 14) & 0x0003000300030003ull;
            v = (v | v << 7) & 0x0101010101010101ull;
        }
        return v << at;
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
    static const KernelTable table = {Variant::Portable, "portable", CutPackRows<PortableOps>,
                                      CutRowToBytes<PortableOps>, PackRowFromBytes<PortableOps>};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone
