// The AVX-512 variant (F, BW, VL and BMI2). Only this translation unit is compiled for them; it
// runs only where the dispatcher has seen all four.
#include "PixelKernels.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

// Everything included above keeps the default instruction set; only what follows is compiled
// for the variant's.

// GCC takes a target pragma for the rest of the file; clang needs the attribute on every function
// declared in between.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vl,bmi2"))), apply_to = function)
#else
#pragma GCC target("avx512f,avx512bw,avx512vl,bmi2")
#endif

#include "PixelKernels_Impl.h"

namespace rv_halftone {
namespace kernels {
namespace {

// Byte index j ^ x within each 16-byte lane (pshufb works lane by lane).
__m512i XorIndexBytes(int x)
{
    const __m512i index = _mm512_set4_epi32(0x0F0E0D0C, 0x0B0A0908, 0x07060504, 0x03020100);
    return _mm512_xor_si512(index, _mm512_set1_epi8(static_cast<char>(x)));
}

struct Avx512Ops
{
    class Cutter
    {
    public:
        explicit Cutter(CutRange range)
            : m_low(_mm512_set1_epi16(static_cast<short>(range.low))),
              m_limit(_mm512_set1_epi16(static_cast<short>(range.limit)))
        {
        }

        template <int R>
        uint64_t Mask64(const uint16_t* samples) const
        {
            return Mask32<R>(samples) | static_cast<uint64_t>(Mask32<R>(samples + 32)) << 32;
        }

    private:
        template <int R>
        uint32_t Mask32(const uint16_t* samples) const
        {
            __m512i v = _mm512_loadu_si512(samples);
            // Sample j ^ R into lane j: its two bytes move together, so the byte index flips 2R.
            if (R != 0)
                v = _mm512_shuffle_epi8(v, XorIndexBytes(2 * R));
            return static_cast<uint32_t>(
                _mm512_cmple_epu16_mask(_mm512_sub_epi16(v, m_low), m_limit));
        }

        __m512i m_low;
        __m512i m_limit;
    };

    template <int R, int P>
    static uint64_t PlaneMask64(const unsigned char* bytes)
    {
        __m512i v = _mm512_loadu_si512(bytes);
        if (R != 0)
            v = _mm512_shuffle_epi8(v, XorIndexBytes(R));
        return static_cast<uint64_t>(
            _mm512_test_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(1 << P))));
    }

    // at < E: the deposit pattern moved up stays within the word.
    template <int E>
    static uint64_t Spread(uint64_t v, int at)
    {
        if (E == 2)
            return _pdep_u64(v, 0x5555555555555555ull << at);
        if (E == 4)
            return _pdep_u64(v, 0x1111111111111111ull << at);
        if (E == 8)
            return _pdep_u64(v, 0x0101010101010101ull << at);
        return v << at;
    }

    // Bits at or beyond count are clear, so the masked store writes only the chunk's own bytes.
    static void ExpandToBytes(uint64_t mask, int /*count*/, unsigned char value,
                              unsigned char* bytes)
    {
        _mm512_mask_storeu_epi8(bytes, static_cast<__mmask64>(mask),
                                _mm512_set1_epi8(static_cast<char>(value)));
    }
};

}  // namespace

const KernelTable& Avx512Kernels()
{
    static const KernelTable table = {Variant::Avx512, "avx512", CutPackRows<Avx512Ops>,
                                      CutRowToBytes<Avx512Ops>, PackRowFromBytes<Avx512Ops>};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone

#if defined(__clang__)
#pragma clang attribute pop
#endif
