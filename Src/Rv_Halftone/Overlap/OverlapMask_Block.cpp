// OverlapMask::MaskBlock_Create: the feathered band of an overlap zone, rendered by the mask
// generator as one unit of work.
#include <Rv_Halftone/OverlapMask.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskBlock.h>

#include "../CutTables/CutTables.h"
#include "../Generator/GeneratorRun.h"
#include "../Rv_Halftone_Internal.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

// As many workers as the processor runs threads. The standard lets the count be unknown (0), and
// a generator without a worker would never finish its unit, so one worker is the floor.
int Worker_Count()
{
    const unsigned int reported = std::thread::hardware_concurrency();
    return reported >= 1 ? static_cast<int>(reported) : 1;
}

}  // namespace

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
    const int thresholdHeight = std::min(height, rv_halftone::kThresholdSize);
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
    // their pairing.
    // output, thresholds and their height, cut table, rows; one colour and position, a step of
    // `height` rows (the tail lines read the head lines' threshold rows), one X and Y pass.
    const rv_halftone::SRenderJob job = {
        &block, &thresholds, thresholdHeight, cutTable.data(), rowCount, 1, 1, height,
        1,      1,           bitsPerPixel,    lineBytes,       false};
    if (!rv_halftone::RenderOnGenerator(job, Worker_Count())) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}
