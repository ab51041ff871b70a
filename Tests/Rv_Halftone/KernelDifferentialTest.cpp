// Every fast pixel kernel against the plain byte-per-pixel loops, byte for byte, on random
// threshold windows, cut tables and geometry (fixed seeds, so a failure repeats).
#include "Kernels/PixelKernels.h"
#include "Kernels/PixelKernels_Plain.h"
#include "Kernels/Ripple.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace rv_halftone {
namespace kernels {
// Test names and failure messages show the variant by name.
void PrintTo(Variant variant, std::ostream* out) { *out << VariantName(variant); }
}  // namespace kernels
}  // namespace rv_halftone

using namespace rv_halftone::kernels;

namespace {

using Bytes = std::vector<unsigned char>;
using Random = std::mt19937;

int Uniform(Random& random, int low, int high)  // inclusive
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

// Samples drawn partly from a few levels, so that cut bounds are hit exactly and often.
std::vector<uint16_t> RandomLayer(Random& random, int width, int height)
{
    static const uint16_t kLevels[] = {0, 1, 4, 5, 6, 1000, 32767, 32768, 65533, 65534, 65535};
    std::vector<uint16_t> layer(static_cast<size_t>(width) * height);
    for (uint16_t& sample : layer) {
        sample = Uniform(random, 0, 2) == 0 ? kLevels[Uniform(random, 0, 10)]
                                            : static_cast<uint16_t>(Uniform(random, 0, 65535));
    }
    return layer;
}

// Ordinary ranges mixed with the edge ones: empty, full, inverted, one level wide.
SCutTable RandomCut(Random& random)
{
    SCutTable cut{};
    switch (Uniform(random, 0, 7)) {
    case 0:
        cut.low = 5;
        cut.high = 5;
        break;
    case 1:
        cut.low = 0;
        cut.high = 65535;
        break;
    case 2:
        cut.low = 40000;
        cut.high = 1000;
        break;
    case 3:
        cut.low = 1000;
        cut.high = 1001;
        break;
    case 4:
        cut.low = 65534;
        cut.high = 65535;
        break;
    default:
        cut.low = static_cast<uint16_t>(Uniform(random, 0, 65535));
        cut.high = static_cast<uint16_t>(Uniform(random, cut.low, 65535));
    }
    return cut;
}

Bytes RandomBytes(Random& random, size_t count, int maxValue)
{
    Bytes bytes(count);
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(Uniform(random, 0, maxValue));
    return bytes;
}

// The geometry of one fused job, its inputs and an output buffer with guard bytes.
struct Job
{
    int layerWidth, layerHeight, passCount, width, rows, bitsPerPixel;
    int layerRowStart;
    std::vector<int> columnStarts;
    std::vector<uint16_t> layer;
    std::vector<SCutTable> cuts;
    int rowBytes;
    long long stride;

    CutPackJob For(Bytes& out, std::vector<uint64_t>& scratch) const
    {
        return CutPackJob{
            layer.data(), layerWidth, layerHeight,   layerRowStart, columnStarts.data(),
            passCount,    width,      cuts.data(),   rows,          bitsPerPixel,
            out.data(),   stride,     scratch.data()};
    }
    std::string Describe() const
    {
        return "TW " + std::to_string(layerWidth) + " TH " + std::to_string(layerHeight) + " X " +
               std::to_string(passCount) + " b " + std::to_string(bitsPerPixel) + " width " +
               std::to_string(width) + " rows " + std::to_string(rows) + " row start " +
               std::to_string(layerRowStart) + " first column " + std::to_string(columnStarts[0]);
    }
};

Job RandomJob(Random& random, int passCount, int bitsPerPixel)
{
    // The last one is wider than the kernels keep on the stack.
    static const int kWidths[] = {544, 544, 544, 1,   3,   5,    31,   63,
                                  64,  65,  127, 129, 257, 1500, 10000};
    Job job{};
    job.layerWidth = kWidths[Uniform(random, 0, 14)];
    job.layerHeight = Uniform(random, 1, 24);
    job.passCount = passCount;
    job.bitsPerPixel = bitsPerPixel;
    // Mostly the whole layer width, as the generator cuts; also narrower and wider rows.
    job.width =
        Uniform(random, 0, 2) != 0 ? job.layerWidth : Uniform(random, 1, 2 * job.layerWidth + 700);
    job.rows = Uniform(random, 1, 12);
    job.layerRowStart = Uniform(random, 0, 3 * job.layerHeight);
    const bool evenSplit = Uniform(random, 0, 1) == 0;
    for (int k = 0; k < job.passCount; ++k) {
        job.columnStarts.push_back(evenSplit ? job.layerWidth * k / job.passCount
                                             : Uniform(random, 0, 3 * job.layerWidth));
    }
    job.layer = RandomLayer(random, job.layerWidth, job.layerHeight);
    for (int y = 0; y < job.rows; ++y)
        job.cuts.push_back(RandomCut(random));
    job.rowBytes = (job.width * job.passCount * job.bitsPerPixel + 7) / 8;
    job.stride = job.rowBytes + Uniform(random, 0, 9);  // the gap must stay untouched
    return job;
}

// Exactly the scratch a variant asks for (so that the sanitizers see any overrun), holding a
// pattern: a kernel must not depend on what it did not write.
std::vector<uint64_t> ScratchFor(const KernelTable& kernels, int layerWidth, int passCount,
                                 int width)
{
    return std::vector<uint64_t>(
        static_cast<size_t>(kernels.cutPackScratchWords(layerWidth, passCount, width)),
        0xA5A5A5A5A5A5A5A5ull);
}

std::vector<Variant> FastVariants() { return {Variant::Portable, Variant::Avx2}; }

std::string VariantLabel(const testing::TestParamInfo<Variant>& info)
{
    return testing::PrintToString(info.param);
}

class FastKernel : public testing::TestWithParam<Variant>
{
protected:
    void SetUp() override
    {
        if (!VariantRunnable(GetParam()))
            GTEST_SKIP() << "this processor does not run the variant";
    }
    const KernelTable& Fast() const { return KernelsOf(GetParam()); }
};

}  // namespace

// Every pass count of the modes, with positions of 1 to 16 bits that straddle bytes and words
// in every way, and one count beyond them.
TEST_P(FastKernel, FusedCutAndPackEqualsTheTwoPlainPasses)
{
    Random random(20240611);
    for (const int passCount : {1, 2, 3, 4, 5, 6, 7, 8, 11}) {
        for (const int bitsPerPixel : {1, 2}) {
            for (int trial = 0; trial < 40; ++trial) {
                const Job job = RandomJob(random, passCount, bitsPerPixel);
                const size_t bytes = static_cast<size_t>(job.stride * job.rows + 16);
                // Onto a clear buffer (bits past the last pixel stay 0), onto set bits (kept).
                for (const int preset : {0, 255}) {
                    Bytes expected = RandomBytes(random, bytes, preset);
                    Bytes actual = expected;
                    std::vector<uint64_t> plainScratch =
                        ScratchFor(KernelsOf(Variant::Plain), job.layerWidth, passCount, job.width);
                    std::vector<uint64_t> fastScratch =
                        ScratchFor(Fast(), job.layerWidth, passCount, job.width);
                    plain::CutPackRows(job.For(expected, plainScratch));
                    Fast().cutPackRows(job.For(actual, fastScratch));
                    ASSERT_EQ(expected, actual) << job.Describe() << " preset " << preset;
                }
            }
        }
    }
}

// A ripple unit on the fused path (cut and packed, then rippled on its packed rows) against the
// byte-per-pixel path (blocks cut, rippled, then packed), with random masks (any pixel may move)
// on units just too short for the ripple and taller ones.
TEST_P(FastKernel, RippleOnPackedRowsEqualsTheRippleOnBlocks)
{
    Random random(31);
    for (int trial = 0; trial < 300; ++trial) {
        const int bits = Uniform(random, 1, 2);
        Job job = RandomJob(random, Uniform(random, 1, 8), bits);
        const int width = job.width = job.layerWidth;
        const int featherHeight = Uniform(random, 1, 10);
        const int maskRows = Uniform(random, 0, featherHeight);
        job.rows = std::max(1, featherHeight + maskRows + Uniform(random, -1, 3));
        job.cuts.clear();
        for (int y = 0; y < job.rows; ++y)
            job.cuts.push_back(RandomCut(random));
        job.rowBytes = (width * job.passCount * bits + 7) / 8;
        job.stride = job.rowBytes + Uniform(random, 0, 9);
        const unsigned char value = bits == 1 ? 0x01 : 0x03;
        Bytes down = RandomBytes(random, static_cast<size_t>(width) * maskRows, 1);
        Bytes up(down.size());
        for (size_t i = 0; i < down.size(); ++i) {
            down[i] = static_cast<unsigned char>(down[i] * value);
            up[i] = static_cast<unsigned char>(~down[i]);
        }
        const RippleMask mask{down.data(), up.data(), width, maskRows, featherHeight};
        RippleBands bands{};
        const bool ripples = RippleBandsOf(mask, width, job.rows, bands);

        Bytes expected(static_cast<size_t>(job.stride * job.rows));
        std::vector<Bytes> blocks(static_cast<size_t>(job.passCount));
        for (int k = 0; k < job.passCount; ++k) {
            blocks[k].assign(static_cast<size_t>(width) * job.rows, 0);
            for (int y = 0; y < job.rows; ++y) {
                const int layerRow = (job.layerRowStart + y) % job.layerHeight;
                plain::CutRowToBytes(&job.layer[static_cast<size_t>(layerRow) * width], width,
                                     job.columnStarts[k] % width, width, job.cuts[y], value,
                                     &blocks[k][static_cast<size_t>(y) * width]);
            }
            if (ripples)
                RippleBytes(mask, bands, blocks[k].data());
        }
        for (int y = 0; y < job.rows; ++y) {
            std::vector<const unsigned char*> rows;
            for (const Bytes& block : blocks)
                rows.push_back(&block[static_cast<size_t>(y) * width]);
            plain::PackRowFromBytes(rows.data(), job.passCount, width, bits,
                                    &expected[static_cast<size_t>(job.stride * y)]);
        }

        Bytes actual(expected.size());
        std::vector<uint64_t> scratch = ScratchFor(Fast(), width, job.passCount, width);
        Fast().cutPackRows(job.For(actual, scratch));
        PackedRipple ripple;
        ASSERT_TRUE(ripple.Create(Fast(), mask, width, job.rows, job.passCount, bits));
        ripple.Apply(actual.data(), job.stride);
        ASSERT_EQ(expected, actual) << job.Describe() << " F " << featherHeight << " h " << maskRows
                                    << (ripples ? "" : " (no ripple)");
    }
}

TEST_P(FastKernel, CutIntoBytesEqualsThePlainLoop)
{
    Random random(99);
    for (int trial = 0; trial < 400; ++trial) {
        const int layerWidth = Uniform(random, 0, 1) == 0 ? 544 : Uniform(random, 1, 300);
        const int width = Uniform(random, 0, 1) == 0 ? layerWidth : Uniform(random, 1, 700);
        const std::vector<uint16_t> row = RandomLayer(random, layerWidth, 1);
        const int column = Uniform(random, 0, layerWidth - 1);
        const SCutTable cut = RandomCut(random);
        const unsigned char value = static_cast<unsigned char>(Uniform(random, 0, 3));
        // Bytes that are not cut keep whatever they held; one guard byte past the row.
        Bytes expected = RandomBytes(random, static_cast<size_t>(width) + 1, 255);
        Bytes actual = expected;
        plain::CutRowToBytes(row.data(), layerWidth, column, width, cut, value, expected.data());
        Fast().cutRowToBytes(row.data(), layerWidth, column, width, cut, value, actual.data());
        ASSERT_EQ(expected, actual) << "TW " << layerWidth << " width " << width << " column "
                                    << column << " [" << cut.low << ", " << cut.high << ")";
    }
}

// The packing of byte-per-pixel rows: the shapes the fast path takes must come out equal and be
// taken; anything it declines must be left unwritten for the plain loop.
TEST_P(FastKernel, PackingBytesEqualsThePlainLoopOrDeclinesUntouched)
{
    Random random(5);
    for (int trial = 0; trial < 600; ++trial) {
        const int blocks = Uniform(random, 1, 9);
        const int bits = Uniform(random, 0, 3) == 0 ? Uniform(random, 1, 8) : Uniform(random, 1, 2);
        const int width = Uniform(random, 0, 1) == 0 ? 544 : Uniform(random, 1, 300);
        // Usually the values a cut writes; sometimes bytes that spill into the next pixel.
        const bool fitting = Uniform(random, 0, 3) != 0;
        const int maxValue = fitting ? (1 << bits) - 1 : 255;
        std::vector<Bytes> rows;
        std::vector<const unsigned char*> rowPointers;
        for (int k = 0; k < blocks; ++k)
            rows.push_back(RandomBytes(random, static_cast<size_t>(width), maxValue));
        for (const Bytes& row : rows)
            rowPointers.push_back(row.data());
        // A byte holds 8 / b whole pixels (odd bit counts leave its low bits unused).
        const size_t pixelsPerByte = static_cast<size_t>(8 / bits);
        const size_t outBytes =
            (static_cast<size_t>(width) * blocks + pixelsPerByte - 1) / pixelsPerByte + 9;
        Bytes expected = RandomBytes(random, outBytes, Uniform(random, 0, 1) * 255);
        Bytes actual = expected;
        const Bytes before = expected;
        plain::PackRowFromBytes(rowPointers.data(), blocks, width, bits, expected.data());
        const bool packed =
            Fast().packRowFromBytes(rowPointers.data(), blocks, width, bits, actual.data());
        const int bitsPerX = blocks * bits;
        const bool common = (bits == 1 || bits == 2) &&
                            (bitsPerX == 1 || bitsPerX == 2 || bitsPerX == 4 || bitsPerX == 8);
        const std::string shape = "K " + std::to_string(blocks) + " b " + std::to_string(bits) +
                                  " width " + std::to_string(width);
        if (common && fitting) {
            ASSERT_TRUE(packed) << shape;
        }
        ASSERT_EQ(packed ? expected : before, actual) << shape << " fitting " << fitting;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FastKernel, testing::ValuesIn(FastVariants()), VariantLabel);

// RV_HALFTONE_KERNEL: a variant this processor runs is taken; anything else falls back to the
// best one and says why.
TEST(KernelChoice, TheEnvironmentNamesARunnableVariantOrFallsBackToTheBest)
{
    struct Row
    {
        const char* value;
        Variant expected;
        bool refused;
    };
    const Variant best = BestVariant();
    const Variant avx2 = VariantRunnable(Variant::Avx2) ? Variant::Avx2 : best;
    const Row rows[] = {{nullptr, best, false},
                        {"", best, false},
                        {"plain", Variant::Plain, false},
                        {"portable", Variant::Portable, false},
                        {"avx2", avx2, !VariantRunnable(Variant::Avx2)},
                        {"avx512", best, true},
                        {"AVX2", best, true}};
    EXPECT_NE(best, Variant::Plain);
    for (const Row& row : rows) {
        const VariantChoice choice = ChooseVariant(row.value);
        const std::string value = row.value == nullptr ? "(unset)" : row.value;
        EXPECT_EQ(choice.variant, row.expected) << value;
        EXPECT_EQ(choice.refusal[0] != '\0', row.refused) << value;
    }
}
