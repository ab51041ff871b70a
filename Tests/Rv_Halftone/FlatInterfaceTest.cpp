// The flat interface as a host uses it.
#include <Rv_Halftone/Rv_Halftone.h>

#include "LogCapture.h"
#include "MaskParams.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Owns one container for a test.
class Container
{
public:
    explicit Container(const SMaskParam& param)
    {
        const SMaskParam_Test record = ToTestParam(param);
        m_created = halfton_mask_container_create(record, m_handle);
    }
    ~Container() { halfton_mask_container_delete(m_handle); }
    bool Created() const { return m_created; }
    void* Handle() const { return m_handle; }

private:
    void* m_handle = nullptr;
    bool m_created = false;
};

}  // namespace

TEST(FlatInterface, GeometryOfTheDefaultMode)
{
    Container mask(DefaultMaskParam());
    ASSERT_TRUE(mask.Created());
    EXPECT_EQ(halfton_mask_height(mask.Handle()), 544);
    EXPECT_EQ(halfton_mask_width(mask.Handle()), 544);
    EXPECT_EQ(halfton_mask_line_bytes(mask.Handle()), 136);
    EXPECT_EQ(halfton_mask_step_height(mask.Handle()), 136);
    EXPECT_EQ(halfton_mask_lead_blank_height(mask.Handle()), 408);
}

TEST(FlatInterface, GeometryWithResolutionAndFeather)
{
    const struct
    {
        int n, p, x, y, fm, ft;
        float f;
        int height, width, lineBytes, step, lead;
    } cases[] = {
        {640, 4, 2, 2, 0, 0, 0.f, 1280, 1088, 136, 320, 1200},
        {544, 4, 1, 1, 1, 1, 50.f, 544, 544, 68, 126, 418},
        {544, 4, 1, 1, 1, 2, 50.f, 544, 544, 68, 84, 460},
        {545, 4, 1, 1, 0, 0, 0.f, 545, 544, 68, 136, 409},
    };
    for (const auto& c : cases) {
        SMaskParam p = DefaultMaskParam();
        p.nozzleCount = c.n;
        p.basePass = c.p;
        p.xResPass = c.x;
        p.yResPass = c.y;
        p.featherMode = c.fm;
        p.featherNozzleType = c.ft;
        p.featherPercent = c.f;
        p.colorCount = 1;
        p.bitsPerPixel = 1;
        Container mask(p);
        ASSERT_TRUE(mask.Created());
        EXPECT_EQ(halfton_mask_height(mask.Handle()), c.height);
        EXPECT_EQ(halfton_mask_width(mask.Handle()), c.width);
        EXPECT_EQ(halfton_mask_line_bytes(mask.Handle()), c.lineBytes);
        EXPECT_EQ(halfton_mask_step_height(mask.Handle()), c.step);
        EXPECT_EQ(halfton_mask_lead_blank_height(mask.Handle()), c.lead);
    }
}

TEST(FlatInterface, CounterAdvancesBeforeUseAndWraps)
{
    Container mask(DefaultMaskParam());  // 4 mask positions
    ASSERT_TRUE(mask.Created());
    const int onePosition = 544 * 136;
    int counter = -1;
    const unsigned char* first = halfton_mask_data(mask.Handle(), 0, counter);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(counter, 0);
    const struct
    {
        int before, after;
    } steps[] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {-7, 0}, {INT_MAX, 0}};
    for (const auto& s : steps) {
        counter = s.before;
        const unsigned char* data = halfton_mask_data(mask.Handle(), 0, counter);
        EXPECT_EQ(counter, s.after) << s.before;
        EXPECT_EQ(data - first, static_cast<long>(s.after) * onePosition) << s.before;
    }
}

TEST(FlatInterface, ColoursLieOneColourApart)
{
    Container mask(DefaultMaskParam());
    ASSERT_TRUE(mask.Created());
    int counter0 = 1, counter1 = 1;
    const unsigned char* colour0 = halfton_mask_data(mask.Handle(), 0, counter0);
    const unsigned char* colour1 = halfton_mask_data(mask.Handle(), 1, counter1);
    EXPECT_EQ(colour1 - colour0, 295936);
}

TEST(FlatInterface, BadColourOrHandleGivesNullAndKeepsTheCounter)
{
    Container mask(DefaultMaskParam());
    ASSERT_TRUE(mask.Created());
    for (int colour : {2, 3, -1, INT_MIN}) {
        int counter = 5;
        EXPECT_EQ(halfton_mask_data(mask.Handle(), colour, counter), nullptr);
        EXPECT_EQ(counter, 5);
    }
    int counter = 0;
    EXPECT_EQ(halfton_mask_data(nullptr, 0, counter), nullptr);
    EXPECT_EQ(halfton_mask_height(nullptr), 0);
    EXPECT_EQ(halfton_mask_width(nullptr), 0);
    EXPECT_EQ(halfton_mask_line_bytes(nullptr), 0);
    EXPECT_EQ(halfton_mask_step_height(nullptr), 0);
    EXPECT_EQ(halfton_mask_lead_blank_height(nullptr), 0);
}

TEST(FlatInterface, OnePositionAlwaysGivesPositionZero)
{
    SMaskParam p = DefaultMaskParam();
    p.lessMaskPosition = 1;
    p.colorCount = 1;
    Container mask(p);
    ASSERT_TRUE(mask.Created());
    int counter = 0;
    const unsigned char* a = halfton_mask_data(mask.Handle(), 0, counter);
    EXPECT_EQ(counter, 0);
    const unsigned char* b = halfton_mask_data(mask.Handle(), 0, counter);
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(a, b);
}

TEST(FlatInterface, RefusedRecordLeavesHandleAndWritesAChain)
{
    SMaskParam p = DefaultMaskParam();
    p.featherMode = 7;
    void* handle = reinterpret_cast<void*>(0x1234);
    LogCapture log;
    const SMaskParam_Test record = ToTestParam(p);
    EXPECT_FALSE(halfton_mask_container_create(record, handle));
    EXPECT_EQ(handle, reinterpret_cast<void*>(0x1234));
    const auto failures = log.Failures();
    ASSERT_EQ(failures.size(), 3u);  // profile dispatcher, Create, the flat function
    EXPECT_NE(failures[0].scope.find("InitNoneRes"), std::string::npos);
    EXPECT_NE(failures[1].scope.find("CMaskData_Base::Create"), std::string::npos);
    EXPECT_NE(failures[2].scope.find("halfton_mask_container_create"), std::string::npos);
    for (const auto& failure : failures)
        EXPECT_EQ(failure.severity, 2);
}

TEST(FlatInterface, DeleteIsSafeOnNullAndTwice)
{
    void* handle = nullptr;
    EXPECT_TRUE(halfton_mask_container_delete(handle));
    EXPECT_EQ(handle, nullptr);
    const SMaskParam_Test record = ToTestParam(DefaultMaskParam());
    ASSERT_TRUE(halfton_mask_container_create(record, handle));
    EXPECT_TRUE(halfton_mask_container_delete(handle));
    EXPECT_EQ(handle, nullptr);
    EXPECT_TRUE(halfton_mask_container_delete(handle));
}

TEST(FlatInterface, MaskLargerThanAnIntCanAddressIsRefused)
{
    SMaskParam p = DefaultMaskParam();
    p.colorCount = 7300;  // 7300 colours x 295,936 bytes exceed INT_MAX
    void* handle = nullptr;
    LogCapture log;
    const SMaskParam_Test record = ToTestParam(p);
    EXPECT_FALSE(halfton_mask_container_create(record, handle));
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(log.Failures().size(), 2u);
}
