#include <Rv_Halftone/DecryptMask.h>

#include <Rv_Halftone/RawMaskData.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <vector>

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

bool SameSize(const CBandData& band, int width, int height)
{
    return band.Width() == width && band.Height() == height && band.BitsPerPixel() == 2;
}

}  // namespace

TEST(DecryptMask, NoRampBandsBeforeCreate)
{
    CDecryptMask decoder;
    EXPECT_EQ(decoder.MaskBand_Left_Get(), nullptr);
    EXPECT_EQ(decoder.MaskBand_Right_Get(), nullptr);
    ASSERT_NE(decoder.MaskBand_Left_Not_Get(), nullptr);
    EXPECT_EQ(decoder.MaskBand_Left_Not_Get()->Buffer(), nullptr);
    EXPECT_EQ(decoder.MaskBand_Right_Not_Get()->Width(), 0);
}

TEST(DecryptMask, OnlyTwoBitsPerPixelAreServed)
{
    CDecryptMask decoder;
    LogCapture log;
    for (int bits : {0, 1, 3, 4}) {
        log.Clear();
        EXPECT_FALSE(decoder.Create(3, 8, bits)) << bits;
        EXPECT_EQ(log.Failures().size(), 1u);
        EXPECT_EQ(decoder.MaskBand_Left_Get(), nullptr);
        EXPECT_EQ(decoder.MaskBand_Right_Not_Get()->Width(), 0);
    }
    ASSERT_TRUE(decoder.Create(3, 8, 2));
    const CBandData* const left = decoder.MaskBand_Left_Get();
    const CBandData* const right = decoder.MaskBand_Right_Get();
    const std::vector<unsigned char> leftNot(decoder.MaskBand_Left_Not_Get()->Buffer(),
                                             decoder.MaskBand_Left_Not_Get()->Buffer() + 8 * 16);
    for (int bits : {1, 4}) {
        EXPECT_FALSE(decoder.Create(5, 20, bits));
        EXPECT_EQ(decoder.MaskBand_Left_Get(), left);
        EXPECT_EQ(decoder.MaskBand_Right_Get(), right);
        EXPECT_TRUE(SameSize(*left, 3, 8));
        EXPECT_TRUE(SameSize(*decoder.MaskBand_Right_Not_Get(), 3, 8));
        EXPECT_EQ(std::vector<unsigned char>(decoder.MaskBand_Left_Not_Get()->Buffer(),
                                             decoder.MaskBand_Left_Not_Get()->Buffer() + 8 * 16),
                  leftNot);
    }
}

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

// Every shape: each pixel fired by exactly one band of a pair, the right ramp mirroring the left,
// and nothing written past a line's last pixel.
TEST(DecryptMask, RampsAndComplementsCoverEveryPixelOnce)
{
    const struct
    {
        int width, height;
    } shapes[] = {{1, 8}, {1, 544}, {3, 8}, {4, 600}, {7, 33}};
    for (const auto& s : shapes) {
        CDecryptMask decoder;
        ASSERT_TRUE(decoder.Create(s.width, s.height, 2));
        const CBandData* bands[4] = {decoder.MaskBand_Left_Get(), decoder.MaskBand_Left_Not_Get(),
                                     decoder.MaskBand_Right_Get(),
                                     decoder.MaskBand_Right_Not_Get()};
        for (const CBandData* band : bands) {
            ASSERT_TRUE(SameSize(*band, s.width, s.height)) << s.width << "x" << s.height;
            const int usedBytes = (2 * s.width + 7) / 8;
            for (int y = 0; y < s.height; ++y)
                for (int i = usedBytes; i < band->LineStride(); ++i)
                    ASSERT_EQ(band->Buffer()[y * band->LineStride() + i], 0);
        }
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                const int left = Pixel(*bands[0], x, y);
                ASSERT_TRUE(left == 0 || left == 3);
                ASSERT_EQ(left ^ Pixel(*bands[1], x, y), 3);
                ASSERT_EQ(Pixel(*bands[2], s.width - 1 - x, s.height - 1 - y), left);
                ASSERT_EQ(Pixel(*bands[2], x, y) ^ Pixel(*bands[3], x, y), 3);
            }
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

TEST(DecryptMask, SecondCreateReplacesAllBands)
{
    CDecryptMask decoder;
    ASSERT_TRUE(decoder.Create(3, 8, 2));
    ASSERT_TRUE(decoder.Create(5, 20, 2));
    EXPECT_TRUE(SameSize(*decoder.MaskBand_Left_Get(), 5, 20));
    EXPECT_TRUE(SameSize(*decoder.MaskBand_Right_Get(), 5, 20));
    EXPECT_TRUE(SameSize(*decoder.MaskBand_Left_Not_Get(), 5, 20));
    EXPECT_TRUE(SameSize(*decoder.MaskBand_Right_Not_Get(), 5, 20));
}
