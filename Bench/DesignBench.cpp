// The mode designer's default run: the tool's default head, the default error budget, 2 to 8
// passes, one worker. Reports where the processor time goes (mask builds, error-free prints,
// the budget's prints, the tolerances) and the recommended mode's expected banding beside that of
// the three-part mode the main job prints with (544 nozzles, 4 passes, three-part at 50 %, smooth
// 100), judged under the same budget.
#include <RvAnalysis/ModeDesign.h>

#include <benchmark/benchmark.h>
#include <boost/log/core.hpp>

#include <cstdio>

namespace {

using namespace rv_analysis;

SMaskParam MainJobMode()
{
    SMaskParam record = MaskParam_Default();
    record.featherMode = FeatherMode_Nozzle;
    record.featherNozzleType = FeatherNozzleType_ThreePart;
    record.featherPercent = 50.0f;
    record.smoothLevelPercent = 100;
    return record;
}

void DefaultDesign(benchmark::State& state)
{
    const SDesignLimits limits;
    const SErrorBudget budget;
    SDesignSettings settings;
    settings.workers = static_cast<int>(state.range(0));
    SDesignResult result;
    for (auto _ : state) {
        result = Mode_Design(limits, budget, settings);
        benchmark::DoNotOptimize(result);
    }
    if (!result.refusal.empty()) {
        state.SkipWithError(result.refusal.c_str());
        return;
    }
    const SDesignCandidate mainJob = Mode_Judge(MainJobMode(), budget, settings);
    const SDesignCandidate& best = result.ranked.front();
    state.counters["tried"] = result.tried;
    state.counters["refused"] = static_cast<double>(result.refused.size());
    state.counters["simulations"] = result.simulations;
    state.counters["mask_builds_s"] = result.time.maskBuilds;
    state.counters["error_free_s"] = result.time.errorFree;
    state.counters["simulation_s"] = result.time.simulation;
    state.counters["tolerance_s"] = result.time.tolerance;
    state.counters["best_expected"] = best.expectedBanding;
    state.counters["main_job_expected"] = mainJob.expectedBanding;
    std::printf("recommended: %d passes (basePass %d, X %d, Y %d), %s at %.2f %%, smooth %d: "
                "expected %.4f, worst %.4f delta L*, tolerates %.2f rows (jitter %.2f)\n"
                "main job's mode (4 passes, three-part at 50 %%, smooth 100): expected %.4f, "
                "worst %.4f delta L*\n",
                best.physicalPasses, best.record.basePass, best.record.xResPass,
                best.record.yResPass, FeatherName(best.feather), best.record.featherPercent,
                best.record.smoothLevelPercent, best.expectedBanding, best.worstBanding,
                best.tolerance.advanceError, best.tolerance.advanceJitter,
                mainJob.expectedBanding, mainJob.worstBanding);
    for (const SDesignCandidate& c : result.bestByPasses)
        std::printf("  %d passes: %s at %.2f %%, expected %.4f, worst %.4f\n", c.physicalPasses,
                    FeatherName(c.feather), c.record.featherPercent, c.expectedBanding,
                    c.worstBanding);
}

}  // namespace

BENCHMARK(DefaultDesign)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

int main(int argc, char** argv)
{
    boost::log::core::get()->set_logging_enabled(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
