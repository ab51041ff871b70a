#include <Rv_Halftone/MaskBlock.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool AllZero(const CMaskBlock& block)
{
    const unsigned char* data = block.MaskData_Const();
    return std::all_of(data, data + block.MaskDataBytesCount(),
                       [](unsigned char b) { return b == 0; });
}

}  // namespace

// Every Create leaves zeroes, whether it takes new storage or reuses the old; ClearMaskData
// clears and keeps the size.
TEST(MaskBlock, CreateAndClearLeaveZeroes)
{
    struct Row
    {
        const char* what;
        int firstWidth, secondWidth;
    };
    const Row rows[] = {{"shrinks, keeps the storage", 512, 16},
                        {"same size again", 512, 512},
                        {"grows into new storage", 16, 512},
                        {"grows past a large block", 1 << 20, 3 << 20}};
    for (const Row& row : rows) {
        CMaskBlock block;
        ASSERT_TRUE(block.Create(row.firstWidth, 4));
        std::memset(block.MaskData(), 0xAB, static_cast<size_t>(block.MaskDataBytesCount()));
        ASSERT_TRUE(block.Create(row.secondWidth, 4));
        EXPECT_EQ(block.MaskDataBytesCount(), row.secondWidth * 4) << row.what;
        EXPECT_TRUE(AllZero(block)) << row.what;
        std::memset(block.MaskData(), 1, static_cast<size_t>(block.MaskDataBytesCount()));
        block.ClearMaskData();
        EXPECT_TRUE(AllZero(block)) << row.what;
    }
}

TEST(MaskBlock, CopiesAndAssignmentsOwnTheirBytes)
{
    auto* source = new CMaskBlock;
    source->Create(4, 2);
    std::memset(source->MaskData(), 7, 8);
    CMaskBlock copy(*source);
    CMaskBlock assigned;
    assigned = *source;
    source->ClearMaskData();
    EXPECT_EQ(copy.MaskData_Const()[7], 7);
    delete source;
    EXPECT_EQ(copy.MaskData_Const()[0], 7);
    EXPECT_EQ(assigned.MaskData_Const()[3], 7);
    EXPECT_EQ(assigned.Width(), 4);
    EXPECT_EQ(assigned.Height(), 2);
}

TEST(MaskBlock, EmptyAndRefusedSizes)
{
    CMaskBlock block;
    EXPECT_TRUE(block.Create(0, 0));
    EXPECT_EQ(block.MaskDataBytesCount(), 0);
    LogCapture log;
    EXPECT_FALSE(block.Create(-1, 4));
    EXPECT_FALSE(block.Create(INT_MAX, 2));  // more bytes than an int counts
    EXPECT_EQ(log.Failures().size(), 2u);
    EXPECT_EQ(block.MaskDataBytesCount(), 0);
}
