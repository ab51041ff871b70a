// End to end: CMaskData_Base::Create of whole masks (geometry, cut table, threshold tiling and the
// generator's threads), in wall-clock time since the work runs on the generator's threads, and the
// print simulation behind `rv_halftone verify`. "decisions/s" counts mask pixels decided.
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <benchmark/benchmark.h>
#include <boost/log/core.hpp>

#include <cstring>

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

const Mode kDefault = {544, 4, 2, 2, 1, 1, 0, 1, 0.f};  // the README's default mode
const Mode kPlain1Bit = {544, 4, 1, 1, 1, 1, 0, 1, 0.f};
const Mode kTwoPart = {544, 4, 2, 2, 1, 1, 1, 1, 50.f};
const Mode kSine = {544, 4, 2, 2, 1, 1, 1, 3, 50.f};  // three-part with the sine ripple
const Mode kFourColoursRes2 = {544, 4, 4, 2, 2, 2, 0, 1, 0.f};
// A large production head: every colour of a wide-format printer at twice the base resolution.
const Mode kProduction = {1280, 8, 8, 2, 2, 2, 0, 1, 0.f};

}  // namespace

#define RV_CREATE_BENCH(kind, name, mode)                                                          \
    BENCHMARK_CAPTURE(kind, name, mode)->Unit(benchmark::kMillisecond)->UseRealTime()

RV_CREATE_BENCH(Create, Unfeathered_1colour_1bit, kPlain1Bit);
RV_CREATE_BENCH(Create, Default_2colours_2bit, kDefault);
RV_CREATE_BENCH(Create, TwoPart_2colours_2bit, kTwoPart);
RV_CREATE_BENCH(Create, SineRipple_2colours_2bit, kSine);
RV_CREATE_BENCH(Create, FourColours_X2_Y2_2bit, kFourColoursRes2);
RV_CREATE_BENCH(Create, Production_1280x8_8colours_X2_Y2_2bit, kProduction);
RV_CREATE_BENCH(Verify, Default_2colours_2bit, kDefault);

int main(int argc, char** argv)
{
    // No console output from the library's log records while measuring.
    boost::log::core::get()->set_logging_enabled(false);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("rv_halftone kernels", rv_halftone_kernel_variant());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
