// End to end: CMaskData_Base::Create of whole masks (geometry, cut table, threshold tiling and the
// generator's threads), in wall-clock time since the work runs on the generator's threads, the
// print simulation behind `rv_halftone verify` and the banding simulation behind
// `rv_halftone banding`. "decisions/s" counts mask pixels decided. The production mode's kernel
// calls alone are timed by rv_kernel_bench; scripts/run-bench.sh sets the two side by side.
#include "MedianReporter.h"

#include <RvAnalysis/Banding.h>
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <benchmark/benchmark.h>
#include <boost/log/core.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Mode
{
    int nozzles, passes, colours, bits, xPasses, yPasses, featherMode, featherType;
    float featherPercent;
};

SMaskParam Record(const Mode& m)
{
    SMaskParam p;
    std::memset(&p, 0, sizeof p);
    p.nozzleCount = m.nozzles;
    p.basePass = m.passes;
    p.xResPass = m.xPasses;
    p.yResPass = m.yPasses;
    p.colorCount = m.colours;
    p.bitsPerPixel = m.bits;
    p.featherMode = m.featherMode;
    p.featherNozzleType = m.featherType;
    p.featherPercent = m.featherPercent;
    p.colorTimes = 1;
    p.smoothLevelPercent = 100;
    return p;
}

double Decisions(const CMaskData_Base& mask)
{
    return static_cast<double>(mask.MaskParam_Current().colorCount) * mask.MaskPositionCount() *
           mask.MaskHeight_IncludeRes() * mask.MaskWidth();
}

void Create(benchmark::State& state, Mode mode)
{
    double decisions = 0;
    for (auto _ : state) {
        CMaskData_Base mask;
        if (!mask.Create(Record(mode))) {
            state.SkipWithError("Create failed");
            break;
        }
        decisions += Decisions(mask);
        int counter = -1;
        benchmark::DoNotOptimize(mask.MaskData_Get(0, counter));
    }
    state.counters["decisions/s"] = benchmark::Counter(decisions, benchmark::Counter::kIsRate);
}

// Seconds of one Create of `mode`, on the wall clock.
double TimedCreate(const Mode& mode)
{
    const auto start = std::chrono::steady_clock::now();
    CMaskData_Base mask;
    const bool built = mask.Create(Record(mode));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return built ? elapsed.count() : -1.0;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The modes' Creates in turn, each iteration one of every mode: a shared machine's slow and fast
// moments then fall on all of them alike, and the medians compare builds made side by side. The
// counters are milliseconds per Create (median) of each mode, in the order given.
void CreateInTurn(benchmark::State& state, std::vector<Mode> modes)
{
    std::vector<std::vector<double>> seconds(modes.size());
    for (auto _ : state) {
        for (size_t m = 0; m < modes.size(); ++m) {
            const double elapsed = TimedCreate(modes[m]);
            if (elapsed < 0) {
                state.SkipWithError("Create failed");
                return;
            }
            seconds[m].push_back(elapsed);
        }
    }
    for (size_t m = 0; m < modes.size(); ++m)
        state.counters["ms_" + std::to_string(m)] = 1e3 * Median(seconds[m]);
}

void Verify(benchmark::State& state, Mode mode)
{
    CMaskData_Base mask;
    if (!mask.Create(Record(mode))) {
        state.SkipWithError("Create failed");
        return;
    }
    const rv_analysis::CPrintPlan plan(mask);
    for (auto _ : state)
        for (int c = 0; c < plan.ColorCount(); ++c)
            benchmark::DoNotOptimize(rv_analysis::Verify(plan, c).met);
}

// One print of a mode with the paper advancing 0.2 rows too far.
void Banding(benchmark::State& state, Mode mode)
{
    CMaskData_Base mask;
    if (!mask.Create(Record(mode))) {
        state.SkipWithError("Create failed");
        return;
    }
    const rv_analysis::CPrintPlan plan(mask);
    rv_analysis::SPrinterErrors errors;
    errors.advanceError = 0.2;
    for (auto _ : state)
        benchmark::DoNotOptimize(rv_analysis::Banding_Simulate(plan, errors, {}).indexPercent);
}

// The default comparison of `rv_halftone banding --compare` (four modes, six advance errors) on
// state.range(0) workers.
void BandingCompare(benchmark::State& state, Mode mode)
{
    const std::vector<double> sweep = {0.0, 0.05, 0.1, 0.2, 0.3, 0.5};
    for (auto _ : state) {
        const rv_analysis::SBandingComparison comparison = rv_analysis::Banding_Compare(
            Record(mode), sweep, {}, {}, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(comparison.modes.size());
    }
}

const Mode kDefault = {544, 4, 2, 2, 1, 1, 0, 1, 0.f};  // the README's default mode
const Mode kPlain1Bit = {544, 4, 1, 1, 1, 1, 0, 1, 0.f};
const Mode kTwoPart = {544, 4, 2, 2, 1, 1, 1, 1, 50.f};
const Mode kThreePart = {544, 4, 2, 2, 1, 1, 1, 2, 50.f};
const Mode kSine = {544, 4, 2, 2, 1, 1, 1, 3, 50.f};  // three-part with the sine ripple
// Read by PrintRatios in this order.
const std::vector<Mode> kSmoothingModes = {kTwoPart, kThreePart, kSine};
const Mode kFourColoursRes2 = {544, 4, 4, 2, 2, 2, 0, 1, 0.f};
// A large production head: every colour of a wide-format printer at twice the base resolution.
const Mode kProduction = {1280, 8, 8, 2, 2, 2, 0, 1, 0.f};

// What the run's own figures say: the smoothing modes' Creates against each other, built in turn,
// and the production mode's Create.
void PrintRatios(const MedianReporter& reporter)
{
    const std::string suffix = "/process_time/real_time";
    const std::string inTurn = "CreateInTurn/TwoPart_ThreePart_SineRipple" + suffix;
    const double twoPart = reporter.Counter(inTurn, "ms_0");
    const double threePart = reporter.Counter(inTurn, "ms_1");
    const double sine = reporter.Counter(inTurn, "ms_2");
    if (twoPart > 0 && threePart > 0 && sine > 0)
        std::printf("\nCreate, built in turn (medians): two-part %.2f ms, three-part %.2f ms, "
                    "three-part with the sine ripple %.2f ms.\nWith the ripple / two-part: x%.2f; "
                    "without it / two-part: x%.2f; with / without the ripple: x%.2f\n",
                    twoPart, threePart, sine, sine / twoPart, threePart / twoPart,
                    sine / threePart);
    const std::string create = "Create/Production_1280x8_8colours_X2_Y2_2bit" + suffix;
    if (reporter.RealSeconds(create) > 0)
        std::printf("Production mode: Create %.1f ms (%.1f ms of processor time), %.2f G "
                    "decisions/s\n",
                    reporter.RealSeconds(create) * 1e3, reporter.CpuSeconds(create) * 1e3,
                    reporter.Counter(create, "decisions/s") / 1e9);
}

}  // namespace

// Processor time of every thread of the process: the build's work is done on the generator's.
#define RV_CREATE_BENCH(kind, name, mode)                                                          \
    BENCHMARK_CAPTURE(kind, name, mode)                                                            \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->MeasureProcessCPUTime()                                                                  \
        ->UseRealTime()

RV_CREATE_BENCH(Create, Unfeathered_1colour_1bit, kPlain1Bit);
RV_CREATE_BENCH(Create, Default_2colours_2bit, kDefault);
RV_CREATE_BENCH(Create, TwoPart_2colours_2bit, kTwoPart);
RV_CREATE_BENCH(Create, ThreePart_2colours_2bit, kThreePart);
RV_CREATE_BENCH(Create, SineRipple_2colours_2bit, kSine);
RV_CREATE_BENCH(CreateInTurn, TwoPart_ThreePart_SineRipple, kSmoothingModes);
RV_CREATE_BENCH(Create, FourColours_X2_Y2_2bit, kFourColoursRes2);
RV_CREATE_BENCH(Create, Production_1280x8_8colours_X2_Y2_2bit, kProduction);
RV_CREATE_BENCH(Verify, Default_2colours_2bit, kDefault);
RV_CREATE_BENCH(Banding, Default_2colours_2bit, kDefault);
RV_CREATE_BENCH(Banding, ThreePart_2colours_2bit, kThreePart);
RV_CREATE_BENCH(BandingCompare, Default_2colours_2bit, kDefault)->Arg(1)->Arg(2);

int main(int argc, char** argv)
{
    // No console output from the library's log records while measuring.
    boost::log::core::get()->set_logging_enabled(false);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("rv_halftone kernels", rv_halftone_kernel_variant());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
