// Internal: the one way the library renders on the generator's threads. The pass mask and the
// overlap band describe what to render; this fills the generator's record, runs it and waits.
#pragma once

#include <Rv_Halftone/CutTable.h>

class CBaseMaskData;
class CMaskBlock;

namespace rv_halftone {

// `colours` x `positions` x `yPasses` units. Unit (c, p, j) cuts `rows` rows from layer c of the
// thresholds, from row ThresholdRowStart(p, j, step, yPasses) on, with one cut-table entry per
// row, and packs its X passes into every yPasses-th output row of position p of colour c.
struct SRenderJob
{
    CMaskBlock* output;               // sized for every unit and zeroed: workers only OR bits in
    const CBaseMaskData* thresholds;  // one layer per colour, each thresholdHeight rows tall
    int thresholdHeight;
    const SCutTable* cutTable;
    int rows;
    int colours;
    int positions;
    int step;
    int xPasses;
    int yPasses;
    int bitsPerPixel;
    int lineBytes;  // bytes of one output row
    bool ripple;    // the sine ripple over the last rows of each unit
};

// Renders the job with `workerCount` workers and waits for it. False, with a failure record, when
// the generator refuses the job, a worker fails, or the run takes longer than kRenderTimeoutMs.
bool RenderOnGenerator(const SRenderJob& job, int workerCount);

}  // namespace rv_halftone
