// Eight host threads churn one pass mask storage: every thread applies records of the current
// mask's step in turn, more than the storage keeps, so that masks are built and evicted all the
// time, and now and then makes the current record current again or asks for a refused one. No
// call may crash or deadlock (CTest's timeout ends a hung run), a record that can be built is never
// refused, and afterwards the storage keeps at most five masks, no record twice, the current one
// among them, equal byte for byte to the same record built alone.
#include <Rv_Halftone/MaskDataFactory.h>
#include <Rv_Halftone/MaskDataStorage.h>

#include "MaskParams.h"
#include "Peers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kOperations = 40;  // per thread
constexpr int kRecords = 9;      // of one step: more than the five the storage keeps

bool SameMaskBytes(const CMaskData_Base& a, const CMaskData_Base& b)
{
    const CMaskBlock& x = CMaskData_Base_Peer::MaskBlock(a);
    const CMaskBlock& y = CMaskData_Base_Peer::MaskBlock(b);
    return x.MaskDataBytesCount() == y.MaskDataBytesCount() &&
           std::equal(x.MaskData_Const(), x.MaskData_Const() + x.MaskDataBytesCount(),
                      y.MaskData_Const());
}

}  // namespace

TEST(StorageStress, ThreadsChurningOneStorageKeepItWhole)
{
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    SMaskParam refused = SmallMaskParam(0);
    refused.bitsPerPixel = 3;
    std::atomic<int> wronglyRefused{0};
    // The threads go round by round, so that all of them ask for the same record at once.
    std::atomic<int> arrived{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kOperations; ++i) {
                for (++arrived; arrived < kThreads * (i + 1);)
                    std::this_thread::yield();
                // Masks handed out may be evicted by any other thread at once: none is read.
                if (i % 13 == 7)
                    storage.MaskData_Current_Init(refused);
                else if (i % 5 == 4)
                    wronglyRefused += !storage.MaskData_Current_Init(SmallMaskParam(0));
                else if (storage.MaskData_Current_Get() != nullptr)
                    storage.MaskData_Apply(SmallMaskParam(i % kRecords));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wronglyRefused, 0);

    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    const std::vector<CMaskData_Base*> kept = CMaskDataStorage_Peer::List(storage);
    EXPECT_LE(kept.size(), 5u);
    EXPECT_EQ(kept.back(), storage.MaskData_Current_Get());
    // Two threads asking for the same record at once get one mask: the storage keeps no record
    // twice.
    for (size_t a = 0; a < kept.size(); ++a)
        for (size_t b = a + 1; b < kept.size(); ++b)
            EXPECT_FALSE(SameBytes(kept[a]->MaskParam_Input(), kept[b]->MaskParam_Input()));
    const std::unique_ptr<CMaskData_Base> alone(
        CMaskDataFactory::MaskData_Create(SmallMaskParam(0)));
    ASSERT_NE(alone, nullptr);
    EXPECT_TRUE(SameMaskBytes(*storage.MaskData_Current_Get(), *alone));
}
