// OverlapMask::MaskBlock_Create: the feathered band of an overlap zone, rendered by the mask
// generator as one unit of work.
#include <Rv_Halftone/OverlapMask.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <RvPlanes/PlaneDerive.h>
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskBlock.h>

#include "Common/Sizes.h"
#include "CutTables/CutTables.h"
#include "Generator/GeneratorRun.h"

#include <algorithm>
#include <vector>

// Block line i (head) fires where v_i <= T < L and block line height + i (tail) where T < v_i,
// with L = inkPercent % of the scale and v_i falling from line to line: both read threshold row i
// while the band fits one tile, so they split the pixels below L between them.
bool OverlapMask::MaskBlock_Create(int height, int inkPercent, int width, int lineBytes,
                                   int bitsPerPixel, CMaskBlock& block)
{
    if (inkPercent < 1 || inkPercent > 100) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const long long rows = 2LL * height;
    const long long blockBytes = rows * lineBytes;
    if (height < 1 || width < 1 || !rv_halftone::FitsInt(blockBytes)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int rowCount = static_cast<int>(rows);

    // The cut table and the threshold layer outlive the run, whose threads read both.
    std::vector<SCutTable> cutTable(static_cast<size_t>(rowCount), SCutTable{0, 0});
    if (!rv_halftone::cut_tables::ThreePart_Ramp(cutTable.data(), rowCount, height, inkPercent)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int thresholdHeight = std::min(height, rv_halftone::planes::kTileSize);
    CBaseMaskData thresholds;
    if (!thresholds.Create(width, thresholdHeight, 1)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // One row of all the band's bytes, zeroed: the worker only ORs bits in.
    if (!block.Create(static_cast<int>(blockBytes), 1)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    // One unit: the head lines then the tail lines, without the sine ripple, which would break
    // their pairing. The tail lines read the head lines' threshold rows: a step of `height` rows.
    rv_halftone::SRenderJob job;
    job.output = &block;
    job.thresholds = &thresholds;
    job.thresholdHeight = thresholdHeight;
    job.cutTable = cutTable.data();
    job.rows = rowCount;
    job.colours = 1;
    job.positions = 1;
    job.step = height;
    job.xPasses = 1;
    job.yPasses = 1;
    job.bitsPerPixel = bitsPerPixel;
    job.lineBytes = lineBytes;
    job.ripple = false;
    if (!rv_halftone::RenderOnGenerator(
            job, rv_halftone::WorkerCount(rv_halftone::ERenderKind::OverlapBand))) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}
