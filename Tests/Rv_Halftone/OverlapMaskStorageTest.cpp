// The overlap mask cache: one build per distinct record, nothing kept from a failed build, and
// host threads asking at once.
#include <Rv_Halftone/OverlapMaskStorage.h>

#include "LogCapture.h"
#include "Peers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace {

SOverlapMaskParam Param(int height, float featherPercent, int inkPercent, int bitsPerPixel = 1,
                        int featherEnable = 1)
{
    return SOverlapMaskParam{height, featherEnable, featherPercent, bitsPerPixel, inkPercent};
}

bool SameBytes(const OverlapMask& a, const OverlapMask& b)
{
    return a.MaskBytes_OneColor() == b.MaskBytes_OneColor() &&
           std::memcmp(a.MaskData(), b.MaskData(), static_cast<size_t>(a.MaskBytes_OneColor())) ==
               0;
}

// Host threads ask for a few records at once, each in its own order: every record is built once,
// every thread gets the same mask for it, and the masks equal ones built alone; a record that
// cannot be built (a NaN percent, which no kept record would ever equal) adds nothing. The fuzz
// target (Tests/fuzz/OverlapStorageFuzz) checks single-threaded reuse and refusals in depth.
TEST(OverlapMaskStorage, ThreadsAskingAtOnceShareOneMaskPerRecord)
{
    const std::vector<SOverlapMaskParam> records = {
        Param(30, 50.0f, 70, 1), Param(24, 80.0f, 100, 2), Param(16, 0.0f, 40, 1, 0)};
    const SOverlapMaskParam refused = Param(12, std::numeric_limits<float>::quiet_NaN(), 80);
    constexpr int kThreads = 4;
    constexpr int kRounds = 3;
    LogCapture log;
    OverlapMaskStorage storage;
    // got[t][round * records + r]: what thread t was given for record r in that round.
    std::vector<std::vector<const OverlapMask*>> got(
        kThreads, std::vector<const OverlapMask*>(kRounds * records.size(), nullptr));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                for (size_t i = 0; i < records.size(); ++i) {
                    const size_t r = (i + t) % records.size();
                    const OverlapMask* mask = nullptr;
                    if (storage.OverlapMask_Create(records[r], mask))
                        got[t][round * records.size() + r] = mask;
                    storage.OverlapMask_Create(refused, mask);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(OverlapMaskStorage_Peer::Count(storage), records.size());
    EXPECT_EQ(log.CountMessage("Start"), 2u);  // the unfeathered record renders no band
    for (size_t r = 0; r < records.size(); ++r) {
        const OverlapMask* const mask = got[0][r];
        ASSERT_NE(mask, nullptr) << "record " << r;
        for (int t = 0; t < kThreads; ++t)
            for (int round = 0; round < kRounds; ++round)
                EXPECT_EQ(got[t][round * records.size() + r], mask)
                    << "thread " << t << " round " << round << " record " << r;
        EXPECT_TRUE(mask->OverlapMaskParam() == records[r]);
        OverlapMask alone;
        ASSERT_TRUE(alone.Create(records[r]));
        EXPECT_TRUE(SameBytes(*mask, alone)) << "record " << r;
    }
}


// A record that differs from a kept one in any one field gets its own mask, the one built alone
// from it, never the kept one.
TEST(OverlapMaskStorage, RecordsDifferingInOneFieldGetTheirOwnMasks)
{
    const SOverlapMaskParam kept = Param(30, 50.0f, 70, 1);
    const struct
    {
        const char* field;
        SOverlapMaskParam record;
    } rows[] = {
        {"overlapHeight", Param(31, 50.0f, 70, 1)},  {"featherEnable", Param(30, 50.0f, 70, 1, 0)},
        {"featherPercent", Param(30, 60.0f, 70, 1)}, {"bitsPerPixel", Param(30, 50.0f, 70, 2)},
        {"inkPercent", Param(30, 50.0f, 71, 1)},
    };
    OverlapMaskStorage storage;
    const OverlapMask* first = nullptr;
    ASSERT_TRUE(storage.OverlapMask_Create(kept, first));
    for (const auto& row : rows) {
        const OverlapMask* mask = nullptr;
        ASSERT_TRUE(storage.OverlapMask_Create(row.record, mask)) << row.field;
        EXPECT_NE(mask, first) << row.field;
        EXPECT_TRUE(mask->OverlapMaskParam() == row.record) << row.field;
        OverlapMask alone;
        ASSERT_TRUE(alone.Create(row.record));
        EXPECT_TRUE(SameBytes(*mask, alone)) << row.field;
    }
}

}  // namespace
