#include <Rv_Halftone/SineMask.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

// The mask covers the last min(F / 2, W / 10) rows of a feather band.
TEST(SineMask, SizesFollowFeatherHeightAndWidth)
{
    const struct
    {
        int featherHeight, width, maskHeight, offset;
    } cases[] = {
        {100, 544, 50, 27200},  // half the feather band
        {100, 300, 30, 21000},  // a tenth of the width
        {27, 544, 13, 7616},    // odd feather height truncates
        {100, 9, 0, 900},       // below 10 pixels: no rows, still valid
    };
    for (const auto& c : cases) {
        CSineMask mask;
        ASSERT_TRUE(mask.Create(c.featherHeight, c.width, 1, SinMaskType_Ripple));
        EXPECT_EQ(mask.MaskHeight_Get(), c.maskHeight) << c.featherHeight << " " << c.width;
        EXPECT_EQ(mask.SineMask_Offset_InFeather(), c.offset) << c.featherHeight << " " << c.width;
    }
}

// F = 8, W = 40: four rows; rows 0 to the column's level are set. Five flat columns on the left,
// four on the right: the period is sampled asymmetrically. The up buffer is the complement.
TEST(SineMask, DownBufferFollowsOneSinePeriod)
{
    const int levels[40] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                            4, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0};
    for (int bits : {1, 2}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const unsigned char pixel = bits == 1 ? 0x01 : 0x03;
        CSineMask mask;
        ASSERT_TRUE(mask.Create(8, 40, bits, SinMaskType_Ripple));
        ASSERT_EQ(mask.MaskHeight_Get(), 4);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 40; ++x) {
                const unsigned char down = mask.MaskBuffer_Down_Get()[y * 40 + x];
                EXPECT_EQ(down, y <= levels[x] ? pixel : 0x00) << "row " << y << " column " << x;
                EXPECT_EQ(mask.MaskBuffer_Up_Get()[y * 40 + x], static_cast<unsigned char>(~down));
            }
        }
    }
}

// F = 27 on the full tile width: column 136 is a quarter period, where the sine is exactly 0 and
// the level exactly 7.0. Any reordering of the arithmetic can drop it to 6.
TEST(SineMask, QuarterPeriodColumnLandsOnItsWholeLevel)
{
    CSineMask mask;
    ASSERT_TRUE(mask.Create(27, 544, 1, SinMaskType_Ripple));
    ASSERT_EQ(mask.MaskHeight_Get(), 13);
    for (int y = 0; y < 13; ++y)
        EXPECT_EQ(mask.MaskBuffer_Down_Get()[y * 544 + 136], y <= 7 ? 0x01 : 0x00) << y;
}

TEST(SineMask, AlternateTypeLeavesNoMaskAndUnknownInputsAreRefused)
{
    struct Case
    {
        int featherHeight, width, bitsPerPixel, type;
        bool created;
    };
    const Case cases[] = {
        {100, 544, 1, 2, true},                            // computed and discarded
        {100, 544, 1, 3, false},                           // unknown type
        {100, 544, 1, 0, false}, {-2, 544, 1, 1, false},   // negative sizes
        {100, -40, 1, 1, false}, {100, 544, 3, 1, false},  // no pixel byte for 3 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.featherHeight << " " << c.width << " "
                                        << c.bitsPerPixel << " " << c.type);
        LogCapture log;
        CSineMask mask;
        EXPECT_EQ(mask.Create(c.featherHeight, c.width, c.bitsPerPixel,
                              static_cast<ESinMaskType>(c.type)),
                  c.created);
        EXPECT_EQ(log.Failures().size(), c.created ? 0u : 1u);
        EXPECT_EQ(mask.MaskSize_Get(), 0);
        EXPECT_EQ(mask.MaskBuffer_Down_Get(), nullptr);
    }

    // Nor does type 2 keep the mask of an earlier Create under the new sizes.
    CSineMask reused;
    ASSERT_TRUE(reused.Create(100, 544, 1, SinMaskType_Ripple));
    ASSERT_TRUE(reused.Create(8, 40, 1, SinMaskType_Alternate));
    EXPECT_EQ(reused.MaskSize_Get(), 0);
    EXPECT_EQ(reused.MaskBuffer_Down_Get(), nullptr);
}
