// The print plan on modes whose geometry is worked out by hand: which passes print a page, where
// each pass lies on it, which rows and mask position it lays.
#include "MaskParams.h"

#include <RvAnalysis/PrintPlan.h>

#include <gtest/gtest.h>

namespace {

// 96 nozzles, 4 passes, no feather: steps of 24 lines, 96 rows per pass, page line 0 on paper
// line 72 (the first line all four passes reach).
SMaskParam SmallMode()
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.colorCount = 1;
    p.lessMaskPosition = 1;
    return p;
}

struct SLineCase
{
    int pageLine;
    int firstPass, endPass;  // the passes that lay the line
};

struct SPassCase
{
    int pass;
    int firstPageLine;
    int firstRow, endRow;  // its rows on a page of 10 lines
};

TEST(PrintPlan, SmallModeByHand)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(SmallMode()));
    const rv_analysis::CPrintPlan plan(mask);
    ASSERT_EQ(plan.StepHeight(), 24);
    ASSERT_EQ(plan.NozzleRows(), 96);
    ASSERT_EQ(plan.LeadLines(), 72);

    // ceil((L + 72) / 24) passes for a page of L lines.
    const int pageLines[][2] = {{0, 0}, {1, 4}, {24, 4}, {25, 5}, {240, 13}};
    for (const auto& page : pageLines)
        EXPECT_EQ(plan.PassCount(page[0]), page[1]) << page[0] << " lines";

    const SLineCase lines[] = {
        {-73, 0, 0},  // above the paper: no pass
        {-72, 0, 1},  // top of the lead-in: pass 0 only
        {-1, 0, 3},   // last lead-in line: three of its four passes
        {0, 0, 4},    {23, 0, 4}, {24, 1, 5}, {100, 4, 8},
    };
    for (const SLineCase& c : lines) {
        const rv_analysis::SIndexRange passes = plan.PassesOfPageLine(c.pageLine);
        EXPECT_EQ(passes.first, c.firstPass) << "page line " << c.pageLine;
        EXPECT_EQ(passes.end, c.endPass) << "page line " << c.pageLine;
    }

    const SPassCase passes[] = {
        {0, -72, 72, 82}, {2, -24, 24, 34}, {3, 0, 0, 10}, {4, 24, 0, 0}};
    for (const SPassCase& c : passes) {
        EXPECT_EQ(plan.FirstPageLineOfPass(c.pass), c.firstPageLine) << "pass " << c.pass;
        const rv_analysis::SIndexRange rows = plan.RowsOnLines(c.pass, 0, 10);
        EXPECT_EQ(rows.first, c.firstRow) << "pass " << c.pass;
        EXPECT_EQ(rows.Count(), c.endRow - c.firstRow) << "pass " << c.pass;
    }
    EXPECT_EQ(plan.MaskColumn(544 * 3 + 5), 5);
}

// Pass t lays position t mod N of its colour: the bytes are colours in order, positions in order.
TEST(PrintPlan, PassesLayTheirPositionInTheirColoursRows)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));
    const rv_analysis::CPrintPlan plan(mask);
    const int positions = plan.PositionCount();
    ASSERT_GT(positions, 1);
    const unsigned char* first = plan.RowsOfPass(0, 0);
    for (int colour = 0; colour < 2; ++colour)
        for (int pass : {0, 1, positions - 1, positions, 2 * positions + 1}) {
            EXPECT_EQ(plan.PositionOfPass(pass), pass % positions);
            const long long expected = static_cast<long long>(colour) * mask.MaskBytes_OneColor() +
                                       static_cast<long long>(pass % positions) * mask.MaskBytes_OnePosition();
            EXPECT_EQ(plan.RowsOfPass(colour, pass) - first, expected) << "colour " << colour << " pass " << pass;
        }
    EXPECT_EQ(plan.RowsOfPass(2, 0), nullptr);
}

}  // namespace
