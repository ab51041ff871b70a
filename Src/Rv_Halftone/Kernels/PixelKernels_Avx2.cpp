// The AVX2 variant. Only this translation unit is compiled for AVX2 and BMI2; it runs only where
// the dispatcher has seen both.
#include "PixelKernels.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

// Everything included above keeps the default instruction set; only what follows is compiled
// for the variant's.

// GCC takes a target pragma for the rest of the file; clang needs the attribute on every function
// declared in between.
#if defined(__clang__)
#    pragma clang attribute push(__attribute__((target("avx2,bmi2"))), apply_to = function)
#else
#    pragma GCC target("avx2,bmi2")
#endif

#include "PixelKernels_Impl.h"

namespace rv_halftone {
namespace kernels {
namespace {

// Byte index j ^ r within each 16-byte lane: a pshufb control that reverses groups of r + 1.
__m256i XorIndexBytes(int r)
{
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm256_broadcastsi128_si256(_mm_xor_si128(index, _mm_set1_epi8(static_cast<char>(r))));
}

__m256i FromHalves(__m128i low, __m128i high)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Two words into a vector register one by one (see PositionMajor on why not all at once).
__m128i WordPair(uint64_t first, uint64_t second)
{
    return _mm_insert_epi64(_mm_cvtsi64_si128(static_cast<long long>(first)),
                            static_cast<long long>(second), 1);
}

// Entry n: nibble n with every bit doubled.
__m256i DoubledNibbleTable()
{
    return _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0x00, 0x03, 0x0C, 0x0F, 0x30, 0x33, 0x3C, 0x3F, static_cast<char>(0xC0),
                      static_cast<char>(0xC3), static_cast<char>(0xCC), static_cast<char>(0xCF),
                      static_cast<char>(0xF0), static_cast<char>(0xF3), static_cast<char>(0xFC),
                      static_cast<char>(0xFF)));
}

// Exchanges bit p of every word with bit p + kShift, for the bits p set in `low`.
template <int kShift> __m256i SwapBits(__m256i v, uint64_t low)
{
    const __m256i t = _mm256_and_si256(_mm256_xor_si256(v, _mm256_srli_epi64(v, kShift)),
                                       _mm256_set1_epi64x(static_cast<long long>(low)));
    return _mm256_xor_si256(v, _mm256_xor_si256(t, _mm256_slli_epi64(t, kShift)));
}

// Transposes the 8 x 8 bit matrix of every word, bit 8 j + r to bit 8 r + j: the corners of
// 2 x 2 blocks, then of 4 x 4, then of the whole.
__m256i TransposeBits8x8(__m256i v)
{
    v = SwapBits<7>(v, 0x00AA00AA00AA00AAull);
    v = SwapBits<14>(v, 0x0000CCCC0000CCCCull);
    return SwapBits<28>(v, 0x00000000F0F0F0F0ull);
}

struct Avx2Ops
{
    class Cutter
    {
    public:
        explicit Cutter(CutRange range)
            : m_low(_mm256_set1_epi16(static_cast<short>(range.low))),
              m_limit(_mm256_set1_epi16(static_cast<short>(range.limit)))
        {
        }

        template <int R> uint64_t Mask64(const uint16_t* samples) const
        {
            return Mask32<R>(samples) | static_cast<uint64_t>(Mask32<R>(samples + 32)) << 32;
        }

    private:
        // 32 decisions: a sample's offset from low, saturated down by limit, is 0 exactly when
        // it fires; packing keeps zero and non-zero apart (signed saturation never makes 0).
        template <int R> uint32_t Mask32(const uint16_t* samples) const
        {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + 16));
            const __m256i aOut = _mm256_subs_epu16(_mm256_sub_epi16(a, m_low), m_limit);
            const __m256i bOut = _mm256_subs_epu16(_mm256_sub_epi16(b, m_low), m_limit);
            // packs interleaves the 128-bit lanes: bring the four 8-sample groups back in order.
            __m256i bytes = _mm256_permute4x64_epi64(_mm256_packs_epi16(aOut, bOut), 0xD8);
            bytes = _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256());
            if (R != 0)
                bytes = _mm256_shuffle_epi8(bytes, XorIndexBytes(R));
            return static_cast<uint32_t>(_mm256_movemask_epi8(bytes));
        }

        __m256i m_low;
        __m256i m_limit;
    };

    template <int R, int P> static uint32_t PlaneMask32(const unsigned char* bytes)
    {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        if (R != 0)
            v = _mm256_shuffle_epi8(v, XorIndexBytes(R));
        // Bit P of every byte to its top bit (the 16-bit shift moves both bytes alike).
        return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_slli_epi16(v, 7 - P)));
    }

    template <int R, int P> static uint64_t PlaneMask64(const unsigned char* bytes)
    {
        return PlaneMask32<R, P>(bytes) | static_cast<uint64_t>(PlaneMask32<R, P>(bytes + 32))
                                              << 32;
    }

    template <int E> static uint64_t Spread(uint64_t v, int at)
    {
        constexpr uint64_t kEveryEth = StrideBits(E);
        if (E == 1)
            return v << at;
        return _pdep_u64(v, kEveryEth << at);
    }

    template <int N, int S> static uint64_t PackSlotTops(uint64_t v)
    {
        if (N == S)
            return v;
        return _pext_u64(v, SlotTopBits(N, S));
    }

    // The masks as the rows of a byte matrix, transposed, then each word's 8 x 8 bits.
    template <int X, int B>
    static void PositionMajor(const uint64_t* masks, int stride, uint64_t* positions)
    {
        // Row j is mask 7 - j (none past X): rows 0 to 3 in one register, 4 to 7 in the other.
        // Loaded straight into vector registers: gathered in general ones, the compiler may
        // pass them through memory, where one wide load of several narrow stores stalls.
        const auto mask = [masks, stride](int k) {
            return k < X ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(masks + k * stride))
                         : _mm_setzero_si128();
        };
        __m256i upper =
            FromHalves(_mm_unpacklo_epi64(mask(7), mask(6)), _mm_unpacklo_epi64(mask(5), mask(4)));
        __m256i lower =
            FromHalves(_mm_unpacklo_epi64(mask(3), mask(2)), _mm_unpacklo_epi64(mask(1), mask(0)));
        // Byte c of two rows side by side, for every c: [rows 0 1 | rows 2 3] and [4 5 | 6 7].
        const __m256i pairBytes = _mm256_broadcastsi128_si256(
            _mm_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15));
        upper = _mm256_shuffle_epi8(upper, pairBytes);
        lower = _mm256_shuffle_epi8(lower, pairBytes);
        const __m256i rows0145 = _mm256_permute2x128_si256(upper, lower, 0x20);
        const __m256i rows2367 = _mm256_permute2x128_si256(upper, lower, 0x31);
        // Byte c of four rows: columns 0 to 3 [rows 0-3 | rows 4-7], then columns 4 to 7.
        const __m256i columns0to3 = _mm256_unpacklo_epi16(rows0145, rows2367);
        const __m256i columns4to7 = _mm256_unpackhi_epi16(rows0145, rows2367);
        // Column c as a word, last column first: word q holds positions 8 q on.
        const __m256i lastColumnFirst = _mm256_setr_epi32(3, 7, 2, 6, 1, 5, 0, 4);
        const __m256i first =
            TransposeBits8x8(_mm256_permutevar8x32_epi32(columns4to7, lastColumnFirst));
        const __m256i second =
            TransposeBits8x8(_mm256_permutevar8x32_epi32(columns0to3, lastColumnFirst));
        if (B == 1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(positions), first);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(positions + 4), second);
        } else {
            StoreDoubled(first, positions);
            StoreDoubled(second, positions + 8);
        }
    }

    // Four words of byte slots as eight of 16-bit slots, every bit doubled: each nibble looked
    // up, the two of a byte interleaved.
    static void StoreDoubled(__m256i bytes, uint64_t* words)
    {
        const __m256i doubledNibble = DoubledNibbleTable();
        const __m256i nibble = _mm256_set1_epi8(0x0F);
        // The later four positions of a word first: interleaving from the lowest byte up, they
        // become the second word's, read big-endian.
        const __m256i halvesSwapped = _mm256_shuffle_epi32(bytes, 0xB1);
        const __m256i low =
            _mm256_shuffle_epi8(doubledNibble, _mm256_and_si256(halvesSwapped, nibble));
        const __m256i high = _mm256_shuffle_epi8(
            doubledNibble, _mm256_and_si256(_mm256_srli_epi16(halvesSwapped, 4), nibble));
        // [words 0 1 | words 4 5] and [2 3 | 6 7].
        const __m256i fromEven = _mm256_unpacklo_epi8(low, high);
        const __m256i fromOdd = _mm256_unpackhi_epi8(low, high);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words),
                            _mm256_permute2x128_si256(fromEven, fromOdd, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words + 4),
                            _mm256_permute2x128_si256(fromEven, fromOdd, 0x31));
    }

    // N big-endian words of one-bit pixels ORed into out as 2 N words of two-bit pixels: each
    // byte's nibbles looked up doubled and interleaved.
    template <int N> static void OrDoubledWords(const uint64_t* words, unsigned char* out)
    {
        int w = 0;
        for (; w + 4 <= N; w += 4) {
            const __m256i v =
                FromHalves(WordPair(words[w], words[w + 1]), WordPair(words[w + 2], words[w + 3]));
            const __m256i low = DoubledNibbles(v, 0);
            const __m256i high = DoubledNibbles(v, 4);
            const __m256i fromEven = _mm256_unpacklo_epi8(high, low);
            const __m256i fromOdd = _mm256_unpackhi_epi8(high, low);
            OrBytes32(out + 16 * w, _mm256_permute2x128_si256(fromEven, fromOdd, 0x20));
            OrBytes32(out + 16 * w + 32, _mm256_permute2x128_si256(fromEven, fromOdd, 0x31));
        }
        for (; w < N; ++w) {
            const __m256i v = _mm256_set1_epi64x(static_cast<long long>(words[w]));
            const __m128i doubled = _mm256_castsi256_si128(
                _mm256_unpacklo_epi8(DoubledNibbles(v, 4), DoubledNibbles(v, 0)));
            __m128i* const target = reinterpret_cast<__m128i*>(out + 16 * w);
            _mm_storeu_si128(target, _mm_or_si128(_mm_loadu_si128(target), doubled));
        }
    }

    // The nibble at `shift` of every byte of the big-endian words, in stored order, doubled.
    static __m256i DoubledNibbles(__m256i words, int shift)
    {
        const __m256i storedOrder = _mm256_broadcastsi128_si256(
            _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8));
        const __m256i bytes = _mm256_shuffle_epi8(words, storedOrder);
        return _mm256_shuffle_epi8(
            DoubledNibbleTable(),
            _mm256_and_si256(_mm256_srl_epi16(bytes, _mm_cvtsi32_si128(shift)),
                             _mm256_set1_epi8(0x0F)));
    }

    static void OrBytes32(unsigned char* out, __m256i bytes)
    {
        __m256i* const target = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(target, _mm256_or_si256(_mm256_loadu_si256(target), bytes));
    }

    // Four masks at a time: their lower words are neighbours, as are their upper ones.
    static void ReversedRun(const uint64_t* bits, int at, int count, uint64_t* masks)
    {
        const uint64_t* const lower = bits + static_cast<unsigned>(at) / 64;
        const int bit = at & 63;
        const __m128i offset = _mm_cvtsi32_si128(bit);
        // A vector shift by all 64 bits clears the word, as the upper one must at offset 0.
        const __m128i upperShift = _mm_cvtsi32_si128(64 - bit);
        for (int i = 0; i < count; i += 4) {
            // Masks i + 3 down to i.
            const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower - i - 3));
            const __m256i high =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower - i - 2));
            const __m256i mask =
                _mm256_or_si256(_mm256_srl_epi64(low, offset), _mm256_sll_epi64(high, upperShift));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(masks + i),
                                _mm256_permute4x64_epi64(mask, 0x1B));
        }
    }

    // 32 bytes: byte j takes the value where bit j of mask is set.
    static void Expand32(uint32_t mask, __m256i value, unsigned char* bytes)
    {
        // Byte j of `spread` is byte j / 8 of mask; then test bit j % 8 of it.
        const __m256i byteOfBit = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,
                                                   2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
        const __m256i bitOfByte = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
        __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(mask)), byteOfBit);
        spread = _mm256_cmpeq_epi8(_mm256_and_si256(spread, bitOfByte), bitOfByte);
        __m256i* const target = reinterpret_cast<__m256i*>(bytes);
        _mm256_storeu_si256(target, _mm256_blendv_epi8(_mm256_loadu_si256(target), value, spread));
    }

    static void ExpandToBytes(uint64_t mask, int count, unsigned char value, unsigned char* bytes)
    {
        if (count == 64) {
            const __m256i fill = _mm256_set1_epi8(static_cast<char>(value));
            Expand32(static_cast<uint32_t>(mask), fill, bytes);
            Expand32(static_cast<uint32_t>(mask >> 32), fill, bytes + 32);
            return;
        }
        // A partial chunk ends the row: only its own bytes may be written.
        while (mask != 0) {
            bytes[__builtin_ctzll(mask)] = value;
            mask &= mask - 1;
        }
    }
};

}  // namespace

const KernelTable& Avx2Kernels()
{
    static const KernelTable table = {Variant::Avx2, CutPackRows<Avx2Ops>, CutPackScratchWords,
                                      CutRowToBytes<Avx2Ops>, PackRowFromBytes<Avx2Ops>};
    return table;
}

}  // namespace kernels
}  // namespace rv_halftone

#if defined(__clang__)
#    pragma clang attribute pop
#endif
