// The flat interface as a host uses it.
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

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

// Each geometry function gives its own quantity: a mode where all five differ, and the C
// extension's real step and step tables (X passes 80 rows apart, Y passes one step of 160).
TEST(FlatInterface, GeometryOfAModeWithResolution)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 640;
    p.xResPass = 2;
    p.yResPass = 2;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    Container mask(p);
    ASSERT_TRUE(mask.Created());
    EXPECT_EQ(halfton_mask_height(mask.Handle()), 1280);
    EXPECT_EQ(halfton_mask_width(mask.Handle()), 1088);
    EXPECT_EQ(halfton_mask_line_bytes(mask.Handle()), 136);
    EXPECT_EQ(halfton_mask_step_height(mask.Handle()), 320);
    EXPECT_EQ(halfton_mask_lead_blank_height(mask.Handle()), 1200);
    EXPECT_EQ(rv_halftone_mask_real_step_height(mask.Handle()), 80);
    int steps[3] = {-1, -1, -1};
    EXPECT_EQ(rv_halftone_mask_x_steps(mask.Handle(), nullptr, 0), 2);
    EXPECT_EQ(rv_halftone_mask_x_steps(mask.Handle(), steps, 3), 2);
    EXPECT_EQ(steps[0], 0);
    EXPECT_EQ(steps[1], 80);
    EXPECT_EQ(steps[2], -1) << "nothing past the table is written";
    EXPECT_EQ(rv_halftone_mask_y_steps(mask.Handle(), steps, 1), 2);
    EXPECT_EQ(steps[0], 0);
    EXPECT_EQ(steps[1], 80) << "a short room takes only what fits";
    EXPECT_EQ(rv_halftone_mask_y_steps(mask.Handle(), steps, 2), 2);
    EXPECT_EQ(steps[1], 160);
}

// The counter is advanced before use and wraps after the last position; colours lie one colour's
// bytes apart. The default mode has 4 positions of 544 x 136 bytes, 2 colours.
TEST(FlatInterface, CounterAdvancesBeforeUseAndWraps)
{
    Container mask(DefaultMaskParam());
    SMaskParam onePositionRecord = DefaultMaskParam();
    onePositionRecord.lessMaskPosition = 1;
    Container onePosition(onePositionRecord);
    ASSERT_TRUE(mask.Created() && onePosition.Created());
    const struct
    {
        const Container* container;
        int colour, before, after;
        long offset;  // from colour 0, position 0
    } steps[] = {{&mask, 0, -1, 0, 0},
                 {&mask, 0, 0, 1, 73984},
                 {&mask, 0, 2, 3, 3 * 73984},
                 {&mask, 0, 3, 0, 0},
                 {&mask, 0, -7, 0, 0},
                 {&mask, 0, INT_MAX, 0, 0},
                 {&mask, 1, 0, 1, 295936 + 73984},
                 {&onePosition, 0, 0, 0, 0},
                 {&onePosition, 1, 5, 0, 73984}};
    for (const auto& s : steps) {
        int first = -1;
        const unsigned char* origin = halfton_mask_data(s.container->Handle(), 0, first);
        int counter = s.before;
        const unsigned char* data = halfton_mask_data(s.container->Handle(), s.colour, counter);
        EXPECT_EQ(counter, s.after) << s.colour << " " << s.before;
        EXPECT_EQ(data - origin, s.offset) << s.colour << " " << s.before;
    }
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
    EXPECT_EQ(rv_halftone_mask_real_step_height(nullptr), 0);
    EXPECT_EQ(rv_halftone_mask_x_steps(nullptr, nullptr, 0), 0);
    EXPECT_EQ(rv_halftone_mask_y_steps(nullptr, nullptr, 0), 0);
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
