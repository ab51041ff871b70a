// The print simulation behind `rv_halftone verify`: it reports exact coverage for masks built to be
// right and catches a mask broken in a single byte.
#include <Rv_Halftone/MaskData_Base.h>

#include "MaskParams.h"
#include "Peers.h"

#include <RvAnalysis/PrintSimulation.h>

#include <gtest/gtest.h>

namespace {

using rv_analysis::EPromise;

struct VerifyCase
{
    const char* name;
    int featherMode, featherType, colorTimes, smoothLevel;
    float featherPercent;
    EPromise promise;
};

const VerifyCase kCases[] = {
    {"Unfeathered", 0, 1, 1, 100, 0.f, EPromise::Exact},
    {"UnfeatheredTwice", 0, 1, 2, 100, 0.f, EPromise::Exact},
    {"TwoPart", 1, 1, 1, 100, 50.f, EPromise::Exact},
    {"TwoPartTwice", 1, 1, 2, 100, 50.f, EPromise::Exact},
    {"ThreePartBelowLevel", 1, 2, 1, 60, 50.f, EPromise::BelowLevel},
};

void PrintTo(const VerifyCase& c, std::ostream* os) { *os << c.name; }

class PrintSimulation : public ::testing::TestWithParam<VerifyCase>
{
protected:
    void SetUp() override
    {
        const VerifyCase& c = GetParam();
        SMaskParam p = DefaultMaskParam();
        p.colorCount = 1;
        p.featherMode = c.featherMode;
        p.featherNozzleType = c.featherType;
        p.colorTimes = c.colorTimes;
        p.smoothLevelPercent = c.smoothLevel;
        p.featherPercent = c.featherPercent;
        ASSERT_TRUE(m_mask.Create(p));
    }
    CMaskData_Base m_mask;
};

}  // namespace

// A good mask meets its promise; one byte flipped in the middle of position 1 fires its pixels too
// often or never, and the simulation sees it.
TEST_P(PrintSimulation, MeetsThePromiseUntilOneByteIsFlipped)
{
    const rv_analysis::CPrintPlan plan(m_mask);
    rv_analysis::SColorVerdict verdict = rv_analysis::Verify(plan, 0);
    EXPECT_EQ(verdict.promise, GetParam().promise);
    EXPECT_TRUE(verdict.met) << verdict.mismatches << " mismatches";
    long long counted = 0;
    for (long long n : verdict.histogram)
        counted += n;
    EXPECT_EQ(counted, verdict.pixels);
    EXPECT_EQ(verdict.pixels, static_cast<long long>(plan.CycleLines()) * plan.Width());

    int counter = 0;
    const unsigned char* position1 = m_mask.MaskData_Get(0, counter);
    const long long offset = position1 - CMaskData_Base_Peer::MaskBlock(m_mask).MaskData_Const() +
                             m_mask.MaskBytes_OnePosition() / 2;
    CMaskData_Base_Peer::MaskBlock(m_mask).MaskData()[offset] ^= 0xFF;
    verdict = rv_analysis::Verify(plan, 0);
    EXPECT_TRUE(verdict.checked);
    EXPECT_FALSE(verdict.met);
    EXPECT_GT(verdict.mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, PrintSimulation, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(PrintSimulationPixels, ReadsPackedPixelsMostSignificantFirst)
{
    const unsigned char oneBit[] = {0x89};  // 1000 1001
    const bool expected1[] = {true, false, false, false, true, false, false, true};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(rv_analysis::PixelFired(oneBit, x, 1), expected1[x]) << x;
    const unsigned char twoBit[] = {0xC6};  // 11 00 01 10: only the first pixel has both bits
    EXPECT_TRUE(rv_analysis::PixelFired(twoBit, 0, 2));
    EXPECT_FALSE(rv_analysis::PixelFired(twoBit, 1, 2));
    EXPECT_FALSE(rv_analysis::PixelFired(twoBit, 2, 2));
    EXPECT_FALSE(rv_analysis::PixelFired(twoBit, 3, 2));
}
