// The sixteen planes the library hands out (through CRawMaskData, as the renderers read them) meet
// every figure promised for them: complete histograms, no close neighbours, balanced rows and
// little low-frequency energy at every cut.

#include "PlaneQuality.h"

#include <Rv_Halftone/RawMaskData.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace PlaneQuality;

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
