#include <RvBandData/BandData.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

int Pixel(const CBandData& band, int x, int y)
{
    const int bits = band.BitsPerPixel();
    const int bit = x * bits;
    const unsigned char byte = band.Buffer()[y * band.LineStride() + bit / 8];
    return (byte >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
}

void Pixel_Set(CBandData& band, int x, int y, int value)
{
    const int bits = band.BitsPerPixel();
    const int bit = x * bits;
    band.Buffer()[y * band.LineStride() + bit / 8] |=
        static_cast<unsigned char>(value << (8 - bits - bit % 8));
}

bool AllZero(const CBandData& band)
{
    for (int i = 0; i < band.LineStride() * band.Height(); ++i)
        if (band.Buffer()[i] != 0)
            return false;
    return true;
}

// A 3 x 2 two-bit band whose pixels all differ from their neighbours: (x + 2y) mod 4.
void MakeSample(CBandData& band)
{
    ASSERT_TRUE(band.Create(3, 2, 2, 16));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            Pixel_Set(band, x, y, (x + 2 * y) % 4);
}

}  // namespace

TEST(BandData, CreateSizesAlignsAndClears)
{
    const struct
    {
        int width, bits, align, stride;
    } cases[] = {
        {10, 2, 16, 16}, {70, 2, 16, 32}, {8, 1, 1, 1}, {9, 1, 1, 2}, {3, 8, 4, 4},
    };
    for (const auto& c : cases) {
        CBandData band;
        ASSERT_TRUE(band.Create(c.width, 3, c.bits, c.align)) << c.width;
        EXPECT_EQ(band.Width(), c.width);
        EXPECT_EQ(band.Height(), 3);
        EXPECT_EQ(band.BitsPerPixel(), c.bits);
        EXPECT_EQ(band.LineStride(), c.stride) << c.width;
        EXPECT_TRUE(AllZero(band));
    }
}

TEST(BandData, RefusedCreateLeavesTheBandAsItWas)
{
    const struct
    {
        int width, height, bits, align;
    } refused[] = {
        {0, 4, 2, 16}, {4, 0, 2, 16}, {-1, 4, 2, 16},
        {4, 4, 3, 16}, {4, 4, 2, 0},  {1 << 30, 1, 8, 1},
    };
    CBandData band;
    ASSERT_TRUE(band.Create(5, 4, 2, 16));
    band.Buffer()[0] = 0xC0;
    for (const auto& r : refused) {
        EXPECT_FALSE(band.Create(r.width, r.height, r.bits, r.align)) << r.width << " " << r.height;
        EXPECT_EQ(band.Width(), 5);
        EXPECT_EQ(band.Height(), 4);
        EXPECT_EQ(band.Buffer()[0], 0xC0);
    }
}

TEST(BandData, QuarterTurnsMoveTheFirstLineToAnEdgeColumn)
{
    CBandData band;
    MakeSample(band);
    std::unique_ptr<CBandData> cw(band.Rotate_Clockwise90_2Bit_To_2Bit());
    std::unique_ptr<CBandData> acw(band.Rotate_Anticlockwise90_2Bit_To_2Bit());
    for (const CBandData* turned : {cw.get(), acw.get()}) {
        EXPECT_EQ(turned->Width(), 2);
        EXPECT_EQ(turned->Height(), 3);
        EXPECT_EQ(turned->BitsPerPixel(), 2);
    }
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(Pixel(*cw, 1 - y, x), Pixel(band, x, y));   // line 0 is the right column
            EXPECT_EQ(Pixel(*acw, y, 2 - x), Pixel(band, x, y));  // line 0 is the left column
        }
    }
    // Four quarter turns give the band back.
    std::unique_ptr<CBandData> turned(band.Rotate_Clockwise90_2Bit_To_2Bit());
    for (int i = 0; i < 3; ++i)
        turned.reset(turned->Rotate_Clockwise90_2Bit_To_2Bit());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Pixel(*turned, x, y), Pixel(band, x, y));

    CBandData empty;
    std::unique_ptr<CBandData> emptyTurned(empty.Rotate_Clockwise90_2Bit_To_2Bit());
    ASSERT_NE(emptyTurned, nullptr);
    EXPECT_EQ(emptyTurned->Buffer(), nullptr);
}

// A clone owns its pixels: inverting the band afterwards leaves the clone as it was.
TEST(BandData, NegativeInvertsPixelsButNotThePaddingNorAClone)
{
    CBandData band;
    MakeSample(band);
    CBandData copy;
    ASSERT_TRUE(copy.Create(40, 9, 1, 1));
    ASSERT_TRUE(band.Clone(copy));
    ASSERT_TRUE(band.ConvertBuffer_Negative());
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.LineStride(), band.LineStride());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Pixel(copy, x, y), (x + 2 * y) % 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Pixel(band, x, y), 3 - (x + 2 * y) % 4);
    // Pixels take the top six bits of the first byte of each line.
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(band.Buffer()[y * band.LineStride()] & 0x03, 0);
        for (int i = 1; i < band.LineStride(); ++i)
            EXPECT_EQ(band.Buffer()[y * band.LineStride() + i], 0);
    }
    CBandData empty;
    EXPECT_FALSE(empty.ConvertBuffer_Negative());
}
