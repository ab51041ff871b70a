#include <Rv_Halftone/SineMask.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Last set row of each column of the down buffer: the level of the curve, capped at the last row.
std::vector<int> ColumnLevels(const CSineMask& mask)
{
    const int width = mask.MaskWidth_Get();
    std::vector<int> levels(static_cast<size_t>(width), -1);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < mask.MaskHeight_Get(); ++y)
            if (mask.MaskBuffer_Down_Get()[y * width + x] != 0)
                levels[static_cast<size_t>(x)] = y;
    return levels;
}

}  // namespace

TEST(SineMask, SizesFollowFeatherHeightAndWidth)
{
    struct Case
    {
        int featherHeight, width, maskHeight, maskSize, featherSize, offset;
    };
    const Case cases[] = {
        {100, 544, 50, 27200, 54400, 27200},  // half the feather band
        {100, 300, 30, 9000, 30000, 21000},   // a tenth of the width
        {8, 40, 4, 160, 320, 160},
        {27, 544, 13, 7072, 14688, 7616},     // odd feather height truncates
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "F " << c.featherHeight << " W " << c.width);
        CSineMask mask;
        ASSERT_TRUE(mask.Create(c.featherHeight, c.width, 1, SinMaskType_Ripple));
        EXPECT_EQ(mask.FeatherHeight_Get(), c.featherHeight);
        EXPECT_EQ(mask.MaskWidth_Get(), c.width);
        EXPECT_EQ(mask.MaskHeight_Get(), c.maskHeight);
        EXPECT_EQ(mask.MaskSize_Get(), c.maskSize);
        EXPECT_EQ(mask.FeatherMask_Size(), c.featherSize);
        EXPECT_EQ(mask.SineMask_Offset_InFeather(), c.offset);
    }
}

TEST(SineMask, DownBufferFollowsOneSinePeriod)
{
    CSineMask mask;
    ASSERT_TRUE(mask.Create(8, 40, 1, SinMaskType_Ripple));
    ASSERT_EQ(mask.MaskHeight_Get(), 4);
    // Level of the curve per column; rows 0 to the level are set. Five flat columns on the left,
    // four on the right: the period is sampled asymmetrically.
    const int levels[40] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                            4, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 40; ++x) {
            const int i = y * 40 + x;
            const unsigned char down = mask.MaskBuffer_Down_Get()[i];
            EXPECT_EQ(down, y <= levels[x] ? 0x01 : 0x00) << "row " << y << " column " << x;
            EXPECT_EQ(mask.MaskBuffer_Up_Get()[i], static_cast<unsigned char>(~down)) << i;
        }
    }
}

TEST(SineMask, TwoBitsPerPixelUsesTheTwoBitPixelByte)
{
    CSineMask oneBit;
    CSineMask twoBits;
    ASSERT_TRUE(oneBit.Create(8, 40, 1, SinMaskType_Ripple));
    ASSERT_TRUE(twoBits.Create(8, 40, 2, SinMaskType_Ripple));
    ASSERT_EQ(twoBits.MaskSize_Get(), oneBit.MaskSize_Get());
    for (int i = 0; i < oneBit.MaskSize_Get(); ++i) {
        const bool set = oneBit.MaskBuffer_Down_Get()[i] != 0;
        EXPECT_EQ(twoBits.MaskBuffer_Down_Get()[i], set ? 0x03 : 0x00) << i;
        EXPECT_EQ(twoBits.MaskBuffer_Up_Get()[i], set ? 0xFC : 0xFF) << i;
    }
}

// Feather height 27 on the full tile width: column 136 is a quarter period, where the sine is
// exactly 0 and the level exactly 7.0. Any reordering of the arithmetic can drop it to 6.
TEST(SineMask, QuarterPeriodColumnLandsOnItsWholeLevel)
{
    CSineMask mask;
    ASSERT_TRUE(mask.Create(27, 544, 1, SinMaskType_Ripple));
    const std::vector<int> levels = ColumnLevels(mask);
    EXPECT_EQ(levels[136], 7);
    EXPECT_EQ(levels[0], 0);
    EXPECT_EQ(levels[272], 12);  // the crest covers every row
    EXPECT_EQ(levels[408], 7);
}

TEST(SineMask, NarrowMaskIsEmptyButValid)
{
    CSineMask mask;
    ASSERT_TRUE(mask.Create(100, 9, 1, SinMaskType_Ripple));
    EXPECT_EQ(mask.MaskHeight_Get(), 0);
    EXPECT_EQ(mask.MaskSize_Get(), 0);
    EXPECT_EQ(mask.FeatherMask_Size(), 900);
    EXPECT_EQ(mask.SineMask_Offset_InFeather(), 900);
}

TEST(SineMask, AlternateTypeLeavesNoMask)
{
    CSineMask mask;
    ASSERT_TRUE(mask.Create(100, 544, 1, SinMaskType_Alternate));
    EXPECT_EQ(mask.MaskSize_Get(), 0);
    EXPECT_EQ(mask.MaskBuffer_Down_Get(), nullptr);

    // Nor does it keep the mask of an earlier Create under the new sizes.
    CSineMask reused;
    ASSERT_TRUE(reused.Create(100, 544, 1, SinMaskType_Ripple));
    ASSERT_TRUE(reused.Create(8, 40, 1, SinMaskType_Alternate));
    EXPECT_EQ(reused.MaskSize_Get(), 0);
    EXPECT_EQ(reused.MaskBuffer_Down_Get(), nullptr);
}

TEST(SineMask, RefusesWhatItCannotBuild)
{
    struct Case
    {
        int featherHeight, width, bitsPerPixel, type;
    };
    const Case cases[] = {
        {100, 544, 1, 3},   // unknown type
        {100, 544, 1, 0},
        {-2, 544, 1, 1},    // negative sizes
        {100, -40, 1, 1},
        {100, 544, 3, 1},   // no pixel byte for 3 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.featherHeight << " " << c.width << " "
                                        << c.bitsPerPixel << " " << c.type);
        LogCapture log;
        CSineMask mask;
        EXPECT_FALSE(mask.Create(c.featherHeight, c.width, c.bitsPerPixel,
                                 static_cast<ESinMaskType>(c.type)));
        EXPECT_EQ(log.Failures().size(), 1u);
        EXPECT_EQ(mask.MaskSize_Get(), 0);
    }
}
