// Eight host threads hammer one pass mask storage and one overlap mask storage with a mix of
// records: kept ones, new ones, refused ones, and enough new ones to evict. No call may deadlock,
// every pointer must stay valid for as long as the storage promises, and every mask handed out
// must equal one built alone.
//
// A pass mask handed out by MaskData_Apply may be evicted by any later build, so the run goes in
// rounds, each with records of its own, and a pointer is only read while nothing can have evicted
// it:
// - settled rounds ask for five records at most: only masks of earlier rounds are evicted, so
//   every mask of the round may be read until its end;
// - churn rounds apply eight records against one current mask (made current again now and then):
//   the storage keeps evicting, the current mask reaches the front of the list and must be passed
//   over; only it is read;
// - refusal rounds are settled rounds in which threads also make a refused record current, which
//   leaves no current mask until the next success.
// Overlap masks are never evicted: every one is read again after the last round.
#include <Rv_Halftone/MaskDataFactory.h>
#include <Rv_Halftone/MaskDataStorage.h>
#include <Rv_Halftone/OverlapMaskStorage.h>

#include "MaskDataPeer.h"
#include "MaskDataStoragePeer.h"
#include "OverlapMaskStoragePeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Declared a friend by the storage: the number of masks it keeps.
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 9;
constexpr int kOpsPerRound = 20;  // per thread
// Far beyond what the run needs even under ThreadSanitizer: past it the run is taken as deadlocked.
constexpr auto kDeadlockLimit = std::chrono::minutes(3);

enum class RoundKind
{
    Settled,
    Churn,
    Refusal
};

RoundKind KindOf(int round)
{
    return round % 3 == 0   ? RoundKind::Settled
           : round % 3 == 1 ? RoundKind::Churn
                            : RoundKind::Refusal;
}

// Records of a round: 0 and 1 may become current; 2, 3 and (in churn rounds) 5 to 9 are applied
// with the same step; 4 advances the paper by another step. Three-part feathering reads
// smoothLevelPercent, so every record of every round has bytes of its own.
constexpr int kRecordsPerRound = 10;
constexpr int kSettledRecords = 5;  // 0 to 4: what settled and refusal rounds ask for
constexpr int kChurnPool[] = {1, 2, 3, 5, 6, 7, 8, 9};

SMaskParam PassRecord(int round, int which)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.basePass = which == 4 ? 4 : 2;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.featherMode = 1;
    p.featherNozzleType = 2;
    p.featherPercent = 50.0f;
    p.smoothLevelPercent = 99 - round * kRecordsPerRound - which;
    p.lessMaskPosition = 1;
    return p;
}

SMaskParam RefusedPassRecord()
{
    SMaskParam p = PassRecord(0, 0);
    p.bitsPerPixel = 3;
    return p;
}

SOverlapMaskParam OverlapRecord(int height, int featherEnable, float percent, int bits, int ink)
{
    return SOverlapMaskParam{height, featherEnable, percent, bits, ink};
}

// Four records asked in every round, then one new record per round.
constexpr int kKeptOverlap = 4;

std::vector<SOverlapMaskParam> ValidOverlapRecords()
{
    std::vector<SOverlapMaskParam> records = {
        OverlapRecord(16, 1, 50.0f, 1, 70), OverlapRecord(24, 1, 35.0f, 2, 100),
        OverlapRecord(12, 0, 0.0f, 1, 40), OverlapRecord(20, 1, 80.0f, 2, 55)};
    for (int round = 0; round < kRounds; ++round)
        records.push_back(OverlapRecord(8 + round, 1, 60.0f, 1 + round % 2, 90));
    return records;
}

const SOverlapMaskParam kRefusedOverlap[] = {
    OverlapRecord(0, 1, 50.0f, 1, 80), OverlapRecord(12, 1, 50.0f, 3, 80),
    OverlapRecord(12, 1, 50.0f, 1, 0),  // a band to render with no ink
    OverlapRecord(12, 0, std::numeric_limits<float>::quiet_NaN(), 1, 80)};

class Barrier
{
public:
    explicit Barrier(int count) : m_count(count) { }
    void Arrive_And_Wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const long generation = m_generation;
        if (++m_arrived == m_count) {
            m_arrived = 0;
            ++m_generation;
            m_changed.notify_all();
            return;
        }
        m_changed.wait(lock, [&] { return m_generation != generation; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const int m_count;
    int m_arrived = 0;
    long m_generation = 0;
};

// Aborts the process when the run does not end in time: a deadlocked thread cannot be joined.
class DeadlockWatch
{
public:
    DeadlockWatch()
        : m_thread([this] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_ended.wait_for(lock, kDeadlockLimit, [this] { return m_done; })) {
                  std::fprintf(stderr, "storage stress: no progress within the limit, deadlock\n");
                  std::abort();
              }
          })
    {
    }
    ~DeadlockWatch()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        m_thread.join();
    }
    DeadlockWatch(const DeadlockWatch&) = delete;
    DeadlockWatch& operator=(const DeadlockWatch&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread;
};

// Faults seen by any thread; the first few are kept for the report.
class Faults
{
public:
    void Add(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_messages.size() < 20)
            m_messages.push_back(what);
        ++m_count;
    }
    int Count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }
    std::string Report() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string all;
        for (const std::string& m : m_messages)
            all += m + "\n";
        return all;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
    int m_count = 0;
};

bool SameRecord(const SMaskParam& a, const SMaskParam& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<unsigned char> Bytes(const CMaskData_Base& mask)
{
    const CMaskBlock& block = CMaskData_Base_Peer::MaskBlock(mask);
    return std::vector<unsigned char>(block.MaskData_Const(),
                                      block.MaskData_Const() + block.MaskDataBytesCount());
}

bool SameBytes(const OverlapMask& a, const OverlapMask& b)
{
    return a.MaskBytes_OneColor() == b.MaskBytes_OneColor() &&
           std::memcmp(a.MaskData(), b.MaskData(), static_cast<size_t>(a.MaskBytes_OneColor())) ==
               0;
}

// The masks that are read, each built alone before any thread starts.
struct References
{
    References()
    {
        for (int round = 0; round < kRounds; ++round) {
            for (int which = 0; which < kSettledRecords; ++which) {
                std::unique_ptr<CMaskData_Base> mask(
                    CMaskDataFactory::MaskData_Create(PassRecord(round, which)));
                passBytes.push_back(mask ? Bytes(*mask) : std::vector<unsigned char>());
                passSteps.push_back(mask ? mask->StepHeight_IncludeRes() : 0);
            }
        }
        overlap.reserve(overlapRecords.size());
        for (const SOverlapMaskParam& record : overlapRecords) {
            overlap.emplace_back();
            overlapBuilt.push_back(overlap.back().Create(record));
        }
    }
    const std::vector<unsigned char>& Pass(int round, int which) const
    {
        return passBytes[static_cast<size_t>(round * kSettledRecords + which)];
    }
    int Step(int round, int which) const
    {
        return passSteps[static_cast<size_t>(round * kSettledRecords + which)];
    }

    std::vector<std::vector<unsigned char>> passBytes;
    std::vector<int> passSteps;
    std::vector<SOverlapMaskParam> overlapRecords = ValidOverlapRecords();
    std::vector<OverlapMask> overlap;
    std::vector<bool> overlapBuilt;
};

// What the threads share.
struct Shared
{
    CMaskDataStorage& passStorage;
    OverlapMaskStorage& overlapStorage;
    const References& references;
    std::vector<std::atomic<const OverlapMask*>>& firstOverlap;  // per overlap record
    Faults& faults;
    std::atomic<const CMaskData_Base*>& churnCurrent;  // set before each churn round starts
};

// What one host thread does in one round, chosen from its number and the operation's so that
// every kind of call and every record of the round is asked for by some thread.
class HostThread
{
public:
    HostThread(int thread, Shared& shared) : m_thread(thread), m_shared(shared) { }

    void Round(int round)
    {
        // Between them the threads ask for every overlap record of the round at least once.
        OverlapValid(round, static_cast<size_t>(
                                m_thread % 5 < kKeptOverlap ? m_thread % 5 : kKeptOverlap + round));
        for (int op = 0; op < kOpsPerRound; ++op) {
            if (KindOf(round) == RoundKind::Churn)
                ChurnOp(round, op);
            else
                SettledOp(round, op);
            if (op % 2 == 1)
                Overlap(round, op + m_thread);
        }
    }

private:
    void SettledOp(int round, int op)
    {
        const int pick = (m_thread * 3 + op * 7) % kSettledRecords;
        switch ((m_thread + op) % 8) {
        case 0: CurrentInit(round, pick % 2); break;
        case 1: Apply(round, 2 + pick % 2); break;
        case 2: Apply(round, pick % 4); break;
        case 3: ApplyOtherStep(round); break;
        case 4:
            if (KindOf(round) == RoundKind::Refusal)
                CurrentInitRefused(round);
            else
                CurrentGet(round);
            break;
        case 5: ApplyRefused(round); break;
        case 6: CurrentGet(round); break;
        default: Overlap(round, op); break;
        }
    }

    // Evictions all the time: an Apply result may already be gone when it is returned, so it is
    // only checked for being there; the current mask must survive them all.
    void ChurnOp(int round, int op)
    {
        switch ((m_thread + op) % 4) {
        case 0:
        case 1: {
            const int which = kChurnPool[(m_thread * 3 + op * 5) % 8];
            if (m_shared.passStorage.MaskData_Apply(PassRecord(round, which)) == nullptr)
                Fault(round, "MaskData_Apply refused a record of the current step");
            break;
        }
        case 2: ChurnCurrentGet(round); break;
        default:
            // Making the current record current again finds the kept mask: the same object.
            if (op % 3 == 0)
                CurrentInit(round, 0);
            else
                ApplyRefused(round);
            break;
        }
    }

    void Fault(int round, const std::string& what)
    {
        m_shared.faults.Add("thread " + std::to_string(m_thread) + " round " +
                            std::to_string(round) + ": " + what);
    }

    // A mask of this round must be the one asked for and equal the mask built alone.
    void CheckPass(int round, const CMaskData_Base* mask, int which, const char* call)
    {
        if (!SameRecord(mask->MaskParam_Input(), PassRecord(round, which))) {
            Fault(round, std::string(call) + " handed out another record's mask");
            return;
        }
        if (Bytes(*mask) != m_shared.references.Pass(round, which))
            Fault(round, std::string(call) + " mask differs from the one built alone");
    }

    // Which record of the round a mask is for, or -1.
    int WhichOf(int round, const CMaskData_Base* mask) const
    {
        for (int which = 0; which < kSettledRecords; ++which)
            if (SameRecord(mask->MaskParam_Input(), PassRecord(round, which)))
                return which;
        return -1;
    }

    void CurrentInit(int round, int which)
    {
        if (!m_shared.passStorage.MaskData_Current_Init(PassRecord(round, which)))
            Fault(round, "MaskData_Current_Init refused a valid record");
    }

    void CurrentInitRefused(int round)
    {
        if (m_shared.passStorage.MaskData_Current_Init(RefusedPassRecord()))
            Fault(round, "MaskData_Current_Init accepted a refused record");
    }

    void CurrentGet(int round)
    {
        const CMaskData_Base* current = m_shared.passStorage.MaskData_Current_Get();
        if (current == nullptr) {
            if (KindOf(round) != RoundKind::Refusal)
                Fault(round, "no current mask although every init succeeded");
            return;
        }
        const int which = WhichOf(round, current);
        if (which != 0 && which != 1)
            Fault(round, "the current mask is not one of the records made current");
        else
            CheckPass(round, current, which, "MaskData_Current_Get");
    }

    void ChurnCurrentGet(int round)
    {
        const CMaskData_Base* current = m_shared.passStorage.MaskData_Current_Get();
        if (current != m_shared.churnCurrent.load())
            Fault(round, "the current mask changed without a MaskData_Current_Init");
        else
            CheckPass(round, current, 0, "MaskData_Current_Get");
    }

    void Apply(int round, int which)
    {
        const CMaskData_Base* mask = m_shared.passStorage.MaskData_Apply(PassRecord(round, which));
        if (mask == nullptr) {
            if (KindOf(round) != RoundKind::Refusal)
                Fault(round, "MaskData_Apply refused a record of the current step");
            return;
        }
        if (mask->StepHeight_IncludeRes() != m_shared.references.Step(round, 0))
            Fault(round, "MaskData_Apply handed out a mask of another step");
        CheckPass(round, mask, which, "MaskData_Apply");
    }

    // Built and kept, but never handed out while the current mask has another step.
    void ApplyOtherStep(int round)
    {
        if (m_shared.passStorage.MaskData_Apply(PassRecord(round, 4)) != nullptr)
            Fault(round, "MaskData_Apply handed out a mask of another step");
    }

    void ApplyRefused(int round)
    {
        if (m_shared.passStorage.MaskData_Apply(RefusedPassRecord()) != nullptr)
            Fault(round, "MaskData_Apply handed out a mask for a refused record");
    }

    // One of the kept records, this round's new one, or a refused one.
    void Overlap(int round, int salt)
    {
        const unsigned mix = static_cast<unsigned>(m_thread) * 2654435761u +
                             static_cast<unsigned>(salt) * 40503u +
                             static_cast<unsigned>(round) * 9176u;
        const int choice = static_cast<int>((mix >> 7) % (kKeptOverlap + 2));
        if (choice == kKeptOverlap + 1) {
            const SOverlapMaskParam& refused = kRefusedOverlap[(mix >> 13) % 4];
            const OverlapMask* const sentinel = reinterpret_cast<const OverlapMask*>(this);
            const OverlapMask* mask = sentinel;
            if (m_shared.overlapStorage.OverlapMask_Create(refused, mask) || mask != sentinel)
                Fault(round, "a refused overlap record was served or touched the pointer");
            return;
        }
        OverlapValid(round,
                     static_cast<size_t>(choice < kKeptOverlap ? choice : kKeptOverlap + round));
    }

    void OverlapValid(int round, size_t index)
    {
        const OverlapMask* mask = nullptr;
        if (!m_shared.overlapStorage.OverlapMask_Create(m_shared.references.overlapRecords[index],
                                                        mask)) {
            Fault(round, "a valid overlap record was refused");
            return;
        }
        // Every caller of a record gets the same object, for the storage's whole life.
        const OverlapMask* expected = nullptr;
        if (!m_shared.firstOverlap[index].compare_exchange_strong(expected, mask) &&
            expected != mask)
            Fault(round, "two objects for one overlap record");
        if (!(mask->OverlapMaskParam() == m_shared.references.overlapRecords[index]) ||
            !SameBytes(*mask, m_shared.references.overlap[index]))
            Fault(round, "overlap mask differs from the one built alone");
    }

    const int m_thread;
    Shared& m_shared;
};

// What the pass storage keeps after a round: at most five masks with distinct records; after a
// settled round exactly the round's five, after a churn round still the current one.
void CheckKeptAfterRound(const CMaskDataStorage& storage, int round,
                         const CMaskData_Base* churnCurrent)
{
    const std::vector<CMaskData_Base*> kept = CMaskDataStorage_Peer::List(storage);
    EXPECT_LE(kept.size(), 5u) << "round " << round;
    int ofRound = 0;
    for (size_t a = 0; a < kept.size(); ++a) {
        for (int which = 0; which < kSettledRecords; ++which)
            ofRound += SameRecord(kept[a]->MaskParam_Input(), PassRecord(round, which)) ? 1 : 0;
        for (size_t b = a + 1; b < kept.size(); ++b)
            EXPECT_FALSE(SameRecord(kept[a]->MaskParam_Input(), kept[b]->MaskParam_Input()));
    }
    if (KindOf(round) == RoundKind::Settled) {
        EXPECT_EQ(ofRound, kSettledRecords) << "round " << round;
    } else if (KindOf(round) == RoundKind::Churn) {
        EXPECT_EQ(kept.size(), 5u) << "round " << round;
        EXPECT_EQ(storage.MaskData_Current_Get(), churnCurrent) << "round " << round;
    }
}

}  // namespace

TEST(StorageStress, HostThreadsHammerBothStorages)
{
    const References references;
    for (int round = 0; round < kRounds; ++round)
        for (int which = 0; which < kSettledRecords; ++which)
            ASSERT_FALSE(references.Pass(round, which).empty()) << round << " " << which;
    ASSERT_NE(references.Step(0, 0), references.Step(0, 4));
    for (size_t i = 0; i < references.overlapBuilt.size(); ++i)
        ASSERT_TRUE(references.overlapBuilt[i]) << i;

    DeadlockWatch watch;
    Faults faults;
    std::vector<std::atomic<const OverlapMask*>> firstOverlap(references.overlapRecords.size());
    for (auto& first : firstOverlap)
        first = nullptr;
    std::atomic<const CMaskData_Base*> churnCurrent{nullptr};
    {
        OverlapMaskStorage overlapStorage;
        {
            CMaskDataStorage passStorage;
            Shared shared{passStorage,  overlapStorage, references,
                          firstOverlap, faults,         churnCurrent};
            Barrier roundStart(kThreads + 1);
            Barrier roundEnd(kThreads + 1);
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&shared, &roundStart, &roundEnd, t] {
                    HostThread host(t, shared);
                    for (int round = 0; round < kRounds; ++round) {
                        roundStart.Arrive_And_Wait();
                        host.Round(round);
                        roundEnd.Arrive_And_Wait();
                    }
                });
            }
            for (int round = 0; round < kRounds; ++round) {
                // The round's first current mask is made before the threads start: from then on
                // the current mask is one of this round's records (or none), never an older one.
                // (No ASSERT here: the threads wait at the barriers.)
                if (!passStorage.MaskData_Current_Init(PassRecord(round, 0)))
                    faults.Add("round " + std::to_string(round) + ": first current mask refused");
                churnCurrent = passStorage.MaskData_Current_Get();
                roundStart.Arrive_And_Wait();
                roundEnd.Arrive_And_Wait();
                CheckKeptAfterRound(passStorage, round, churnCurrent.load());
            }
            for (std::thread& thread : threads)
                thread.join();
        }

        EXPECT_EQ(OverlapMaskStorage_Peer::Count(overlapStorage), references.overlapRecords.size());
        // Still valid and unchanged after every round.
        for (size_t i = 0; i < firstOverlap.size(); ++i) {
            const OverlapMask* const mask = firstOverlap[i].load();
            ASSERT_NE(mask, nullptr) << "overlap record " << i << " was never asked for";
            EXPECT_TRUE(SameBytes(*mask, references.overlap[i])) << "overlap record " << i;
        }
    }
    EXPECT_EQ(faults.Count(), 0) << faults.Report();
}
