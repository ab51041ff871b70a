#include <RvAnalysis/ModeDesign.h>

#include "RunJobs.h"

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <sstream>
#include <tuple>

namespace rv_analysis {

namespace {

constexpr int kMaxBudgetSamples = 101;
constexpr int kMaxRefinements = 8;
constexpr size_t kReasonChars = 512;
constexpr uint64_t kDeadNozzleSalt = 0xDEADull;

std::string Number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

bool Within(double value, double low, double high)
{
    return std::isfinite(value) && value >= low && value <= high;
}

std::string RangeRefusal(const std::string& name, double value, double low, double high)
{
    return name + " " + Number(value) + ": must lie within " + Number(low) + " to " + Number(high);
}

// Processor time of the calling thread, seconds: the time split adds up the workers' own.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// SplitMix64: well-spread seeds from the user's seed and a salt, so that neighbouring samples do
// not draw correlated jitter.
uint64_t MixSeed(uint64_t seed, uint64_t salt)
{
    uint64_t z = seed + 0x9E3779B97F4A7C15ull * (salt + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<int> DeadNozzles(double percent, int nozzleCount, uint64_t seed)
{
    const int count = std::min(
        nozzleCount, static_cast<int>(std::lround(percent / 100.0 * std::max(0, nozzleCount))));
    if (count <= 0)
        return {};
    std::vector<int> nozzles(static_cast<size_t>(nozzleCount));
    for (int k = 0; k < nozzleCount; ++k)
        nozzles[static_cast<size_t>(k)] = k;
    // A partial Fisher-Yates draw written out: std::shuffle's order differs between libraries.
    std::mt19937_64 random(MixSeed(seed, kDeadNozzleSalt));
    for (int k = 0; k < count; ++k) {
        const uint64_t left = static_cast<uint64_t>(nozzleCount - k);
        const int pick = k + static_cast<int>(random() % left);
        std::swap(nozzles[static_cast<size_t>(k)], nozzles[static_cast<size_t>(pick)]);
    }
    nozzles.resize(static_cast<size_t>(count));
    std::sort(nozzles.begin(), nozzles.end());
    return nozzles;
}

std::string RecordReason(const SMaskParam& record)
{
    const SMaskParam_Test flat = MaskParam_Test_Of(record);
    char reason[kReasonChars] = {};
    if (!rv_halftone_record_reason(&flat, reason, sizeof reason))
        return "the record could not be checked";
    return reason;
}

// A record built and planned, or the reason it could not be.
struct SBuiltRecord
{
    std::unique_ptr<CMaskData_Base> mask;
    std::unique_ptr<CPrintPlan> plan;
    std::string refusal;
};

SBuiltRecord BuildRecord(const SMaskParam& record)
{
    SBuiltRecord built;
    built.refusal = RecordReason(record);
    if (!built.refusal.empty())
        return built;
    built.mask = std::make_unique<CMaskData_Base>();
    if (!built.mask->Create(record)) {
        built.refusal = "the library could not build the record (memory or threads ran out)";
        built.mask.reset();
        return built;
    }
    built.plan = std::make_unique<CPrintPlan>(*built.mask);
    if (!built.plan->Refusal().empty()) {
        built.refusal = built.plan->Refusal();
        built.plan.reset();
        built.mask.reset();
    }
    return built;
}

SBandingSettings TintSettings(const SDesignSettings& settings, const CMaskData_Base& mask,
                              double tint)
{
    SBandingSettings tintSettings = settings.banding;
    tintSettings.cropLines = {};
    tintSettings.coveragePercent = tint;
    tintSettings.seamLines = Banding_SeamLines(mask);
    return tintSettings;
}

int PhysicalPasses(const CMaskData_Base& mask)
{
    return mask.BasePass() * mask.XResPass() * mask.YResPass();
}

// The head spans NozzleCount x Y fine lines and the paper advances StepHeight of them for every
// X x Y physical passes.
double PrintPasses(const CPrintPlan& plan)
{
    const double phases = static_cast<double>(plan.XPasses()) * plan.YPasses();
    return static_cast<double>(plan.NozzleCount()) * plan.YPasses() * phases / plan.StepHeight();
}

// The worst tint's visible banding of one print, or -1 with the reason when refused.
struct SWorstTint
{
    double banding = 0.0;
    double tint = 0.0;
    std::string refusal;
};

// A record's error-free prints, one per tint, simulated once and measured against many times.
class CRecordPrints
{
public:
    CRecordPrints(const CPrintPlan& plan, const CMaskData_Base& mask,
                  const SDesignSettings& settings)
        : m_plan(plan)
    {
        for (const double tint : settings.tints)
            m_settings.push_back(TintSettings(settings, mask, tint));
        m_errorFree.resize(m_settings.size());
    }

    // The refusal of the first tint that cannot take these errors; empty when all can.
    std::string Refusal(const SPrinterErrors& errors) const
    {
        for (const SBandingSettings& tintSettings : m_settings) {
            const std::string reason = Banding_Refusal(m_plan, errors, tintSettings);
            if (!reason.empty())
                return reason;
        }
        return {};
    }

    SWorstTint Worst(const SPrinterErrors& errors, SDesignTime& time, int& simulations)
    {
        SWorstTint worst;
        for (size_t t = 0; t < m_settings.size(); ++t) {
            if (m_errorFree[t].empty()) {
                const double start = ThreadSeconds();
                m_errorFree[t] = Banding_ErrorFreeProfile(m_plan, m_settings[t]);
                time.errorFree += ThreadSeconds() - start;
                ++simulations;
            }
            const double start = ThreadSeconds();
            const SBandingFigures figures =
                Banding_SimulateAgainst(m_plan, errors, m_settings[t], m_errorFree[t]);
            time.simulation += ThreadSeconds() - start;
            ++simulations;
            if (!figures.refusal.empty()) {
                worst.refusal = figures.refusal;
                return worst;
            }
            const double banding = figures.visible.band.weightedRms;
            if (t == 0 || banding > worst.banding) {
                worst.banding = banding;
                worst.tint = m_settings[t].coveragePercent;
            }
        }
        return worst;
    }

private:
    const CPrintPlan& m_plan;
    std::vector<SBandingSettings> m_settings;
    std::vector<std::vector<double>> m_errorFree;
};

// One record judged under the budget: its figures and the work it took.
struct SJudged
{
    SDesignCandidate candidate;
    SDesignTime time;
    int simulations = 0;
};

SJudged JudgeRecord(const SMaskParam& record, const SErrorBudget& budget,
                    const SDesignSettings& settings)
{
    SJudged judged;
    SDesignCandidate& candidate = judged.candidate;
    candidate.record = record;
    const double buildStart = ThreadSeconds();
    const SBuiltRecord built = BuildRecord(record);
    judged.time.maskBuilds += ThreadSeconds() - buildStart;
    if (!built.refusal.empty()) {
        candidate.refusal = built.refusal;
        return judged;
    }
    candidate.feather = built.mask->FeatherFamily();
    candidate.physicalPasses = PhysicalPasses(*built.mask);
    candidate.printPasses = PrintPasses(*built.plan);
    const std::vector<SBudgetSample> samples = ErrorBudget_Samples(budget);
    std::vector<SPrinterErrors> errors;
    for (size_t s = 0; s < samples.size(); ++s) {
        errors.push_back(ErrorBudget_Errors(budget, record.nozzleCount, static_cast<int>(s),
                                            settings.seed));
    }
    CRecordPrints prints(*built.plan, *built.mask, settings);
    for (const SPrinterErrors& sampleErrors : errors) {
        candidate.refusal = prints.Refusal(sampleErrors);
        if (!candidate.refusal.empty())
            return judged;
    }
    for (size_t s = 0; s < samples.size(); ++s) {
        const SWorstTint worst = prints.Worst(errors[s], judged.time, judged.simulations);
        if (!worst.refusal.empty()) {
            candidate.refusal = worst.refusal;
            return judged;
        }
        candidate.expectedBanding += samples[s].weight * worst.banding;
        if (s == 0 || worst.banding > candidate.worstBanding) {
            candidate.worstBanding = worst.banding;
            candidate.worstAdvanceError = samples[s].advanceError;
            candidate.worstTint = worst.tint;
        }
    }
    return judged;
}

// The record's fields a ranking orders by when the figures tie.
auto RecordOrder(const SMaskParam& r)
{
    return std::make_tuple(r.basePass, r.xResPass, r.yResPass, r.featherMode,
                           r.featherNozzleType, r.featherPercent, r.smoothLevelPercent);
}

bool RanksBefore(const SDesignCandidate& a, const SDesignCandidate& b)
{
    return std::make_tuple(a.expectedBanding, a.worstBanding, a.physicalPasses,
                           RecordOrder(a.record)) <
           std::make_tuple(b.expectedBanding, b.worstBanding, b.physicalPasses,
                           RecordOrder(b.record));
}

using RecordKey = std::array<unsigned char, sizeof(SMaskParam)>;

RecordKey KeyOf(const SMaskParam& record)
{
    RecordKey key{};
    std::memcpy(key.data(), &record, sizeof record);
    return key;
}

std::vector<int> Options(const std::vector<int>& asked, int own)
{
    std::vector<int> options = asked.empty() ? std::vector<int>{own} : asked;
    std::sort(options.begin(), options.end());
    options.erase(std::unique(options.begin(), options.end()), options.end());
    return options;
}

// One discrete choice of the search; the feathered ones are scanned over the percent.
struct SGroup
{
    SMaskParam base{};  // the percent to be set
    EFeatherFamily feather = FeatherFamily_Unfeathered;
    bool scansPercent = false;
    std::vector<size_t> members;  // indexes of its candidates in the search's list
};

std::vector<SGroup> Groups_Of(const SDesignLimits& limits)
{
    const std::vector<int> xs = Options(limits.xResPasses, limits.head.xResPass);
    const std::vector<int> ys = Options(limits.yResPasses, limits.head.yResPass);
    const std::vector<EFeatherFamily> feathers =
        limits.feathers.empty() ? std::vector<EFeatherFamily>(std::begin(kFeathers), std::end(kFeathers))
                                : limits.feathers;
    std::vector<int> smooths = limits.smoothLevels.empty()
                                   ? std::vector<int>(std::begin(kDesignSmoothLevels),
                                                      std::end(kDesignSmoothLevels))
                                   : limits.smoothLevels;
    const int low = limits.fixedPasses > 0 ? limits.fixedPasses : limits.minPasses;
    const int high = limits.fixedPasses > 0 ? limits.fixedPasses : limits.maxPasses;
    std::vector<SGroup> groups;
    for (int passes = low; passes <= high; ++passes) {
        for (const int x : xs) {
            for (const int y : ys) {
                if (passes % (x * y) != 0)
                    continue;
                SMaskParam record = limits.head;
                record.basePass = passes / (x * y);
                record.xResPass = x;
                record.yResPass = y;
                record.resSplitMode = ResSplitMode_None;
                for (const EFeatherFamily feather : feathers) {
                    SMaskParam featherRecord = RecordWithFeather(record, feather);
                    const bool threePart = feather == FeatherFamily_ThreePart ||
                                           feather == FeatherFamily_ThreePartRipple;
                    const std::vector<int> levels =
                        threePart ? smooths : std::vector<int>{limits.head.smoothLevelPercent};
                    for (const int level : levels) {
                        SGroup group;
                        group.base = featherRecord;
                        group.feather = feather;
                        group.base.smoothLevelPercent = level;
                        group.scansPercent = feather != FeatherFamily_Unfeathered;
                        if (!group.scansPercent)
                            group.base.featherPercent = 0.0f;
                        groups.push_back(group);
                    }
                }
            }
        }
    }
    return groups;
}

// The search's state: every record tried, once, in the order tried.
class CDesignSearch
{
public:
    CDesignSearch(const SErrorBudget& budget, const SDesignSettings& settings,
                  const DesignProgress& progress)
        : m_budget(budget), m_settings(settings), m_progress(progress)
    {
    }

    // The index of `record` among the candidates, queued for judging when it is new.
    size_t Add(const SMaskParam& record, EFeatherFamily feather)
    {
        const auto found = m_index.find(KeyOf(record));
        if (found != m_index.end())
            return found->second;
        const size_t index = m_candidates.size();
        m_index.emplace(KeyOf(record), index);
        SDesignCandidate candidate;
        candidate.record = record;
        candidate.feather = feather;
        m_candidates.push_back(candidate);
        m_queued.push_back(index);
        return index;
    }

    // Judges the queued records on the workers.
    void JudgeQueued()
    {
        const std::vector<size_t> queued = std::move(m_queued);
        m_queued.clear();
        const int before = m_done;
        const int total = before + static_cast<int>(queued.size());
        std::vector<SJudged> judged(queued.size());
        RunJobs(
            static_cast<int>(queued.size()), m_settings.workers,
            [&](int i) {
                judged[static_cast<size_t>(i)] =
                    JudgeRecord(m_candidates[queued[static_cast<size_t>(i)]].record, m_budget,
                                m_settings);
            },
            [&](int done, int) {
                if (m_progress)
                    m_progress(before + done, total);
            });
        for (size_t i = 0; i < queued.size(); ++i) {
            const EFeatherFamily feather = m_candidates[queued[i]].feather;
            m_candidates[queued[i]] = judged[i].candidate;
            if (!judged[i].candidate.refusal.empty())
                m_candidates[queued[i]].feather = feather;  // the family it was tried as
            m_time.maskBuilds += judged[i].time.maskBuilds;
            m_time.errorFree += judged[i].time.errorFree;
            m_time.simulation += judged[i].time.simulation;
            m_simulations += judged[i].simulations;
        }
        m_done = total;
    }

    const SDesignCandidate& Candidate(size_t index) const { return m_candidates[index]; }
    const std::vector<SDesignCandidate>& Candidates() const { return m_candidates; }
    SDesignTime Time() const { return m_time; }
    int Simulations() const { return m_simulations; }

private:
    const SErrorBudget& m_budget;
    const SDesignSettings& m_settings;
    const DesignProgress& m_progress;
    std::map<RecordKey, size_t> m_index;
    std::vector<SDesignCandidate> m_candidates;
    std::vector<size_t> m_queued;
    SDesignTime m_time;
    int m_simulations = 0;
    int m_done = 0;
};

SMaskParam WithPercent(SMaskParam record, double percent)
{
    record.featherPercent = static_cast<float>(percent);
    return record;
}

// The accepted member of the group with the least expected banding (ties: the first tried);
// -1 when none was accepted.
long BestMember(const SGroup& group, const CDesignSearch& search)
{
    long best = -1;
    for (const size_t member : group.members) {
        const SDesignCandidate& candidate = search.Candidate(member);
        if (!candidate.refusal.empty())
            continue;
        if (best < 0 || RanksBefore(candidate, search.Candidate(static_cast<size_t>(best))))
            best = static_cast<long>(member);
    }
    return best;
}

void AddPercents(SGroup& group, const std::vector<double>& percents, CDesignSearch& search)
{
    for (const double percent : percents) {
        if (percent > 0.0 && percent <= 100.0)
            group.members.push_back(search.Add(WithPercent(group.base, percent), group.feather));
    }
}

SDesignResult Design(const SDesignLimits& limits, const SErrorBudget& budget,
                     const SDesignSettings& settings, const DesignProgress& progress)
{
    SDesignResult result;
    CDesignSearch search(budget, settings, progress);
    std::vector<SGroup> groups = Groups_Of(limits);
    std::vector<double> coarse;
    for (int k = 1; k * limits.percentStep <= 100.0 + 1e-9; ++k)
        coarse.push_back(std::min(100.0, k * limits.percentStep));
    for (SGroup& group : groups) {
        if (group.scansPercent)
            AddPercents(group, coarse, search);
        else
            group.members.push_back(search.Add(group.base, group.feather));
    }
    search.JudgeQueued();
    double step = limits.percentStep;
    for (int round = 0; round < limits.refinements; ++round) {
        step /= 2.0;
        for (SGroup& group : groups) {
            const long best = group.scansPercent ? BestMember(group, search) : -1;
            if (best < 0)
                continue;
            const double percent =
                search.Candidate(static_cast<size_t>(best)).record.featherPercent;
            AddPercents(group, {percent - step, percent + step}, search);
        }
        search.JudgeQueued();
    }
    for (const SDesignCandidate& candidate : search.Candidates()) {
        if (candidate.refusal.empty())
            result.ranked.push_back(candidate);
        else
            result.refused.push_back(candidate);
    }
    std::sort(result.ranked.begin(), result.ranked.end(), RanksBefore);
    result.tried = static_cast<int>(search.Candidates().size());
    result.simulations = search.Simulations();
    result.time = search.Time();

    const size_t tolerated =
        std::min(result.ranked.size(), static_cast<size_t>(std::max(0, settings.tolerated)));
    std::vector<double> toleranceSeconds(tolerated);
    RunJobs(
        static_cast<int>(tolerated), settings.workers,
        [&](int i) {
            const double start = ThreadSeconds();
            SDesignCandidate& candidate = result.ranked[static_cast<size_t>(i)];
            candidate.tolerance = Mode_Tolerance(candidate.record, budget, settings,
                                                 settings.visibilityThreshold);
            toleranceSeconds[static_cast<size_t>(i)] = ThreadSeconds() - start;
        },
        {});
    for (const double seconds : toleranceSeconds)
        result.time.tolerance += seconds;

    for (const SDesignCandidate& candidate : result.ranked) {
        const bool seen = std::any_of(
            result.bestByPasses.begin(), result.bestByPasses.end(),
            [&](const SDesignCandidate& b) { return b.physicalPasses == candidate.physicalPasses; });
        if (!seen)
            result.bestByPasses.push_back(candidate);
    }
    std::sort(result.bestByPasses.begin(), result.bestByPasses.end(),
              [](const SDesignCandidate& a, const SDesignCandidate& b) {
                  return a.physicalPasses < b.physicalPasses;
              });
    if (result.ranked.empty())
        result.refusal = "the library refused every one of the " + std::to_string(result.tried) +
                         " records within the limits";
    return result;
}

// The largest k in 0..top whose error k x step keeps the banding within the threshold, when the
// error 0 does: bisection over whole steps, so that the error one step above the answer is known
// to exceed it (unless the answer is top). -1 when already error 0 exceeds it.
template <typename Banding>
int ToleratedSteps(int top, double threshold, const Banding& banding)
{
    if (!(banding(0) <= threshold))
        return -1;
    if (banding(top) <= threshold)
        return top;
    int within = 0, above = top;
    while (above - within > 1) {
        const int middle = within + (above - within) / 2;
        if (banding(middle) <= threshold)
            within = middle;
        else
            above = middle;
    }
    return within;
}

}  // namespace

const char* ErrorDistributionName(EErrorDistribution distribution)
{
    switch (distribution) {
    case EErrorDistribution::Uniform: return "uniform";
    case EErrorDistribution::Normal: return "normal";
    }
    return "uniform";
}

SErrorBudget ErrorBudget_None()
{
    SErrorBudget budget;
    budget.advanceErrorMin = budget.advanceErrorMax = 0.0;
    budget.advanceSamples = 1;
    budget.advanceJitter = 0.0;
    budget.advanceErrorPercent = 0.0;
    budget.eccentricityRows = 0.0;
    budget.dropGradientPercent = 0.0;
    budget.deadNozzlePercent = 0.0;
    return budget;
}

std::vector<SBudgetSample> ErrorBudget_Samples(const SErrorBudget& budget)
{
    if (!ErrorBudget_Refusal(budget).empty())
        return {};
    const int count = budget.advanceSamples;
    const double low = budget.advanceErrorMin, high = budget.advanceErrorMax;
    const double centre = (low + high) / 2.0;
    std::vector<SBudgetSample> samples;
    double total = 0.0;
    for (int i = 0; i < count; ++i) {
        SBudgetSample sample;
        sample.advanceError = count == 1 ? centre : low + (high - low) * i / (count - 1);
        const double z = (sample.advanceError - centre) / budget.advanceSigma;
        sample.weight =
            budget.distribution == EErrorDistribution::Normal ? std::exp(-0.5 * z * z) : 1.0;
        total += sample.weight;
        samples.push_back(sample);
    }
    for (SBudgetSample& sample : samples)
        sample.weight /= total;
    return samples;
}

std::string ErrorBudget_Refusal(const SErrorBudget& budget)
{
    if (!Within(budget.advanceErrorMin, -kMaxAdvanceError, kMaxAdvanceError))
        return RangeRefusal("advanceErrorMin", budget.advanceErrorMin, -kMaxAdvanceError,
                            kMaxAdvanceError);
    if (!Within(budget.advanceErrorMax, budget.advanceErrorMin, kMaxAdvanceError))
        return RangeRefusal("advanceErrorMax", budget.advanceErrorMax, budget.advanceErrorMin,
                            kMaxAdvanceError) +
               " (at least advanceErrorMin)";
    if (budget.advanceSamples < 1 || budget.advanceSamples > kMaxBudgetSamples)
        return RangeRefusal("advanceSamples", budget.advanceSamples, 1, kMaxBudgetSamples);
    if (budget.distribution != EErrorDistribution::Uniform &&
        budget.distribution != EErrorDistribution::Normal)
        return "distribution " + std::to_string(static_cast<int>(budget.distribution)) +
               ": must be uniform or normal";
    if (budget.distribution == EErrorDistribution::Normal &&
        !(Within(budget.advanceSigma, 0.0, kMaxAdvanceError) && budget.advanceSigma > 0.0))
        return RangeRefusal("advanceSigma", budget.advanceSigma, 0.0, kMaxAdvanceError) +
               " and be positive";
    if (!Within(budget.advanceJitter, 0.0, kMaxAdvanceJitter))
        return RangeRefusal("advanceJitter", budget.advanceJitter, 0.0, kMaxAdvanceJitter);
    if (!Within(budget.advanceErrorPercent, -kMaxAdvanceErrorPercent, kMaxAdvanceErrorPercent))
        return RangeRefusal("advanceErrorPercent", budget.advanceErrorPercent,
                            -kMaxAdvanceErrorPercent, kMaxAdvanceErrorPercent);
    if (!Within(budget.eccentricityRows, -kMaxEccentricityRows, kMaxEccentricityRows))
        return RangeRefusal("eccentricityRows", budget.eccentricityRows, -kMaxEccentricityRows,
                            kMaxEccentricityRows);
    if (budget.eccentricityRows != 0.0 &&
        !Within(budget.eccentricityMm, kMinEccentricityMm, kMaxEccentricityMm))
        return RangeRefusal("eccentricityMm", budget.eccentricityMm, kMinEccentricityMm,
                            kMaxEccentricityMm);
    if (!Within(budget.dropGradientPercent, -kMaxDropGradientPercent, kMaxDropGradientPercent))
        return RangeRefusal("dropGradientPercent", budget.dropGradientPercent,
                            -kMaxDropGradientPercent, kMaxDropGradientPercent);
    if (!Within(budget.deadNozzlePercent, 0.0, 100.0))
        return RangeRefusal("deadNozzlePercent", budget.deadNozzlePercent, 0.0, 100.0);
    return {};
}

SPrinterErrors ErrorBudget_Errors(const SErrorBudget& budget, int nozzleCount, int sample,
                                  uint64_t seed)
{
    SPrinterErrors errors;
    const std::vector<SBudgetSample> samples = ErrorBudget_Samples(budget);
    if (sample >= 0 && static_cast<size_t>(sample) < samples.size())
        errors.advanceError = samples[static_cast<size_t>(sample)].advanceError;
    errors.advanceErrorPercent = budget.advanceErrorPercent;
    errors.advanceJitter = budget.advanceJitter;
    errors.eccentricityRows = budget.eccentricityRows;
    errors.eccentricityMm = budget.eccentricityMm;
    errors.dropGradientPercent = budget.dropGradientPercent;
    errors.deadNozzles = DeadNozzles(budget.deadNozzlePercent, nozzleCount, seed);
    errors.seed = MixSeed(seed, static_cast<uint64_t>(std::max(0, sample)));
    return errors;
}

std::string DesignLimits_Refusal(const SDesignLimits& limits)
{
    if (limits.fixedPasses != 0 && !Within(limits.fixedPasses, 1, kMaxDesignPasses))
        return RangeRefusal("fixedPasses", limits.fixedPasses, 1, kMaxDesignPasses) + " (or 0)";
    if (limits.fixedPasses == 0) {
        if (!Within(limits.minPasses, 1, kMaxDesignPasses))
            return RangeRefusal("minPasses", limits.minPasses, 1, kMaxDesignPasses);
        if (!Within(limits.maxPasses, limits.minPasses, kMaxDesignPasses))
            return RangeRefusal("maxPasses", limits.maxPasses, limits.minPasses,
                                kMaxDesignPasses) +
                   " (at least minPasses)";
    }
    for (const int x : limits.xResPasses)
        if (!Within(x, 1, kMaxDesignPasses))
            return RangeRefusal("an X resolution pass count", x, 1, kMaxDesignPasses);
    for (const int y : limits.yResPasses)
        if (!Within(y, 1, kMaxDesignPasses))
            return RangeRefusal("a Y resolution pass count", y, 1, kMaxDesignPasses);
    for (const EFeatherFamily feather : limits.feathers)
        if (!Within(feather, FeatherFamily_Unfeathered, FeatherFamily_ThreePartRipple))
            return RangeRefusal("a feather family", feather, FeatherFamily_Unfeathered,
                                FeatherFamily_ThreePartRipple);
    for (const int level : limits.smoothLevels)
        if (!Within(level, 1, 100))
            return RangeRefusal("a smooth level", level, 1, 100);
    if (!(Within(limits.percentStep, 0.0, 100.0) && limits.percentStep >= 1.0))
        return RangeRefusal("percentStep", limits.percentStep, 1.0, 100.0);
    if (!Within(limits.refinements, 0, kMaxRefinements))
        return RangeRefusal("refinements", limits.refinements, 0, kMaxRefinements);
    return {};
}

std::string DesignSettings_Refusal(const SDesignSettings& settings)
{
    if (settings.tints.empty())
        return "no tints: at least one";
    for (const double tint : settings.tints)
        if (!(Within(tint, 0.0, 100.0) && tint > 0.0))
            return RangeRefusal("tint", tint, 0.0, 100.0) + " and be positive";
    if (!(Within(settings.visibilityThreshold, 0.0, 100.0) && settings.visibilityThreshold > 0.0))
        return RangeRefusal("visibilityThreshold", settings.visibilityThreshold, 0.0, 100.0) +
               " and be positive";
    if (!Within(settings.workers, 1, kMaxWorkers))
        return RangeRefusal("workers", settings.workers, 1, kMaxWorkers);
    if (settings.tolerated < 0)
        return "tolerated " + std::to_string(settings.tolerated) + ": must not be negative";
    return {};
}

SDesignResult Mode_Design(const SDesignLimits& limits, const SErrorBudget& budget,
                          const SDesignSettings& settings, const DesignProgress& progress)
{
    SDesignResult refused;
    refused.refusal = DesignLimits_Refusal(limits);
    if (refused.refusal.empty())
        refused.refusal = ErrorBudget_Refusal(budget);
    if (refused.refusal.empty())
        refused.refusal = DesignSettings_Refusal(settings);
    if (!refused.refusal.empty())
        return refused;
    try {
        return Design(limits, budget, settings, progress);
    } catch (const std::bad_alloc&) {
        refused.refusal = "not enough memory for the search";
    } catch (const std::exception& failure) {
        refused.refusal = std::string("the search failed: ") + failure.what();
    } catch (...) {
        refused.refusal = "the search failed";
    }
    return refused;
}

SDesignCandidate Mode_Judge(const SMaskParam& record, const SErrorBudget& budget,
                            const SDesignSettings& settings)
{
    SDesignCandidate refused;
    refused.record = record;
    refused.refusal = ErrorBudget_Refusal(budget);
    if (refused.refusal.empty())
        refused.refusal = DesignSettings_Refusal(settings);
    if (!refused.refusal.empty())
        return refused;
    try {
        return JudgeRecord(record, budget, settings).candidate;
    } catch (const std::bad_alloc&) {
        refused.refusal = "not enough memory to judge the record";
    } catch (...) {
        refused.refusal = "judging the record failed";
    }
    return refused;
}

SModeTolerance Mode_Tolerance(const SMaskParam& record, const SErrorBudget& budget,
                              const SDesignSettings& settings, double threshold)
{
    SModeTolerance tolerance;
    tolerance.refusal = ErrorBudget_Refusal(budget);
    if (tolerance.refusal.empty())
        tolerance.refusal = DesignSettings_Refusal(settings);
    if (tolerance.refusal.empty() && !(Within(threshold, 0.0, 100.0) && threshold > 0.0))
        tolerance.refusal = RangeRefusal("threshold", threshold, 0.0, 100.0) + " and be positive";
    if (!tolerance.refusal.empty())
        return tolerance;
    try {
        const SBuiltRecord built = BuildRecord(record);
        if (!built.refusal.empty()) {
            tolerance.refusal = built.refusal;
            return tolerance;
        }
        CRecordPrints prints(*built.plan, *built.mask, settings);
        const SPrinterErrors base = ErrorBudget_Errors(budget, record.nozzleCount, 0, settings.seed);
        SDesignTime time;
        int simulations = 0;
        // An error the simulation cannot take counts as exceeding the threshold.
        const auto bandingOf = [&](const SPrinterErrors& errors) {
            if (!prints.Refusal(errors).empty())
                return HUGE_VAL;
            const SWorstTint worst = prints.Worst(errors, time, simulations);
            return worst.refusal.empty() ? worst.banding : HUGE_VAL;
        };
        const auto systematic = [&](int steps) {
            SPrinterErrors errors = base;
            errors.advanceError = steps * kToleranceStep;
            const double longer = bandingOf(errors);
            if (steps == 0)
                return longer;
            errors.advanceError = -errors.advanceError;
            return std::max(longer, bandingOf(errors));
        };
        const auto jitter = [&](int steps) {
            SPrinterErrors errors = base;
            errors.advanceError = 0.0;
            errors.advanceJitter = steps * kToleranceStep;
            return bandingOf(errors);
        };
        const int advanceSteps = ToleratedSteps(
            static_cast<int>(std::floor(kMaxAdvanceError / kToleranceStep + 1e-9)), threshold,
            systematic);
        const int jitterSteps = ToleratedSteps(
            static_cast<int>(std::floor(kMaxAdvanceJitter / kToleranceStep + 1e-9)), threshold,
            jitter);
        tolerance.advanceError = advanceSteps < 0 ? -1.0 : advanceSteps * kToleranceStep;
        tolerance.advanceJitter = jitterSteps < 0 ? -1.0 : jitterSteps * kToleranceStep;
        if (advanceSteps < 0 || jitterSteps < 0)
            tolerance.refusal = "the budget's other errors alone exceed the threshold " +
                                Number(threshold) + " delta L*";
    } catch (const std::bad_alloc&) {
        tolerance.refusal = "not enough memory for the tolerance";
    } catch (...) {
        tolerance.refusal = "the tolerance failed";
    }
    return tolerance;
}

}  // namespace rv_analysis
