// End to end: CMaskData_Base::Create of whole masks (geometry, cut table, threshold tiling and the
// generator's threads), in wall-clock time since the work runs on the generator's threads. For
// contrast, the legacy single-threaded renderer (byte-per-pixel blocks, then packing) on the same
// geometry.
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>

#include "MaskDataPeer.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// 544 nozzles, 4 passes, no feather; colours, bits and resolution passes as given.
SMaskParam Mode(int colours, int bits, int xPasses, int yPasses)
{
    SMaskParam p;
    std::memset(&p, 0, sizeof p);
    p.nozzleCount = 544;
    p.basePass = 4;
    p.xResPass = xPasses;
    p.yResPass = yPasses;
    p.colorCount = colours;
    p.bitsPerPixel = bits;
    p.featherNozzleType = 1;
    p.colorTimes = 1;
    p.smoothLevelPercent = 100;
    return p;
}

void Create(benchmark::State& state, SMaskParam mode)
{
    for (auto _ : state) {
        CMaskData_Base mask;
        if (!mask.Create(mode)) {
            state.SkipWithError("Create failed");
            break;
        }
        benchmark::DoNotOptimize(CMaskData_Base_Peer::MaskBlock(mask).MaskData_Const());
    }
}

void LegacyRender(benchmark::State& state, SMaskParam mode)
{
    CMaskData_Base mask;
    if (!mask.Create(mode)) {
        state.SkipWithError("Create failed");
        return;
    }
    for (auto _ : state) {
        if (!CMaskData_Base_Peer::CreateMaskData_Old(mask)) {
            state.SkipWithError("legacy rendering failed");
            break;
        }
    }
}

}  // namespace

BENCHMARK_CAPTURE(Create, DefaultMode_2colours_2bit, Mode(2, 2, 1, 1))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Create, 4colours_X2_Y2_2bit, Mode(4, 2, 2, 2))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LegacyRender, DefaultMode_2colours_2bit, Mode(2, 2, 1, 1))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(LegacyRender, 4colours_X2_Y2_2bit, Mode(4, 2, 2, 2))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
