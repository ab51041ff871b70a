// The page splitter: packed page bytes per second through CPageSplitter (every pass of one
// colour's page, PNG decoding left out), beside a byte-per-pixel reference loop that unpacks each
// page and mask pixel, ANDs them and packs the result, on the same page and mode in the same run.
// Also the recombination check that `rv_halftone split` runs on every swath.
#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/Recombination.h>
#include <RvAnalysis/TestPage.h>
#include <Rv_Halftone/MaskData_Base.h>

#include <benchmark/benchmark.h>
#include <boost/log/core.hpp>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace rv_analysis;

// A 600 dpi A4 page is 4,960 pixels across; 1,024 of its lines keep a run short.
constexpr int kPageWidth = 4960;
constexpr int kPageLines = 1024;

struct SMode
{
    int passes, bits, x = 1, y = 1;

    bool operator==(const SMode& other) const
    {
        return passes == other.passes && bits == other.bits && x == other.x && y == other.y;
    }
};

struct SWorkload
{
    CMaskData_Base mask;
    std::unique_ptr<CPrintPlan> plan;
    SPackedPage page;
};

SWorkload& Workload(SMode mode)
{
    static std::vector<std::pair<SMode, std::unique_ptr<SWorkload>>> made;
    for (auto& [key, workload] : made)
        if (key == mode)
            return *workload;
    auto workload = std::make_unique<SWorkload>();
    SMaskParam p;
    std::memset(&p, 0, sizeof p);
    p.nozzleCount = 544;
    p.basePass = mode.passes;
    p.xResPass = mode.x;
    p.yResPass = mode.y;
    p.colorCount = 1;
    p.bitsPerPixel = mode.bits;
    p.featherNozzleType = 1;
    p.colorTimes = 1;
    p.smoothLevelPercent = 100;
    if (!workload->mask.Create(p))
        std::abort();
    workload->plan = std::make_unique<CPrintPlan>(workload->mask);
    workload->page = MakeTestPage(kPageWidth, kPageLines, mode.bits);
    made.emplace_back(mode, std::move(workload));
    return *made.back().second;
}

int PixelAt(const unsigned char* row, int x, int bits)
{
    const int bit = x * bits;
    return row[bit / 8] >> (8 - bits - bit % 8) & ((1 << bits) - 1);
}

// The straightforward way: one pixel at a time, the mask column found by a modulo.
void SplitPerPixel(const CPrintPlan& plan, const SPackedPage& page, std::vector<unsigned char>& out)
{
    const int bits = page.bitsPerPixel;
    const size_t rowBytes = page.RowBytes();
    for (int g = 0; g < plan.PassCount(page.height); ++g) {
        const SPhysicalPass pass = plan.Pass(g);
        const SIndexRange nozzles = plan.NozzlesOnLines(pass, 0, page.height);
        const int columns = plan.HeadColumns(page.width, pass.xPhase);
        for (int k = nozzles.first; k < nozzles.end; ++k) {
            const unsigned char* maskRow = plan.RowOfNozzle(0, pass, k);
            const unsigned char* pageRow =
                page.bytes.data() + static_cast<size_t>(plan.NozzleLine(pass, k)) * rowBytes;
            unsigned char* outRow = out.data() + static_cast<size_t>(k - nozzles.first) * rowBytes;
            std::memset(outRow, 0, rowBytes);
            for (int x = 0; x < columns; ++x) {
                const int c = static_cast<int>(plan.PageColumn(pass.xPhase, x));
                const int value =
                    PixelAt(pageRow, c, bits) & PixelAt(maskRow, plan.MaskColumn(c), bits);
                const int bit = x * bits;
                outRow[bit / 8] =
                    static_cast<unsigned char>(outRow[bit / 8] | value << (8 - bits - bit % 8));
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void Report(benchmark::State& state, const SPackedPage& page)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.bytes.size()));
}

void Splitter(benchmark::State& state, SMode mode)
{
    SWorkload& w = Workload(mode);
    CPageSplitter splitter(*w.plan, 0, w.page.Raster());
    for (auto _ : state)
        splitter.ForEachSwath([](const SSwath& swath) { benchmark::DoNotOptimize(swath.bytes); });
    Report(state, w.page);
}

// A roll of the page repeated kRollPages times, pushed a line at a time as split reads a file:
// each line copied into the splitter's window before the passes take it. Long enough that setting
// up the window (about one swath span of lines) weighs on the figure as little as on a printed
// page, 7,016 lines at A4 and 600 dpi.
constexpr int kRollPages = 16;

void StreamedSplitter(benchmark::State& state, SMode mode)
{
    SWorkload& w = Workload(mode);
    const SPageLayout layout{w.page.width, w.page.height * kRollPages, w.page.bitsPerPixel};
    for (auto _ : state) {
        CPageSplitter splitter(*w.plan, 0, layout,
                               [](const SSwath& swath) { benchmark::DoNotOptimize(swath.bytes); });
        for (int line = 0; line < layout.height; ++line)
            splitter.PushLines(w.page.bytes.data() +
                                   static_cast<size_t>(line % w.page.height) * w.page.RowBytes(),
                               1, w.page.RowBytes());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kRollPages *
                            static_cast<int64_t>(w.page.bytes.size()));
}

void PerPixel(benchmark::State& state, SMode mode)
{
    SWorkload& w = Workload(mode);
    std::vector<unsigned char> out(static_cast<size_t>(w.plan->NozzleCount()) * w.page.RowBytes());
    for (auto _ : state)
        SplitPerPixel(*w.plan, w.page, out);
    Report(state, w.page);
}

void SplitAndCheck(benchmark::State& state, SMode mode)
{
    SWorkload& w = Workload(mode);
    CPageSplitter splitter(*w.plan, 0, w.page.Raster());
    for (auto _ : state) {
        CRecombination check(*w.plan, 0, w.page.Raster());
        splitter.ForEachSwath([&check](const SSwath& swath) { check.Lay(swath); });
        benchmark::DoNotOptimize(check.Verdict().mismatches);
    }
    Report(state, w.page);
}

// 4 passes of two bits: mask rows of 136 bytes, whole words. One bit: 68 bytes, not whole words.
BENCHMARK_CAPTURE(Splitter, passes4_2bit, SMode{4, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PerPixel, passes4_2bit, SMode{4, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Splitter, passes4_1bit, SMode{4, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PerPixel, passes4_1bit, SMode{4, 1})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Splitter, passes8_2bit, SMode{8, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PerPixel, passes8_2bit, SMode{8, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StreamedSplitter, passes8_2bit, SMode{8, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SplitAndCheck, passes8_2bit, SMode{8, 2})->Unit(benchmark::kMillisecond);
// Two X and two Y phases: every swath takes every other page column.
BENCHMARK_CAPTURE(Splitter, passes4_2bit_x2y2, SMode{4, 2, 2, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PerPixel, passes4_2bit_x2y2, SMode{4, 2, 2, 2})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SplitAndCheck, passes4_2bit_x2y2, SMode{4, 2, 2, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    boost::log::core::get()->set_logging_enabled(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
