// Internal: the one way the library renders on the generator's threads. The pass mask and the
// overlap band describe what to render; this fills the generator's record, runs it and waits.
#pragma once

#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/MaskDataGenerate_Param.h>

class CBaseMaskData;
class CMaskBlock;

namespace rv_halftone {

// A mask or overlap band that takes longer than this to render fails.
constexpr unsigned int kRenderTimeoutMs = 60000;
// Longest wait of a generator thread on a busy partner; every such wait is retried.
constexpr unsigned int kPartnerWaitMs = 100;

// What is rendered, for the number of workers it gets.
enum class ERenderKind
{
    PassMask,     // a whole pass mask: many units
    OverlapBand,  // the band of a stitched head's overlap zone: one unit
};

// The workers of a run. A pass mask gets 6 whatever the processor count, so that its run does not
// depend on the machine; an overlap band gets as many as the processor runs threads, at least one
// (the standard lets the count be unknown, 0, and a run without a worker never ends).
int WorkerCount(ERenderKind kind);

// `colours` x `positions` x `yPasses` units. Unit (c, p, j) cuts `rows` rows from layer c of the
// thresholds, from row ThresholdRowStart(p, j, step, yPasses) on, with one cut-table entry per
// row, and packs its X passes into every yPasses-th output row of position p of colour c.
struct SRenderJob
{
    CMaskBlock* output = nullptr;  // sized for every unit and zeroed: workers only OR bits in
    const CBaseMaskData* thresholds = nullptr;  // one layer per colour, thresholdHeight rows tall
    int thresholdHeight = 0;
    const SCutTable* cutTable = nullptr;
    int rows = 0;
    int colours = 0;
    int positions = 0;
    int step = 0;
    int xPasses = 0;
    int yPasses = 0;
    int bitsPerPixel = 0;
    int lineBytes = 0;    // bytes of one output row
    bool ripple = false;  // the sine ripple over the last rows of each unit
};

// The generator's record for the job, thresholdWidth samples per threshold row. The record says
// "ripple" in its own way (featherNozzleType 3); RecordRipples reads it back.
SMaskDataGenerate_Param GenerateParam_Of(const SRenderJob& job, int thresholdWidth);
bool RecordRipples(const SMaskDataGenerate_Param& p);

// The sizes a run of the job reaches (its units, its output, the generator's blocks) are int
// offsets: false, with the reason stated, when one is not. Nothing is allocated.
bool RenderJob_Fits(const SRenderJob& job, int thresholdWidth);
// The generator's own size checks of a record with units, the ones no buffer can answer.
bool GenerateSizes_Fit(const SMaskDataGenerate_Param& p);

// Renders the job with `workerCount` workers and waits for it. False, with a failure record, when
// the generator refuses the job, a worker fails, or the run takes longer than kRenderTimeoutMs.
bool RenderOnGenerator(const SRenderJob& job, int workerCount);

}  // namespace rv_halftone
