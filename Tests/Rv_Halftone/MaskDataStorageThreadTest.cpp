// Several host threads asking one storage at once.
#include <Rv_Halftone/MaskDataStorage.h>

#include "MaskDataStoragePeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

TEST(MaskDataStorageThreaded, HostThreadsShareOneStorage)
{
    CMaskDataStorage storage;
    ASSERT_TRUE(storage.MaskData_Current_Init(SmallMaskParam(0)));
    CMaskData_Base* const current = storage.MaskData_Current_Get();

    // Seven keys for five places: the threads keep evicting and rebuilding each other's masks,
    // while re-initialising the current record keeps the same current mask.
    const int threadCount = 4;
    const int rounds = 10;
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                if (i % 4 == 0) {
                    if (!storage.MaskData_Current_Init(SmallMaskParam(0)))
                        ++faults;
                } else if (storage.MaskData_Apply(SmallMaskParam(1 + (t * 3 + i) % 6)) == nullptr) {
                    ++faults;
                }
                // Only the current mask is safe to read while others may evict.
                CMaskData_Base* const seen = storage.MaskData_Current_Get();
                if (seen != current || !SameBytes(seen->MaskParam_Input(), SmallMaskParam(0)))
                    ++faults;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(faults.load(), 0);
    const std::vector<CMaskData_Base*> list = CMaskDataStorage_Peer::List(storage);
    EXPECT_EQ(list.size(), 5u);
    EXPECT_NE(std::find(list.begin(), list.end(), current), list.end());
    for (size_t a = 0; a < list.size(); ++a)
        for (size_t b = a + 1; b < list.size(); ++b)
            EXPECT_FALSE(SameBytes(list[a]->MaskParam_Input(), list[b]->MaskParam_Input()));
}
