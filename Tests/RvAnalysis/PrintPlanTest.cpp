// The print plan on a mode worked out by hand, and the rows each pass lays.
#include "MaskParams.h"

#include <RvAnalysis/PrintPlan.h>

#include <gtest/gtest.h>

namespace {

using rv_analysis::CPrintPlan;

// 96 nozzles, 4 passes, no feather: steps of 24 lines, 96 rows per pass, page line 0 on paper
// line 72 (the first line all four passes reach).
TEST(PrintPlan, SmallModeByHand)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.lessMaskPosition = 1;
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(p));
    const CPrintPlan plan(mask);
    ASSERT_EQ(plan.LeadLines(), 72);

    // ceil((L + 72) / 24) passes for a page of L lines.
    for (const auto& page : {std::pair{0, 0}, {1, 4}, {24, 4}, {25, 5}, {240, 13}})
        EXPECT_EQ(plan.PassCount(page.first), page.second) << page.first << " lines";

    struct
    {
        int pageLine, firstPass, endPass;
    } const lines[] = {
        {-73, 0, 0}, {-72, 0, 1}, {-1, 0, 3},  // above the paper, the lead-in: fewer passes
        {0, 0, 4},   {23, 0, 4},  {24, 1, 5}, {100, 4, 8}};
    for (const auto& c : lines) {
        EXPECT_EQ(plan.PassesOfPageLine(c.pageLine).first, c.firstPass)
            << "page line " << c.pageLine;
        EXPECT_EQ(plan.PassesOfPageLine(c.pageLine).end, c.endPass) << "page line " << c.pageLine;
    }

    // Rows on a page of 10 lines.
    struct
    {
        int pass, firstPageLine, firstRow, rows;
    } const passes[] = {{0, -72, 72, 10}, {2, -24, 24, 10}, {3, 0, 0, 10}, {4, 24, 0, 0}};
    for (const auto& c : passes) {
        EXPECT_EQ(plan.FirstPageLineOfPass(c.pass), c.firstPageLine) << "pass " << c.pass;
        EXPECT_EQ(plan.RowsOnLines(c.pass, 0, 10).first, c.firstRow) << "pass " << c.pass;
        EXPECT_EQ(plan.RowsOnLines(c.pass, 0, 10).Count(), c.rows) << "pass " << c.pass;
    }
}

// Pass t lays position t mod N of its colour: the bytes are colours in order, positions in order.
TEST(PrintPlan, PassesLayTheirPositionInTheirColoursRows)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));
    const CPrintPlan plan(mask);
    const int n = plan.PositionCount();
    ASSERT_GT(n, 1);
    for (int colour = 0; colour < 2; ++colour)
        for (int pass : {0, 1, n - 1, n, 2 * n + 1})
            EXPECT_EQ(plan.RowsOfPass(colour, pass) - plan.RowsOfPass(0, 0),
                      static_cast<long long>(colour) * mask.MaskBytes_OneColor() +
                          static_cast<long long>(pass % n) * mask.MaskBytes_OnePosition())
                << "colour " << colour << " pass " << pass;
    EXPECT_EQ(plan.RowsOfPass(2, 0), nullptr);
}

}  // namespace
