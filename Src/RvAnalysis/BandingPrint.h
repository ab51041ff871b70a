// The ink on the paper of a banding simulation: the passes laid with the printer's errors, every
// fired pixel a round dot sampled on the fine paper grid (see Banding.h for the geometry).
#pragma once

#include <RvAnalysis/Banding.h>

#include <vector>

namespace rv_analysis {

struct SLaidInk
{
    std::vector<double> profile;  // inked share of each line of the stretch
    SInkCrop crop;
};

// Bytes the ink samples of the stretch take.
long long Ink_Bytes(const CPrintPlan& plan, const SBandingSettings& settings, SIndexRange stretch);

// Lays every pass that reaches the stretch; the inputs must pass Banding_Refusal.
SLaidInk Ink_Lay(const CPrintPlan& plan, const SPrinterErrors& errors,
                 const SBandingSettings& settings, SIndexRange stretch);

}  // namespace rv_analysis
