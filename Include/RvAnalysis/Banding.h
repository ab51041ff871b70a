// Banding: how much a print mode shows the errors of a real printer. The passes of a print plan are
// laid where a printer with a wrong paper advance and weak or dead nozzles really puts them, on
// paper finer than a row in the feed direction; every fired pixel lays a round dot, and where dots
// overlap the ink saturates (a point is inked or not). The figures are read from the coverage of
// each paper line along the feed, as a scanner would see the print, and from what an observer sees
// of it (Visibility.h): each line's coverage turned into CIE L* by the tone model, the error-free
// print of the same plan and settings subtracted line by line (so that the tint's texture and the
// mask's own pattern, which a perfect printer prints too, do not count as the printer's banding),
// and what remains weighted by the eye's contrast sensitivity at the viewing distance.
//
// Errors. An advance is too long by a fixed error plus a share of the advance itself (a roller's
// error is proportional to the feed) plus a random one of its own; an eccentric roller moves every
// pass by a sine of the paper's position; a drop-volume gradient makes the dots of nozzle 0 smaller
// and those of the last nozzle larger, linearly, the mean diameter kept.
//
// Geometry. Pixels are square: a fine line and a page column are one pixel pitch, 25.4 / dpi mm.
// The head lays the physical passes of the print plan. Physical pass g lies where the plan puts it,
// moved down by the errors of the g paper advances before it (each too long by the advance error,
// plus its own random error), so a systematic error accumulates; with Y phases, the interleave's
// own advance (the one to the next Y phase) may be off by a sub-advance error that the advance to
// the next print position takes back, so Y phase j lies j sub-advance errors lower and lines of
// neighbouring phases pair up. A dot is centred on its pixel. The ink is sampled at subRows x
// kSubColumns points per pixel; a point is inked when it lies within a dot. The print repeats
// across the page with the mask's width, so one width is simulated, wrapping round, and every
// line's coverage is the page's.
//
// Stretch. The figures come from a steady stretch of page lines, one head span (MaskRows()) below
// page line 0 (so that the lead-in is far above), made of whole cycles of mask positions
// (CPrintPlan::CycleLines) and at least kStretchBands times the longest period the band-pass keeps.
#pragma once

#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/Visibility.h>
#include <Rv_Halftone/FeatherProfile.h>
#include <Rv_Halftone/MaskParam.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rv_analysis {

constexpr int kSubColumns = 16;          // ink samples per pixel across the feed
constexpr int kCropSamples = 4;          // picture samples per pixel pitch of a kept crop
constexpr double kShortestBandMm = 0.5;  // the periods the eye sees as bands
constexpr double kLongestBandMm = 10.0;
constexpr double kStreakShare = 0.9;  // a line below this share of the mean is a white streak
constexpr int kStretchBands = 8;
constexpr long long kMaxStretchPixels = 1LL << 28;  // the work of one simulation
constexpr int kMaxCropLines = 1024;

// What a real printer does wrong. Lengths are in rows: fine lines, the page's own lines. Nozzles are
// the head's, 0 to the record's nozzleCount - 1 (CPrintPlan::HeadNozzles()), Y rows apart.
struct SPrinterErrors
{
    double advanceError = 0.0;     // rows each advance is too long (negative: too short)
    double advanceErrorPercent = 0.0;  // and this share of the advance, percent
    double advanceJitter = 0.0;    // standard deviation of an independent error per advance, rows
    double subAdvanceError = 0.0;  // rows the advance to the next Y phase is too long
    std::vector<int> deadNozzles;  // never fire
    std::vector<int> weakNozzles;  // fire smaller dots
    double weakFactor = 0.7;       // their dot diameter as a share of the others'
    // Dot diameter of the last nozzle minus nozzle 0's, percent of the mean diameter, linear
    // along the head (negative: nozzle 0 fires the larger dots).
    double dropGradientPercent = 0.0;
    double eccentricityRows = 0.0;  // amplitude of the paper-position error, rows
    double eccentricityMm = 0.0;    // its period, mm of paper travel (a roller's circumference)
    uint64_t seed = 1;             // of the random advance errors
};

// The largest errors a simulation takes, in rows either way; with Y phases, their sum over
// one advance must also stay below half the shortest advance of the plan (Banding_Refusal).
constexpr double kMaxAdvanceError = 2.0;
constexpr double kMaxAdvanceJitter = 0.5;
constexpr double kMaxSubAdvanceError = 0.5;
constexpr double kMaxAdvanceErrorPercent = 2.0;
constexpr double kMaxDropGradientPercent = 50.0;
constexpr double kMaxEccentricityRows = 2.0;
constexpr double kMinEccentricityMm = 1.0, kMaxEccentricityMm = 10000.0;

// How the print is laid and measured.
struct SBandingSettings
{
    int colour = 0;
    double coveragePercent = 100.0;  // a flat tint, dithered with a plane the mask does not cut
    // Pixel pitches. 1.5 covers the paper: a square grid of dots closes at sqrt(2) pitches, so a
    // smaller dot leaves white between diagonal neighbours and any misregistration opens it wider.
    double dotDiameter = 1.5;
    // Ink samples per row along the feed. With 16, how deep the gap at a swath edge looks depends
    // on where its pass falls between samples, enough to make a band of its own; from 32 on the
    // figures hardly change.
    int subRows = 32;
    double dpi = 600.0;     // rows per inch
    SIndexRange cropLines;  // page lines whose ink is kept for a picture; empty: none
    SToneModel tone;
    double viewingMm = kDefaultViewingMm;
    // Period on the page of the threshold tile's seam (Banding_SeamLines of the mask), whose
    // harmonics the figures name; 0: not named.
    int seamLines = 0;
};

// The threshold tile's height in page lines: the period its seam repeats with down the page.
int Banding_SeamLines(const CMaskData_Base& mask);

// Ink of a crop, kCropSamples x kCropSamples samples per pixel: the inked share of each sample's
// paper, 0 to 255.
struct SInkCrop
{
    SIndexRange lines;  // page lines
    int width = 0;      // samples across
    int height = 0;     // samples down
    std::vector<uint8_t> ink;
};

// Which period a visible band is locked to.
enum class EBandLock
{
    None,  // neither carries any of it
    Step,  // the plan's cycle of advances: the true step, errors included
    Seam,  // the threshold tile's seam
};
const char* BandLockName(EBandLock lock);  // "none", "step", "seam"

// What an observer sees of the print against the error-free print, in delta L*.
struct SVisibleFigures
{
    SVisibleBand band;       // the difference line by line, weighted by the eye
    double meanShift = 0.0;  // the print's mean L* minus the error-free print's
    double stepLines = 0.0;  // the true step: the plan's step height with the advance errors
    double stepRms = 0.0;    // weighted RMS at the step's harmonics
    double seamLines = 0.0;  // the tile seam's period; 0: not named
    double seamRms = 0.0;    // weighted RMS at the seam's harmonics
    EBandLock lock = EBandLock::None;  // the one of the two that carries more; None: neither any
    double periodLines = 0.0;          // its period: the band's; 0 with EBandLock::None
};

struct SBandingFigures
{
    std::string refusal;            // why nothing was simulated; empty when it was
    SIndexRange lines;              // page lines of the stretch
    std::vector<double> profile;    // mean coverage of each of its lines, 0 to 1
    double meanCoverage = 0.0;      // 0 to 1
    // The coverage index: RMS of the band-passed profile, in percent coverage.
    double indexPercent = 0.0;
    double periodLines = 0.0;       // the period the band repeats with; 0 when there is no band
    double amplitudePercent = 0.0;  // of the band's component at that period, percent coverage
    SIndexRange streak;             // longest run of lines below kStreakShare of the mean
    SVisibleFigures visible;
    SVisibleBand errorFree;  // the error-free print's own L* profile weighted: texture and pattern
    SInkCrop crop;
};

// Page lines the figures come from.
SIndexRange Banding_Stretch(const CPrintPlan& plan, const SBandingSettings& settings);

// Why these errors and settings cannot be simulated on this plan, with the value and the rule it
// breaks; empty when they can.
std::string Banding_Refusal(const CPrintPlan& plan, const SPrinterErrors& errors,
                            const SBandingSettings& settings);

// Simulates the print and measures it against the error-free print, which it simulates too unless
// the errors are none. The same inputs give the same figures, on any thread; inputs that
// Banding_Refusal refuses give no figures and the reason.
SBandingFigures Banding_Simulate(const CPrintPlan& plan, const SPrinterErrors& errors,
                                 const SBandingSettings& settings);

// The coverage profile of the error-free print (no printer errors at all) of the plan and settings:
// the reference of the visible figures, to simulate once for many errors. Empty when refused.
std::vector<double> Banding_ErrorFreeProfile(const CPrintPlan& plan,
                                             const SBandingSettings& settings);

// Banding_Simulate against an error-free profile already simulated for the same plan and settings.
SBandingFigures Banding_SimulateAgainst(const CPrintPlan& plan, const SPrinterErrors& errors,
                                        const SBandingSettings& settings,
                                        const std::vector<double>& errorFreeProfile);

// Called after each finished simulation (done of total), one call at a time.
using BandingProgress = std::function<void(int done, int total)>;

// The modes an engineer chooses among for one head: the library's feather families, in this order.
constexpr EFeatherFamily kFeathers[] = {FeatherFamily_Unfeathered, FeatherFamily_TwoPart,
                                        FeatherFamily_ThreePart, FeatherFamily_ThreePartRipple};
const char* FeatherName(EFeatherFamily feather);  // "unfeathered", "two-part", ...
// `head` in that feather mode. A feathered mode takes the head's feather percent, or
// kCompareFeatherPercent when the head has none (a feather of 0 % is refused).
SMaskParam RecordWithFeather(const SMaskParam& head, EFeatherFamily feather);
constexpr float kCompareFeatherPercent = 50.0f;

struct SModeBanding
{
    EFeatherFamily feather = FeatherFamily_Unfeathered;
    SMaskParam record{};
    // By tint, then advance error: figures[t x advance errors + e], without a crop or profile.
    std::vector<SBandingFigures> figures;
    std::vector<SVisibleBand> errorFree;  // the error-free print's own figure, by tint
};

struct SBandingComparison
{
    std::vector<double> tints;  // percent
    std::vector<double> advanceErrors;
    std::vector<SModeBanding> modes;  // in the order of kFeathers
    std::string refusal;              // why nothing was simulated; empty when all was

    const SBandingFigures& Figures(size_t mode, size_t tint, size_t error) const
    {
        return modes[mode].figures[tint * advanceErrors.size() + error];
    }
};

constexpr double kDefaultTints[] = {25.0, 50.0, 75.0, 100.0};

// The most worker threads an analysis is asked to run on (the sweeps here and the mode designer):
// well beyond the cores of a raster host, low enough that a mistyped count is refused rather than
// starting thousands of threads.
constexpr int kMaxWorkers = 64;

// Every mode of kFeathers under every advance error (which replaces errors.advanceError), the
// other errors as given, on up to `workers` threads. The figures do not depend on the number of
// workers; a mode the library refuses, or errors one of the modes cannot take, refuse the whole
// comparison.
SBandingComparison Banding_Compare(const SMaskParam& head, const std::vector<double>& advanceErrors,
                                   const SPrinterErrors& errors, const SBandingSettings& settings,
                                   int workers, const BandingProgress& progress = {});

// The same over tints (percent, replacing settings.coveragePercent) and advance errors: each mode's
// error-free print is simulated once per tint and every error of that tint measured against it.
SBandingComparison Banding_Sweep(const SMaskParam& head, const std::vector<double>& tints,
                                 const std::vector<double>& advanceErrors,
                                 const SPrinterErrors& errors, const SBandingSettings& settings,
                                 int workers, const BandingProgress& progress = {});

}  // namespace rv_analysis
