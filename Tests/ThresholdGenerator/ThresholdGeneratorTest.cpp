// The threshold generator: its energy kernel, and the generator as a whole, which must still make
// the committed base matrices byte for byte.
#include "ThresholdGenerator/ThresholdGenerator.h"
#include "ThresholdGenerator/EnergyKernel.h"
#include <RvPlanes/PlaneDerive.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

using namespace ThresholdGen;

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
