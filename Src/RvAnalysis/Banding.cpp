#include <RvAnalysis/Banding.h>

#include "BandingPrint.h"

#include <RvAnalysis/Spectrum.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <memory>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>

namespace rv_analysis {

namespace {

constexpr double kMmPerInch = 25.4;
// A band's period is the shortest whose harmonics carry at least this share of what the best
// period's carry (see Period_Of).
constexpr double kCarriedShare = 0.8;
constexpr int kPadding = 32;
constexpr double kPi = 3.14159265358979323846;
constexpr int kGoldenSteps = 40;
const double kGolden = (std::sqrt(5.0) - 1.0) / 2.0;
// Below this index (percent) the profile is flat: rounding, not a band.
constexpr double kNoBandPercent = 1e-6;

// The ranges the options are held to.
constexpr double kJitterReach = 4.0;  // standard deviations a random advance error may reach
constexpr double kMinDotDiameter = 0.1, kMaxDotDiameter = 4.0;
constexpr int kMinSubRows = 8, kMaxSubRows = 64;
constexpr double kMinDpi = 50.0, kMaxDpi = 4800.0;

double LinesPerMm(double dpi) { return dpi / kMmPerInch; }

bool Within(double value, double low, double high) { return value >= low && value <= high; }

std::string Number(double value)
{
    std::string text = std::to_string(value);
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string NozzleRefusal(const char* what, const std::vector<int>& nozzles, int nozzleCount)
{
    for (const int nozzle : nozzles)
        if (nozzle < 0 || nozzle >= nozzleCount)
            return std::string(what) + " nozzle " + std::to_string(nozzle) +
                   ": the head's nozzles are 0 to " + std::to_string(nozzleCount - 1);
    return {};
}

// The shortest paper advance between two physical passes: the one that starts a print position
// over at Y phase 0, RealStep() - (Y - 1) rows (fine lines).
int ShortestAdvance(const CPrintPlan& plan) { return plan.RealStep() - (plan.YPasses() - 1); }

std::string ErrorRefusal(const CPrintPlan& plan, const SPrinterErrors& errors)
{
    if (!Within(std::abs(errors.advanceError), 0.0, kMaxAdvanceError))
        return "advance error " + Number(errors.advanceError) + " rows: at most " +
               Number(kMaxAdvanceError) + " rows either way";
    if (!Within(errors.advanceJitter, 0.0, kMaxAdvanceJitter))
        return "advance jitter " + Number(errors.advanceJitter) + " rows: 0 to " +
               Number(kMaxAdvanceJitter) + " rows";
    if (!Within(std::abs(errors.subAdvanceError), 0.0, kMaxSubAdvanceError))
        return "sub-advance error " + Number(errors.subAdvanceError) + " rows: at most " +
               Number(kMaxSubAdvanceError) + " rows either way";
    if (errors.subAdvanceError != 0.0 && plan.YPasses() == 1)
        return "sub-advance error " + Number(errors.subAdvanceError) +
               " rows: the mode has 1 Y phase, so no advance interleaves the rows (yResPass 2 "
               "or more)";
    // The simulation lays passes in order and stops at the first one below the stretch. The
    // advance that starts a new print position takes back the sub-advance error of every Y phase.
    const double subBack = std::abs(errors.subAdvanceError) * (plan.YPasses() - 1);
    const double worst =
        std::abs(errors.advanceError) + kJitterReach * errors.advanceJitter + subBack;
    if (worst >= ShortestAdvance(plan) / 2.0)
        return "advance error " + Number(errors.advanceError) + ", " + Number(kJitterReach) +
               " x jitter " + Number(errors.advanceJitter) + " and " +
               std::to_string(plan.YPasses() - 1) + " x sub-advance error " +
               Number(errors.subAdvanceError) + " rows reach half the shortest advance of " +
               std::to_string(ShortestAdvance(plan)) + " rows: the paper would not move steadily";
    if (!(errors.weakFactor > 0.0 && errors.weakFactor <= 1.0))
        return "weak nozzle factor " + Number(errors.weakFactor) + ": above 0, at most 1";
    std::string reason = NozzleRefusal("dead", errors.deadNozzles, plan.HeadNozzles());
    return reason.empty() ? NozzleRefusal("weak", errors.weakNozzles, plan.HeadNozzles()) : reason;
}

std::string SettingRefusal(const CPrintPlan& plan, const SBandingSettings& settings)
{
    if (settings.colour < 0 || settings.colour >= plan.ColorCount())
        return "colour " + std::to_string(settings.colour) + ": the mask's colours are 0 to " +
               std::to_string(plan.ColorCount() - 1);
    if (!Within(settings.coveragePercent, 0.0, 100.0))
        return "coverage " + Number(settings.coveragePercent) + " %: 0 to 100 %";
    if (!Within(settings.dotDiameter, kMinDotDiameter, kMaxDotDiameter))
        return "dot diameter " + Number(settings.dotDiameter) +
               " pitches: " + Number(kMinDotDiameter) + " to " + Number(kMaxDotDiameter);
    if (settings.subRows < kMinSubRows || settings.subRows > kMaxSubRows ||
        settings.subRows % kCropSamples != 0)
        return "sub-rows " + std::to_string(settings.subRows) + ": a multiple of " +
               std::to_string(kCropSamples) + " from " + std::to_string(kMinSubRows) + " to " +
               std::to_string(kMaxSubRows);
    if (!Within(settings.dpi, kMinDpi, kMaxDpi))
        return "dpi " + Number(settings.dpi) + ": " + Number(kMinDpi) + " to " + Number(kMaxDpi);
    const SIndexRange stretch = Banding_Stretch(plan, settings);
    const SIndexRange crop = settings.cropLines;
    if (crop.end != crop.first &&
        (crop.first < stretch.first || crop.end > stretch.end || crop.first >= crop.end))
        return "lines " + std::to_string(crop.first) + ":" + std::to_string(crop.end) +
               ": a stretch within the simulated page lines " + std::to_string(stretch.first) +
               ":" + std::to_string(stretch.end);
    if (crop.Count() > kMaxCropLines)
        return "lines " + std::to_string(crop.first) + ":" + std::to_string(crop.end) +
               ": a picture of at most " + std::to_string(kMaxCropLines) + " lines";
    const long long pixels = static_cast<long long>(stretch.Count()) * plan.Width();
    if (pixels > kMaxStretchPixels)
        return "the stretch of " + std::to_string(stretch.Count()) + " lines x " +
               std::to_string(plan.Width()) + " pixels the mode needs: at most " +
               std::to_string(kMaxStretchPixels) + " pixels (a lower dpi needs fewer lines)";
    return {};
}

struct SBandPeriod
{
    double lines = 0.0;      // 0: none
    double amplitude = 0.0;  // of the fundamental, coverage
};

SIndexRange LongestRunBelow(const std::vector<double>& profile, double level, int firstLine)
{
    SIndexRange longest{firstLine, firstLine}, run{firstLine, firstLine};
    for (size_t i = 0; i < profile.size(); ++i) {
        const int line = firstLine + static_cast<int>(i);
        if (profile[i] >= level) {
            run = {line + 1, line + 1};
            continue;
        }
        run.end = line + 1;
        if (run.Count() > longest.Count())
            longest = run;
    }
    return longest;
}

// The power of the band at frequency f and at every multiple of it up to `highest`: what a band
// repeating with period 1 / f carries, whatever the shape of one period.
double HarmonicPower(const std::vector<double>& band, double f, double highest)
{
    double power = 0.0;
    for (int k = 1; k * f <= highest; ++k)
        power += Spectrum_PowerAt(band, k * f);
    return power;
}

// The period the band repeats with, and the amplitude of its fundamental. A band of narrow dips
// has harmonics as strong as its fundamental, so the strongest frequency alone could name any
// fraction of the period; its period is the shortest one whose harmonics together carry nearly the
// most of the band (twice the period carries as much, half of it only some). Candidates lie on the
// bins of a transform padded to kPadding times the length, so that the multiples of a candidate
// are bins too; the best is then refined between its neighbours by golden section.
SBandPeriod Period_Of(const std::vector<double>& band, double shortest, double longest)
{
    const size_t n = band.size();
    const size_t bins = n * kPadding;
    std::vector<double> padded(bins, 0.0);
    std::copy(band.begin(), band.end(), padded.begin());
    const std::vector<double> power = Spectrum_Power(padded, static_cast<int>(bins), 1);
    const double binsD = static_cast<double>(bins);
    const size_t low = static_cast<size_t>(std::ceil(binsD / longest));
    const size_t high = std::min(bins / 2, static_cast<size_t>(std::floor(binsD / shortest)));
    if (low < 2 || low + 2 > high)
        return {};
    // What a bin holds by chance: the texture of the print is spread over every bin, and a long
    // period, with more multiples in the band, would gather more of it.
    std::vector<double> inBand(power.begin() + low, power.begin() + high + 1);
    std::nth_element(inBand.begin(), inBand.begin() + inBand.size() / 2, inBand.end());
    const double chance = inBand[inBand.size() / 2];
    std::vector<double> carried(high + 2, 0.0);  // by candidate bin, low - 1 to high + 1
    for (size_t m = low - 1; m <= high + 1; ++m)
        for (size_t k = m; k <= high; k += m)
            carried[m] += power[k] - chance;
    const double most = *std::max_element(carried.begin() + low, carried.begin() + high + 1);
    size_t best = 0;
    for (size_t m = high; m >= low && best == 0; --m)
        if (carried[m] >= kCarriedShare * most && carried[m] >= carried[m - 1] &&
            carried[m] >= carried[m + 1])
            best = m;
    double a = (static_cast<double>(best) - 1.0) / binsD,
           b = (static_cast<double>(best) + 1.0) / binsD;
    // Under a Hann window: a band whose depth changes from swath to swath has side bands a few
    // bins from each harmonic, and their side lobes would pull the peak off its place.
    std::vector<double> windowed(n);
    double weight = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double w =
            0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n));
        windowed[i] = w * band[i];
        weight += w;
    }
    const double highest = 1.0 / shortest;
    for (int i = 0; i < kGoldenSteps; ++i) {
        const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
        if (HarmonicPower(windowed, c, highest) > HarmonicPower(windowed, d, highest))
            b = d;
        else
            a = c;
    }
    const double f = (a + b) / 2;
    return {1.0 / f, 2.0 * std::sqrt(Spectrum_PowerAt(windowed, f)) / weight};
}

// Every figure of a laid profile.
SBandingFigures Figures_Of(std::vector<double> profile, SIndexRange lines, double dpi)
{
    SBandingFigures figures;
    figures.lines = lines;
    const double n = static_cast<double>(profile.size());
    figures.meanCoverage = std::accumulate(profile.begin(), profile.end(), 0.0) / n;
    figures.streak = LongestRunBelow(profile, kStreakShare * figures.meanCoverage, lines.first);
    std::vector<double> deviation(profile.size());
    for (size_t i = 0; i < profile.size(); ++i)
        deviation[i] = profile[i] - figures.meanCoverage;
    figures.profile = std::move(profile);

    const double shortest = kShortestBandMm * LinesPerMm(dpi);
    const double longest = kLongestBandMm * LinesPerMm(dpi);
    const std::vector<double> band = Spectrum_BandPass(deviation, 1.0 / longest, 1.0 / shortest);
    double squares = 0.0;
    for (const double b : band)
        squares += b * b;
    figures.indexPercent = 100.0 * std::sqrt(squares / n);

    if (figures.indexPercent > kNoBandPercent) {
        const SBandPeriod period = Period_Of(band, shortest, longest);
        figures.periodLines = period.lines;
        figures.amplitudePercent = 100.0 * period.amplitude;
    }
    return figures;
}

// Runs job(0) to job(count - 1) on up to `workers` threads, the calling one among them. Each job
// writes only its own results, so what comes out does not depend on the number of workers. The
// first exception a job or the progress throws is thrown again here once every worker has ended.
void RunJobs(int count, int workers, const std::function<void(int)>& job,
             const BandingProgress& progress)
{
    std::atomic<int> next{0};
    std::mutex mutex;
    int done = 0;
    std::exception_ptr failure;
    const auto work = [&]() {
        for (int i = next++; i < count; i = next++) {
            try {
                job(i);
                const std::lock_guard<std::mutex> lock(mutex);
                ++done;
                if (progress)
                    progress(done, count);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                next = count;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int k = 1; k < std::min(workers, count); ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer workers: the same results, later
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace

SIndexRange Banding_Stretch(const CPrintPlan& plan, const SBandingSettings& settings)
{
    if (!plan.Accepted())
        return {};
    const double dpi = std::clamp(settings.dpi, kMinDpi, kMaxDpi);  // NaN stays: refused anyway
    const double longest = std::isfinite(dpi) ? kLongestBandMm * LinesPerMm(dpi) : 1.0;
    const int cycle = plan.CycleLines();
    const long long cycles =
        std::max(2LL, static_cast<long long>(std::ceil(kStretchBands * longest / cycle)));
    // Far more than any simulation may take (kMaxInkBytes), yet no int overflows.
    const long long lines = std::min(cycles * cycle, 1LL << 28);
    const int first = plan.MaskRows();
    return {first, first + static_cast<int>(lines)};
}

std::string Banding_Refusal(const CPrintPlan& plan, const SPrinterErrors& errors,
                            const SBandingSettings& settings)
{
    if (!plan.Accepted())
        return plan.Refusal();
    const std::string reason = ErrorRefusal(plan, errors);
    return reason.empty() ? SettingRefusal(plan, settings) : reason;
}

SBandingFigures Banding_Simulate(const CPrintPlan& plan, const SPrinterErrors& errors,
                                 const SBandingSettings& settings)
{
    const std::string refusal = Banding_Refusal(plan, errors, settings);
    if (!refusal.empty()) {
        SBandingFigures refused;
        refused.refusal = refusal;
        return refused;
    }
    const SIndexRange stretch = Banding_Stretch(plan, settings);
    SLaidInk ink = Ink_Lay(plan, errors, settings, stretch);
    SBandingFigures figures = Figures_Of(std::move(ink.profile), stretch, settings.dpi);
    figures.crop = std::move(ink.crop);
    return figures;
}

const char* FeatherName(EFeather feather)
{
    switch (feather) {
    case EFeather::Unfeathered: return "unfeathered";
    case EFeather::TwoPart: return "two-part";
    case EFeather::ThreePart: return "three-part";
    case EFeather::ThreePartRipple: return "three-part ripple";
    }
    return "unfeathered";
}

SMaskParam RecordWithFeather(const SMaskParam& head, EFeather feather)
{
    SMaskParam record = head;
    record.featherMode = feather == EFeather::Unfeathered ? FeatherMode_None : FeatherMode_Nozzle;
    switch (feather) {
    case EFeather::Unfeathered:
    case EFeather::TwoPart: record.featherNozzleType = FeatherNozzleType_TwoPart; break;
    case EFeather::ThreePart: record.featherNozzleType = FeatherNozzleType_ThreePart; break;
    case EFeather::ThreePartRipple:
        record.featherNozzleType = FeatherNozzleType_ThreePartRipple;
        break;
    }
    if (feather != EFeather::Unfeathered && !(head.featherPercent > 0.0f))
        record.featherPercent = kCompareFeatherPercent;
    return record;
}

SBandingComparison Banding_Compare(const SMaskParam& head, const std::vector<double>& advanceErrors,
                                   const SPrinterErrors& errors, const SBandingSettings& settings,
                                   int workers, const BandingProgress& progress)
{
    SBandingComparison comparison;
    comparison.advanceErrors = advanceErrors;
    SBandingSettings noCrop = settings;
    noCrop.cropLines = {};
    std::vector<std::unique_ptr<CMaskData_Base>> masks;
    std::vector<std::unique_ptr<CPrintPlan>> plans;
    for (const EFeather feather : kFeathers) {
        SModeBanding mode;
        mode.feather = feather;
        mode.record = RecordWithFeather(head, feather);
        masks.push_back(std::make_unique<CMaskData_Base>());
        if (!masks.back()->Create(mode.record)) {
            comparison.refusal = std::string("the library refused the record of the ") +
                                 FeatherName(feather) + " mode";
            return comparison;
        }
        plans.push_back(std::make_unique<CPrintPlan>(*masks.back()));
        for (const double error : advanceErrors) {
            SPrinterErrors modeErrors = errors;
            modeErrors.advanceError = error;
            const std::string reason = Banding_Refusal(*plans.back(), modeErrors, noCrop);
            if (!reason.empty()) {
                comparison.refusal = std::string(FeatherName(feather)) + " mode: " + reason;
                return comparison;
            }
        }
        mode.figures.resize(advanceErrors.size());
        comparison.modes.push_back(std::move(mode));
    }
    const int perMode = static_cast<int>(advanceErrors.size());
    const auto job = [&](int i) {
        SPrinterErrors jobErrors = errors;
        jobErrors.advanceError = advanceErrors[static_cast<size_t>(i % perMode)];
        const size_t m = static_cast<size_t>(i / perMode);
        comparison.modes[m].figures[static_cast<size_t>(i % perMode)] =
            Banding_Simulate(*plans[m], jobErrors, noCrop);
    };
    RunJobs(static_cast<int>(comparison.modes.size()) * perMode, workers, job, progress);
    return comparison;
}

}  // namespace rv_analysis
