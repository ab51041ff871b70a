// The ramp decoder against plane 0 worked out by hand. The fuzz target (Tests/fuzz/DecryptMaskFuzz)
// replays shapes from 1 x 8 to 7 x 600 and checks every band pixel by pixel, the refusals and a
// second Create; these tests pin the levels.
#include <Rv_Halftone/DecryptMask.h>

#include <Rv_Halftone/RawMaskData.h>

#include <gtest/gtest.h>

namespace {

int Pixel(const CBandData& band, int x, int y)
{
    const unsigned char byte = band.Buffer()[y * band.LineStride() + x / 4];
    return (byte >> (6 - 2 * (x % 4))) & 3;
}

// Level of plane 0 at a column and row, both wrapping.
int Threshold(int column, int row)
{
    return CRawMaskData::RawData(0)[(row % 544) * 544 + column % 544];
}

}  // namespace

// Column x of the left ramp fires the levels from its cut upward, read along row x of plane 0
// from the bottom line up; the right ramp is the left one turned half a turn.
TEST(DecryptMask, ThreeColumnRampCutsAtQuarterLevels)
{
    const int lows[3] = {49151, 32767, 16383};
    CDecryptMask decoder;
    ASSERT_TRUE(decoder.Create(3, 8, 2));
    const CBandData& left = *decoder.MaskBand_Left_Get();
    const CBandData& right = *decoder.MaskBand_Right_Get();
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(Pixel(left, x, y), Threshold(7 - y, x) >= lows[x] ? 3 : 0) << x << "," << y;
            EXPECT_EQ(Pixel(right, 2 - x, 7 - y), Pixel(left, x, y));
        }
    }
}

// Column x of a ramp W wide fires about (x + 1) / (W + 1) of its pixels; one column fires half.
TEST(DecryptMask, ColumnDensitiesRiseInEqualSteps)
{
    for (int width : {1, 4}) {
        CDecryptMask decoder;
        ASSERT_TRUE(decoder.Create(width, 544, 2));
        for (int x = 0; x < width; ++x) {
            int leftFired = 0;
            int rightFired = 0;
            for (int y = 0; y < 544; ++y) {
                leftFired += Pixel(*decoder.MaskBand_Left_Get(), x, y) != 0;
                rightFired += Pixel(*decoder.MaskBand_Right_Get(), width - 1 - x, y) != 0;
            }
            EXPECT_NEAR(leftFired / 544.0, (x + 1.0) / (width + 1), 0.05) << width << " " << x;
            EXPECT_EQ(rightFired, leftFired);
        }
    }
}
