// Pixel decisions per second of the mask kernels on one core: the plain byte-per-pixel path
// (cut every pass into blocks, then pack the blocks), the byte-per-pixel path through a fast
// variant, and each fused variant. Units are those of the default mode: 544 rows of a 544-wide
// tile, cut ranges about a quarter of the level scale. After the run the fused/plain ratios
// measured in this same run are printed. Last, the kernel calls of the production mode's Create
// alone (rv_create_bench times the whole Create; scripts/run-bench.sh sets the two side by side).
// The program holds the kernels' objects and nothing else of the library, so that the kernels it
// calls are the ones it chose.
#include "MedianReporter.h"
#include "Kernels/PixelKernels.h"

#include <RvPlanes/PlaneDerive.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace rv_halftone::kernels;

namespace {

constexpr int kTile = rv_halftone::planes::kTileSize;
constexpr int kRows = rv_halftone::planes::kTileSize;
const char* const kRate = "decisions/s";

struct Workload
{
    std::vector<uint16_t> layer;
    std::vector<SCutTable> cuts;

    Workload() : layer(static_cast<size_t>(kTile) * kTile), cuts(kRows)
    {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> level(0, 65534);
        for (uint16_t& sample : layer)
            sample = static_cast<uint16_t>(level(random));
        // Four passes' worth of levels per row, starting anywhere.
        for (SCutTable& cut : cuts) {
            cut.low = static_cast<uint16_t>(level(random) % 49151);
            cut.high = static_cast<uint16_t>(cut.low + 16384);
        }
    }
};

const Workload& TheWorkload()
{
    static const Workload workload;
    return workload;
}

struct Shape
{
    int passes;
    int bits;
    int lineBytes() const { return (kTile * passes * bits + 7) / 8; }
    std::string Label() const
    {
        return "X:" + std::to_string(passes) + "/b:" + std::to_string(bits);
    }
};

std::vector<int> ColumnStarts(const Shape& shape)
{
    std::vector<int> columns;
    for (int k = 0; k < shape.passes; ++k)
        columns.push_back(kTile * k / shape.passes);
    return columns;
}

void CountDecisions(benchmark::State& state, const Shape& shape)
{
    const double perUnit = static_cast<double>(kRows) * kTile * shape.passes;
    state.counters[kRate] = benchmark::Counter(perUnit * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

// One unit the plain way, or through a variant's byte-per-pixel functions: clear the blocks,
// cut each pass into its block, then pack the blocks row by row.
void BytePerPixelUnit(benchmark::State& state, const KernelTable& kernels, const Shape& shape)
{
    const Workload& work = TheWorkload();
    const std::vector<int> columns = ColumnStarts(shape);
    const unsigned char value = shape.bits == 1 ? 0x01 : 0x03;
    std::vector<std::vector<unsigned char>> blocks(
        static_cast<size_t>(shape.passes),
        std::vector<unsigned char>(static_cast<size_t>(kTile) * kRows));
    std::vector<unsigned char> out(static_cast<size_t>(shape.lineBytes()) * kRows);
    std::vector<const unsigned char*> rows(static_cast<size_t>(shape.passes));
    for (auto _ : state) {
        for (int k = 0; k < shape.passes; ++k) {
            std::vector<unsigned char>& block = blocks[k];
            std::memset(block.data(), 0, block.size());
            for (int y = 0; y < kRows; ++y) {
                kernels.cutRowToBytes(work.layer.data() + static_cast<size_t>(kTile) * y, kTile,
                                      columns[k], kTile, work.cuts[y], value,
                                      block.data() + static_cast<size_t>(kTile) * y);
            }
        }
        for (int y = 0; y < kRows; ++y) {
            for (int k = 0; k < shape.passes; ++k)
                rows[k] = blocks[k].data() + static_cast<size_t>(kTile) * y;
            unsigned char* line = out.data() + static_cast<size_t>(shape.lineBytes()) * y;
            PackRowFromBytesAnyShape(kernels, rows.data(), shape.passes, kTile, shape.bits, line);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    CountDecisions(state, shape);
}

void FusedUnit(benchmark::State& state, const KernelTable& kernels, const Shape& shape)
{
    const Workload& work = TheWorkload();
    const std::vector<int> columns = ColumnStarts(shape);
    std::vector<unsigned char> out(static_cast<size_t>(shape.lineBytes()) * kRows);
    std::vector<uint64_t> scratch(
        static_cast<size_t>(kernels.cutPackScratchWords(kTile, shape.passes, kTile)));
    const CutPackJob job{
        work.layer.data(), kTile, kTile,      0,          columns.data(),    shape.passes,  kTile,
        work.cuts.data(),  kRows, shape.bits, out.data(), shape.lineBytes(), scratch.data()};
    for (auto _ : state) {
        kernels.cutPackRows(job);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    CountDecisions(state, shape);
}

// The production head's mask as the library lays it out: 1,280 nozzles, 8 passes, X = Y = 2, 8
// colours, 2 bits, unfeathered. Its step is S = 1,280 / 8 = 160 base rows, its tile the whole 544
// rows (lcm(544, 160) / 160 = 17 mask positions), its units 1,280 rows of 544 x 2 pixels.
struct Production
{
    static constexpr int kColours = 8, kPasses = 8, kX = 2, kY = 2, kBits = 2;
    static constexpr int kRows = 1280, kStep = 160, kPositions = 17;
    static constexpr long long kLineBytes = (kTile * kX * kBits + 7) / 8;
    static constexpr long long kPositionBytes = kY * kRows * kLineBytes;
    static constexpr long long kColourBytes = kPositions * kPositionBytes;
};

// Every unit of the production mask cut and packed (fused, by the kernels this process chose)
// into a mask already in memory: no generator, no zeroing, no page faults. Processor time of
// this thread alone.
void KernelsOfCreate(benchmark::State& state)
{
    using P = Production;
    std::mt19937 random(2);
    std::uniform_int_distribution<int> level(0, 65534);
    std::vector<uint16_t> layers(static_cast<size_t>(P::kColours) * kTile * kTile);
    for (uint16_t& sample : layers)
        sample = static_cast<uint16_t>(level(random));
    // Pass i of every step prints the i-th eighth of the scale.
    std::vector<SCutTable> cuts(P::kRows);
    for (int row = 0; row < P::kRows; ++row) {
        const int pass = row / P::kStep;
        cuts[row] = {static_cast<uint16_t>((pass + 1) * 65535LL / P::kPasses),
                     static_cast<uint16_t>(pass * 65535LL / P::kPasses)};
    }
    const std::vector<int> columns = {0, kTile / P::kX};
    const KernelTable& kernels = ActiveKernels();
    std::vector<uint64_t> scratch(
        static_cast<size_t>(kernels.cutPackScratchWords(kTile, P::kX, kTile)));
    std::vector<unsigned char> out(static_cast<size_t>(P::kColours * P::kColourBytes));
    for (auto _ : state) {
        for (int c = 0; c < P::kColours; ++c) {
            for (int p = 0; p < P::kPositions; ++p) {
                for (int j = 0; j < P::kY; ++j) {
                    const CutPackJob unit = {layers.data() + static_cast<size_t>(c) * kTile * kTile,
                                             kTile,
                                             kTile,
                                             p * P::kStep + j * P::kStep / P::kY,
                                             columns.data(),
                                             P::kX,
                                             kTile,
                                             cuts.data(),
                                             P::kRows,
                                             P::kBits,
                                             out.data() + c * P::kColourBytes +
                                                 p * P::kPositionBytes + j * P::kLineBytes,
                                             P::kY * P::kLineBytes,
                                             scratch.data()};
                    kernels.cutPackRows(unit);
                }
            }
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double decisions =
        static_cast<double>(P::kColours) * P::kPositions * P::kY * P::kRows * kTile * P::kX;
    state.counters[kRate] = benchmark::Counter(decisions * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

// Every pass count of the modes with both bit depths.
std::vector<Shape> Shapes()
{
    std::vector<Shape> shapes;
    for (int passes = 1; passes <= 8; ++passes) {
        for (const int bits : {1, 2})
            shapes.push_back(Shape{passes, bits});
    }
    return shapes;
}

std::vector<Variant> RunnableFastVariants()
{
    std::vector<Variant> variants;
    for (const Variant variant : {Variant::Portable, Variant::Avx2}) {
        if (VariantRunnable(variant))
            variants.push_back(variant);
    }
    return variants;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::vector<Variant> fast = RunnableFastVariants();
    const std::vector<Shape> shapes = Shapes();
    for (const Shape& shape : shapes) {
        benchmark::RegisterBenchmark(("Plain/" + shape.Label()).c_str(), BytePerPixelUnit,
                                     KernelsOf(Variant::Plain), shape);
        for (const Variant variant : fast) {
            const KernelTable& kernels = KernelsOf(variant);
            benchmark::RegisterBenchmark(
                ("BytePerPixel/" + std::string(VariantName(kernels.variant)) + "/" + shape.Label())
                    .c_str(),
                BytePerPixelUnit, kernels, shape);
            benchmark::RegisterBenchmark(
                ("Fused/" + std::string(VariantName(kernels.variant)) + "/" + shape.Label())
                    .c_str(),
                FusedUnit, kernels, shape);
        }
    }
    benchmark::RegisterBenchmark("KernelsOfCreate/Production_1280x8_8colours_X2_Y2_2bit",
                                 KernelsOfCreate)
        ->Unit(benchmark::kMillisecond);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatios to the plain byte-per-pixel path, measured in this run "
                "(the library renders with: %s):\n",
                VariantName(ActiveKernels().variant));
    for (const Shape& shape : shapes) {
        const double plain = reporter.Counter("Plain/" + shape.Label(), kRate);
        if (plain <= 0)
            continue;
        std::printf("  %-8s plain %5.2f G/s", shape.Label().c_str(), plain / 1e9);
        for (const Variant variant : fast) {
            const std::string name = VariantName(variant);
            const double fused = reporter.Counter("Fused/" + name + "/" + shape.Label(), kRate);
            if (fused > 0)
                std::printf(" | %s %6.2f G/s x%5.1f", name.c_str(), fused / 1e9, fused / plain);
        }
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
