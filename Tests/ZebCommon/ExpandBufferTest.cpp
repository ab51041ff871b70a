#include <ZebCommon/ExpandBuffer.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(ExpandBuffer, GrowKeepsValidBytesWhenAskedTo)
{
    ExpandBuffer buffer;
    ASSERT_TRUE(buffer.buffer_valid_len(4, true, false));
    std::memcpy(buffer.m_buffer, "abcd", 4);
    ASSERT_TRUE(buffer.buffer_valid_len(1000, true, false));
    EXPECT_EQ(buffer.m_validLen, 1000);
    EXPECT_EQ(std::memcmp(buffer.m_buffer, "abcd", 4), 0);
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
