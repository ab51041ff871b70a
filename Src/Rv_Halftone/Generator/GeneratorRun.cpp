#include "GeneratorRun.h"

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskDataGenerator.h>

#include "../Rv_Halftone_Internal.h"

namespace rv_halftone {

bool RenderOnGenerator(const SRenderJob& job, int workerCount)
{
    const long long positionBytes = static_cast<long long>(job.yPasses) * job.rows * job.lineBytes;
    const long long colourBytes = positionBytes * job.positions;
    if (!FitsInt(positionBytes) || !FitsInt(colourBytes) || job.thresholds == nullptr) {
        ZEB_LOG_FAILURE();
        return false;
    }
    SMaskDataGenerate_Param param;
    param.maskBlock = job.output;
    param.maskBytesOneColor = static_cast<int>(colourBytes);
    param.maskBytesOnePosition = static_cast<int>(positionBytes);
    param.maskLineBytes = job.lineBytes;
    param.thresholdData = job.thresholds;
    param.thresholdHeight = job.thresholdHeight;
    param.thresholdWidth = job.thresholds->Width();
    param.colorCount = job.colours;
    param.positionCount = job.positions;
    param.cutTable = job.cutTable;
    param.cutTableCount = job.rows;
    param.maskHeight = job.rows;
    param.stepHeight = job.step;
    param.xResPass = job.xPasses;
    param.yResPass = job.yPasses;
    param.bitsPerPixel = job.bitsPerPixel;
    param.featherNozzleType = job.ripple ? 3 : 0;

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
