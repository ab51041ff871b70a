// The print plan on a mode worked out by hand, and masks it cannot plan.
#include "MaskParams.h"

#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>
#include <RvAnalysis/Recombination.h>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

using namespace rv_analysis;

// 640 nozzles, 4 passes, X = Y = 2, 1 colour of 1 bit, no feather. A base step of 160 rows, 320
// fine lines per print position, laid by 4 physical passes 80 fine lines apart; the lead blank is
// 4 x 320 - 80 = 1200 lines. Rows of 1088 pixels of 1 bit: 136 bytes; 1280 rows a position.
TEST(PrintPlan, PhysicalPassesOfAnX2Y2ModeByHand)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 640;
    p.xResPass = p.yResPass = 2;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(p));
    const CPrintPlan plan(mask);
    ASSERT_EQ(plan.Refusal(), "");
    EXPECT_EQ(plan.LeadLines(), 1200);
    EXPECT_EQ(plan.RealStep(), 80);
    EXPECT_EQ(plan.NozzleCount(), 640);

    // Nozzle 0 of phase j = 1 lies one fine line below its frame; the advance that starts a
    // print position takes that line back.
    struct
    {
        int g, print, xPhase, yPhase, frame, nozzle0, advance;
    } const passes[] = {
        {0, 0, 0, 0, -1200, -1200, 0},  {1, 0, 1, 0, -1120, -1120, 80},
        {2, 0, 0, 1, -1040, -1039, 81}, {3, 0, 1, 1, -960, -959, 80},
        {4, 1, 0, 0, -880, -880, 79},   {70, 17, 0, 1, 4400, 4401, 81},
    };
    for (const auto& c : passes) {
        const SPhysicalPass pass = plan.Pass(c.g);
        EXPECT_EQ(pass.index, c.g);
        EXPECT_EQ(pass.print, c.print) << "pass " << c.g;
        EXPECT_EQ(pass.position, c.print % 17) << "pass " << c.g;
        EXPECT_EQ(pass.xPhase, c.xPhase) << "pass " << c.g;
        EXPECT_EQ(pass.yPhase, c.yPhase) << "pass " << c.g;
        EXPECT_EQ(pass.frameLine, c.frame) << "pass " << c.g;
        EXPECT_EQ(pass.nozzle0Line, c.nozzle0) << "pass " << c.g;
        EXPECT_EQ(pass.advanceBefore, c.advance) << "pass " << c.g;
    }

    // A page of 1500 lines: the last pass has nozzle 0 on line 1440 (pass 33); pass 34's is on
    // 1521. Pass 0 reaches the page with its last 40 nozzles, lines 0 to 78; pass 2 from nozzle
    // 520 on line 1, so its 120 nozzles lay the odd lines 1 to 239.
    // A page of 1 line takes passes 0 to 14: pass 15 is the first whose nozzle 0 lies below it.
    for (const auto& page : {std::pair{0, 0}, {1, 15}, {1440, 33}, {1441, 34}, {1500, 34}})
        EXPECT_EQ(plan.PassCount(page.first), page.second) << page.first << " lines";
    struct
    {
        int g, firstNozzle, nozzles;
    } const onPage[] = {{0, 600, 40}, {2, 520, 120}, {33, 0, 30}, {34, 0, 0}};
    for (const auto& c : onPage) {
        const SIndexRange nozzles = plan.NozzlesOnLines(plan.Pass(c.g), 0, 1500);
        EXPECT_EQ(nozzles.Count(), c.nozzles) << "pass " << c.g;
        if (c.nozzles > 0) {
            EXPECT_EQ(nozzles.first, c.firstNozzle) << "pass " << c.g;
        }
    }
    // Page line 1 is odd: passes 2 and 3 lay it (nozzle 520 of pass 2, 480 of pass 3, ...).
    EXPECT_EQ(plan.NozzleOfLine(plan.Pass(2), 1), 520);
    EXPECT_EQ(plan.NozzleOfLine(plan.Pass(3), 1), 480);
    EXPECT_EQ(plan.NozzleOfLine(plan.Pass(0), 1), -1);

    // Rows: nozzle k of phase j fires mask row 2 k + j of its position.
    const unsigned char* position0 = plan.RowsOfPosition(0, 0);
    EXPECT_EQ(plan.RowOfNozzle(0, plan.Pass(2), 520) - position0, 1041 * 136);
    EXPECT_EQ(plan.RowOfNozzle(0, plan.Pass(5), 0) - position0, 1280 * 136);  // position 1
    EXPECT_EQ(plan.RowOfNozzle(0, plan.Pass(69), 3) - position0, 6 * 136);    // 17: 0 again
    EXPECT_EQ(plan.RowOfNozzle(1, plan.Pass(0), 0), nullptr);
    EXPECT_EQ(plan.RowOfNozzle(0, plan.Pass(0), 640), nullptr);
    // A page of 1001 pixels: X phase 0 has head columns 0 to 500, phase 1 0 to 499.
    EXPECT_EQ(plan.HeadColumns(1001, 0), 501);
    EXPECT_EQ(plan.HeadColumns(1001, 1), 500);
}

// A mask whose Create failed, or never ran, cannot be planned: the plan says so and has no passes,
// no rows and no page; pages beyond the plan's reach are refused by length.
TEST(PrintPlan, RefusesWhatItCannotPlanAndSaysWhy)
{
    SMaskParam bad = DefaultMaskParam();
    bad.basePass = 0;
    CMaskData_Base failed, unbuilt;
    ASSERT_FALSE(failed.Create(bad));
    for (const CMaskData_Base* mask : {&failed, &unbuilt}) {
        const CPrintPlan plan(*mask);
        EXPECT_NE(plan.Refusal().find("the mask is not built"), std::string::npos)
            << plan.Refusal();
        EXPECT_EQ(plan.PassCount(1000), 0);
        EXPECT_EQ(plan.Pass(0).index, -1);
        EXPECT_EQ(plan.PassesOnLines(0, 1000).Count(), 0);
        EXPECT_EQ(plan.RowsOfPosition(0, 0), nullptr);
    }
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));
    const CPrintPlan plan(mask);
    EXPECT_EQ(plan.PageLinesRefusal(kMaxPageLines), "");
    EXPECT_GT(plan.PassCount(kMaxPageLines), 0);
    for (const long long lines : {-1LL, kMaxPageLines + 1LL, 2147483647LL}) {
        EXPECT_NE(plan.PageLinesRefusal(lines).find(std::to_string(lines) + " lines"),
                  std::string::npos)
            << plan.PageLinesRefusal(lines);
        EXPECT_EQ(plan.PassCount(static_cast<int>(lines)), 0) << lines;
    }
    EXPECT_EQ(plan.Pass(2147483647).index, -1);
}

// What a host may hand the public entries at their edges: each refuses with the value and the rule,
// or lays nothing it cannot place, and none crashes, throws or overflows.
TEST(RvAnalysisEdges, EveryEntryRefusesWhatItCannotDoAndSaysWhy)
{
    SMaskParam bad = DefaultMaskParam();
    bad.basePass = 0;
    CMaskData_Base failed, mask;
    ASSERT_FALSE(failed.Create(bad));
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));  // 2 colours, 2 bits, X = Y = 1
    const CPrintPlan failedPlan(failed), plan(mask);
    const unsigned char ink[2] = {0xFF, 0xFF};  // one row of 8 pixels of 2 bits
    const SPageRaster page{ink, sizeof ink, 8, 1, 2, sizeof ink};
    // A swath of one fully inked row that no nozzle of the plan lays: all of it lies outside.
    const auto outside = [&](int pass, int firstNozzle) {
        CRecombination check(plan, 0, page);
        SSwath swath;
        swath.pass = pass;
        swath.firstNozzle = firstNozzle;
        swath.rows = 1;
        swath.rowBytes = sizeof ink;
        swath.bytes = ink;
        check.Lay(swath);
        return std::to_string(check.Verdict().outside) + " pixels outside";
    };
    struct
    {
        const char* entry;
        std::function<std::string()> reason;
        const char* expected;
    } const cases[] = {
        {"a page of INT_MAX lines",
         [&] {
             return PageRefusal(plan, 0, {ink, sizeof ink, 8, INT_MAX, 2, 0});
         },
         "a page of 2147483647 lines: 0 to 67108864 lines"},
        {"Simulate, a colour the mask lacks", [&] { return Simulate(plan, 2, 0, 10).refusal; },
         "colour 2 is not in the mask, which has colours 0 to 1"},
        {"Simulate, -1 lines", [&] { return Simulate(plan, 0, 0, -1).refusal; },
         "-1 lines: a simulation lays 0 lines or more"},
        {"Verify, a mask whose Create failed", [&] { return Verify(failedPlan, 0).refusal; },
         "the mask is not built"},
        {"Lay, a swath whose nozzles start near INT_MAX", [&] { return outside(0, INT_MAX - 1); },
         "8 pixels outside"},
        {"Lay, a swath of pass INT_MAX", [&] { return outside(INT_MAX, 0); }, "8 pixels outside"},
        {"ExpectedCount, page line INT_MAX",
         [&] { return std::to_string(CCoveragePromise(plan).ExpectedCount(0, INT_MAX, 0)); }, "-1"},
    };
    for (const auto& c : cases)
        EXPECT_NE(c.reason().find(c.expected), std::string::npos) << c.entry << ": " << c.reason();
}

}  // namespace
