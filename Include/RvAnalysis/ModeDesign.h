// Mode design: the print mode that hides a given printer's errors best. Given a head, the errors a
// printer of that head makes (a budget: ranges and rates, not one measurement) and the most passes
// a customer will wait for, the designer searches the records the library accepts for those whose
// visible banding (Banding.h) over a sweep of tints is least, and says how much advance error each
// of them tolerates before its banding becomes visible.
//
// The search. Exhaustive over the discrete fields: feather family (kFeathers, or those asked for),
// pass count (basePass) and resolution passes (X, Y) whose physical passes P x X x Y lie within
// the limits, and the smooth level of the three-part families over a small set. Over the feather
// percent it is coarse to fine: a coarse grid first, then, around the best percent of each
// discrete choice, grids of half the step, a set number of times. The unfeathered family has no
// percent and no smooth level; the two-part family has no smooth level: each is simulated once.
// Records the library refuses (CMaskData_Base::Create fails, or the budget's errors cannot be
// simulated on the plan) are skipped and counted; the same record is never simulated twice.
//
// The figures of one record. For each tint of the sweep the error-free print is simulated once and
// every sample of the budget measured against it (Banding_SimulateAgainst). A sample's figure is
// the visible banding (SVisibleBand::weightedRms, delta L*) of the worst tint: a mode is as good
// as the tint it shows its errors most in. The expected banding is the weighted mean of the
// samples' figures, the worst the largest.
//
// Determinism. Every random draw (the dead nozzles, each sample's advance jitter) comes from the
// settings' seed and the sample's index, never from the record, the thread or the order of work:
// every record is judged under the same printer, and the result does not depend on the number of
// workers.
#pragma once

#include <RvAnalysis/Banding.h>
#include <Rv_Halftone/MaskParam.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rv_analysis {

// How the samples of the systematic advance error are weighed.
enum class EErrorDistribution
{
    Uniform,  // every sample alike: any error in the range as likely as any other
    Normal,   // by a normal density of sigma centred in the range: a printer near its nominal feed
};
const char* ErrorDistributionName(EErrorDistribution distribution);  // "uniform", "normal"

// The errors a printer of the head makes, as ranges and rates. Lengths in rows (fine lines).
struct SErrorBudget
{
    // The systematic advance error (SPrinterErrors::advanceError) lies between these. +-0.2 rows is
    // a paper feed calibrated to about 8 um at 600 dpi: what a production printer holds between
    // calibrations, and where the modes' banding differs most (README, banding figures).
    double advanceErrorMin = -0.2;
    double advanceErrorMax = 0.2;
    // Evenly spaced points over the range, both ends included (one: the middle of the range).
    // Three see both signs of the error and the printer at its nominal feed; every sample costs a
    // print per tint of every record searched.
    int advanceSamples = 3;
    EErrorDistribution distribution = EErrorDistribution::Uniform;
    double advanceSigma = 0.1;  // rows, with EErrorDistribution::Normal: half the default range
    // Random error of each advance, standard deviation in rows. 0.02 rows (under 1 um at 600 dpi)
    // is a good stepper drive's repeatability; it keeps a search from tuning to a perfect feed.
    double advanceJitter = 0.02;
    double advanceErrorPercent = 0.0;  // share of each advance, percent: a roller off its diameter
    double eccentricityRows = 0.0;     // amplitude of a roller's eccentricity, rows
    double eccentricityMm = 0.0;       // its circumference, mm of paper travel
    // Dot diameter from one end of the head to the other, percent. Heads vary by a few percent to
    // 10 %; 3 % is a good head, for which the feather still matters.
    double dropGradientPercent = 3.0;
    // Nozzles that never fire, percent of the head, drawn with the seed. 0: a head freshly purged;
    // a worn head has a few tenths of a percent.
    double deadNozzlePercent = 0.0;
};

// A budget with no error at all: every mode then reads zero banding.
SErrorBudget ErrorBudget_None();

// The systematic advance errors a budget is sampled at, in order, and their weights (summing to 1).
struct SBudgetSample
{
    double advanceError = 0.0;
    double weight = 0.0;
};
std::vector<SBudgetSample> ErrorBudget_Samples(const SErrorBudget& budget);

// Why the budget cannot be used, with the value and the rule it breaks; empty when it can. The
// errors must lie within the simulation's limits (kMaxAdvanceError, ... in Banding.h).
std::string ErrorBudget_Refusal(const SErrorBudget& budget);

// The printer errors of sample `sample` of the budget on a head of `nozzleCount` nozzles: the
// sample's systematic error, the budget's other errors, the dead nozzles drawn from the seed, and
// the jitter's seed from the seed and the sample.
SPrinterErrors ErrorBudget_Errors(const SErrorBudget& budget, int nozzleCount, int sample,
                                  uint64_t seed);

// The smooth levels of the three-part families the search tries by default: the full level share
// of the library's usual three-part mode. Softer levels (SDesignLimits::smoothLevels, 1 to 100)
// each add as many records again as the three-part families have: the default run of the default
// head stays within five minutes of processor time with one.
constexpr int kDesignSmoothLevels[] = {100};
// The coarse grid of feather percents and how often it is refined around the best: percents
// 33.33, 66.67, 100, then 16.67 either side of the best of each discrete choice. Each percent of
// the grid costs a record per feathered family and pass count: three keep the default run within
// five minutes of processor time.
constexpr double kDesignPercentStep = 100.0 / 3.0;
constexpr int kDesignRefinements = 1;
constexpr int kMaxDesignPasses = 64;

// What the head can do and what the customer will wait for.
struct SDesignLimits
{
    // The head: nozzleCount, colorCount, bitsPerPixel, colorTimes and lessMaskPosition are kept in
    // every candidate; basePass, the resolution passes, the feather and the smooth level are what
    // the search chooses. A split (resSplitMode) is not searched: candidates have none.
    SMaskParam head = MaskParam_Default();
    // Physical passes per paper line (basePass x X x Y): the print's time. One pass lays each line
    // with one nozzle: there is no mask to design, hence 2 at least by default.
    int minPasses = 2;
    int maxPasses = 8;
    int fixedPasses = 0;  // when positive, only candidates of exactly this many physical passes
    // Resolution passes the head may print with; empty: only the head's own xResPass / yResPass.
    std::vector<int> xResPasses;
    std::vector<int> yResPasses;
    // Families searched; empty: all of kFeathers.
    std::vector<EFeatherFamily> feathers;
    // Smooth levels of the three-part families; empty: kDesignSmoothLevels.
    std::vector<int> smoothLevels;
    double percentStep = kDesignPercentStep;  // coarse grid, percent
    int refinements = kDesignRefinements;     // halvings of the grid around the best percent
};

// Why the limits cannot be searched, with the value and the rule; empty when they can.
std::string DesignLimits_Refusal(const SDesignLimits& limits);

// A visibility threshold in delta L* of weighted RMS. A sine band of 0.2 delta L* amplitude can be
// objectionable at the eye's most sensitive frequencies, and real banding is seen below a sine's
// threshold: 0.1 RMS (a sine of 0.14 amplitude) is where a careful viewer starts to see it.
constexpr double kDefaultVisibilityThreshold = 0.1;

// How the candidates are printed, measured and judged.
struct SDesignSettings
{
    std::vector<double> tints{std::begin(kDefaultTints), std::end(kDefaultTints)};  // percent
    SBandingSettings banding;  // its coveragePercent and cropLines are replaced per tint
    double visibilityThreshold = kDefaultVisibilityThreshold;  // delta L*, for the tolerances
    int workers = 1;
    uint64_t seed = 1;
    // Tolerances (Mode_Tolerance) for this many of the best candidates; the rest keep -1. Each
    // costs about 90 prints of the default head (15 s of processor time).
    int tolerated = 1;
};

std::string DesignSettings_Refusal(const SDesignSettings& settings);

// The largest advance errors a record tolerates before its visible banding exceeds a threshold.
// Found by bisection to kToleranceStep: banding at the reported error is within the threshold,
// at the error plus the step above it (unless the reported error is the simulation's limit).
constexpr double kToleranceStep = 0.01;  // rows
struct SModeTolerance
{
    // Systematic advance error, rows, either sign (the smaller of the two), the budget's jitter on.
    double advanceError = -1.0;
    // Advance jitter, rows, without a systematic error.
    double advanceJitter = -1.0;
    std::string refusal;  // why nothing was found; empty when it was
};

// One record the designer judged.
struct SDesignCandidate
{
    SMaskParam record{};
    EFeatherFamily feather = FeatherFamily_Unfeathered;
    int physicalPasses = 0;  // basePass x X x Y: the count the limits and the ranking go by
    // Physical passes per head height of paper, NozzleCount x Y x (X x Y) / StepHeight: the
    // print's time. physicalPasses, unless a feather overlaps the swaths and so shortens the step.
    double printPasses = 0.0;
    // Visible banding, delta L* weighted RMS of the worst tint (see the top of this header).
    double expectedBanding = 0.0;  // weighted mean over the budget's samples
    double worstBanding = 0.0;     // largest over them
    double worstAdvanceError = 0.0;  // the sample with the largest
    double worstTint = 0.0;          // percent: the tint of the largest
    SModeTolerance tolerance;        // for the best settings.tolerated candidates
    std::string refusal;             // why the library refused the record; empty when it did not
};

// Where the time went, seconds of processor time summed over the workers.
struct SDesignTime
{
    double maskBuilds = 0.0;  // CMaskData_Base::Create and the plans
    double errorFree = 0.0;   // the error-free prints, once per record and tint
    double simulation = 0.0;  // the prints of the budget's samples
    double tolerance = 0.0;   // the bisections
};

struct SDesignResult
{
    // The accepted candidates by expected banding, least first; ties by worst banding, then fewer
    // physical passes, then the record's fields in order (deterministic).
    std::vector<SDesignCandidate> ranked;
    // The best candidate of each physical pass count, fewest passes first: the price of speed.
    std::vector<SDesignCandidate> bestByPasses;
    std::vector<SDesignCandidate> refused;  // with their reasons, in the order tried
    int tried = 0;        // distinct records considered
    int simulations = 0;  // prints simulated, error-free ones included
    SDesignTime time;
    std::string refusal;  // why nothing was searched; empty when it was
};

// Called as candidates are finished (done of total so far: the total grows as the percents are
// refined), one call at a time.
using DesignProgress = std::function<void(int done, int total)>;

// The search. Never throws; a refusal of the inputs gives an empty result and the reason.
SDesignResult Mode_Design(const SDesignLimits& limits, const SErrorBudget& budget,
                          const SDesignSettings& settings, const DesignProgress& progress = {});

// The figures of one record under the budget, as the search computes them (for a record the search
// did not try, or to check it).
SDesignCandidate Mode_Judge(const SMaskParam& record, const SErrorBudget& budget,
                            const SDesignSettings& settings);

// The tolerance of one record: the budget's other errors on, each sample's systematic error
// replaced. Banding at an error is the worst tint's, the larger of +error and -error; jitter by the
// seed. `threshold` in delta L*; the search covers 0 to kMaxAdvanceError (kMaxAdvanceJitter).
SModeTolerance Mode_Tolerance(const SMaskParam& record, const SErrorBudget& budget,
                              const SDesignSettings& settings, double threshold);

}  // namespace rv_analysis
