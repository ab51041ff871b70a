// Internal: the one way the library renders on the generator's threads. The pass mask and the
// overlap band describe what to render; this fills the generator's record, runs it and waits.
#pragma once

#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/MaskDataGenerate_Param.h>

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

// The generator's record for the job, thresholdWidth samples per threshold row.
SMaskDataGenerate_Param GenerateParam_Of(const SRenderJob& job, int thresholdWidth);

// The sizes a run of the job reaches (its units, its output, the generator's blocks) are int
// offsets: false, with the reason stated, when one is not. Nothing is allocated.
bool RenderJob_Fits(const SRenderJob& job, int thresholdWidth);
// The generator's own size checks of a record with units, the ones no buffer can answer.
bool GenerateSizes_Fit(const SMaskDataGenerate_Param& p);

// Renders the job with `workerCount` workers and waits for it. False, with a failure record, when
// the generator refuses the job, a worker fails, or the run takes longer than kRenderTimeoutMs.
bool RenderOnGenerator(const SRenderJob& job, int workerCount);

}  // namespace rv_halftone
