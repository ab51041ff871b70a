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

// Declared a friend by the storage: the number of masks it keeps.
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

// The same record finds the kept mask without a build; a record that differs in any field, down
// to a fraction of featherPercent, gets a mask of its own.
TEST(OverlapMaskStorage, EachDistinctRecordIsBuiltOnce)
{
    const SOverlapMaskParam records[] = {Param(20, 35.0f, 80, 2), Param(20, 35.5f, 80, 2),
                                         Param(20, 35.0f, 81, 2)};
    LogCapture log;
    OverlapMaskStorage storage;
    const OverlapMask* masks[3] = {};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            const OverlapMask* mask = nullptr;
            ASSERT_TRUE(storage.OverlapMask_Create(records[i], mask));
            if (round == 0)
                masks[i] = mask;
            EXPECT_EQ(mask, masks[i]) << "record " << i;
            EXPECT_TRUE(mask->OverlapMaskParam() == records[i]);
        }
    }
    EXPECT_NE(masks[0], masks[1]);
    EXPECT_NE(masks[0], masks[2]);
    EXPECT_EQ(log.CountMessage("Start"), 3u);  // the generator ran once per record
    EXPECT_EQ(OverlapMaskStorage_Peer::Count(storage), 3u);
}

// A record that cannot be built adds nothing, leaves the caller's pointer alone, and is tried
// again from scratch on the next call. A NaN featherPercent is one of them: kept, it would never
// match and every call would add another mask.
TEST(OverlapMaskStorage, FailedBuildLeavesTheStorageUnchanged)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SOverlapMaskParam refused[] = {Param(12, nan, 80, 1, 0), Param(12, nan, 80),
                                         Param(0, 50.0f, 80),      Param(12, 50.0f, 80, 3),
                                         Param(12, 50.0f, 101),    Param(12, 120.0f, 80)};
    OverlapMaskStorage storage;
    const OverlapMask* kept = nullptr;
    ASSERT_TRUE(storage.OverlapMask_Create(Param(12, 50.0f, 80), kept));
    for (const SOverlapMaskParam& p : refused) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            LogCapture log;
            const OverlapMask* mask = kept;
            EXPECT_FALSE(storage.OverlapMask_Create(p, mask));
            EXPECT_EQ(mask, kept);
            EXPECT_EQ(OverlapMaskStorage_Peer::Count(storage), 1u);
            // The inner records, then the storage's own, on every attempt.
            const auto failures = log.Failures();
            ASSERT_GE(failures.size(), 3u);
            EXPECT_NE(failures.back().scope.find("OverlapMask_Create"), std::string::npos);
        }
    }
}

// Host threads ask for a few records at once, each in its own order: every record is built once,
// every thread gets the same mask for it, and the masks equal ones built alone.
TEST(OverlapMaskStorage, ThreadsAskingAtOnceShareOneMaskPerRecord)
{
    const std::vector<SOverlapMaskParam> records = {
        Param(30, 50.0f, 70, 1), Param(24, 80.0f, 100, 2), Param(16, 0.0f, 40, 1, 0)};
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

}  // namespace
