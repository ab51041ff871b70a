// The tool's PNG writer: what it writes reads back, through libpng, as the pixels it was given.

#include "rv_halftone/PageReader.h"
#include "rv_halftone/PngWriter.h"
#include "rv_halftone/Canvas.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Writes with `write`, then reads the header and the pixels back.
template <typename Write>
void WriteAndRead(const std::string& path, Write write, SPngHeader& header, SPngPixels& pixels)
{
    write(path);
    std::string error;
    ASSERT_TRUE(ReadPngHeader(path, header, error)) << error;
    ASSERT_TRUE(ReadPngPixels(path, pixels, error)) << error;
}

TEST(PngWriter, GreyRowsWithPaddingScaleAndInversion)
{
    // 3 x 2 pixels in rows of 5 bytes; the two padding bytes must not show.
    const std::vector<uint8_t> rows = {0, 100, 255, 9, 9, 7, 8, 200, 9, 9};
    for (const bool invert : {false, true}) {
        const std::string path = FreshTestDir() + "/grey.png";
        SPngHeader header;
        SPngPixels pixels;
        WriteAndRead(
            path,
            [&](const std::string& p) {
                WritePngGrey8(p, rows.data(), 3, 2, 5, {3, invert});
            },
            header, pixels);
        EXPECT_EQ(header.width, 9);
        EXPECT_EQ(header.height, 6);
        EXPECT_EQ(header.bitDepth, 8);
        EXPECT_EQ(header.colorType, PNG_COLOR_TYPE_GRAY);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x) {
                const int given = rows[(y / 3) * 5 + x / 3];
                ASSERT_EQ(pixels.At(x, y), invert ? 255 - given : given) << x << "," << y;
            }
    }
}

TEST(PngWriter, RgbKeepsTheChannelOrder)
{
    const std::vector<uint8_t> rows = {255, 0, 0, 0, 255, 0, 1, 2, 3, 0, 0, 0};  // 2 x 2
    const std::string path = FreshTestDir() + "/rgb.png";
    SPngHeader header;
    SPngPixels pixels;
    WriteAndRead(
        path,
        [&](const std::string& p) {
            WritePngRgb8(p, rows.data(), 2, 2, 6, {2, false});
        },
        header, pixels);
    EXPECT_EQ(header.width, 4);
    EXPECT_EQ(header.height, 4);
    EXPECT_EQ(header.colorType, PNG_COLOR_TYPE_RGB);
    ASSERT_EQ(pixels.channels, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(pixels.At(x, y, c), rows[(y / 2) * 6 + (x / 2) * 3 + c]) << x << "," << y;
}

struct SPackedCase
{
    const char* name;
    int bitDepth;
    int scale;
    bool invert;
};

void PrintTo(const SPackedCase& c, std::ostream* os) { *os << c.name; }

class PngWriterPacked : public ::testing::TestWithParam<SPackedCase>
{
};

// Packed rows as the library's masks have them: first pixel in the most significant bits, a last
// byte only partly used (its spare bits set here, and ignored).
TEST_P(PngWriterPacked, PixelsReadBackInOrder)
{
    const SPackedCase& c = GetParam();
    const int width = 13;
    const int height = 3;
    const int perByte = 8 / c.bitDepth;
    const int rowBytes = (width + perByte - 1) / perByte + 1;  // one spare byte per row
    const int maxValue = (1 << c.bitDepth) - 1;
    auto value = [&](int x, int y) { return (x * 7 + y * 3) % (maxValue + 1); };
    std::vector<uint8_t> rows(rowBytes * height, 0xFF);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t& byte = rows[y * rowBytes + x / perByte];
            const int shift = 8 - c.bitDepth * (x % perByte + 1);
            byte = static_cast<uint8_t>((byte & ~(maxValue << shift)) | value(x, y) << shift);
        }

    const std::string path = FreshTestDir() + "/packed.png";
    SPngHeader header;
    SPngPixels pixels;
    WriteAndRead(
        path,
        [&](const std::string& p) {
            WritePngGreyPacked(p, rows.data(), width, height, rowBytes, c.bitDepth,
                               {c.scale, c.invert});
        },
        header, pixels);
    EXPECT_EQ(header.width, width * c.scale);
    EXPECT_EQ(header.height, height * c.scale);
    EXPECT_EQ(header.bitDepth, c.bitDepth);
    EXPECT_EQ(header.colorType, PNG_COLOR_TYPE_GRAY);
    for (int y = 0; y < height * c.scale; ++y)
        for (int x = 0; x < width * c.scale; ++x) {
            int expected = value(x / c.scale, y / c.scale);
            if (c.invert)
                expected = maxValue - expected;
            ASSERT_EQ(pixels.At(x, y), expected * 255 / maxValue) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, PngWriterPacked,
                         ::testing::Values(SPackedCase{"OneBit", 1, 1, false},
                                           SPackedCase{"OneBitScaledInverted", 1, 3, true},
                                           SPackedCase{"TwoBits", 2, 1, false},
                                           SPackedCase{"TwoBitsScaled", 2, 5, false}),
                         [](const ::testing::TestParamInfo<SPackedCase>& c) {
                             return c.param.name;
                         });

// A page longer than libpng's default limit of 1,000,000 pixels a side is written and read back
// row by row as split streams it: 1 x 1,048,576 pixels, one bit each, white where the bit is set.
TEST(PageReader, ReadsSidesBeyondLibpngsDefaultLimit)
{
    const int height = 1 << 20;
    std::vector<uint8_t> rows(height);
    for (int y = 0; y < height; ++y)
        rows[y] = (y % 3 == 0) ? 0x80 : 0x00;
    const std::string path = FreshTestDir() + "/tall.png";
    WritePngGreyPacked(path, rows.data(), 1, height, 1, 1);
    const std::unique_ptr<CPageReader> reader = CPageReader::Open(path);
    ASSERT_EQ(reader->Header().width, 1);
    ASSERT_EQ(reader->Header().height, height);
    reader->ChooseLevels(1);
    uint8_t line[2] = {0, 0xA5};  // a guard byte after the line
    for (int y = 0; y < height; ++y) {
        reader->ReadLine(0, line, 1);
        ASSERT_EQ(line[0], y % 3 == 0 ? 0x00 : 0x80) << "row " << y;  // ink where it was black
    }
    EXPECT_EQ(line[1], 0xA5);
    EXPECT_THROW(reader->ReadLine(0, line, 1), PageError);  // past the last row
}

// Every refusal names the file, and no file is left behind.
TEST(PngWriter, RefusalsThrowAndLeaveNoFile)
{
    const std::string dir = FreshTestDir();
    const std::string path = dir + "/refused.png";
    const std::vector<uint8_t> rows(64, 0);
    auto expectRefused = [&](const std::string& target, auto write) {
        try {
            write(target);
            ADD_FAILURE() << "no error for " << target;
        } catch (const PngError& error) {
            EXPECT_NE(std::string(error.what()).find(target), std::string::npos) << error.what();
        }
        EXPECT_FALSE(std::filesystem::exists(target));
    };
    expectRefused(dir + "/missing/dir.png",
                  [&](const std::string& p) { WritePngGrey8(p, rows.data(), 4, 4, 4); });
    expectRefused(path,
                  [&](const std::string& p) { WritePngGreyPacked(p, rows.data(), 8, 8, 1, 4); });
    expectRefused(path, [&](const std::string& p) { WritePngGrey8(p, rows.data(), 4, 4, 3); });
    expectRefused(path, [&](const std::string& p) { WritePngGrey8(p, rows.data(), 0, 4, 4); });
    expectRefused(path, [&](const std::string& p) {
        WritePngGrey8(p, rows.data(), 4, 4, 4, {0, false});
    });
    expectRefused(path, [&](const std::string& p) {
        WritePngRgb8(p, rows.data(), 2, 2, 6, {1, true});
    });
}

// A write error inside libpng (the device is full) comes back as a PngError too.
TEST(PngWriter, WriteErrorOfTheDevice)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Noise does not compress, so libpng itself meets the error rather than the final close.
    std::vector<uint8_t> noise(512 * 512);
    uint32_t state = 1;
    for (uint8_t& value : noise) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<uint8_t>(state >> 24);
    }
    try {
        WritePngGrey8("/dev/full", noise.data(), 512, 512, 512);
        ADD_FAILURE() << "no error";
    } catch (const PngError& error) {
        EXPECT_NE(std::string(error.what()).find("/dev/full: "), std::string::npos) << error.what();
    }
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

}  // namespace

// Labels are readable only if every dot of the font lands where it should: "1" is a stem in the
// middle column with a foot across columns 1 to 3 and a flag at the top left.
TEST(Canvas, TextDotsLandInTheirColumnsAndRows)
{
    CCanvas canvas(8, 8);
    canvas.Text(1, 0, "1", kBlack);
    const auto dark = [&canvas](int x, int y) { return canvas.Pixels()[(y * 8 + x) * 3] == 0; };
    EXPECT_TRUE(dark(3, 0) && dark(3, 3) && dark(2, 1) && dark(2, 6) && dark(4, 6));
    EXPECT_FALSE(dark(1, 0) || dark(2, 0) || dark(4, 3) || dark(1, 1) || dark(6, 6));
    EXPECT_EQ(CCanvas::TextWidth("12", 2), 22);
}
