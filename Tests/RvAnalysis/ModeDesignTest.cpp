// The mode designer judged by what a printer engineer checks: its best mode is the best a brute
// force over the same modes finds, with the figures the banding simulation gives that mode; the
// workers never change the ranking; a perfect printer shows no banding in any mode; feathering
// wins under a feed error; and a mode's tolerated feed error is where its banding crosses the
// threshold.
#include "MaskParams.h"

#include <RvAnalysis/ModeDesign.h>
#include <Rv_Halftone/MaskData_Base.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using namespace rv_analysis;

// 96 nozzles, 1 colour, 1 bit, one mask position: every mode of it is quick to simulate.
SMaskParam SmallHead()
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.lessMaskPosition = 1;
    return p;
}

SDesignLimits SmallLimits()
{
    SDesignLimits limits;
    limits.head = SmallHead();
    limits.minPasses = 2;
    limits.maxPasses = 3;
    limits.smoothLevels = {100};
    limits.percentStep = 50.0;
    limits.refinements = 0;
    return limits;
}

SErrorBudget FeedBudget()
{
    SErrorBudget budget;
    budget.advanceSamples = 2;  // -0.2 and +0.2 rows
    budget.advanceJitter = 0.02;
    budget.dropGradientPercent = 0.0;
    return budget;
}

// Coarse ink sampling along the feed: a quarter of the work, and every figure compared here is
// computed under the same settings on both sides.
SDesignSettings QuickSettings(std::vector<double> tints, int workers = 1)
{
    SDesignSettings settings;
    settings.tints = std::move(tints);
    settings.banding.subRows = 8;
    settings.workers = workers;
    settings.tolerated = 0;
    return settings;
}

// The worst tint's visible banding of `record` under `errors`, straight from the simulation.
double WorstTintBanding(const SMaskParam& record, const SPrinterErrors& errors,
                        const SDesignSettings& settings)
{
    CMaskData_Base mask;
    EXPECT_TRUE(mask.Create(record));
    const CPrintPlan plan(mask);
    double worst = 0.0;
    for (const double tint : settings.tints) {
        SBandingSettings banding = settings.banding;
        banding.coveragePercent = tint;
        banding.seamLines = Banding_SeamLines(mask);
        const SBandingFigures figures = Banding_Simulate(plan, errors, banding);
        EXPECT_EQ(figures.refusal, "");
        worst = std::max(worst, figures.visible.band.weightedRms);
    }
    return worst;
}

std::string Describe(const SMaskParam& r)
{
    return std::to_string(r.basePass) + " passes, feather " + std::to_string(r.featherMode) + "/" +
           std::to_string(r.featherNozzleType) + " at " + std::to_string(r.featherPercent) + " %";
}

// On one worker: the threads are the next test's concern, and this one simulates every record
// twice.
TEST(DesignSearch, BestModeIsTheBruteForceBestWithTheSimulatedFigures)
{
    const SDesignLimits limits = SmallLimits();
    const SErrorBudget budget = FeedBudget();
    const SDesignSettings settings = QuickSettings({50.0, 100.0});
    const SDesignResult result = Mode_Design(limits, budget, settings);
    ASSERT_EQ(result.refusal, "");

    // Every record of the grid, simulated directly: 2 and 3 passes, each family, 50 and 100 %.
    SMaskParam bestRecord{};
    double bestExpected = HUGE_VAL, bestWorst = 0.0;
    int accepted = 0;
    for (int passes = 2; passes <= 3; ++passes) {
        for (const EFeatherFamily feather : kFeathers) {
            for (const float percent : {50.0f, 100.0f}) {
                SMaskParam record = limits.head;
                record.basePass = passes;
                record = RecordWithFeather(record, feather);
                record.featherPercent = feather == FeatherFamily_Unfeathered ? 0.0f : percent;
                CMaskData_Base probe;
                if (!probe.Create(record) || (feather == FeatherFamily_Unfeathered && percent > 50))
                    continue;
                ++accepted;
                double expected = 0.0, worst = 0.0;
                for (int s = 0; s < budget.advanceSamples; ++s) {
                    const double banding = WorstTintBanding(
                        record, ErrorBudget_Errors(budget, record.nozzleCount, s, settings.seed),
                        settings);
                    expected += banding / budget.advanceSamples;
                    worst = std::max(worst, banding);
                }
                if (expected < bestExpected) {
                    bestExpected = expected;
                    bestWorst = worst;
                    bestRecord = record;
                }
            }
        }
    }
    EXPECT_EQ(static_cast<int>(result.ranked.size()), accepted);
    ASSERT_FALSE(result.ranked.empty());
    const SDesignCandidate& best = result.ranked.front();
    EXPECT_EQ(Describe(best.record), Describe(bestRecord));
    EXPECT_NEAR(best.expectedBanding, bestExpected, 1e-12);
    EXPECT_NEAR(best.worstBanding, bestWorst, 1e-12);
    for (size_t i = 1; i < result.ranked.size(); ++i)
        EXPECT_LE(result.ranked[i - 1].expectedBanding, result.ranked[i].expectedBanding);
    ASSERT_EQ(result.bestByPasses.size(), 2u);
    EXPECT_EQ(result.bestByPasses[0].physicalPasses, 2);
    EXPECT_EQ(result.bestByPasses[1].physicalPasses, 3);
}

TEST(ModeDesign, TwoWorkersRankAsOneDoesFigureForFigure)
{
    SDesignLimits limits = SmallLimits();
    limits.maxPasses = 2;
    const SErrorBudget budget = FeedBudget();
    const SDesignResult result = Mode_Design(limits, budget, QuickSettings({50.0, 100.0}, 2));
    const SDesignResult alone = Mode_Design(limits, budget, QuickSettings({50.0, 100.0}, 1));
    ASSERT_GT(result.ranked.size(), 1u);
    ASSERT_EQ(alone.ranked.size(), result.ranked.size());
    for (size_t i = 0; i < result.ranked.size(); ++i) {
        EXPECT_EQ(Describe(alone.ranked[i].record), Describe(result.ranked[i].record));
        EXPECT_EQ(alone.ranked[i].expectedBanding, result.ranked[i].expectedBanding);
        EXPECT_EQ(alone.ranked[i].worstBanding, result.ranked[i].worstBanding);
    }
}

TEST(ModeDesign, PerfectPrinterShowsNoBandingInAnyMode)
{
    for (const EFeatherFamily feather : kFeathers) {
        SMaskParam record = SmallHead();
        record.basePass = 4;
        record = RecordWithFeather(record, feather);
        const SDesignCandidate judged =
            Mode_Judge(record, ErrorBudget_None(), QuickSettings({25.0, 50.0, 100.0}));
        ASSERT_EQ(judged.refusal, "") << FeatherName(feather);
        EXPECT_EQ(judged.expectedBanding, 0.0) << FeatherName(feather);
        EXPECT_EQ(judged.worstBanding, 0.0) << FeatherName(feather);
    }
}

// The print's time is the physical passes per head height of paper: the record's passes x X x Y
// while the swaths only meet. A feather's overlap shortens the step (by whole lines), so that the
// same record takes longer.
TEST(ModeDesign, PrintTimeIsThePassesUnlessAFeatherOverlapsTheSwaths)
{
    struct SCase
    {
        EFeatherFamily feather;
        int x, y;
        int physicalPasses;
        double printPasses;  // 0: more than physicalPasses
    };
    const SCase cases[] = {
        {FeatherFamily_Unfeathered, 1, 1, 2, 2.0},
        {FeatherFamily_Unfeathered, 2, 1, 4, 4.0},
        {FeatherFamily_Unfeathered, 1, 2, 4, 4.0},
        {FeatherFamily_ThreePart, 1, 1, 2, 0.0},
        {FeatherFamily_TwoPart, 1, 1, 2, 0.0},
    };
    for (const SCase& c : cases) {
        SMaskParam record = SmallHead();
        record.basePass = 2;
        record.xResPass = c.x;
        record.yResPass = c.y;
        record = RecordWithFeather(record, c.feather);
        const SDesignCandidate judged =
            Mode_Judge(record, ErrorBudget_None(), QuickSettings({50.0}));
        ASSERT_EQ(judged.refusal, "") << Describe(record);
        EXPECT_EQ(judged.physicalPasses, c.physicalPasses) << Describe(record);
        if (c.printPasses > 0.0) {
            EXPECT_DOUBLE_EQ(judged.printPasses, c.printPasses) << Describe(record);
            continue;
        }
        EXPECT_GT(judged.printPasses, judged.physicalPasses) << Describe(record);
        const double stepLines = record.nozzleCount / judged.printPasses;
        EXPECT_NEAR(stepLines, std::round(stepLines), 1e-9) << Describe(record);
    }
}

// Graded masks hide feed errors better than rectangular ones: at a mid tint under +-0.2 rows every
// feathered family of the default head bands less than the unfeathered mode.
TEST(ModeDesign, FeatheredModesBeatUnfeatheredAtMidTintUnderFeedError)
{
    SErrorBudget budget = FeedBudget();
    budget.advanceJitter = 0.0;
    SDesignSettings settings = QuickSettings({50.0});
    settings.banding.subRows = SBandingSettings().subRows;
    const SDesignCandidate none =
        Mode_Judge(RecordWithFeather(DefaultMaskParam(), FeatherFamily_Unfeathered), budget, settings);
    ASSERT_EQ(none.refusal, "");
    for (const EFeatherFamily feather : {FeatherFamily_TwoPart, FeatherFamily_ThreePart}) {
        const SDesignCandidate feathered =
            Mode_Judge(RecordWithFeather(DefaultMaskParam(), feather), budget, settings);
        ASSERT_EQ(feathered.refusal, "");
        EXPECT_LT(feathered.expectedBanding, none.expectedBanding) << FeatherName(feather);
    }
}

TEST(ModeDesign, ToleranceIsWhereBandingCrossesTheThreshold)
{
    SMaskParam record = SmallHead();
    record.basePass = 4;
    record = RecordWithFeather(record, FeatherFamily_ThreePart);
    const SErrorBudget budget = ErrorBudget_None();
    const SDesignSettings settings = QuickSettings({50.0});
    const auto banding = [&](double advanceError) {
        SPrinterErrors errors = ErrorBudget_Errors(budget, record.nozzleCount, 0, settings.seed);
        errors.advanceError = advanceError;
        const double longer = WorstTintBanding(record, errors, settings);
        errors.advanceError = -advanceError;
        return std::max(longer, WorstTintBanding(record, errors, settings));
    };
    SModeTolerance previous;
    previous.advanceError = previous.advanceJitter = 0.0;
    for (const double threshold : {0.05, 0.1, 0.2}) {
        const SModeTolerance tolerance = Mode_Tolerance(record, budget, settings, threshold);
        ASSERT_EQ(tolerance.refusal, "") << threshold;
        EXPECT_GE(tolerance.advanceError, previous.advanceError) << threshold;
        EXPECT_GE(tolerance.advanceJitter, previous.advanceJitter) << threshold;
        previous = tolerance;
        EXPECT_LE(banding(tolerance.advanceError), threshold) << threshold;
        EXPECT_GT(banding(tolerance.advanceError + kToleranceStep), threshold) << threshold;
    }
}

TEST(ModeDesign, RefusesInputsItCannotSearchAndSaysWhy)
{
    SDesignLimits passes = SmallLimits();
    passes.maxPasses = 1;
    SErrorBudget range;
    range.advanceErrorMin = 0.3;
    SDesignSettings tints = QuickSettings({});
    SDesignLimits unbuildable = SmallLimits();
    unbuildable.head.nozzleCount = 0;
    const struct
    {
        SDesignLimits limits;
        SErrorBudget budget;
        SDesignSettings settings;
        const char* reason;
    } cases[] = {
        {passes, {}, QuickSettings({50.0}), "maxPasses 1: must lie within 2 to 64"},
        {SmallLimits(), range, QuickSettings({50.0}), "advanceErrorMax 0.2: must lie within 0.3"},
        {SmallLimits(), {}, tints, "no tints"},
        {unbuildable, {}, QuickSettings({50.0}), "the library refused every one of the"},
    };
    for (const auto& c : cases) {
        const SDesignResult result = Mode_Design(c.limits, c.budget, c.settings);
        EXPECT_NE(result.refusal.find(c.reason), std::string::npos) << result.refusal;
        EXPECT_TRUE(result.ranked.empty());
    }
}

}  // namespace
