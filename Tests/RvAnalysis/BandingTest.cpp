// The banding simulation judged as a physicist would: a perfect print is flat, a paper advance that
// is off bands with the advance and more so the more it is off, feathering hides it, a dead nozzle
// streaks on exactly its own lines and only where no other pass covers for it, an interleave that
// is off pairs the lines, and threads never change a figure.
#include "RvAnalysis/BandingPrint.h"
#include "MaskParams.h"

#include <RvAnalysis/Banding.h>
#include <Rv_Halftone/MaskData_Base.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

namespace {

using namespace rv_analysis;

// 96 nozzles, 1 colour, 1 bit, one mask position: quick to simulate.
SMaskParam SmallHead(int passes, EFeatherFamily feather = FeatherFamily_Unfeathered, int y = 1,
                     int nozzles = 96)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = nozzles;
    p.yResPass = y;
    p.basePass = passes;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.lessMaskPosition = 1;
    return RecordWithFeather(p, feather);
}

SPrinterErrors AdvanceError(double rows)
{
    SPrinterErrors errors;
    errors.advanceError = rows;
    return errors;
}

SBandingFigures Print(const SMaskParam& record, const SPrinterErrors& errors,
                      const SBandingSettings& settings = {})
{
    CMaskData_Base mask;
    EXPECT_TRUE(mask.Create(record));
    const CPrintPlan plan(mask);
    EXPECT_EQ(Banding_Refusal(plan, errors, settings), "");
    return Banding_Simulate(plan, errors, settings);
}

// Dots just under covering (a square grid closes at 1.414 pitches): any gap between lines shows.
SBandingSettings NearlyCovering()
{
    SBandingSettings settings;
    settings.dotDiameter = 1.4;
    return settings;
}

}  // namespace

TEST(BandingSimulation, ExactModesWithoutErrorsPrintFlat)
{
    for (const EFeatherFamily feather :
         {FeatherFamily_Unfeathered, FeatherFamily_TwoPart, FeatherFamily_ThreePart}) {
        const SBandingFigures f = Print(SmallHead(4, feather), {});
        const auto [low, high] = std::minmax_element(f.profile.begin(), f.profile.end());
        EXPECT_LT(*high - *low, 1e-12) << FeatherName(feather);
        EXPECT_EQ(f.meanCoverage, 1.0) << FeatherName(feather);  // dots wider than a pitch
        EXPECT_LT(f.indexPercent, 0.1) << FeatherName(feather);
    }
}

// Every advance too long opens a gap where one swath ends: a band that repeats with the paper's
// true advance, step plus error, and deepens with the error (dots just under covering, so that the
// smallest gap shows).
TEST(BandingSimulation, AdvanceErrorBandsWithTheAdvanceAndGrowsWithIt)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(SmallHead(4)));
    const CPrintPlan plan(mask);
    const SBandingSettings settings = NearlyCovering();
    double previous = Banding_Simulate(plan, {}, settings).indexPercent;
    for (const double error : {0.1, 0.2, 0.3, 0.5}) {
        const SBandingFigures f = Banding_Simulate(plan, AdvanceError(error), settings);
        EXPECT_NEAR(f.periodLines, plan.StepHeight() + error, 1.0 / settings.subRows) << error;
        EXPECT_GT(f.indexPercent, previous) << error;
        previous = f.indexPercent;
    }
}

// Two passes of the default head with a three-part feather of 16.7 % advance 236 lines (the
// overlap takes 36 off the 272 of an unfeathered mode): right at the longest band the eye is taken
// to see (10 mm, 236.2 lines at 600 dpi). Feathered, the band is near a sine, so its power keeps
// rising up to the band-pass's edge. It is still measured, and named by the longest period kept,
// rather than searched for beyond it (where the search never ended).
TEST(BandingSimulation, ABandRepeatingBeyondTheLongestIsNamedByTheLongest)
{
    SMaskParam record = DefaultMaskParam();
    record.basePass = 2;
    record = RecordWithFeather(record, FeatherFamily_ThreePart);
    record.featherPercent = 100.0f / 6.0f;
    SBandingSettings settings;
    settings.subRows = 8;
    const SBandingFigures f = Print(record, AdvanceError(0.3), settings);
    EXPECT_GT(f.indexPercent, 0.01);
    EXPECT_GT(f.periodLines, 230.0);
    EXPECT_LE(f.periodLines, 236.3);
}

// Without a printer error every exact mode prints exactly what its error-free print prints: 0
// visible banding at every tint of the sweep, whatever texture the tint has. A weak nozzle that
// fires full-size dots is no error, yet it makes the simulation lay the print again rather than
// reuse the error-free one. The ripple's own figure (its error-free print) is recorded.
TEST(VisibleBanding, ExactModesReadZeroWithoutErrorsAtEveryTint)
{
    SPrinterErrors fullSize;
    fullSize.weakNozzles = {40};
    fullSize.weakFactor = 1.0;
    const std::vector<double> tints(std::begin(kDefaultTints), std::end(kDefaultTints));
    const SBandingComparison c = Banding_Sweep(SmallHead(4), tints, {0.0}, fullSize, {}, 2);
    ASSERT_EQ(c.refusal, "");
    for (size_t t = 0; t < tints.size(); ++t) {
        for (const EFeatherFamily feather :
             {FeatherFamily_Unfeathered, FeatherFamily_TwoPart, FeatherFamily_ThreePart})
            EXPECT_EQ(c.Figures(static_cast<size_t>(feather), t, 0).visible.band.weightedRms, 0.0)
                << FeatherName(feather) << " at " << tints[t] << " %";
        RecordProperty("ripple_error_free_" + std::to_string(static_cast<int>(tints[t])),
                       std::to_string(c.modes[3].errorFree[t].weightedRms));
    }
}

// The default head (544 nozzles, 4 passes: steps of 136, 126 and 84 lines) at a 50 % tint under a
// systematic advance error: every mode's figure rises with the error, three-part smoothing bands
// less than no feather (graded masks hide feed errors), and its band is named by the step (84
// lines plus the error) or by the tile seam, never by a fraction of either.
TEST(VisibleBanding, DefaultHeadUnderAdvanceErrorAtHalfTint)
{
    const std::vector<double> errors = {0.0, 0.1, 0.2, 0.3};
    const SBandingComparison c = Banding_Sweep(DefaultMaskParam(), {50}, errors, {}, {}, 2);
    ASSERT_EQ(c.refusal, "");
    for (size_t m = 0; m < c.modes.size(); ++m) {  // each mode is built as the family it names
        CMaskData_Base mask;
        ASSERT_TRUE(mask.Create(c.modes[m].record));
        EXPECT_EQ(mask.FeatherFamily(), kFeathers[m]) << FeatherName(kFeathers[m]);
    }
    const auto visible = [&c](EFeatherFamily feather, size_t e) {
        return c.Figures(static_cast<size_t>(feather), 0, e).visible;
    };
    for (const EFeatherFamily feather : kFeathers)
        for (size_t e = 1; e < errors.size(); ++e)
            EXPECT_GT(visible(feather, e).band.weightedRms, visible(feather, e - 1).band.weightedRms)
                << FeatherName(feather) << " at " << errors[e];
    for (size_t e = 1; e < errors.size(); ++e) {
        EXPECT_LT(visible(FeatherFamily_ThreePart, e).band.weightedRms,
                  visible(FeatherFamily_Unfeathered, e).band.weightedRms)
            << errors[e];
        const SVisibleFigures three = visible(FeatherFamily_ThreePart, e);
        const bool step = three.lock == EBandLock::Step &&
                          std::abs(three.periodLines - (84 + errors[e])) < 1e-9;
        const bool seam = three.lock == EBandLock::Seam && three.periodLines == 532;
        EXPECT_TRUE(step || seam) << errors[e] << ": " << BandLockName(three.lock) << " "
                                  << three.periodLines;
    }
}

// A dead nozzle k leaves its mark on exactly the lines it lays, worked out by hand. One pass of 96
// nozzles: line k of every 96. With Y = 2 the lead blank is 96 lines: phase 0 of print t has nozzle
// 0 on line 192 t - 96, phase 1 on 192 t + 1, so nozzle 40 lays lines 176 and 81 of every 192.
// 640 nozzles, 4 passes, Y = 2: phase 0 starts on 320 t - 1120, phase 1 on 320 t - 959, so nozzle
// 100 lays lines 40 and 201 of every 320; there the other three passes still print, so they are
// lighter, not white. A weak nozzle's line is lighter, not as white.
TEST(BandingSimulation, DeadNozzleMarksExactlyTheLinesItLays)
{
    struct
    {
        int passes, y, nozzles, dead, period;
        std::vector<int> lines;
        double lightest;  // at most (one pass) or at least (four)
    } const cases[] = {
        {1, 1, 96, 40, 96, {40}, 0.5},
        {1, 2, 96, 40, 192, {81, 176}, 0.5},
        {4, 2, 640, 100, 320, {40, 201}, 0.7},
    };
    for (const auto& c : cases) {
        SPrinterErrors dead;
        dead.deadNozzles = {c.dead};
        const SBandingFigures f =
            Print(SmallHead(c.passes, FeatherFamily_Unfeathered, c.y, c.nozzles), dead);
        int wrong = 0;
        for (size_t i = 0; i < f.profile.size(); ++i) {
            const int line = f.lines.first + static_cast<int>(i);
            const bool marked = std::count(c.lines.begin(), c.lines.end(), line % c.period) > 0;
            wrong += (f.profile[i] < 0.99) != marked;
        }
        EXPECT_EQ(wrong, 0) << c.nozzles << " nozzles, Y = " << c.y;
        const double lightest = *std::min_element(f.profile.begin(), f.profile.end());
        if (c.passes == 1)
            EXPECT_LT(lightest, c.lightest) << c.nozzles << " nozzles, Y = " << c.y;
        else
            EXPECT_GT(lightest, c.lightest) << c.nozzles << " nozzles, Y = " << c.y;
    }
    SPrinterErrors weak;
    weak.weakNozzles = {40};
    const SBandingFigures light = Print(SmallHead(1), weak, NearlyCovering());
    const double lightest = *std::min_element(light.profile.begin(), light.profile.end());
    EXPECT_LT(lightest, 0.95 * light.meanCoverage);
    EXPECT_GT(lightest, 0.5);
}

// Y = 2: the advance to phase 1 off by e moves the odd lines e rows down, and the advance to the
// next print position takes it back. A solid of 1.4-pitch dots then opens white on the far side of
// the odd lines from the neighbour they moved to: above them when they moved down (e > 0), below
// them when they moved up. The solid gets lighter; without the error the print stays flat.
TEST(BandingSimulation, SubAdvanceErrorPairsTheLinesOfTheTwoYPhases)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(SmallHead(2, FeatherFamily_Unfeathered, 2)));
    const CPrintPlan plan(mask);
    SBandingSettings settings = NearlyCovering();  // a pair of lines moved apart shows white
    const int first = Banding_Stretch(plan, settings).first;  // an even line
    settings.cropLines = {first, first + 16};
    for (const double error : {0.0, 0.3, -0.3}) {
        SPrinterErrors errors;
        errors.subAdvanceError = error;
        ASSERT_EQ(Banding_Refusal(plan, errors, settings), "");
        const SBandingFigures f = Banding_Simulate(plan, errors, settings);
        // Ink in the top and the bottom quarter of each odd line of the crop.
        long long top = 0, bottom = 0;
        const SInkCrop& crop = f.crop;
        for (int line = 1; line < 16; line += 2)
            for (int x = 0; x < crop.width; ++x) {
                top += crop.ink[static_cast<size_t>(line * kCropSamples) * crop.width + x];
                bottom +=
                    crop.ink[static_cast<size_t>((line + 1) * kCropSamples - 1) * crop.width + x];
            }
        if (error == 0.0) {
            EXPECT_EQ(f.meanCoverage, 1.0);
            EXPECT_EQ(top, bottom);
        } else {
            EXPECT_LT(f.meanCoverage, 0.99) << error;
            EXPECT_EQ(top<bottom, error> 0) << error << ": top " << top << ", bottom " << bottom;
        }
    }
}

// The largest advance error is taken and the next refused; on a head whose shortest advance is 3
// rows, an error of half that is refused and one just below it taken. A sub-advance error needs Y
// phases.
TEST(BandingSimulation, RefusesErrorsPastItsLimitsAndSaysWhy)
{
    CMaskData_Base wide, narrow;
    ASSERT_TRUE(wide.Create(SmallHead(4)));                                  // advances of 24 rows
    ASSERT_TRUE(narrow.Create(SmallHead(4, FeatherFamily_Unfeathered, 1, 12)));  // of 3 rows
    const CPrintPlan widePlan(wide), narrowPlan(narrow);
    struct
    {
        const CPrintPlan& plan;
        double advance, sub;
        const char* reason;  // empty: taken
    } const cases[] = {
        {widePlan, kMaxAdvanceError, 0.0, ""},
        {widePlan, -kMaxAdvanceError, 0.0, ""},
        {widePlan, 2.001, 0.0, "advance error 2.001 rows: at most 2 rows either way"},
        {narrowPlan, 1.499, 0.0, ""},
        {narrowPlan, 1.5, 0.0, "reach half the shortest advance of 3 rows"},
        {widePlan, 0.0, 0.1, "the mode has 1 Y phase"},
    };
    for (const auto& c : cases) {
        SPrinterErrors errors;
        errors.advanceError = c.advance;
        errors.subAdvanceError = c.sub;
        const std::string reason = Banding_Refusal(c.plan, errors, {});
        if (*c.reason == '\0')
            EXPECT_EQ(reason, "") << c.advance;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

// The print repeats across the page: the part of a dot on pixel 0 that overhangs the left edge of
// the simulated row lands at its right end, and none of its ink is lost.
TEST(BandingSimulation, ADotOverhangingTheLeftEdgeLandsAtTheRightEnd)
{
    const int width = 10, subRows = 32, rows = 3 * subRows;  // the dot's line and one either side
    const std::vector<SDotRow> dot = DotRows(1.4, 0.5, subRows);
    CInkSheet edge(rows, width), inside(rows, width);
    for (const SDotRow& r : dot) {
        edge.Lay(rows / 2 + r.row, 0, r.window);
        inside.Lay(rows / 2 + r.row, 5, r.window);
    }
    edge.FoldEnds();
    inside.FoldEnds();
    const int samples = width * kSubColumns;
    for (int row = 0; row < rows; ++row) {
        EXPECT_EQ(edge.InkedInRow(row), inside.InkedInRow(row)) << row;
        for (int s = 0; s < kSubColumns; ++s) {
            // Pixel 5's dot, moved five pixels left, wrapping round.
            const int from = 5 * kSubColumns + s - kSubColumns;
            EXPECT_EQ(edge.Inked(row, (s - kSubColumns + samples) % samples),
                      inside.Inked(row, from))
                << row << ", " << s;
            EXPECT_EQ(edge.Inked(row, s), inside.Inked(row, 5 * kSubColumns + s))
                << row << ", " << s;
        }
    }
    EXPECT_TRUE(edge.Inked(rows / 2, samples - 1));  // the overhang, at the right end
}

TEST(BandingSimulation, SameSeedSameFiguresWhateverTheWorkers)
{
    SPrinterErrors errors;
    errors.advanceJitter = 0.05;
    errors.seed = 7;
    const auto run = [&errors](int workers) {
        return Banding_Compare(SmallHead(4), {0.2}, errors, {}, workers);
    };
    const SBandingComparison one = run(1), two = run(2);
    for (size_t m = 0; m < one.modes.size(); ++m) {
        EXPECT_EQ(one.modes[m].figures[0].profile, two.modes[m].figures[0].profile) << m;
        EXPECT_EQ(one.modes[m].figures[0].periodLines, two.modes[m].figures[0].periodLines) << m;
    }
    errors.seed = 8;
    EXPECT_NE(run(2).modes[0].figures[0].profile, one.modes[0].figures[0].profile);
}

// Errors of a real printer on the small head (96 nozzles, 4 passes: every advance 24 rows, 1.016 mm
// at 600 dpi), each against what a printer engineer works out by hand:
// - a roller 1.25 % fast moves the paper 0.3 rows too far on every 24-row advance: the same print
//   as an error of 0.3 rows;
// - an eccentric roller whose turn is one step moves every pass alike: a solid only shifts, no
//   band; a turn of 5 mm changes the advances and bands;
// - a drop-volume gradient of 10 % leaves a solid of covering dots solid (the smallest dot, 1.425
//   pitches, still closes the grid) but bands a 50 % tint at the step when unfeathered, and less
//   when three-part smoothing spreads each swath's ends.
TEST(BandingSimulation, ErrorsOfARealPrinterBandAsWorkedOutByHand)
{
    SPrinterErrors roller, share;
    roller.advanceError = 0.3;
    share.advanceErrorPercent = 1.25;
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(SmallHead(4)));
    const CPrintPlan plan(mask);
    const SBandingFigures byRows = Banding_Simulate(plan, roller, {});
    const SBandingFigures byShare = Banding_Simulate(plan, share, {});
    ASSERT_EQ(byShare.profile.size(), byRows.profile.size());
    for (size_t i = 0; i < byRows.profile.size(); ++i)
        ASSERT_NEAR(byShare.profile[i], byRows.profile[i], 1e-12) << i;
    EXPECT_NEAR(byShare.visible.stepLines, 24.3, 1e-9);

    struct
    {
        const char* what;
        EFeatherFamily feather;
        double tint, eccentricityMm, eccentricityRows, gradient;
        double least, most;  // visible banding, delta L*
    } const cases[] = {
        {"eccentric, a turn of one step", FeatherFamily_Unfeathered, 100, 1.016, 0.5, 0, 0, 1e-12},
        {"eccentric, a turn of 5 mm", FeatherFamily_Unfeathered, 100, 5.0, 0.5, 0, 0.05, 100},
        {"gradient, solid", FeatherFamily_Unfeathered, 100, 0, 0, 10, 0, 1e-12},
        {"gradient, 50 % unfeathered", FeatherFamily_Unfeathered, 50, 0, 0, 10, 0.05, 100},
    };
    for (const auto& c : cases) {
        SPrinterErrors errors;
        errors.eccentricityMm = c.eccentricityMm;
        errors.eccentricityRows = c.eccentricityRows;
        errors.dropGradientPercent = c.gradient;
        SBandingSettings settings;
        settings.coveragePercent = c.tint;
        CMaskData_Base modeMask;
        ASSERT_TRUE(modeMask.Create(SmallHead(4, c.feather)));
        const CPrintPlan modePlan(modeMask);
        ASSERT_EQ(Banding_Refusal(modePlan, errors, settings), "") << c.what;
        const SVisibleFigures v = Banding_Simulate(modePlan, errors, settings).visible;
        EXPECT_GE(v.band.weightedRms, c.least) << c.what;
        EXPECT_LE(v.band.weightedRms, c.most) << c.what;
    }
}

// A drop-volume gradient of 10 % at a 50 % tint on the default head: every swath is darker at one
// end, so the unfeathered mode bands at its step (136 lines), and three-part smoothing, which
// spreads each swath's ends over many rows, bands less.
TEST(VisibleBanding, DropGradientBandsUnfeatheredAtTheStepAndFeatheredLess)
{
    SPrinterErrors errors;
    errors.dropGradientPercent = 10.0;
    const SBandingComparison c = Banding_Sweep(DefaultMaskParam(), {50}, {0.0}, errors, {}, 2);
    ASSERT_EQ(c.refusal, "");
    const SVisibleFigures unfeathered = c.Figures(0, 0, 0).visible;
    const SVisibleFigures three =
        c.Figures(static_cast<size_t>(FeatherFamily_ThreePart), 0, 0).visible;
    EXPECT_EQ(unfeathered.lock, EBandLock::Step);
    EXPECT_EQ(unfeathered.periodLines, 136.0);
    EXPECT_GT(unfeathered.band.weightedRms, 0.05);
    EXPECT_LT(three.band.weightedRms, unfeathered.band.weightedRms);
}

// Each real printer's error past its limit is refused with its value and the rule.
TEST(BandingSimulation, RefusesRealPrinterErrorsPastTheirLimits)
{
    CMaskData_Base wide, narrow;
    ASSERT_TRUE(wide.Create(SmallHead(4)));                                  // advances of 24 rows
    ASSERT_TRUE(narrow.Create(SmallHead(4, FeatherFamily_Unfeathered, 1, 12)));  // of 3 rows
    const CPrintPlan widePlan(wide), narrowPlan(narrow);
    struct
    {
        const CPrintPlan& plan;
        double percent, gradient, eccentricityMm, eccentricityRows, dot;
        const char* reason;  // empty: taken
    } const cases[] = {
        {widePlan, 2.0, 50, 60, 2, 1.5, ""},
        {widePlan, -2.001, 0, 0, 0, 1.5, "advance error -2.001 % of the advance: at most 2 %"},
        {widePlan, 0, 50.5, 0, 0, 1.5, "drop gradient 50.5 %: at most 50 %"},
        {widePlan, 0, 40, 0, 0, 3.5, "the largest dot, 4.2 pitches, exceeds 4"},
        {widePlan, 0, 0, 60, 2.5, 1.5, "eccentricity 2.5 rows: at most 2 rows"},
        {widePlan, 0, 0, 0.5, 0.1, 1.5, "eccentricity period 0.5 mm: 1 to 10000 mm"},
        {narrowPlan, 0, 0, 60, 0.74, 1.5, ""},
        {narrowPlan, 0, 0, 60, 0.75, 1.5, "reach half the shortest advance of 3 rows"},
    };
    for (const auto& c : cases) {
        SPrinterErrors errors;
        errors.advanceErrorPercent = c.percent;
        errors.dropGradientPercent = c.gradient;
        errors.eccentricityMm = c.eccentricityMm;
        errors.eccentricityRows = c.eccentricityRows;
        SBandingSettings settings;
        settings.dotDiameter = c.dot;
        const std::string reason = Banding_Refusal(c.plan, errors, settings);
        if (*c.reason == '\0')
            EXPECT_EQ(reason, "") << c.percent;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}
