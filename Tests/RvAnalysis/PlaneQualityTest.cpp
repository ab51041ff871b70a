// The quality figures of threshold planes and the spectrum behind them, on crafted planes whose
// figures are known, and the sixteen planes the library hands out (through CRawMaskData, as the
// renderers read them) against every figure promised for them.

#include <RvAnalysis/PlaneQuality.h>
#include <RvAnalysis/Spectrum.h>
#include <Rv_Halftone/RawMaskData.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace rv_analysis;

using Plane = std::vector<uint16_t>;

const int kSize = CRawMaskData::Width();  // the planes are square
const int kCells = kSize * kSize;

int Cell(int x, int y) { return y * kSize + x; }

// Even cells (x + y even) get `even`, odd cells `odd`.
Plane Checkerboard(uint16_t even, uint16_t odd)
{
    Plane plane(kCells);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            plane[Cell(x, y)] = (x + y) % 2 == 0 ? even : odd;
    return plane;
}

// Independent uniform levels 0 to 65,534.
Plane WhiteNoise(unsigned seed)
{
    std::mt19937 random(seed);
    Plane plane(kCells);
    for (uint16_t& level : plane)
        level = static_cast<uint16_t>(random() % 65535);
    return plane;
}

// Every level 0 to 65,534 with the base histogram, laid out row by row in rising order.
Plane RisingRamp()
{
    Plane plane(kCells);
    for (int i = 0; i < kCells; ++i)
        plane[i] = static_cast<uint16_t>(static_cast<uint64_t>(i) * 65535 / kCells);
    return plane;
}

TEST(PlaneQualityHistogram, RampHasTheBaseHistogramAndItsComplementTheComplementOne)
{
    const Plane ramp = RisingRamp();
    const std::vector<uint32_t> histogram = Histogram_Count(ramp.data());
    EXPECT_EQ(histogram[0], 5u);
    EXPECT_EQ(histogram[1], 5u);
    EXPECT_TRUE(Histogram_IsBase(histogram));
    EXPECT_FALSE(Histogram_IsComplement(histogram));

    Plane inverted(ramp.size());
    for (size_t i = 0; i < ramp.size(); ++i)
        inverted[i] = static_cast<uint16_t>(std::min(65534, 65535 - ramp[i]));
    const std::vector<uint32_t> complement = Histogram_Count(inverted.data());
    EXPECT_EQ(complement[65534], 10u);
    EXPECT_TRUE(Histogram_IsComplement(complement));
    EXPECT_FALSE(Histogram_IsBase(complement));
}

TEST(PlaneQualityHistogram, OneMovedLevelBreaksTheBaseHistogram)
{
    Plane moved = RisingRamp();
    moved[100] = moved[200];  // level 22 drops to three copies, level 44 rises to six
    EXPECT_FALSE(Histogram_IsBase(Histogram_Count(moved.data())));
    Plane top = RisingRamp();
    top[0] = 65535;  // the level that never occurs
    EXPECT_FALSE(Histogram_IsBase(Histogram_Count(top.data())));
    EXPECT_FALSE(Histogram_IsBase(Histogram_Count(WhiteNoise(3).data())));
}

struct SNeighbourCase
{
    const char* name;
    int x;
    int y;
    uint16_t level;  // written into the checkerboard of 1,000 / 60,000 at (x, y)
    int expectedMin;
    int expectedClose;
};

void PrintTo(const SNeighbourCase& c, std::ostream* os) { *os << c.name; }

class PlaneQualityNeighbours : public ::testing::TestWithParam<SNeighbourCase>
{
};

// A checkerboard has no close pairs; one changed cell makes its four neighbour pairs the closest,
// also when those pairs reach across the tile edges.
TEST_P(PlaneQualityNeighbours, OneChangedCellSetsTheMinimumAndTheClosePairs)
{
    const SNeighbourCase& c = GetParam();
    Plane plane = Checkerboard(1000, 60000);
    plane[Cell(c.x, c.y)] = c.level;
    EXPECT_EQ(Neighbour_MinDifference(plane.data()), c.expectedMin);
    EXPECT_EQ(Neighbour_CloseCount(plane.data()), c.expectedClose);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaneQualityNeighbours,
    ::testing::Values(SNeighbourCase{"Unchanged", 1, 0, 60000, 59000, 0},
                      SNeighbourCase{"Inside", 5, 8, 1123, 123, 4},
                      SNeighbourCase{"RightEdgeMeetsLeftEdge", 543, 0, 1123, 123, 4},
                      SNeighbourCase{"BottomEdgeMeetsTopEdge", 0, 543, 1123, 123, 4},
                      SNeighbourCase{"JustNotClose", 7, 10, 5096, 4096, 0},
                      SNeighbourCase{"JustClose", 7, 10, 5095, 4095, 4}),
    [](const ::testing::TestParamInfo<SNeighbourCase>& c) { return c.param.name; });

TEST(PlaneQualityNeighbours, LowContrastCheckerboardIsAllClose)
{
    const Plane plane = Checkerboard(0, 3000);
    EXPECT_EQ(Neighbour_MinDifference(plane.data()), 3000);
    EXPECT_EQ(Neighbour_CloseCount(plane.data()), 2 * kCells);
    EXPECT_EQ(Neighbour_CloseCount(plane.data(), 3000), 0);
}

TEST(PlaneQualityRows, FewestAndMostCellsBelowTheLevel)
{
    // Row y has 256 + y % 33 cells below 32,768: 256 to 288.
    Plane plane(kCells, 40000);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < 256 + y % 33; ++x)
            plane[Cell(x, y)] = 100;
    const SRowRange rows = Row_CountBelow(plane.data());
    EXPECT_EQ(rows.min, 256);
    EXPECT_EQ(rows.max, 288);
    EXPECT_EQ(Row_CountBelow(plane.data(), 100).max, 0);
}

// A plane wave of 2 cycles across and 1 down puts all its power, (cells / 2)^2, at frequency
// (2, 1) and at its mirror (-2, -1), for an even and an odd width alike.
TEST(Spectrum, PlaneWaveLiesAtItsFrequencyAndItsMirror)
{
    for (const auto& [w, h] : {std::pair{8, 6}, std::pair{9, 6}}) {
        std::vector<double> samples(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                samples[y * w + x] = std::cos(2.0 * std::acos(-1.0) * (2.0 * x / w + 1.0 * y / h));
        const std::vector<double> power = Spectrum_Power(samples, w, h);
        const double peak = (w * h / 2.0) * (w * h / 2.0);
        for (int v = 0; v < h; ++v)
            for (int u = 0; u < w; ++u) {
                const bool at = (u == 2 && v == 1) || (u == w - 2 && v == h - 1);
                EXPECT_NEAR(power[v * w + u], at ? peak : 0.0, 1e-9 * peak)
                    << w << " wide: " << u << "," << v;
            }
    }
}

// The low-frequency figure against white noise (about 1), a checkerboard (no low frequency at
// all), 16 x 16 clumps (far more than noise) and a pattern without contrast (0).
TEST(PlaneQualitySpectrum, LowFrequencyRatioOfKnownPatterns)
{
    const Plane noise = WhiteNoise(7);
    Plane clumps(kCells);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            clumps[Cell(x, y)] = noise[Cell(x / 16, y / 16)];
    const Plane checkerboard = Checkerboard(1000, 60000);
    const Plane flat(kCells, 30000);
    for (double cut : kCutFractions) {
        EXPECT_NEAR(Spectrum_LowFrequencyRatio(noise.data(), cut), 1.0, 0.1) << "cut " << cut;
        EXPECT_GT(Spectrum_LowFrequencyRatio(clumps.data(), cut), 10.0) << "cut " << cut;
    }
    // Cut at 1/16 or 1/2, the checkerboard keeps its 1,000 cells: all power sits at (1/2, 1/2).
    EXPECT_LT(Spectrum_LowFrequencyRatio(checkerboard.data(), 1.0 / 16.0), 1e-9);
    EXPECT_LT(Spectrum_LowFrequencyRatio(checkerboard.data(), 1.0 / 2.0), 1e-9);
    EXPECT_EQ(Spectrum_LowFrequencyRatio(flat.data(), 1.0 / 4.0), 0.0);  // nothing on
    EXPECT_EQ(Spectrum_LowFrequencyRatio(flat.data(), 1.0 / 2.0), 0.0);  // everything on
}

TEST(StoredPlanes, EveryPlaneMeetsTheStatedFigures)
{
    for (int p = 0; p < kPlaneCount; ++p) {
        SCOPED_TRACE("plane " + std::to_string(p));
        const SPlaneFigures f = Figures_Measure(CRawMaskData::RawData(p));
        const bool base = p % 4 == 1 || p % 4 == 2;
        EXPECT_TRUE(base ? f.histogramBase : f.histogramComplement);
        EXPECT_GE(f.neighbourMin, kNeighbourFloor[p % 4]);
        EXPECT_LT(f.closePairs, kClosePairsBelow);
        for (double ratio : f.lowFrequency)
            EXPECT_LE(ratio, kLowFrequencyAim);
        if (p % 4 == 0) {
            EXPECT_GE(f.rowsBelow.min, kRowMin);
            EXPECT_LE(f.rowsBelow.max, kRowMax);
        }
    }
}

}  // namespace
