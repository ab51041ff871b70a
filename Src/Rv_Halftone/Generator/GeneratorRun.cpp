#include "GeneratorRun.h"

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskDataGenerator.h>
#include <Rv_Halftone/MaskParam.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "Common/Refusal.h"
#include "Common/Sizes.h"

#include <thread>

namespace rv_halftone {

namespace {

// Fixed, so that a pass mask's run is the same on every machine; the bytes never depend on it.
constexpr int kPassMaskWorkerCount = 6;

}  // namespace

int WorkerCount(ERenderKind kind)
{
    if (kind == ERenderKind::PassMask)
        return kPassMaskWorkerCount;
    const unsigned int reported = std::thread::hardware_concurrency();
    return reported >= 1 ? static_cast<int>(reported) : 1;
}

SMaskDataGenerate_Param GenerateParam_Of(const SRenderJob& job, int thresholdWidth)
{
    const long long positionBytes = static_cast<long long>(job.yPasses) * job.rows * job.lineBytes;
    SMaskDataGenerate_Param param;
    param.maskBlock = job.output;
    param.maskBytesOneColor = static_cast<int>(positionBytes * job.positions);
    param.maskBytesOnePosition = static_cast<int>(positionBytes);
    param.maskLineBytes = job.lineBytes;
    param.thresholdData = job.thresholds;
    param.thresholdHeight = job.thresholdHeight;
    param.thresholdWidth = thresholdWidth;
    param.colorCount = job.colours;
    param.positionCount = job.positions;
    param.cutTable = job.cutTable;
    param.cutTableCount = job.rows;
    param.maskHeight = job.rows;
    param.stepHeight = job.step;
    param.xResPass = job.xPasses;
    param.yResPass = job.yPasses;
    param.bitsPerPixel = job.bitsPerPixel;
    param.featherNozzleType = job.ripple ? FeatherNozzleType_ThreePartRipple : 0;
    return param;
}

bool RecordRipples(const SMaskDataGenerate_Param& p)
{
    return p.featherNozzleType == FeatherNozzleType_ThreePartRipple;
}

bool RenderJob_Fits(const SRenderJob& job, int thresholdWidth)
{
    const long long positionBytes = static_cast<long long>(job.yPasses) * job.rows * job.lineBytes;
    if (!FitsInt(positionBytes) || !FitsInt(positionBytes * job.positions)) {
        return Refuse([&] {
            return Words("one colour's mask would take ", positionBytes * job.positions,
                         " bytes, more than ", INT_MAX);
        });
    }
    return job.colours < 1 || job.positions < 1 ||
           GenerateSizes_Fit(GenerateParam_Of(job, thresholdWidth));
}

bool GenerateSizes_Fit(const SMaskDataGenerate_Param& p)
{
    const long long lastRowStart = static_cast<long long>(p.positionCount) * p.stepHeight;
    const long long stepRows = static_cast<long long>(p.yResPass) * p.stepHeight;
    const long long rowPixels = static_cast<long long>(p.thresholdWidth) * p.xResPass;
    if (!FitsInt(lastRowStart) || !FitsInt(stepRows) || !FitsInt(rowPixels)) {
        return Refuse([&] {
            return Words("the generator's threshold rows (", p.positionCount, " positions x ",
                         p.stepHeight, " rows) or row pixels (", rowPixels,
                         ") exceed the largest int, ", INT_MAX);
        });
    }
    // Where the ripple runs, each worker holds one byte-per-pixel block per X pass.
    if (!RecordRipples(p))
        return true;
    const long long blockBytes = static_cast<long long>(p.thresholdWidth) * p.maskHeight;
    if (!FitsInt(blockBytes) || !FitsInt(blockBytes * p.xResPass)) {
        return Refuse([&] {
            return Words("the sine ripple (featherNozzleType 3) needs ", p.xResPass, " blocks of ",
                         p.thresholdWidth, " x ", p.maskHeight, " bytes per worker, more than ",
                         INT_MAX,
                         " bytes; lower nozzleCount or xResPass, or use featherNozzleType 2");
        });
    }
    return true;
}

bool RenderOnGenerator(const SRenderJob& job, int workerCount)
{
    if (job.thresholds == nullptr || !RenderJob_Fits(job, job.thresholds->Width())) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const SMaskDataGenerate_Param param = GenerateParam_Of(job, job.thresholds->Width());

    CMaskDataGenerator generator;
    if (!generator.Create(param, workerCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (!generator.Wait_Exit(kRenderTimeoutMs)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

}  // namespace rv_halftone
