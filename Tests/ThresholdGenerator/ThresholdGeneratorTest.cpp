// The pieces of the threshold generator (integer kernel, level map, extreme index), and the
// generator as a whole: it must still make the committed base matrices, byte for byte.

#include "ThresholdGenerator.h"
#include "EnergyKernel.h"
#include "ExtremeIndex.h"
#include "PlaneDerive.h"

#include <RvAnalysis/PlaneQuality.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace ThresholdGen;

struct SExpCase
{
    uint64_t num;
    uint64_t den;
};

void PrintTo(const SExpCase& c, std::ostream* os) { *os << c.num << "/" << c.den; }

class ThresholdGeneratorExp : public ::testing::TestWithParam<SExpCase>
{
};

TEST_P(ThresholdGeneratorExp, IntegerExpMatchesTheRealOne)
{
    const SExpCase& c = GetParam();
    const double expected =
        std::exp(-static_cast<double>(c.num) / static_cast<double>(c.den)) * (1 << 30);
    EXPECT_NEAR(ExpNeg_Q30(c.num, c.den), expected, 2.0) << c.num << "/" << c.den;
}

INSTANTIATE_TEST_SUITE_P(Arguments, ThresholdGeneratorExp,
                         ::testing::Values(SExpCase{0, 1}, SExpCase{1, 1000}, SExpCase{16, 72},
                                           SExpCase{1, 2}, SExpCase{2, 3}, SExpCase{1, 1},
                                           SExpCase{49 * 16, 72}, SExpCase{3969 * 16, 6245},
                                           SExpCase{25, 1}),
                         [](const ::testing::TestParamInfo<SExpCase>& c) {
                             return std::to_string(c.param.num) + "_over_" +
                                    std::to_string(c.param.den);
                         });

TEST(ThresholdGeneratorKernel, RoundSymmetricFallingAndNormalised)
{
    const SEnergyKernel kernel = Kernel_Gaussian(72, 16, 7);  // sigma 1.5
    const int64_t total = std::accumulate(kernel.weight.begin(), kernel.weight.end(), int64_t{0});
    EXPECT_NEAR(static_cast<double>(total), 1 << 24, 120.0);
    for (int dy = -7; dy <= 7; ++dy) {
        for (int dx = -7; dx <= 7; ++dx) {
            const int32_t w = kernel.At(dx, dy);
            ASSERT_EQ(w, kernel.At(-dx, dy));
            ASSERT_EQ(w, kernel.At(dy, dx));
            if (dx * dx + dy * dy > 49) {
                ASSERT_EQ(w, 0) << dx << "," << dy;
            } else if (dx >= 0 && dx < 7) {
                ASSERT_GT(w, kernel.At(dx + 1, dy)) << dx << "," << dy;
            }
        }
    }
}

TEST(ThresholdGeneratorLevels, RanksMapToTheBaseHistogram)
{
    std::vector<uint16_t> levels(kCells);
    for (int rank = 0; rank < kCells; ++rank)
        levels[rank] = Level_OfRank(rank);
    EXPECT_TRUE(rv_analysis::Histogram_IsBase(rv_analysis::Histogram_Count(levels.data())));
    EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));

    for (int level : {0, 1, 2, 4095, 32767, 32768, 65534}) {
        const int32_t first = Rank_OfLevel(level);
        EXPECT_EQ(Level_OfRank(first), level);
        if (first > 0) {
            EXPECT_LT(Level_OfRank(first - 1), level);
        }
    }
    EXPECT_EQ(Rank_OfLevel(65535), kCells);
}

TEST(ThresholdGeneratorIndex, FindsTheLowestScorePlusRowBias)
{
    CExtremeIndex index(8, 3, 4);
    EXPECT_EQ(index.Best(), -1);

    index.Score_Set(13, 50);
    index.Score_Set(6, 20);
    index.Score_Set(20, 20);
    EXPECT_EQ(index.Best(), 6);  // ties go to the lowest cell

    index.Bias_Set(0, 100);  // row 0 is now dear
    EXPECT_EQ(index.Best(), 20);

    index.Score_Set(20, CExtremeIndex::kNone);
    EXPECT_EQ(index.Best(), 13);
    index.Score_Set(13, -5);
    index.Score_Set(12, -5);
    EXPECT_EQ(index.Best(), 12);
}

// Generating takes seconds: registered with the label "slow".
TEST(ThresholdGeneratorSlow, MakesTheCommittedBytes)
{
    std::vector<uint16_t> committed;
    ASSERT_TRUE(rv_halftone::planes::Bases_Read(RV_THRESHOLD_BASE_FILE, committed));
    const std::vector<uint16_t> a = Matrix_Generate(kMatrixA);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), committed.begin())) << "matrix A differs";
    const std::vector<uint16_t> b = Matrix_Generate(kMatrixB);
    EXPECT_TRUE(std::equal(b.begin(), b.end(), committed.begin() + kCells)) << "matrix B differs";
}

}  // namespace
