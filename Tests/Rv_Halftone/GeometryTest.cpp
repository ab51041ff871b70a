// Geometry of CMaskData_Base for every feather profile and resolution, against values worked out
// by hand.
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include "LogCapture.h"
#include "MaskParams.h"
#include "Peers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct GeometryCase
{
    const char* name;
    int nozzleCount, basePass, xRes, yRes, featherMode, featherType;
    float featherPercent;
    int resSplitMode, colorTimes;
    // Expected results.
    int stepNoneRes, maskHeightNoneRes, leadBlankNoneRes;
    int maskHeight, stepHeight, realStep, leadBlank, maskWidth, lineBytes, positions;
    EFeatherFamily family;
    int passRows, featherRows;
};

constexpr EFeatherFamily kNone = FeatherFamily_Unfeathered, kTwo = FeatherFamily_TwoPart,
                         kThree = FeatherFamily_ThreePart, kRipple = FeatherFamily_ThreePartRipple;

// clang-format off
const GeometryCase kCases[] = {
    // name                   N  P  X  Y fm ft  f%  split C    S   H0   L0     H   Sy  real  lead width bytes pos family  pass fth
    {"None_544_4",          544, 4, 1, 1, 0, 0,  0.f, 0, 1, 136, 544, 408,  544, 136, 136,  408,  544, 136,  4, kNone,    0,  0},
    {"None_544_4_Times4",   544, 4, 1, 1, 0, 0,  0.f, 0, 4, 136, 544, 408,  544, 136, 136,  408,  544, 136,  4, kNone,    0,  0},
    {"None_545_4_LeftOver", 545, 4, 1, 1, 0, 0,  0.f, 0, 1, 136, 545, 544,  545, 136, 136,  409,  544, 136,  4, kTwo,   135,  1},
    // Heads too small for their rows left over: the feather is clamped to the step (7 - 4 rows
    // and 30 - 16 rows left over, steps of 1 and 4), every pass row feathered. No tile of at
    // least 183 rows repeats within 20 such steps: the shortest tried (183, 184) gives the fewest.
    {"None_7_4_LeftOverAboveStep",  7, 4, 1, 1, 0, 0,  0.f, 0, 1,   1,   5,   4,    5,   1,   1,    4,  544, 136, 183, kTwo,    0,  1},
    {"None_30_4_Res2x2_LeftOver",  30, 4, 2, 2, 0, 0,  0.f, 0, 1,   4,  20,  16,   40,   8,   2,   38, 1088, 272, 46, kTwo,     0,  4},
    {"None_640_4_Res2x2",   640, 4, 2, 2, 0, 0,  0.f, 0, 1, 160, 640, 480, 1280, 320,  80, 1200, 1088, 272, 17, kNone,    0,  0},
    {"Smooth2_544_4_f50",   544, 4, 1, 1, 1, 1, 50.f, 0, 1, 126, 544, 504,  544, 126, 126,  418,  544, 136,  4, kTwo,    86, 40},
    {"Smooth2_544_4_Res2x2",544, 4, 2, 2, 1, 1, 50.f, 0, 1, 124, 544, 496, 1088, 248,  62, 1026, 1088, 272, 17, kTwo,    76, 48},
    {"Smooth3_544_4_f50",   544, 4, 1, 1, 1, 2, 50.f, 0, 1,  84, 544, 504,  544,  84,  84,  460,  544, 136, 19, kThree,   0,  0},
    {"Smooth3_544_8_X2_f30",544, 8, 2, 1, 1, 3, 30.f, 0, 1,  52, 544, 520,  544,  52,  26,  518, 1088, 272, 10, kRipple,  0,  0},
    {"Smooth3_100_4_f10",   100, 4, 1, 1, 1, 2, 10.f, 0, 1,  20, 100,  80,  100,  20,  20,   80,  544, 136, 20, kThree,   0,  0},
    // 22.5 feathered rows round to 23, so (150 - 23) / 4 = 31 rows fall to a step of 28.
    {"Smooth3_150_4_f20",   150, 4, 1, 1, 1, 2, 20.f, 0, 1,  28, 150, 140,  150,  28,  28,  122,  544, 136, 19, kThree,   0,  0},
    {"Split5_X4_Y6",        528, 4, 4, 6, 0, 0,  0.f, 5, 1, 132, 528, 396, 1584, 396,  66, 1518, 1088, 272,  4, kNone,    0,  0},
};
// clang-format on

class Geometry : public ::testing::TestWithParam<GeometryCase>
{
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(Geometry, MatchesTheProfile)
{
    const GeometryCase& c = GetParam();
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = c.nozzleCount;
    p.basePass = c.basePass;
    p.xResPass = c.xRes;
    p.yResPass = c.yRes;
    p.featherMode = c.featherMode;
    p.featherNozzleType = c.featherType;
    p.featherPercent = c.featherPercent;
    p.resSplitMode = c.resSplitMode;
    p.colorTimes = c.colorTimes;
    p.colorCount = 1;
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(p));
    EXPECT_EQ(CMaskData_Base_Peer::StepHeight_NoneRes(mask), c.stepNoneRes);
    EXPECT_EQ(CMaskData_Base_Peer::MaskHeight_NoneRes(mask), c.maskHeightNoneRes);
    EXPECT_EQ(CMaskData_Base_Peer::LeadBlankHeight_NoneRes(mask), c.leadBlankNoneRes);
    EXPECT_EQ(mask.MaskHeight_IncludeRes(), c.maskHeight);
    EXPECT_EQ(mask.StepHeight_IncludeRes(), c.stepHeight);
    EXPECT_EQ(mask.RealStepHeight_IncludeRes(), c.realStep);
    EXPECT_EQ(mask.LeadBlankHeight_IncludeRes(), c.leadBlank);
    EXPECT_EQ(mask.MaskWidth(), c.maskWidth);
    EXPECT_EQ(mask.MaskLineBytes_OneColor(), c.lineBytes);
    EXPECT_EQ(mask.MaskPositionCount(), c.positions);
    EXPECT_EQ(mask.FeatherFamily(), c.family);
    // A left-over feather shows in the working record; the record as passed keeps its mode.
    EXPECT_EQ(mask.MaskParam_Current().featherMode, c.family == kNone ? 0 : 1);
    EXPECT_EQ(mask.MaskParam_Input().featherMode, c.featherMode);
    EXPECT_EQ(mask.TwoPartSplit().passRows, c.passRows);
    EXPECT_EQ(mask.TwoPartSplit().featherRows, c.featherRows);
}

INSTANTIATE_TEST_SUITE_P(Profiles, Geometry, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

// The tile repeats after lcm(n, S) / S passes; the normal choice keeps the tallest tile with at
// most 20 positions (exactly 20 included), the "less" choice the fewest positions.
TEST(Geometry, TileHeightAndMaskPositions)
{
    const struct
    {
        int nozzleCount;
        bool less;
        int step, thresholdHeight, positions;
    } cases[] = {{136, false, 34, 544, 16},
                 {140, false, 35, 525, 15},
                 {64, false, 16, 320, 20},
                 {136, true, 34, 34, 1},
                 {544, true, 136, 136, 1}};
    for (const auto& c : cases) {
        SMaskParam p = DefaultMaskParam();
        p.nozzleCount = c.nozzleCount;
        p.lessMaskPosition = c.less;
        p.colorCount = 1;
        CMaskData_Base mask;
        ASSERT_TRUE(mask.Create(p));
        EXPECT_EQ(CMaskData_Base_Peer::StepHeight_NoneRes(mask), c.step);
        EXPECT_EQ(mask.ThresholdHeight(), c.thresholdHeight) << c.nozzleCount;
        EXPECT_EQ(mask.MaskPositionCount(), c.positions) << c.nozzleCount;
    }
}

TEST(Geometry, ResolutionSplitDividesOnlyTheWorkingCopy)
{
    const struct
    {
        int mode, x, y, splitX, splitY;
    } cases[] = {{0, 4, 6, 1, 1}, {1, 4, 6, 2, 1}, {2, 4, 6, 1, 2}, {3, 4, 6, 1, 3},
                 {4, 4, 8, 1, 4}, {5, 4, 6, 2, 2}, {6, 4, 6, 1, 1}, {3, 4, 4, 1, 3}};
    for (const auto& c : cases) {
        SMaskParam p = DefaultMaskParam();
        p.nozzleCount = 96;
        p.xResPass = c.x;
        p.yResPass = c.y;
        p.resSplitMode = c.mode;
        p.colorCount = 1;
        p.bitsPerPixel = 1;
        CMaskData_Base mask;
        ASSERT_TRUE(mask.Create(p)) << c.mode;
        EXPECT_EQ(mask.SplitCount_XRes(), c.splitX);
        EXPECT_EQ(mask.SplitCount_YRes(), c.splitY);
        EXPECT_EQ(mask.XResPass(), c.x / c.splitX);
        EXPECT_EQ(mask.YResPass(), c.y / c.splitY);
        EXPECT_EQ(mask.MaskParam_Input().xResPass, c.x);
        EXPECT_EQ(mask.MaskParam_Input().yResPass, c.y);
    }
}

TEST(Geometry, StepHeadNozzle)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // clang-format off
    const struct { int nozzles, passes; float percent; int step; } cases[] = {
        {544, 4, 50.f, 85}, {544, 4, 0.f, 136}, {320, 8, 25.f, 32},
        // Over- and under-feathered heads still have a step: 544 - 489 = 55 rows over 4.
        {544, 4, 120.f, 13}, {544, 4, -50.f, 187},
        {320, 0, 25.f, 0}, {320, 8, nan, 0}, {544, 1, 1e30f, 0}};  // no pass, no number, no int
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(CMaskData_Base::StepHeadNozzle_Get(c.nozzles, c.passes, c.percent), c.step)
            << c.nozzles << " " << c.passes << " " << c.percent;
}

// A host that leaves featherPercent unset for an unfeathered mode gets its mask.
TEST(Geometry, UnfeatheredRecordIgnoresItsFeatherPercent)
{
    for (const float percent : {150.f, -3.f, std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity()}) {
        SMaskParam p = DefaultMaskParam();
        p.featherPercent = percent;
        CMaskData_Base mask;
        EXPECT_TRUE(mask.Create(p)) << percent;
        EXPECT_EQ(mask.StepHeight_IncludeRes(), 136) << percent;
    }
}

namespace {

struct RefusedCase
{
    const char* name;
    void (*change)(SMaskParam&);
    size_t failureRecords;  // records of the failing levels, innermost first
    const char* reason;     // what the check says, in part: the field, the rule, what works
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// clang-format off
const RefusedCase kRefused[] = {
    {"ColorTimesZero", [](SMaskParam& p) { p.colorTimes = 0; }, 1, "colorTimes 0 must be from 1 to basePass (4)"},
    {"ColorTimesAbovePasses", [](SMaskParam& p) { p.colorTimes = 5; }, 1, "colorTimes 5 must be from 1 to basePass (4)"},
    {"NoNozzles", [](SMaskParam& p) { p.nozzleCount = 0; }, 1, "nozzleCount 0 must be at least 1"},
    {"NoPasses", [](SMaskParam& p) { p.basePass = 0; p.colorTimes = 0; }, 1, "basePass 0 must be at least 1"},
    {"NoColours", [](SMaskParam& p) { p.colorCount = 0; }, 1, "colorCount 0 must be at least 1"},
    {"ThreeBits", [](SMaskParam& p) { p.bitsPerPixel = 3; }, 1, "bitsPerPixel 3 must be 1 or 2"},
    {"ZeroBits", [](SMaskParam& p) { p.bitsPerPixel = 0; }, 1, "bitsPerPixel 0 must be 1 or 2"},
    // The percent is checked where a feathered profile reads it.
    {"NaNPercent", [](SMaskParam& p) { p.featherMode = 1; p.featherPercent = kNaN; }, 1, "featherPercent nan must be a number from 0 to 100 with featherMode 1"},
    {"InfinitePercent", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 2; p.featherPercent = kInfinity; }, 1, "featherPercent inf must be"},
    {"PercentAbove100", [](SMaskParam& p) { p.featherMode = 1; p.featherPercent = 100.5f; }, 1, "featherPercent 100.5 must be"},
    {"NegativePercent", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 3; p.featherPercent = -1.f; }, 1, "featherPercent -1 must be"},
    {"XSplitToZero", [](SMaskParam& p) { p.resSplitMode = 1; }, 1, "xResPass 1 divided by 2 (resSplitMode 1) leaves no pass"},
    {"YSplitToZero", [](SMaskParam& p) { p.resSplitMode = 3; p.yResPass = 2; }, 1, "yResPass 2 divided by 3 (resSplitMode 3) leaves no pass"},
    {"FeatherModeTwo", [](SMaskParam& p) { p.featherMode = 2; }, 2, "featherMode 2 must be 0 (no feather) or 1"},
    {"FeatherTypeFour", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 4; }, 2, "featherNozzleType 4 must be 1 (two-part)"},
    {"StepBelowOne", [](SMaskParam& p) { p.nozzleCount = 3; }, 2, "raise nozzleCount to at least 4"},
    {"Smooth3TooMuchFeather", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 2; p.featherPercent = 100.f; p.nozzleCount = 8; }, 2, "nozzleCount 63 works at featherPercent 100"},
    // e = 64 feathered rows against a step of 4: the plain part would be negative.
    {"Smooth2FeatherAboveStep", [](SMaskParam& p) { p.nozzleCount = 128; p.basePass = 16; p.xResPass = 2; p.yResPass = 2; p.featherMode = 1; p.featherNozzleType = 1; p.featherPercent = 50.f; }, 2, "64 feathered rows per step, more than the step of 4 rows"},
    // e = 0: mask height equals the lead blank candidate (a severity-1 record, then Create's).
    {"Smooth2NoFeatherRows", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 1; p.featherPercent = 0.f; }, 1, "featherPercent 0 leaves no feathered row"},
    {"WidthOverflow", [](SMaskParam& p) { p.nozzleCount = 2000000000; p.basePass = 1; p.xResPass = 4000000; }, 2, "2176000000 pixels per mask row"},
    {"HeightOverflow", [](SMaskParam& p) { p.nozzleCount = 2000000000; p.basePass = 1; p.yResPass = 2; }, 2, "4000000000 rows per step"},
    {"MaskBytesOverflow", [](SMaskParam& p) { p.nozzleCount = 100000; p.basePass = 1; p.colorCount = 100000; }, 1, "colorCount can be at most 9"},
    // The limit depends on the nozzle count: 1 % feathers a row of 1280 nozzles, none of 96.
    {"Smooth2OnePercentOf96", [](SMaskParam& p) { p.nozzleCount = 96; p.featherMode = 1; p.featherNozzleType = 1; p.featherPercent = 1.f; }, 1, "from 6.95 to 100 works"},
    {"Smooth3LevelZero", [](SMaskParam& p) { p.featherMode = 1; p.featherNozzleType = 2; p.featherPercent = 50.f; p.smoothLevelPercent = 0; }, 3, "smoothLevelPercent 0 must be from 1 to 100"},
};
// clang-format on

class Refused : public ::testing::TestWithParam<RefusedCase>
{
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(Refused, FailsWithOneFailureRecordPerLevelAndSaysWhy)
{
    SMaskParam p = DefaultMaskParam();
    GetParam().change(p);
    LogCapture log;
    CMaskData_Base mask;
    EXPECT_FALSE(mask.Create(p));
    EXPECT_EQ(log.Failures().size(), GetParam().failureRecords);
    // The outermost record is Create's own.
    ASSERT_FALSE(log.Records().empty());
    EXPECT_NE(log.Records().back().scope.find("CMaskData_Base::Create"), std::string::npos);

    log.Clear();
    const SMaskParam_Test record = ToTestParam(p);
    char reason[512];
    EXPECT_FALSE(rv_halftone_record_reason(&record, reason, sizeof reason));
    EXPECT_NE(std::string(reason).find(GetParam().reason), std::string::npos) << reason;
    EXPECT_TRUE(log.Records().empty()) << "checking a record writes no record";
}

// The check runs the build's own steps, so the two never disagree: over a grid of heads, passes,
// feathers and splits, the check accepts exactly the records Create builds.
TEST(RecordCheck, AcceptsExactlyWhatTheBuildAccepts)
{
    const struct
    {
        int featherMode, featherType;
    } feathers[] = {{0, 1}, {1, 1}, {1, 2}, {1, 3}};
    int accepted = 0, refused = 0;
    for (const int nozzles : {8, 97, 128, 544})
        for (const int passes : {1, 4, 16})
            for (const auto& feather : feathers)
                for (const float percent : {0.f, 1.f, 7.f, 50.f, 100.f})
                    for (const int split : {0, 5}) {
                        SMaskParam p = DefaultMaskParam();
                        p.nozzleCount = nozzles;
                        p.basePass = passes;
                        p.xResPass = p.yResPass = 2;
                        p.colorCount = 1;
                        p.featherMode = feather.featherMode;
                        p.featherNozzleType = feather.featherType;
                        p.featherPercent = percent;
                        p.resSplitMode = split;
                        const SMaskParam_Test record = ToTestParam(p);
                        char reason[512] = "untouched";
                        const bool checked =
                            rv_halftone_record_reason(&record, reason, sizeof reason);
                        CMaskData_Base mask;
                        ASSERT_EQ(checked, mask.Create(p))
                            << nozzles << " nozzles, " << passes << " passes, feather "
                            << feather.featherType << " at " << percent << " %, split " << split
                            << ": " << reason;
                        EXPECT_EQ(std::string(reason).empty(), checked) << reason;
                        (checked ? accepted : refused) += 1;
                    }
    // Both sides of the rules are reached.
    EXPECT_GT(accepted, 50);
    EXPECT_GT(refused, 50);
}

INSTANTIATE_TEST_SUITE_P(Records, Refused, ::testing::ValuesIn(kRefused),
                         [](const auto& test) { return std::string(test.param.name); });
