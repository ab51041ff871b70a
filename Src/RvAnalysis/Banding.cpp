#include <RvAnalysis/Banding.h>

#include "BandingPrint.h"
#include "RunJobs.h"

#include <RvAnalysis/Spectrum.h>
#include <RvAnalysis/Visibility.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

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
    // The eccentricity moves two passes apart by at most twice its amplitude.
    const double subBack = std::abs(errors.subAdvanceError) * (plan.YPasses() - 1);
    const double share = std::abs(errors.advanceErrorPercent) / 100.0 * ShortestAdvance(plan);
    const double worst = std::abs(errors.advanceError) + share +
                         kJitterReach * errors.advanceJitter + subBack +
                         2.0 * std::abs(errors.eccentricityRows);
    if (worst >= ShortestAdvance(plan) / 2.0)
        return "advance error " + Number(errors.advanceError) + " + " +
               Number(errors.advanceErrorPercent) + " %, " + Number(kJitterReach) +
               " x jitter " + Number(errors.advanceJitter) + ", " +
               std::to_string(plan.YPasses() - 1) + " x sub-advance error " +
               Number(errors.subAdvanceError) + " and 2 x eccentricity " +
               Number(errors.eccentricityRows) + " rows reach half the shortest advance of " +
               std::to_string(ShortestAdvance(plan)) + " rows: the paper would not move steadily";
    if (!Within(std::abs(errors.advanceErrorPercent), 0.0, kMaxAdvanceErrorPercent))
        return "advance error " + Number(errors.advanceErrorPercent) + " % of the advance: at most " +
               Number(kMaxAdvanceErrorPercent) + " % either way";
    if (!Within(std::abs(errors.eccentricityRows), 0.0, kMaxEccentricityRows))
        return "eccentricity " + Number(errors.eccentricityRows) + " rows: at most " +
               Number(kMaxEccentricityRows) + " rows either way";
    if (errors.eccentricityRows != 0.0 &&
        !Within(errors.eccentricityMm, kMinEccentricityMm, kMaxEccentricityMm))
        return "eccentricity period " + Number(errors.eccentricityMm) + " mm: " +
               Number(kMinEccentricityMm) + " to " + Number(kMaxEccentricityMm) + " mm";
    if (!Within(std::abs(errors.dropGradientPercent), 0.0, kMaxDropGradientPercent))
        return "drop gradient " + Number(errors.dropGradientPercent) + " %: at most " +
               Number(kMaxDropGradientPercent) + " % either way";
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
    std::string reason = Tone_Refusal(settings.tone);
    if (reason.empty())
        reason = Visibility_Refusal(kMmPerInch / settings.dpi, settings.viewingMm);
    if (!reason.empty())
        return reason;
    if (settings.seamLines < 0)
        return "seam " + std::to_string(settings.seamLines) + " lines: 0 (none) or more";
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
    // No peak within the band: the band's power keeps rising past its longest period (a feed
    // step longer than the band-pass keeps). Its longest period is then the one it shows; the
    // golden section below must stay on positive frequencies, whose harmonics are finitely many.
    if (best == 0)
        best = static_cast<size_t>(
            std::max_element(carried.begin() + low, carried.begin() + high + 1) - carried.begin());
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

bool Errors_None(const SPrinterErrors& e)
{
    return e.advanceError == 0.0 && e.advanceErrorPercent == 0.0 && e.advanceJitter == 0.0 &&
           e.subAdvanceError == 0.0 && e.deadNozzles.empty() && e.weakNozzles.empty() &&
           e.dropGradientPercent == 0.0 && e.eccentricityRows == 0.0;
}

// The period the band of a feed error repeats with: the plan's X x Y advances of one print
// position, each with its errors.
double TrueStepLines(const CPrintPlan& plan, const SPrinterErrors& errors)
{
    return plan.StepHeight() * (1.0 + errors.advanceErrorPercent / 100.0) +
           plan.PassesPerPosition() * errors.advanceError;
}

std::vector<double> LightnessOf(const std::vector<double>& coverage, const SToneModel& tone)
{
    std::vector<double> lightness(coverage.size());
    std::transform(coverage.begin(), coverage.end(), lightness.begin(),
                   [&tone](double a) { return Tone_Lightness(tone, a); });
    return lightness;
}

// What the eye sees of `lightness` against the error-free print's, line by line, and which of the
// step and the tile seam the band is locked to: the one that carries more of it, the step when it
// carries nearly as much as the seam (a seam a whole number of steps long holds the step's
// harmonics, and the feed is then the cause). What neither carries is the texture of the print
// rearranged by the error: the passes that lay one line no longer lie where the plan puts them.
SVisibleFigures Visible_Of(const std::vector<double>& lightness,
                           const std::vector<double>& errorFreeLightness, double stepLines,
                           const SBandingSettings& settings)
{
    constexpr double kStepPreferred = 0.8;
    constexpr double kNoVisibleBand = 1e-9;
    const double lineMm = kMmPerInch / settings.dpi;
    std::vector<double> delta(lightness.size());
    for (size_t i = 0; i < delta.size(); ++i)
        delta[i] = lightness[i] - errorFreeLightness[i];
    SVisibleFigures v;
    v.meanShift = std::accumulate(delta.begin(), delta.end(), 0.0) /
                  static_cast<double>(std::max<size_t>(1, delta.size()));
    v.band = Visibility_Weigh(delta, lineMm, settings.viewingMm);
    const std::vector<double> weighted = Visibility_Weighted(delta, lineMm, settings.viewingMm);
    v.stepLines = stepLines;
    v.stepRms = Visibility_LockedRms(weighted, stepLines);
    if (settings.seamLines > 0) {
        v.seamLines = settings.seamLines;
        v.seamRms = Visibility_LockedRms(weighted, v.seamLines);
    }
    if (std::max(v.stepRms, v.seamRms) < kNoVisibleBand)
        return v;
    const bool step = v.stepRms >= kStepPreferred * v.seamRms;
    v.lock = step ? EBandLock::Step : EBandLock::Seam;
    v.periodLines = step ? v.stepLines : v.seamLines;
    return v;
}

// The error-free profile moved as the print drifts: line i of the print carries what the plan puts
// on line i - drift(i), so the reference is read there, between two lines by linear interpolation
// (a line's ink moved by a share of a line puts that share into its neighbour). Without it a feed
// error of 0.05 rows, accumulated over the forty passes of a stretch, moves a tint's texture two
// lines against the reference and the texture itself would count as banding. Lines read from
// beyond the stretch take its first or last line.
std::vector<double> Drifted(const std::vector<double>& errorFree, const SDrift& drift)
{
    if (drift.atFirstLine == 0.0 && drift.perLine == 0.0)
        return errorFree;
    const long long last = static_cast<long long>(errorFree.size()) - 1;
    std::vector<double> moved(errorFree.size());
    for (size_t i = 0; i < moved.size(); ++i) {
        const double from = static_cast<double>(i) - drift.atFirstLine -
                            drift.perLine * static_cast<double>(i);
        const double floor = std::floor(from);
        const double share = from - floor;
        const long long below = std::clamp(static_cast<long long>(floor), 0LL, last);
        const long long above = std::clamp(static_cast<long long>(floor) + 1, 0LL, last);
        moved[i] = (1.0 - share) * errorFree[static_cast<size_t>(below)] +
                   share * errorFree[static_cast<size_t>(above)];
    }
    return moved;
}

// Every figure of a laid profile against the error-free print's, drifted as the print drifts.
SBandingFigures Figures_Measure(std::vector<double> profile, const std::vector<double>& errorFree,
                                const SDrift& drift, const CPrintPlan& plan,
                                const SPrinterErrors& errors, const SBandingSettings& settings,
                                SIndexRange stretch)
{
    const std::vector<double> lightness = LightnessOf(profile, settings.tone);
    const std::vector<double> errorFreeLightness = LightnessOf(errorFree, settings.tone);
    const std::vector<double> reference = LightnessOf(Drifted(errorFree, drift), settings.tone);
    SBandingFigures figures = Figures_Of(std::move(profile), stretch, settings.dpi);
    figures.visible = Visible_Of(lightness, reference, TrueStepLines(plan, errors), settings);
    figures.errorFree =
        Visibility_Weigh(errorFreeLightness, kMmPerInch / settings.dpi, settings.viewingMm);
    return figures;
}

SBandingFigures Refused(const std::string& reason)
{
    SBandingFigures refused;
    refused.refusal = reason;
    return refused;
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
    std::string reason = ErrorRefusal(plan, errors);
    if (reason.empty())
        reason = SettingRefusal(plan, settings);
    const double largest =
        settings.dotDiameter * (1.0 + std::abs(errors.dropGradientPercent) / 200.0);
    if (reason.empty() && largest > kMaxDotDiameter)
        reason = "drop gradient " + Number(errors.dropGradientPercent) + " % on a dot of " +
                 Number(settings.dotDiameter) + " pitches: the largest dot, " + Number(largest) +
                 " pitches, exceeds " + Number(kMaxDotDiameter);
    return reason;
}

SBandingFigures Banding_Simulate(const CPrintPlan& plan, const SPrinterErrors& errors,
                                 const SBandingSettings& settings)
{
    const std::string refusal = Banding_Refusal(plan, errors, settings);
    if (!refusal.empty())
        return Refused(refusal);
    const SIndexRange stretch = Banding_Stretch(plan, settings);
    SLaidInk ink = Ink_Lay(plan, errors, settings, stretch);
    const std::vector<double> errorFree =
        Errors_None(errors) ? ink.profile : Banding_ErrorFreeProfile(plan, settings);
    SBandingFigures figures = Figures_Measure(std::move(ink.profile), errorFree, ink.drift, plan,
                                              errors, settings, stretch);
    figures.crop = std::move(ink.crop);
    return figures;
}

std::vector<double> Banding_ErrorFreeProfile(const CPrintPlan& plan,
                                             const SBandingSettings& settings)
{
    SBandingSettings noCrop = settings;
    noCrop.cropLines = {};
    if (!Banding_Refusal(plan, {}, noCrop).empty())
        return {};
    return Ink_Lay(plan, {}, noCrop, Banding_Stretch(plan, noCrop)).profile;
}

SBandingFigures Banding_SimulateAgainst(const CPrintPlan& plan, const SPrinterErrors& errors,
                                        const SBandingSettings& settings,
                                        const std::vector<double>& errorFreeProfile)
{
    const std::string refusal = Banding_Refusal(plan, errors, settings);
    if (!refusal.empty())
        return Refused(refusal);
    const SIndexRange stretch = Banding_Stretch(plan, settings);
    if (errorFreeProfile.size() != static_cast<size_t>(stretch.Count()))
        return Refused("an error-free profile of " + std::to_string(errorFreeProfile.size()) +
                       " lines: the stretch has " + std::to_string(stretch.Count()));
    // Without errors or a picture the print is the error-free one: nothing to lay.
    if (Errors_None(errors) && settings.cropLines.Count() == 0)
        return Figures_Measure(errorFreeProfile, errorFreeProfile, {}, plan, errors, settings,
                               stretch);
    SLaidInk ink = Ink_Lay(plan, errors, settings, stretch);
    SBandingFigures figures = Figures_Measure(std::move(ink.profile), errorFreeProfile, ink.drift,
                                              plan, errors, settings, stretch);
    figures.crop = std::move(ink.crop);
    return figures;
}

int Banding_SeamLines(const CMaskData_Base& mask)
{
    return mask.ThresholdHeight() * std::max(1, mask.YResPass());
}

const char* BandLockName(EBandLock lock)
{
    switch (lock) {
    case EBandLock::None: return "none";
    case EBandLock::Step: return "step";
    case EBandLock::Seam: return "seam";
    }
    return "none";
}

const char* FeatherName(EFeatherFamily feather)
{
    switch (feather) {
    case FeatherFamily_Unfeathered: return "unfeathered";
    case FeatherFamily_TwoPart: return "two-part";
    case FeatherFamily_ThreePart: return "three-part";
    case FeatherFamily_ThreePartRipple: return "three-part ripple";
    }
    return "unfeathered";
}

SMaskParam RecordWithFeather(const SMaskParam& head, EFeatherFamily feather)
{
    SMaskParam record = head;
    record.featherMode =
        feather == FeatherFamily_Unfeathered ? FeatherMode_None : FeatherMode_Nozzle;
    switch (feather) {
    case FeatherFamily_Unfeathered:
    case FeatherFamily_TwoPart: record.featherNozzleType = FeatherNozzleType_TwoPart; break;
    case FeatherFamily_ThreePart: record.featherNozzleType = FeatherNozzleType_ThreePart; break;
    case FeatherFamily_ThreePartRipple:
        record.featherNozzleType = FeatherNozzleType_ThreePartRipple;
        break;
    }
    if (feather != FeatherFamily_Unfeathered && !(head.featherPercent > 0.0f))
        record.featherPercent = kCompareFeatherPercent;
    return record;
}

SBandingComparison Banding_Compare(const SMaskParam& head, const std::vector<double>& advanceErrors,
                                   const SPrinterErrors& errors, const SBandingSettings& settings,
                                   int workers, const BandingProgress& progress)
{
    return Banding_Sweep(head, {settings.coveragePercent}, advanceErrors, errors, settings,
                         workers, progress);
}

SBandingComparison Banding_Sweep(const SMaskParam& head, const std::vector<double>& tints,
                                 const std::vector<double>& advanceErrors,
                                 const SPrinterErrors& errors, const SBandingSettings& settings,
                                 int workers, const BandingProgress& progress)
{
    SBandingComparison comparison;
    comparison.tints = tints;
    comparison.advanceErrors = advanceErrors;
    if (tints.empty() || advanceErrors.empty()) {
        comparison.refusal = "a sweep of " + std::to_string(tints.size()) + " tints and " +
                             std::to_string(advanceErrors.size()) +
                             " advance errors: at least one of each";
        return comparison;
    }
    std::vector<std::unique_ptr<CMaskData_Base>> masks;
    std::vector<std::unique_ptr<CPrintPlan>> plans;
    std::vector<SBandingSettings> modeSettings;  // by mode and tint
    for (const EFeatherFamily feather : kFeathers) {
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
        for (const double tint : tints) {
            SBandingSettings tintSettings = settings;
            tintSettings.cropLines = {};
            tintSettings.coveragePercent = tint;
            tintSettings.seamLines = Banding_SeamLines(*masks.back());
            modeSettings.push_back(tintSettings);
            for (const double error : advanceErrors) {
                SPrinterErrors modeErrors = errors;
                modeErrors.advanceError = error;
                const std::string reason =
                    Banding_Refusal(*plans.back(), modeErrors, tintSettings);
                if (!reason.empty()) {
                    comparison.refusal = std::string(FeatherName(feather)) + " mode: " + reason;
                    return comparison;
                }
            }
        }
        mode.figures.resize(tints.size() * advanceErrors.size());
        mode.errorFree.resize(tints.size());
        comparison.modes.push_back(std::move(mode));
    }
    // First every mode's error-free print at every tint, then every error against it.
    const int references = static_cast<int>(modeSettings.size());
    const int perReference = static_cast<int>(advanceErrors.size());
    const int total = references * (1 + perReference);
    std::vector<std::vector<double>> errorFree(static_cast<size_t>(references));
    const auto referenceJob = [&](int r) {
        const CPrintPlan& plan = *plans[static_cast<size_t>(r) / tints.size()];
        errorFree[static_cast<size_t>(r)] =
            Banding_ErrorFreeProfile(plan, modeSettings[static_cast<size_t>(r)]);
    };
    const auto errorJob = [&](int i) {
        const size_t r = static_cast<size_t>(i / perReference);
        const size_t e = static_cast<size_t>(i % perReference);
        const size_t m = r / tints.size(), t = r % tints.size();
        SPrinterErrors jobErrors = errors;
        jobErrors.advanceError = advanceErrors[e];
        SBandingFigures figures =
            Banding_SimulateAgainst(*plans[m], jobErrors, modeSettings[r], errorFree[r]);
        if (e == 0)
            comparison.modes[m].errorFree[t] = figures.errorFree;
        comparison.modes[m].figures[t * advanceErrors.size() + e] = std::move(figures);
    };
    const BandingProgress first = [&progress, total](int done, int) {
        if (progress)
            progress(done, total);
    };
    const BandingProgress second = [&progress, total, references](int done, int) {
        if (progress)
            progress(references + done, total);
    };
    RunJobs(references, workers, referenceJob, first);
    RunJobs(references * perReference, workers, errorJob, second);
    return comparison;
}

}  // namespace rv_analysis
