// Cut tables: the listed tables, the coverage each family promises over a sweep of head
// geometries, the ramp shape of the three-part table, the refusals and the dispatcher's routes.
#include <Rv_Halftone/MaskData_Base.h>

#include "LogCapture.h"
#include "MaskDataPeer.h"
#include "MaskParams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Peer = CMaskData_Base_Peer;
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

// ---------------------------------------------------------------------------------------------
// Masks set up for one cut table, without the rest of Create.

std::unique_ptr<CMaskData_Base> Mask(int passes, int colorTimes, int step)
{
    auto mask = std::make_unique<CMaskData_Base>();
    SMaskParam& p = Peer::Current(*mask);
    p = DefaultMaskParam();
    p.basePass = passes;
    p.colorTimes = colorTimes;
    Peer::StepHeight_NoneRes(*mask) = step;
    Peer::MaskHeight_NoneRes(*mask) = passes * step;
    return mask;
}

// The two-part split of a head with `feather` feathered rows per step.
std::unique_ptr<CMaskData_Base> MaskSmooth2(int passes, int colorTimes, int step, int feather)
{
    auto mask = Mask(passes, colorTimes, step);
    Peer::Current(*mask).featherMode = 1;
    Peer::Current(*mask).featherNozzleType = 1;
    Peer::Family(*mask) = FeatherFamily_TwoPart;
    Peer::Split(*mask).featherRows = feather;
    Peer::Split(*mask).passRows = step - feather;
    Peer::Split(*mask).passNozzles = (step - feather) * passes;
    Peer::Split(*mask).featherNozzles = feather * (passes + 1);
    Peer::MaskHeight_NoneRes(*mask) = passes * step + feather;
    return mask;
}

std::unique_ptr<CMaskData_Base> MaskSmooth3(int passes, int colorTimes, int step, int rows,
                                            int levelPercent)
{
    auto mask = Mask(passes, colorTimes, step);
    Peer::Current(*mask).featherMode = 1;
    Peer::Current(*mask).featherNozzleType = 2;
    Peer::Family(*mask) = FeatherFamily_ThreePart;
    Peer::Current(*mask).smoothLevelPercent = levelPercent;
    Peer::MaskHeight_NoneRes(*mask) = rows;
    return mask;
}

// Fills a table of the mask's m_maskHeight_NoneRes rows through the dispatcher.
Table Dispatch(CMaskData_Base& mask)
{
    Table table(static_cast<size_t>(Peer::MaskHeight_NoneRes(mask)));
    EXPECT_TRUE(Peer::CreateCutTable(mask, table.data(), static_cast<int>(table.size())));
    return table;
}

// A table every entry of which reads [0xBEEF, 0xDEAD): shows which entries a builder wrote.
Table Untouched(size_t rows) { return Table(rows, SCutTable{0xDEAD, 0xBEEF}); }

// True when every row of the table prints some levels: no pass of the head is left idle.
bool EveryRowPrints(const Table& table)
{
    return std::all_of(table.begin(), table.end(),
                       [](const SCutTable& entry) { return entry.low < entry.high; });
}

bool SameEntries(const Table& a, const Table& b)
{
    const auto same = [](const SCutTable& x, const SCutTable& y) {
        return x.high == y.high && x.low == y.low;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

// ---------------------------------------------------------------------------------------------
// The listed tables.

struct Range
{
    int low;
    int high;
};

// `count` copies of one range.
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

// A builder bound to its arguments but the table and its rows.
using Build = std::function<bool(SCutTable*, int)>;
using PeerBuild = bool (*)(CMaskData_Base&, SCutTable*, int);

Build Plain(int rowsPerPass, int passes)
{
    return [=](SCutTable* t, int rows) {
        return CMaskData_Base::CreateCutTable_FeatherNone_ColorOneTimes(t, rows, rowsPerPass,
                                                                        passes);
    };
}

Build Ramp(int step, int percent)
{
    return [=](SCutTable* t, int rows) {
        return CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes_Style_1(t, rows, step,
                                                                             percent);
    };
}

Build SingleCover(int step)
{
    return [=](SCutTable* t, int rows) {
        return CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes_Style_2(t, rows, step);
    };
}

Build OnMask(std::shared_ptr<CMaskData_Base> mask, PeerBuild builder)
{
    return [=](SCutTable* t, int rows) { return builder(*mask, t, rows); };
}

struct ExampleCase
{
    const char* name;
    Build build;
    int rows;
    std::vector<Range> expected;  // [low, high) per entry
};

const std::vector<Range> kRamp6x2 = {{52428, 65535}, {39321, 65535}, {26214, 52428},
                                     {13107, 39321}, {0, 26214},     {0, 13107}};

std::vector<ExampleCase> ExampleCases()
{
    const PeerBuild groups = &Peer::CreateCutTable_FeatherNone_ColorMultipleTimes;
    const PeerBuild twoPart = &Peer::CreateCutTable_Smooth_2;
    const PeerBuild widened = &Peer::CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2;
    const PeerBuild groupsThenRamp = &Peer::CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1;
    return {
        {"FeatherNone_OnePass", Plain(100, 1), 100, Times(100, {0, 65535})},
        {"FeatherNone_ThreePasses",
         Plain(2, 3),
         6,
         {{0, 21845}, {0, 21845}, {21845, 43690}, {21845, 43690}, {43690, 65535}, {43690, 65535}}},
        {"FeatherNone_EqualSplitIntoFour",
         Plain(1, 4),
         4,
         {{0, 16383}, {16383, 32767}, {32767, 49151}, {49151, 65535}}},
        {"FeatherNone_FourPassesTwice", OnMask(Mask(4, 2, 10), groups), 40,
         Join({Times(10, {0, 32767}), Times(10, {32767, 65535}), Times(10, {0, 32767}),
               Times(10, {32767, 65535})})},
        {"FeatherNone_FivePassesTwice",
         OnMask(Mask(5, 2, 1), groups),
         5,
         {{0, 32767}, {32767, 65535}, {0, 21845}, {21845, 43690}, {43690, 65535}}},
        {"FeatherNone_FourPassesFourTimes", OnMask(Mask(4, 4, 1), groups), 4, Times(4, {0, 65535})},
        {"FeatherNone_FourPassesThreeTimes",
         OnMask(Mask(4, 3, 1), groups),
         4,
         {{0, 65535}, {0, 65535}, {0, 32767}, {32767, 65535}}},
        {"Smooth2_TwoPassesStepFiveFeatherTwo", OnMask(MaskSmooth2(2, 1, 5, 2), twoPart), 12,
         Join({{{52428, 65535}, {39321, 65535}},
               Times(3, {0, 32767}),
               {{26214, 52428}, {13107, 39321}},
               Times(3, {32767, 65535}),
               {{0, 26214}, {0, 13107}}})},
        {"Smooth2_FeatherOnlyEveryRowWhole",
         OnMask(MaskSmooth2(2, 1, 5, 3), &Peer::CreateCutTable_Smooth_2_Feather), 3,
         Times(3, {0, 65535})},
        {"Smooth3_Style1_Full", Ramp(2, 100), 6, kRamp6x2},
        {"Smooth3_Style1_HalfScale",
         Ramp(2, 50),
         6,
         {{26213, 32767}, {19660, 32767}, {13106, 26213}, {6553, 19660}, {0, 13106}, {0, 6553}}},
        {"Smooth3_Style1_OneStep", Ramp(5, 37), 5, Times(5, {0, 24247})},
        {"Smooth3_Style2_WidenedTwice",
         OnMask(MaskSmooth3(3, 2, 2, 6, 100), widened),
         6,
         {{39321, 65535}, {13107, 65535}, {13107, 65535}, {0, 52428}, {0, 52428}, {0, 26214}}},
        {"Smooth3_GroupsThenRamp", OnMask(MaskSmooth3(4, 2, 2, 10, 100), groupsThenRamp), 10,
         Join({{{0, 32767}, {0, 32767}, {32767, 65535}, {32767, 65535}}, kRamp6x2})},
        {"Smooth3_SingleCoverUnevenSteps",
         SingleCover(4),
         10,
         {{0, 21845},
          {0, 21845},
          {0, 32767},
          {0, 32767},
          {21845, 43690},
          {21845, 43690},
          {32767, 65535},
          {32767, 65535},
          {43690, 65535},
          {43690, 65535}}},
    };
}

// Names the case in a failure message instead of dumping its bytes.
void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.name; }

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
                         [](const ::testing::TestParamInfo<ExampleCase>& example) {
                             return example.param.name;
                         });

// ---------------------------------------------------------------------------------------------
// Coverage sweeps through the dispatcher, over every head the mask model can describe in this
// range: P passes, a step of S rows, C times laid.

TEST(CutTableCoverage, UnfeatheredPrintsEveryLevelColorTimes)
{
    for (int passes = 1; passes <= 8; ++passes)
        for (int step = 1; step <= 40; ++step)
            for (int times = 1; times <= passes; ++times) {
                auto mask = Mask(passes, times, step);
                const Table table = Dispatch(*mask);
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
                    auto mask = MaskSmooth2(passes, times, step, feather);
                    const Table table = Dispatch(*mask);
                    ASSERT_EQ(table.size(), static_cast<size_t>(passes * step + feather));
                    const auto expected = [feather, times](int r) {
                        return r < feather ? 1 : times;
                    };
                    const std::string fault = CheckCover(table, step, kScale, expected);
                    ASSERT_EQ(fault, "")
                        << "P " << passes << ", S " << step << ", e " << feather << ", C " << times;
                    ASSERT_TRUE(EveryRowPrints(table))
                        << "P " << passes << ", S " << step << ", e " << feather << ", C " << times;
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
                    auto mask = MaskSmooth3(passes, 1, step, rows, percent);
                    const Table table = Dispatch(*mask);
                    ASSERT_EQ(CheckCoverTimes(table, step, 1, percent * kScale / 100), "")
                        << "P " << passes << ", S " << step << ", rows " << rows << ", " << percent
                        << " %";
                }
        }
}

TEST(CutTableCoverage, SingleCoverOnUnevenStepsPrintsEveryLevelOnce)
{
    for (int step = 1; step <= 40; ++step)
        for (int rows = 0; rows <= 8 * step + 7; ++rows) {
            Table table(static_cast<size_t>(std::max(rows, 1)));
            ASSERT_TRUE(SingleCover(step)(table.data(), rows));
            table.resize(static_cast<size_t>(rows));
            // Lines whose rows do not reach a full pass are not covered; the others are, once.
            if (rows >= step) {
                ASSERT_EQ(CheckCoverTimes(table, step, 1), "") << "S " << step << ", rows " << rows;
            }
        }
}

// Tables longer than 32,768 rows: the level products pass 32 bits, the cover must not break.
TEST(CutTableCoverage, LongTablesKeepTheirCover)
{
    Table plain(40000);
    ASSERT_TRUE(
        CMaskData_Base::CreateCutTable_FeatherNone_ColorOneTimes(plain.data(), 0, 1, 40000));
    EXPECT_EQ(CheckCoverTimes(plain, 1, 1), "");

    auto twoPart = MaskSmooth2(2, 1, 20000, 20000);
    EXPECT_EQ(CheckCoverTimes(Dispatch(*twoPart), 20000, 1), "");

    Table ramp(100000);
    ASSERT_TRUE(Ramp(30000, 100)(ramp.data(), 100000));
    EXPECT_EQ(CheckCoverTimes(ramp, 30000, 1), "");

    Table uneven(100000);
    ASSERT_TRUE(SingleCover(3)(uneven.data(), 100000));
    EXPECT_EQ(CheckCoverTimes(uneven, 3, 1), "");
}

// With C = 2 the widened ramp prints each range twice as wide, inside the scale.
TEST(CutTableSmooth3, WidenedRangesAreTwiceAsWideOrWhole)
{
    for (int step = 1; step <= 20; ++step) {
        auto once = MaskSmooth3(4, 1, step, 4 * step + 3, 100);
        auto twice = MaskSmooth3(4, 2, step, 4 * step + 3, 100);
        const Table narrow = Dispatch(*once);
        const Table wide = Dispatch(*twice);
        for (size_t k = 0; k < narrow.size(); ++k) {
            const int width = 2 * (narrow[k].high - narrow[k].low);
            ASSERT_LE(wide[k].low, wide[k].high);
            EXPECT_EQ(wide[k].high - wide[k].low, std::min(width, kScale))
                << "S " << step << ", entry " << k;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Ramp shape: a nozzle's share of levels rises over the first rows, stays level, then falls.

TEST(CutTableSmooth3, WidthsFormATrapezoid)
{
    for (int step = 1; step <= 40; ++step)
        for (int rows = step; rows <= 6 * step + 5; rows += std::max(1, step / 3))
            for (int percent : {1, 37, 50, 100}) {
                Table table(static_cast<size_t>(rows));
                ASSERT_TRUE(CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes_Style_1(
                    table.data(), rows, step, percent));
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
// Refusals: a failure record, false, and the table exactly as it was.

// Each builder on the way out adds its own record, innermost first; the dispatcher adds none.
TEST(CutTableRefusal, RefusedInputsLeaveTheTableAsItWas)
{
    const PeerBuild groups = &Peer::CreateCutTable_FeatherNone_ColorMultipleTimes;
    const PeerBuild groupsThenRamp = &Peer::CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1;
    struct Case
    {
        const char* name;
        Build build;
        int rows;
        size_t failures;
    };
    const Case cases[] = {
        {"ramp at 0 %", Ramp(2, 0), 6, 1},
        {"ramp at 101 %", Ramp(2, 101), 6, 1},
        {"ramp step above its rows", Ramp(7, 100), 4, 1},
        {"ramp of negative rows", Ramp(0, 100), -3, 1},
        {"ramp of negative step", Ramp(-1, 100), 6, 1},
        {"ramp without a table", [](SCutTable*, int rows) { return Ramp(2, 100)(nullptr, rows); },
         6, 1},
        {"single cover with step 0", SingleCover(0), 8, 1},
        {"single cover with step -1", SingleCover(-1), 8, 1},
        {"colour groups laid once", OnMask(Mask(4, 1, 2), groups), 8, 1},
        {"widened ramp at 0 %", OnMask(MaskSmooth3(4, 2, 2, 8, 0), &Peer::CreateCutTable), 8, 2},
        {"widened ramp laid 0 times", OnMask(MaskSmooth3(4, 0, 2, 8, 50), &Peer::CreateCutTable), 8,
         1},
        // A feather wider than the step leaves no plain rows to interleave.
        {"two-part feather above the step", OnMask(MaskSmooth2(1, 1, 3, 4), &Peer::CreateCutTable),
         7, 1},
        // One group of 2 x 5 rows does not fit in 8 rows.
        {"groups longer than the table", OnMask(MaskSmooth3(4, 2, 5, 8, 100), groupsThenRamp), 8,
         1},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Table table = Untouched(8);
        EXPECT_FALSE(c.build(table.data(), c.rows)) << c.name;
        EXPECT_EQ(log.Failures().size(), c.failures) << c.name;
        EXPECT_EQ(log.Records().size(), c.failures) << c.name;
        EXPECT_TRUE(SameEntries(table, Untouched(8))) << c.name;
    }
}

// ---------------------------------------------------------------------------------------------
// Dispatcher.

// Records that Create accepts, whose geometry the profiles fix: the dispatcher's table of
// m_maskHeight_NoneRes rows prints every paper line as the mode promises.
TEST(CutTableDispatch, TablesOfCreatedMasksCoverEveryLine)
{
    struct Case
    {
        const char* name;
        int nozzles, passes, featherMode, featherType, colorTimes, levelPercent;
        float featherPercent;
    };
    const Case cases[] = {
        {"none", 96, 4, 0, 1, 1, 100, 0.f},
        {"none, rows left over", 99, 4, 0, 1, 1, 100, 0.f},
        {"none, twice", 96, 4, 0, 1, 2, 100, 0.f},
        {"two-part", 96, 4, 1, 1, 1, 100, 50.f},
        {"three-part", 96, 4, 1, 2, 1, 50, 40.f},
        {"three-part sine", 96, 2, 1, 3, 1, 37, 20.f},
    };
    for (const Case& c : cases) {
        SMaskParam p = DefaultMaskParam();
        p.nozzleCount = c.nozzles;
        p.basePass = c.passes;
        p.colorCount = 1;
        p.bitsPerPixel = 1;
        p.featherMode = c.featherMode;
        p.featherNozzleType = c.featherType;
        p.featherPercent = c.featherPercent;
        p.colorTimes = c.colorTimes;
        p.smoothLevelPercent = c.levelPercent;
        CMaskData_Base mask;
        ASSERT_TRUE(mask.Create(p)) << c.name;
        const int step = Peer::StepHeight_NoneRes(mask);
        const Table table = Dispatch(mask);
        const bool threePart = mask.MaskParam_Current().featherNozzleType != 1 &&
                               mask.MaskParam_Current().featherMode == 1;
        const int top = threePart ? c.levelPercent * kScale / 100 : kScale;
        EXPECT_EQ(CheckCoverTimes(table, step, c.colorTimes, top), "") << c.name;
    }
}
