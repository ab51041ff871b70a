#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

SGenerateMaskParam_In GenerateParam(const std::vector<SCutTable>& cuts,
                                    const std::vector<unsigned short>& layer, int layerHeight,
                                    int layerWidth, int bitsPerPixel = 1)
{
    SGenerateMaskParam_In param{};
    param.cutTable = cuts.data();
    param.cutTableCount = static_cast<int>(cuts.size());
    param.thresholdLayer = layer.data();
    param.thresholdHeight = layerHeight;
    param.thresholdWidth = layerWidth;
    param.bitsPerPixel = bitsPerPixel;
    return param;
}

CMaskBlock BlockOf(int width, const Bytes& bytes)
{
    CMaskBlock block;
    block.Create(width, static_cast<int>(bytes.size()) / width);
    std::memcpy(block.MaskData(), bytes.data(), bytes.size());
    return block;
}

Bytes BytesOf(const CMaskBlock& block)
{
    return Bytes(block.MaskData_Const(), block.MaskData_Const() + block.MaskDataBytesCount());
}

SMergeMaskParam MergeParam(const std::vector<CMaskBlock>& blocks, Bytes& out, int lineBytes,
                           int bitsPerPixel = 1)
{
    return SMergeMaskParam{bitsPerPixel, blocks.data(), static_cast<int>(blocks.size()), 0, 1,
                           out.data(),   lineBytes};
}

}  // namespace

TEST(GenerateMaskData_XRes, FiresLevelsFromLowUpToButExcludingHigh)
{
    const std::vector<unsigned short> layer = {0, 100, 200, 300, 65535};
    struct Case
    {
        uint16_t low, high;
        Bytes expected;
    };
    const Case cases[] = {
        {100, 300, {0, 1, 1, 0, 0}},  // low fires, high does not
        {300, 300, {0, 0, 0, 0, 0}},  // empty range
        {400, 100, {0, 0, 0, 0, 0}},  // low above high
        {0, 65535, {1, 1, 1, 1, 0}},  // the full scale leaves only the top level
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.low << ", " << c.high << ")");
        const std::vector<SCutTable> cuts = {{c.high, c.low}};
        SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 5);
        CMaskBlock block;
        block.Create(5, 1);
        ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
        EXPECT_EQ(BytesOf(block), c.expected);
    }
}

// Every layer level is unique, so cutting one level at a time shows which sample each block pixel
// read: (rowStart + y) mod height, (columnStart + x) mod width.
TEST(GenerateMaskData_XRes, WrapsRowsAndColumnsOfTheLayer)
{
    constexpr int kHeight = 3;
    constexpr int kWidth = 4;
    std::vector<unsigned short> layer;
    for (unsigned short level = 0; level < kHeight * kWidth; ++level)
        layer.push_back(level);
    const int starts[][2] = {{0, 0}, {2, 3}, {5, 7}, {-1, -1}};  // {row, column}
    for (const auto& start : starts) {
        for (unsigned short level = 0; level < kHeight * kWidth; ++level) {
            SCOPED_TRACE(testing::Message()
                         << "start " << start[0] << "," << start[1] << " level " << level);
            const SCutTable onlyLevel = {static_cast<uint16_t>(level + 1), level};
            const std::vector<SCutTable> cuts(5, onlyLevel);
            SGenerateMaskParam_In param = GenerateParam(cuts, layer, kHeight, kWidth);
            param.thresholdRowStart = start[0];
            param.thresholdColumnStart = start[1];
            CMaskBlock block;
            block.Create(6, 5);  // wider and taller than the layer
            ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 6; ++x) {
                    const int row = ((start[0] + y) % kHeight + kHeight) % kHeight;
                    const int column = ((start[1] + x) % kWidth + kWidth) % kWidth;
                    const bool reads = row * kWidth + column == level;
                    EXPECT_EQ(block.MaskData_Const()[y * 6 + x], reads ? 1 : 0);
                }
            }
        }
    }
}

// The byte of a fired pixel by bits per pixel; other bytes are not written.
TEST(GenerateMaskData_XRes, WritesThePixelByteOnlyWhereFired)
{
    const std::vector<unsigned short> layer = {10, 20, 30};
    const std::vector<SCutTable> cuts = {{30, 20}};
    const unsigned char pixelBytes[] = {0x00, 0x01, 0x03};
    for (int bits = 0; bits <= 2; ++bits) {
        SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 3, bits);
        CMaskBlock block = BlockOf(3, {0xA0, 0xA0, 0xA0});
        ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
        EXPECT_EQ(BytesOf(block), (Bytes{0xA0, pixelBytes[bits], 0xA0})) << bits << " bits";
    }
}

// Blocks interleaved pixel by pixel from the top bit of each output row, every lineStep-th row
// from lineStart, ORed into what the output held.
TEST(MergeMaskData_YRes, InterleavesBlocksIntoEveryStepthRow)
{
    struct Case
    {
        const char* name;
        int bits, width, lineStart, lineStep, lineBytes;
        std::vector<Bytes> blocks;  // the rows of each block, one after the other
        Bytes before, after;
    };
    // clang-format off
    const Case cases[] = {
        {"two 1-bit blocks", 1, 4, 0, 1, 2, {{1, 0, 1, 0}, {0, 0, 0, 1}}, {0, 0}, {0x89, 0x00}},
        {"two 2-bit blocks", 2, 2, 0, 1, 2, {{3, 0}, {0, 3}}, {0, 0}, {0xC3, 0x00}},
        {"rows restart, set bits stay", 1, 3, 0, 1, 1, {{1, 0, 1, 1, 1, 1}}, {0x0F, 0x01}, {0xAF, 0xE1}},
        {"rows 1, 4, 7", 1, 8, 1, 3, 1, {Bytes(24, 1)}, Bytes(9, 0), {0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CMaskBlock> blocks;
        for (const Bytes& rows : c.blocks)
            blocks.push_back(BlockOf(c.width, rows));
        Bytes out = c.before;
        SMergeMaskParam param = MergeParam(blocks, out, c.lineBytes, c.bits);
        param.lineStart = c.lineStart;
        param.lineStep = c.lineStep;
        ASSERT_TRUE(Halftone_Helper::MergeMaskData_YRes(param));
        EXPECT_EQ(out, c.after);
    }
}

TEST(PixelKernels, RefuseRecordsTheyCannotReadSafely)
{
    LogCapture log;
    const std::vector<unsigned short> layer = {0, 1};
    const std::vector<SCutTable> cuts = {{1, 0}};
    CMaskBlock block;
    block.Create(2, 1);
    SGenerateMaskParam_In noPixelByte = GenerateParam(cuts, layer, 1, 2, 3);
    SGenerateMaskParam_In noColumns = GenerateParam(cuts, layer, 1, 0);
    EXPECT_FALSE(Halftone_Helper::GenerateMaskData_XRes(noPixelByte, block));
    EXPECT_FALSE(Halftone_Helper::GenerateMaskData_XRes(noColumns, block));

    std::vector<CMaskBlock> mixed = {BlockOf(2, {1, 1}), BlockOf(3, {1, 1, 1})};
    Bytes out(2, 0);
    EXPECT_FALSE(Halftone_Helper::MergeMaskData_YRes(MergeParam(mixed, out, 1)));
    mixed.pop_back();
    EXPECT_FALSE(Halftone_Helper::MergeMaskData_YRes(MergeParam(mixed, out, 1, 9)));
    EXPECT_EQ(log.Failures().size(), 4u);
    EXPECT_EQ(BytesOf(block), Bytes(2, 0));
    EXPECT_EQ(out, Bytes(2, 0));
}
