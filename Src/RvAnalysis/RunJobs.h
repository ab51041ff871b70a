// The worker pool of the analyses that run many independent simulations (Banding_Sweep, the mode
// designer).
#pragma once

#include <RvAnalysis/Banding.h>

#include <functional>

namespace rv_analysis {

// Runs job(0) to job(count - 1) on up to `workers` threads, the calling one among them, and calls
// progress(done, count) after each, one call at a time. Each job writes only its own results, so
// what comes out does not depend on the number of workers. The first exception a job or the
// progress throws is thrown again here once every worker has ended.
void RunJobs(int count, int workers, const std::function<void(int)>& job,
             const BandingProgress& progress);

}  // namespace rv_analysis
