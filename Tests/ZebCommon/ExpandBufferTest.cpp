#include <ZebCommon/ExpandBuffer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

// New storage holds the preserved bytes, then zeroes.
TEST(ExpandBuffer, GrowKeepsValidBytesWhenAskedTo)
{
    for (const bool preserve : {true, false}) {
        ExpandBuffer buffer;
        ASSERT_TRUE(buffer.buffer_valid_len(4, true, false));
        std::memcpy(buffer.m_buffer, "abcd", 4);
        ASSERT_TRUE(buffer.buffer_valid_len(1000, preserve, false));
        EXPECT_EQ(buffer.m_validLen, 1000);
        const int kept = preserve ? 4 : 0;
        EXPECT_EQ(std::memcmp(buffer.m_buffer, "abcd", static_cast<size_t>(kept)), 0);
        EXPECT_EQ(std::count(buffer.m_buffer + kept, buffer.m_buffer + 1000, 0), 1000 - kept)
            << preserve;
    }
}

TEST(ExpandBuffer, ShrinkWithoutShrinkFlagKeepsStorage)
{
    ExpandBuffer buffer;
    buffer.buffer_valid_len(100, true, false);
    unsigned char* storage = buffer.m_buffer;
    buffer.buffer_valid_len(10, true, false);
    EXPECT_EQ(buffer.m_buffer, storage);
    EXPECT_EQ(buffer.ValidLen(), 10);
    EXPECT_EQ(buffer.Capacity(), 100);
    buffer.buffer_valid_len(5, true, true);
    EXPECT_EQ(buffer.Capacity(), 5);
}

TEST(ExpandBuffer, NegativeLengthIsRefusedAndChangesNothing)
{
    ExpandBuffer buffer;
    buffer.buffer_valid_len(8, true, false);
    EXPECT_FALSE(buffer.buffer_valid_len(-1, true, false));
    EXPECT_EQ(buffer.ValidLen(), 8);
}

TEST(ExpandBuffer, CopiesOwnTheirBytes)
{
    ExpandBuffer source;
    source.buffer_valid_len(3, true, false);
    std::memcpy(source.m_buffer, "xyz", 3);
    ExpandBuffer copy(source);
    ExpandBuffer assigned;
    assigned = source;
    std::memset(source.m_buffer, 0, 3);
    EXPECT_NE(copy.m_buffer, source.m_buffer);
    EXPECT_EQ(std::memcmp(copy.m_buffer, "xyz", 3), 0);
    EXPECT_EQ(std::memcmp(assigned.m_buffer, "xyz", 3), 0);
    EXPECT_EQ(copy.ValidLen(), 3);
}
