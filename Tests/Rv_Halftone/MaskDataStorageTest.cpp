#include <Rv_Halftone/MaskDataStorage.h>

#include "LogCapture.h"
#include "MaskParams.h"
#include "Peers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using Peer = CMaskDataStorage_Peer;

std::vector<int> Keys(const CMaskDataStorage& storage)
{
    std::vector<int> keys;
    for (const CMaskData_Base* mask : Peer::List(storage))
        keys.push_back(100 - mask->MaskParam_Input().smoothLevelPercent);
    return keys;
}

bool Kept(const CMaskDataStorage& storage, const CMaskData_Base* mask)
{
    const std::vector<CMaskData_Base*> list = Peer::List(storage);
    return std::find(list.begin(), list.end(), mask) != list.end();
}

}  // namespace

TEST(MaskDataStorage, ApplyWithoutCurrentMaskBuildsNothing)
{
    LogCapture log;
    CMaskDataStorage storage;
    EXPECT_EQ(storage.MaskData_Current_Get(), nullptr);
    EXPECT_EQ(storage.MaskData_Apply(SmallMaskParam()), nullptr);
    EXPECT_EQ(log.Failures().size(), 1u);
    EXPECT_TRUE(Peer::List(storage).empty());
}

TEST(MaskDataStorage, CurrentInitReusesAKeptMask)
{
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    CMaskData_Base* const first = storage.MaskData_Current_Get();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(SameBytes(first->MaskParam_Input(), SmallMaskParam(0)));
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(1)));
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    EXPECT_EQ(storage.MaskData_Current_Get(), first);
    EXPECT_EQ(Keys(storage), (std::vector<int>{1, 0}));  // moved to the back, not rebuilt
    EXPECT_EQ(Peer::List(storage).back(), first);
    EXPECT_EQ(storage.MaskData_Apply(SmallMaskParam(0)), first);  // Apply hands out the current
    EXPECT_EQ(Peer::List(storage).size(), 2u);
}

TEST(MaskDataStorage, SixthMaskEvictsTheLeastRecentlyUsed)
{
    CMaskDataStorage storage;
    for (int key = 0; key < 6; ++key)
        ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(key)));
    EXPECT_EQ(Keys(storage), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(storage.MaskData_Current_Get(), Peer::List(storage).back());
}

TEST(MaskDataStorage, ApplyRefusesAnotherStepButKeepsTheMask)
{
    SMaskParam twoPasses = SmallMaskParam();
    twoPasses.basePass = 2;
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam()));
    LogCapture log;
    EXPECT_EQ(storage.MaskData_Apply(twoPasses), nullptr);
    ASSERT_EQ(log.Failures().size(), 1u);
    EXPECT_NE(log.Failures()[0].scope.find("MaskData_Apply"), std::string::npos);
    ASSERT_EQ(Peer::List(storage).size(), 2u);
    CMaskData_Base* const kept = Peer::List(storage).back();
    EXPECT_NE(kept->StepHeight_IncludeRes(),
              storage.MaskData_Current_Get()->StepHeight_IncludeRes());

    ASSERT_TRUE(storage.MaskData_Current_Init(twoPasses));
    EXPECT_EQ(storage.MaskData_Current_Get(), kept);
    EXPECT_EQ(Peer::List(storage).size(), 2u);
}

// Keys are the record's bytes: equal values with other bits are other records.
TEST(MaskDataStorage, KeysCompareEveryByte)
{
    SMaskParam positiveZero = SmallMaskParam();
    SMaskParam negativeZero = positiveZero;
    negativeZero.featherPercent = std::copysign(0.0f, -1.0f);
    SMaskParam lessOne = SmallMaskParam();
    SMaskParam lessTwo = lessOne;
    lessTwo.lessMaskPosition = 2;
    const struct
    {
        SMaskParam a, b;
    } cases[] = {{positiveZero, negativeZero}, {lessOne, lessTwo}};
    for (const auto& c : cases) {
        CMaskDataStorage storage;
        ASSERT_TRUE(storage.MaskData_Current_Init(c.a));
        CMaskData_Base* const other = storage.MaskData_Apply(c.b);
        ASSERT_NE(other, nullptr);
        EXPECT_NE(other, storage.MaskData_Current_Get());
        EXPECT_EQ(Peer::List(storage).size(), 2u);
        EXPECT_EQ(storage.MaskData_Apply(c.a), storage.MaskData_Current_Get());
    }
}

TEST(MaskDataStorage, UnbuildableRecordLeavesTheListAlone)
{
    SMaskParam bad = SmallMaskParam(1);
    bad.colorTimes = 0;
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    LogCapture log;
    EXPECT_EQ(storage.MaskData_Apply(bad), nullptr);
    ASSERT_GE(log.Failures().size(), 3u);  // the mask's, the factory's and Apply's
    EXPECT_NE(log.Failures().back().scope.find("MaskData_Apply"), std::string::npos);
    EXPECT_EQ(Keys(storage), std::vector<int>{0});

    log.Clear();
    EXPECT_FALSE(storage.MaskData_Current_Init(bad));
    EXPECT_NE(log.Failures().back().scope.find("MaskData_Current_Init"), std::string::npos);
    EXPECT_EQ(storage.MaskData_Current_Get(), nullptr);
    EXPECT_EQ(Keys(storage), std::vector<int>{0});
}

// The current mask is never evicted, however many other masks Apply brings in; once it is no
// longer current it ages out like any other.
TEST(MaskDataStorage, CurrentMaskSurvivesAnyNumberOfApplies)
{
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    CMaskData_Base* const current = storage.MaskData_Current_Get();
    for (int key = 1; key <= 12; ++key) {
        ASSERT_NE(storage.MaskData_Apply(SmallMaskParam(key)), nullptr);
        EXPECT_LE(Peer::List(storage).size(), 5u);
        EXPECT_EQ(storage.MaskData_Current_Get(), current);
        EXPECT_TRUE(Kept(storage, current));
    }
    EXPECT_TRUE(SameBytes(current->MaskParam_Input(), SmallMaskParam(0)));
    EXPECT_EQ(Keys(storage), (std::vector<int>{0, 9, 10, 11, 12}));

    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(12)));
    ASSERT_NE(storage.MaskData_Apply(SmallMaskParam(13)), nullptr);
    EXPECT_EQ(Keys(storage), (std::vector<int>{9, 10, 11, 12, 13}));
}
