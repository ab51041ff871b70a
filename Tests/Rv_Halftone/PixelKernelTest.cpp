#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

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

CMaskBlock BlockOf(int width, const std::vector<unsigned char>& bytes)
{
    CMaskBlock block;
    block.Create(width, static_cast<int>(bytes.size()) / width);
    std::memcpy(block.MaskData(), bytes.data(), bytes.size());
    return block;
}

SMergeMaskParam MergeParam(const std::vector<CMaskBlock>& blocks, std::vector<unsigned char>& out,
                           int lineBytes, int bitsPerPixel = 1)
{
    SMergeMaskParam param{};
    param.bitsPerPixel = bitsPerPixel;
    param.maskBlocks = blocks.data();
    param.maskBlockCount = static_cast<int>(blocks.size());
    param.lineStart = 0;
    param.lineStep = 1;
    param.outBuffer = out.data();
    param.maskLineBytes = lineBytes;
    return param;
}

}  // namespace

TEST(GenerateMaskData_XRes, FiresLevelsFromLowUpToButExcludingHigh)
{
    const std::vector<unsigned short> layer = {0, 100, 200, 300, 65535};
    struct Case
    {
        unsigned short low, high;
        std::vector<unsigned char> expected;
    };
    const Case cases[] = {
        {100, 300, {0, 1, 1, 0, 0}},    // low fires, high does not
        {300, 300, {0, 0, 0, 0, 0}},    // empty range
        {400, 100, {0, 0, 0, 0, 0}},    // low above high
        {0, 65535, {1, 1, 1, 1, 0}},    // the full scale leaves only the top level
        {300, 65535, {0, 0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.low << ", " << c.high << ")");
        const std::vector<SCutTable> cuts = {{c.high, c.low}};
        SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 5);
        CMaskBlock block;
        block.Create(5, 1);
        ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
        EXPECT_EQ(std::vector<unsigned char>(block.MaskData_Const(), block.MaskData_Const() + 5),
                  c.expected);
    }
}

// Each layer level is unique, so cutting one level at a time shows which layer sample every block
// pixel read: (rowStart + y) mod height, (columnStart + x) mod width.
TEST(GenerateMaskData_XRes, WrapsRowsAndColumnsOfTheLayer)
{
    constexpr int kLayerHeight = 3;
    constexpr int kLayerWidth = 4;
    std::vector<unsigned short> layer;
    for (unsigned short level = 0; level < kLayerHeight * kLayerWidth; ++level)
        layer.push_back(level);
    const int starts[][2] = {{0, 0}, {2, 3}, {5, 7}, {-1, -1}};  // {row, column}
    for (const auto& start : starts) {
        SCOPED_TRACE(testing::Message() << "start " << start[0] << ", " << start[1]);
        for (unsigned short level = 0; level < layer.size(); ++level) {
            const SCutTable onlyLevel = {static_cast<uint16_t>(level + 1), level};
            const std::vector<SCutTable> cuts(5, onlyLevel);
            SGenerateMaskParam_In param = GenerateParam(cuts, layer, kLayerHeight, kLayerWidth);
            param.thresholdRowStart = start[0];
            param.thresholdColumnStart = start[1];
            CMaskBlock block;
            block.Create(6, 5);  // wider and taller than the layer
            ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 6; ++x) {
                    const int row = ((start[0] + y) % kLayerHeight + kLayerHeight) % kLayerHeight;
                    const int column = ((start[1] + x) % kLayerWidth + kLayerWidth) % kLayerWidth;
                    const bool reads = row * kLayerWidth + column == level;  // the sample's level
                    EXPECT_EQ(block.MaskData_Const()[y * 6 + x], reads ? 1 : 0)
                        << "level " << level << " pixel " << y << "," << x;
                }
            }
        }
    }
}

TEST(GenerateMaskData_XRes, WritesThePixelByteOnlyWhereFired)
{
    const std::vector<unsigned short> layer = {10, 20, 30};
    const std::vector<SCutTable> cuts = {{30, 20}};
    const unsigned char pixelBytes[] = {0x00, 0x01, 0x03};
    for (int bits = 0; bits <= 2; ++bits) {
        SCOPED_TRACE(bits);
        SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 3, bits);
        CMaskBlock block = BlockOf(3, {0xA0, 0xA0, 0xA0});
        ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, block));
        EXPECT_EQ(block.MaskData_Const()[0], 0xA0);
        EXPECT_EQ(block.MaskData_Const()[1], pixelBytes[bits]);
        EXPECT_EQ(block.MaskData_Const()[2], 0xA0);
    }
}

TEST(PixelKernels, BlockOfHeightZeroChangesNothing)
{
    const std::vector<unsigned short> layer = {0};
    const std::vector<SCutTable> cuts = {{1, 0}};
    SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 1);
    CMaskBlock empty;
    empty.Create(4, 0);
    EXPECT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, empty));

    std::vector<CMaskBlock> blocks(2);
    blocks[0].Create(4, 0);
    blocks[1].Create(4, 0);
    std::vector<unsigned char> out(4, 0x5A);
    EXPECT_TRUE(Halftone_Helper::MergeMaskData_YRes(MergeParam(blocks, out, 1)));
    EXPECT_EQ(out, std::vector<unsigned char>(4, 0x5A));
}

TEST(MergeMaskData_YRes, InterleavesBlocksPixelByPixel)
{
    struct Case
    {
        const char* name;
        int bits;
        int width;
        std::vector<std::vector<unsigned char>> blocks;  // one row each
        std::vector<unsigned char> expected;
    };
    const Case cases[] = {
        {"two 1-bit blocks", 1, 4, {{1, 0, 1, 0}, {0, 0, 0, 1}}, {0x89, 0x00}},
        {"2-bit, one block", 2, 5, {{3, 0, 3, 3, 0}}, {0xCF, 0x00}},
        {"2-bit, two blocks", 2, 2, {{3, 0}, {0, 3}}, {0xC3, 0x00}},
        {"1-bit across a byte", 1, 10, {{1, 1, 1, 1, 1, 1, 1, 0, 1, 1}}, {0xFE, 0xC0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CMaskBlock> blocks;
        for (const auto& row : c.blocks)
            blocks.push_back(BlockOf(c.width, row));
        std::vector<unsigned char> out(2, 0);
        ASSERT_TRUE(Halftone_Helper::MergeMaskData_YRes(MergeParam(blocks, out, 2, c.bits)));
        EXPECT_EQ(out, c.expected);
    }
}

TEST(MergeMaskData_YRes, WritesEveryStepthRowFromLineStart)
{
    const std::vector<CMaskBlock> blocks = {BlockOf(8, std::vector<unsigned char>(24, 1))};
    std::vector<unsigned char> out(9 * 2, 0);
    SMergeMaskParam param = MergeParam(blocks, out, 2);
    param.lineStart = 1;
    param.lineStep = 3;
    ASSERT_TRUE(Halftone_Helper::MergeMaskData_YRes(param));
    for (int row = 0; row < 9; ++row) {
        const bool written = row == 1 || row == 4 || row == 7;
        EXPECT_EQ(out[static_cast<size_t>(row * 2)], written ? 0xFF : 0x00) << row;
        EXPECT_EQ(out[static_cast<size_t>(row * 2 + 1)], 0x00) << row;
    }
}

TEST(MergeMaskData_YRes, KeepsBitsAlreadySetAndRestartsEachRow)
{
    // Three pixels a row: each row starts at the top bit again, the low bits stay as they were.
    const std::vector<CMaskBlock> blocks = {BlockOf(3, {1, 0, 1, 1, 1, 1})};
    std::vector<unsigned char> out = {0x0F, 0x01};
    ASSERT_TRUE(Halftone_Helper::MergeMaskData_YRes(MergeParam(blocks, out, 1)));
    EXPECT_EQ(out[0], 0xAF);
    EXPECT_EQ(out[1], 0xE1);
}

// Two X passes as the generator builds them: block k reads the layer from column width x k / 2,
// and the merged row alternates between the blocks.
TEST(PixelKernels, CutAndMergeSplitAThresholdRowIntoTwoPasses)
{
    const std::vector<unsigned short> layer = {0, 100, 200, 300, 400, 500, 600, 700};
    const std::vector<SCutTable> cuts = {{500, 100}};
    std::vector<CMaskBlock> blocks(2);
    for (int k = 0; k < 2; ++k) {
        blocks[static_cast<size_t>(k)].Create(4, 1);
        SGenerateMaskParam_In param = GenerateParam(cuts, layer, 1, 8);
        param.thresholdColumnStart = 8 * k / 2;
        ASSERT_TRUE(Halftone_Helper::GenerateMaskData_XRes(param, blocks[static_cast<size_t>(k)]));
    }
    std::vector<unsigned char> out(1, 0);
    ASSERT_TRUE(Halftone_Helper::MergeMaskData_YRes(MergeParam(blocks, out, 1)));
    // Block 0 fires levels 100-300 (columns 1-3), block 1 level 400 (its column 0).
    EXPECT_EQ(out[0], 0x6A);  // 0 1 1 0 1 0 1 0
}

TEST(PixelKernels, RefuseRecordsTheyCannotReadSafely)
{
    LogCapture log;
    const std::vector<unsigned short> layer = {0, 1};
    const std::vector<SCutTable> cuts = {{1, 0}};
    CMaskBlock block;
    block.Create(2, 1);
    SGenerateMaskParam_In noPixelByte = GenerateParam(cuts, layer, 1, 2, 3);
    EXPECT_FALSE(Halftone_Helper::GenerateMaskData_XRes(noPixelByte, block));
    SGenerateMaskParam_In noLayer = GenerateParam(cuts, layer, 1, 0);
    EXPECT_FALSE(Halftone_Helper::GenerateMaskData_XRes(noLayer, block));

    std::vector<CMaskBlock> mixed(2);
    mixed[0].Create(2, 1);
    mixed[1].Create(3, 1);
    std::vector<unsigned char> out(2, 0);
    EXPECT_FALSE(Halftone_Helper::MergeMaskData_YRes(MergeParam(mixed, out, 1)));
    std::vector<CMaskBlock> same(1);
    same[0].Create(2, 1);
    EXPECT_FALSE(Halftone_Helper::MergeMaskData_YRes(MergeParam(same, out, 1, 9)));
    EXPECT_EQ(log.Failures().size(), 4u);
    EXPECT_EQ(out, std::vector<unsigned char>(2, 0));
}
