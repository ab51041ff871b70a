// Cut tables: tables worked out by hand, the coverage each family promises over a sweep of head
// geometries, the ramp shape of three-part smoothing, and the refusals.
#include "CutTables/CutTables.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tables = rv_halftone::cut_tables;

namespace {

using Table = std::vector<SCutTable>;

constexpr int kScale = 65535;

// ---------------------------------------------------------------------------------------------
// Coverage: how often each level 0..65534 is printed on one paper line, that is by the entries
// residue, residue + stride, residue + 2 x stride, ... of a table. Counted from the sorted range
// ends (a difference array over the levels that occur), so a check costs a few dozen steps per
// line rather than 65,535.

struct CoverRun
{
    int from;   // first level of the run
    int to;     // one past the last level
    int count;  // entries whose range holds these levels
};

std::vector<CoverRun> LineCover(const Table& table, int stride, int residue)
{
    std::vector<std::pair<int, int>> ends{{0, 0}, {kScale, 0}};
    for (size_t k = static_cast<size_t>(residue); k < table.size();
         k += static_cast<size_t>(stride))
        if (table[k].low < table[k].high) {
            ends.emplace_back(table[k].low, +1);
            ends.emplace_back(table[k].high, -1);
        }
    std::sort(ends.begin(), ends.end());
    std::vector<CoverRun> runs;
    int count = 0;
    for (size_t i = 0; i + 1 < ends.size(); ++i) {
        count += ends[i].second;
        if (ends[i].first < ends[i + 1].first)
            runs.push_back({ends[i].first, ends[i + 1].first, count});
    }
    return runs;
}

// Empty when every line r < stride is covered `expected(r)` times on [0, top) and not at all on
// [top, 65535); otherwise a description of the first line that is not.
std::string CheckCover(const Table& table, int stride, int top,
                       const std::function<int(int)>& expected)
{
    for (int r = 0; r < stride; ++r) {
        for (const CoverRun& run : LineCover(table, stride, r)) {
            const int want = run.from < top ? expected(r) : 0;
            if (run.count != want || (run.from < top && run.to > top)) {
                std::ostringstream text;
                text << "line " << r << ": levels [" << run.from << ", " << run.to << ") covered "
                     << run.count << " times, expected " << want << " below " << top;
                return text.str();
            }
        }
    }
    return {};
}

std::string CheckCoverTimes(const Table& table, int stride, int times, int top = kScale)
{
    return CheckCover(table, stride, top, [times](int) { return times; });
}

// The split of a two-part head with `feather` feathered rows per step.
STwoPartSplit Split(int passes, int step, int feather)
{
    return {feather, step - feather, (step - feather) * passes, feather * (passes + 1)};
}

// The table of a pass mask of `rows` rows, as its profile says.
Table Built(EFeatherFamily family, int passes, int step, int rows, int times, int level = 100,
            int feather = 0)
{
    Table table(static_cast<size_t>(rows));
    const tables::SPassMaskTable shape = {
        family, passes, step, rows, times, level, Split(passes, step, feather)};
    EXPECT_TRUE(tables::Build(shape, table.data()));
    return table;
}

// A table every entry of which reads [0xBEEF, 0xDEAD): shows which entries a builder wrote.
Table Untouched(size_t rows) { return Table(rows, SCutTable{0xDEAD, 0xBEEF}); }

bool SameEntries(const Table& a, const Table& b)
{
    const auto same = [](const SCutTable& x, const SCutTable& y) {
        return x.high == y.high && x.low == y.low;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

// True when every row of the table prints some levels: no pass of the head is left idle.
bool EveryRowPrints(const Table& table)
{
    return std::all_of(table.begin(), table.end(),
                       [](const SCutTable& entry) { return entry.low < entry.high; });
}

// ---------------------------------------------------------------------------------------------
// Tables worked out by hand.

struct Range
{
    int low;
    int high;
};

std::vector<Range> Times(int count, Range range)
{
    return std::vector<Range>(static_cast<size_t>(count), range);
}

std::vector<Range> Join(std::initializer_list<std::vector<Range>> parts)
{
    std::vector<Range> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

using Build = std::function<bool(SCutTable*, int)>;

struct ExampleCase
{
    const char* name;
    Build build;
    int rows;
    std::vector<Range> expected;  // [low, high) per entry
};

void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.name; }

const std::vector<Range> kRamp6x2 = {{52428, 65535}, {39321, 65535}, {26214, 52428},
                                     {13107, 39321}, {0, 26214},     {0, 13107}};

std::vector<ExampleCase> ExampleCases()
{
    const auto plain = [](int rowsPerPass, int passes) {
        return [=](SCutTable* t, int) {
            return tables::Unfeathered_OneTime(t, rowsPerPass, passes), true;
        };
    };
    const auto groups = [](int passes, int times, int step) {
        return [=](SCutTable* t, int) {
            return tables::Unfeathered_ColorTimes(t, passes, times, step);
        };
    };
    const auto ramp = [](int step, int percent) {
        return
            [=](SCutTable* t, int rows) { return tables::ThreePart_Ramp(t, rows, step, percent); };
    };
    // clang-format off
    return {
        {"Unfeathered_ThreePasses", plain(2, 3), 6,
         {{0, 21845}, {0, 21845}, {21845, 43690}, {21845, 43690}, {43690, 65535}, {43690, 65535}}},
        {"Unfeathered_EqualSplitIntoFour", plain(1, 4), 4,
         {{0, 16383}, {16383, 32767}, {32767, 49151}, {49151, 65535}}},
        {"Unfeathered_FivePassesTwice", groups(5, 2, 1), 5,
         {{0, 32767}, {32767, 65535}, {0, 21845}, {21845, 43690}, {43690, 65535}}},
        {"Unfeathered_FourPassesThreeTimes", groups(4, 3, 1), 4,
         {{0, 65535}, {0, 65535}, {0, 32767}, {32767, 65535}}},
        {"TwoPart_TwoPassesStepFiveFeatherTwo",
         [](SCutTable* t, int) { return tables::TwoPart(t, 2, 5, 1, Split(2, 5, 2)); }, 12,
         Join({{{52428, 65535}, {39321, 65535}}, Times(3, {0, 32767}), {{26214, 52428}, {13107, 39321}},
               Times(3, {32767, 65535}), {{0, 26214}, {0, 13107}}})},
        {"TwoPart_FeatherOnlyEveryRowWhole",
         [](SCutTable* t, int rows) { return tables::TwoPart_Feather(t, rows, 3); }, 3, Times(3, {0, 65535})},
        {"ThreePart_Full", ramp(2, 100), 6, kRamp6x2},
        {"ThreePart_HalfScale", ramp(2, 50), 6,
         {{26213, 32767}, {19660, 32767}, {13106, 26213}, {6553, 19660}, {0, 13106}, {0, 6553}}},
        {"ThreePart_OneStep", ramp(5, 37), 5, Times(5, {0, 24247})},
        {"ThreePart_WidenedTwice",
         [](SCutTable* t, int rows) { return tables::ThreePart_Widened(t, rows, 2, 100, 2); }, 6,
         {{39321, 65535}, {13107, 65535}, {13107, 65535}, {0, 52428}, {0, 52428}, {0, 26214}}},
        {"ThreePart_GroupsThenRamp",
         [](SCutTable* t, int rows) { return tables::ThreePart_GroupsThenRamp(t, rows, 2, 4, 2, 100); }, 10,
         Join({{{0, 32767}, {0, 32767}, {32767, 65535}, {32767, 65535}}, kRamp6x2})},
        {"ThreePart_EqualCoverUnevenSteps",
         [](SCutTable* t, int rows) { return tables::ThreePart_EqualCover(t, rows, 4); }, 10,
         {{0, 21845}, {0, 21845}, {0, 32767}, {0, 32767}, {21845, 43690}, {21845, 43690},
          {32767, 65535}, {32767, 65535}, {43690, 65535}, {43690, 65535}}},
    };
    // clang-format on
}

class CutTableExample : public ::testing::TestWithParam<ExampleCase>
{
};

}  // namespace

TEST_P(CutTableExample, MatchesTheListedRanges)
{
    const ExampleCase& c = GetParam();
    Table table = Untouched(static_cast<size_t>(c.rows));
    ASSERT_TRUE(c.build(table.data(), c.rows));
    ASSERT_EQ(table.size(), c.expected.size());
    for (size_t k = 0; k < table.size(); ++k) {
        EXPECT_EQ(table[k].low, c.expected[k].low) << "entry " << k;
        EXPECT_EQ(table[k].high, c.expected[k].high) << "entry " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(CutTable, CutTableExample, ::testing::ValuesIn(ExampleCases()),
                         [](const auto& example) { return example.param.name; });

// A ramp laid three times over 40 rows in steps of 2: the widened ranges of odd width stay about
// their centre, half the width below it where the centre lies low and above it where it lies high
// (worked out by hand for four entries).
TEST(CutTableExample, WidenedRangesOfOddWidthAboutTheirCentre)
{
    Table table(40);
    ASSERT_TRUE(tables::ThreePart_Widened(table.data(), 40, 2, 100, 3));
    const struct
    {
        int entry, low, high;
    } spots[] = {{5, 52090, 62173}, {19, 28565, 38648}, {20, 26885, 36968}, {33, 5040, 15123}};
    for (const auto& spot : spots) {
        EXPECT_EQ(table[spot.entry].low, spot.low) << "entry " << spot.entry;
        EXPECT_EQ(table[spot.entry].high, spot.high) << "entry " << spot.entry;
    }
}

// ---------------------------------------------------------------------------------------------
// Coverage sweeps over every head the mask model can describe in this range: P passes, a step of
// S rows, C times laid.

TEST(CutTableCoverage, UnfeatheredPrintsEveryLevelColorTimes)
{
    for (int passes = 1; passes <= 8; ++passes)
        for (int step = 1; step <= 40; ++step)
            for (int times = 1; times <= passes; ++times) {
                const Table table =
                    Built(FeatherFamily_Unfeathered, passes, step, passes * step, times);
                ASSERT_EQ(CheckCoverTimes(table, step, times), "")
                    << "P " << passes << ", S " << step << ", C " << times;
                ASSERT_TRUE(EveryRowPrints(table))
                    << "P " << passes << ", S " << step << ", C " << times;
            }
}

// Feathered lines (r < e) lie under P + 1 rows and get the scale once whatever C is; plain lines
// get it C times.
TEST(CutTableCoverage, TwoPartPrintsPlainLinesColorTimesAndFeatheredLinesOnce)
{
    for (int passes = 1; passes <= 8; ++passes)
        for (int step = 1; step <= 40; ++step)
            for (int feather = 0; feather <= step; ++feather)
                for (int times = 1; times <= passes; ++times) {
                    const Table table = Built(FeatherFamily_TwoPart, passes, step,
                                              passes * step + feather, times, 100, feather);
                    const auto expected = [feather, times](int r) {
                        return r < feather ? 1 : times;
                    };
                    const std::string where =
                        "P " + std::to_string(passes) + ", S " + std::to_string(step) + ", e " +
                        std::to_string(feather) + ", C " + std::to_string(times);
                    ASSERT_EQ(CheckCover(table, step, kScale, expected), "") << where;
                    ASSERT_TRUE(EveryRowPrints(table)) << where;
                }
}

// Every line gets the levels below L = percent x 65535 / 100 once, whatever the mask height.
TEST(CutTableCoverage, ThreePartPrintsTheLevelsBelowTheTopOnce)
{
    for (int passes = 1; passes <= 8; ++passes)
        for (int step = 1; step <= 40; ++step) {
            const int heights[] = {step,
                                   step + 1,
                                   passes * step,
                                   passes * step + step / 2,
                                   passes * step + step - 1,
                                   2 * passes * step + 3};
            for (int rows : heights)
                for (int percent : {1, 37, 50, 100}) {
                    const Table table =
                        Built(FeatherFamily_ThreePartRipple, passes, step, rows, 1, percent);
                    ASSERT_EQ(CheckCoverTimes(table, step, 1, percent * kScale / 100), "")
                        << "P " << passes << ", S " << step << ", rows " << rows << ", " << percent
                        << " %";
                }
        }
}

TEST(CutTableCoverage, EqualCoverOnUnevenStepsPrintsEveryLevelOnce)
{
    for (int step = 1; step <= 40; ++step)
        for (int rows = step; rows <= 8 * step + 7; ++rows) {
            Table table(static_cast<size_t>(rows));
            ASSERT_TRUE(tables::ThreePart_EqualCover(table.data(), rows, step));
            ASSERT_EQ(CheckCoverTimes(table, step, 1), "") << "S " << step << ", rows " << rows;
        }
}

// Tables longer than 32,768 rows: the level products pass 32 bits, the cover must not break.
TEST(CutTableCoverage, LongTablesKeepTheirCover)
{
    EXPECT_EQ(CheckCoverTimes(Built(FeatherFamily_Unfeathered, 40000, 1, 40000, 1), 1, 1), "");
    EXPECT_EQ(
        CheckCoverTimes(Built(FeatherFamily_TwoPart, 2, 20000, 60000, 1, 100, 20000), 20000, 1),
        "");
    EXPECT_EQ(CheckCoverTimes(Built(FeatherFamily_ThreePart, 4, 30000, 100000, 1), 30000, 1), "");
    Table uneven(100000);
    ASSERT_TRUE(tables::ThreePart_EqualCover(uneven.data(), 100000, 3));
    EXPECT_EQ(CheckCoverTimes(uneven, 3, 1), "");
}

// ---------------------------------------------------------------------------------------------
// Ramp shape: a nozzle's share of levels rises over the first rows, stays level, then falls.

TEST(CutTableThreePart, WidthsFormATrapezoid)
{
    for (int step = 1; step <= 40; ++step)
        for (int rows = step; rows <= 6 * step + 5; rows += std::max(1, step / 3))
            for (int percent : {1, 37, 50, 100}) {
                Table table(static_cast<size_t>(rows));
                ASSERT_TRUE(tables::ThreePart_Ramp(table.data(), rows, step, percent));
                const int top = percent * kScale / 100;
                const int ramp = rows - step;
                const int riseEnd = std::min(step, ramp);
                const int fallStart = std::max(step, ramp);
                // The level part: width L x min(S, m + 1) / (m + 1), give or take rounding.
                const int plateau = static_cast<int>(static_cast<long long>(top) *
                                                     std::min(step, ramp + 1) / (ramp + 1));
                std::vector<int> width(static_cast<size_t>(rows));
                for (int k = 0; k < rows; ++k)
                    width[k] = table[k].high - table[k].low;
                const std::string where = "S " + std::to_string(step) + ", rows " +
                                          std::to_string(rows) + ", " + std::to_string(percent) +
                                          " %";
                for (int k = 1; k < riseEnd; ++k)
                    ASSERT_GE(width[k], width[k - 1]) << where << ", rising at " << k;
                for (int k = riseEnd; k < fallStart; ++k)
                    ASSERT_NEAR(width[k], plateau, 1) << where << ", level at " << k;
                for (int k = fallStart + 1; k < rows; ++k)
                    ASSERT_LE(width[k], width[k - 1]) << where << ", falling at " << k;
                for (int k = 0; k < rows; ++k)
                    ASSERT_LE(width[k], plateau + 1) << where << ", entry " << k;
            }
}

// ---------------------------------------------------------------------------------------------
// Refusals: a failure record per level, false, and the table exactly as it was.

TEST(CutTableRefusal, RefusedInputsLeaveTheTableAsItWas)
{
    struct Case
    {
        const char* name;
        Build build;
        size_t failures;
    };
    const auto ramp = [](int rows, int step, int percent) {
        return [=](SCutTable* t, int) { return tables::ThreePart_Ramp(t, rows, step, percent); };
    };
    // clang-format off
    const Case cases[] = {
        {"ramp at 0 %", ramp(6, 2, 0), 1},
        {"ramp at 101 %", ramp(6, 2, 101), 1},
        {"ramp step above its rows", ramp(4, 7, 100), 1},
        {"ramp of negative rows", ramp(-3, 0, 100), 1},
        {"ramp of negative step", ramp(6, -1, 100), 1},
        {"ramp without a table", [](SCutTable*, int) { return tables::ThreePart_Ramp(nullptr, 6, 2, 100); }, 1},
        {"equal cover with step 0", [](SCutTable* t, int) { return tables::ThreePart_EqualCover(t, 8, 0); }, 1},
        {"equal cover with step -1", [](SCutTable* t, int) { return tables::ThreePart_EqualCover(t, 8, -1); }, 1},
        {"colour groups laid 0 times", [](SCutTable* t, int) { return tables::Unfeathered_ColorTimes(t, 4, 0, 2); }, 1},
        {"widened ramp at 0 %", [](SCutTable* t, int) { return tables::ThreePart_Widened(t, 8, 2, 0, 2); }, 2},
        {"widened ramp laid 0 times", [](SCutTable* t, int) { return tables::ThreePart_Widened(t, 8, 2, 50, 0); }, 1},
        // A feather wider than the step leaves no plain rows to interleave.
        {"two-part feather above the step", [](SCutTable* t, int) { return tables::TwoPart(t, 1, 3, 1, Split(1, 3, 4)); }, 1},
        // One group of 2 x 5 rows does not fit in 8 rows.
        {"groups longer than the table", [](SCutTable* t, int) { return tables::ThreePart_GroupsThenRamp(t, 8, 5, 4, 2, 100); }, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        LogCapture log;
        Table table = Untouched(8);
        EXPECT_FALSE(c.build(table.data(), 8)) << c.name;
        EXPECT_EQ(log.Failures().size(), c.failures) << c.name;
        EXPECT_EQ(log.Records().size(), c.failures) << c.name;
        EXPECT_TRUE(SameEntries(table, Untouched(8))) << c.name;
    }
}
