#include <ZebCommon/ZebQueue.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// The three events must mirror the count whenever no operation is in progress.
template <typename T>
void ExpectEventsMatchCount(const CZebQueue<T>& queue, const std::string& step)
{
    SCOPED_TRACE(step);
    const int count = queue.Count();
    EXPECT_EQ(queue.m_event_NotEmpty.IsSet(), count > 0);
    EXPECT_EQ(queue.m_event_Empty.IsSet(), count == 0);
    EXPECT_EQ(queue.m_event_NotFull.IsSet(), count < queue.Capacity());
}

// A unit that counts its deletions, to check who releases it.
struct CountedUnit
{
    explicit CountedUnit(int v = 0) : value(v) {}
    ~CountedUnit() { ++deletions; }
    int value;
    static std::atomic<int> deletions;
};
std::atomic<int> CountedUnit::deletions{0};

std::vector<CountedUnit*> NewUnits(int count)
{
    std::vector<CountedUnit*> units;
    for (int i = 0; i < count; ++i)
        units.push_back(new CountedUnit(i));
    return units;
}

}  // namespace

TEST(ZebQueue, EventsFollowTheCountThroughEveryOperation)
{
    LogCapture log;  // the push into the full queue writes its failure record here
    CZebQueue<int> queue(3);
    ExpectEventsMatchCount(queue, "new");
    // +1 pushes, -1 pops; the sequence fills the queue, overfills it and empties it again.
    const int steps[] = {+1, +1, -1, +1, +1, +1, -1, -1, -1, -1, +1, -1};
    int index = 0;
    for (int step : steps) {
        int item = -1;
        const bool expectDone = step > 0 ? queue.Count() < 3 : queue.Count() > 0;
        const bool done = step > 0 ? queue.push(index) : queue.pop(item);
        EXPECT_EQ(done, expectDone);
        ExpectEventsMatchCount(queue, "after step " + std::to_string(index++));
    }
    queue.push(7);
    queue.push(8);
    EXPECT_TRUE(queue.clear());
    ExpectEventsMatchCount(queue, "after clear");
}

TEST(ZebQueue, KeepsOrderAndRefusesAPushBeyondCapacity)
{
    LogCapture log;
    CZebQueue<int> queue(2);
    EXPECT_TRUE(queue.push(10));
    EXPECT_TRUE(queue.push(20));
    EXPECT_FALSE(queue.m_event_NotFull.IsSet());
    EXPECT_TRUE(log.Failures().empty());

    EXPECT_FALSE(queue.push(30));
    EXPECT_EQ(log.Failures().size(), 1u);
    EXPECT_EQ(queue.Count(), 2);

    int item = 0;
    ASSERT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 10);
    EXPECT_TRUE(queue.m_event_NotFull.IsSet());
    EXPECT_TRUE(queue.push(40));
    ASSERT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 20);
    ASSERT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 40);
}

TEST(ZebQueue, EmptyQueueNeverBlocksAPop)
{
    CZebQueue<int> queue(2);
    int item = 99;
    EXPECT_FALSE(queue.pop(item));
    EXPECT_FALSE(queue.wait_pop(item, 0));
    EXPECT_FALSE(queue.wait_pop(item, 5));  // times out
    EXPECT_EQ(item, 99);

    queue.push(1);
    EXPECT_TRUE(queue.wait_pop(item, 0));
    EXPECT_EQ(item, 1);
}

TEST(ZebQueue, InputFinishedAccessorsShareTheFlag)
{
    CZebQueue<int> queue(1);
    EXPECT_FALSE(queue.InputFinished_Get());
    queue.InputFinished_Set();
    EXPECT_TRUE(queue.InputFinished_Get());
    {
        boost::lock_guard<boost::mutex> lock(queue.m_mutex);
        EXPECT_TRUE(queue.m_inputFinished);
    }
}

// A consumer must learn of the end at once, not after its poll interval: the elements still queued
// are delivered, then wait_pop gives up immediately, also for a consumer already blocked in it.
TEST(ZebQueue, FinishedInputEndsWaitsWithoutTheirTimeout)
{
    constexpr unsigned int kLongWait = 20000;
    CZebQueue<int> queue(4);
    queue.push(1);
    queue.InputFinished_Set();
    int item = 0;
    EXPECT_TRUE(queue.wait_pop(item, kLongWait));
    EXPECT_EQ(item, 1);
    ExpectEventsMatchCount(queue, "drained");

    CZebQueue<int> waited(4);
    bool popped = true;
    const auto start = std::chrono::steady_clock::now();
    std::thread consumer([&] {
        int value = 0;
        popped = waited.wait_pop(value, kLongWait);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // let it block
    waited.InputFinished_Set();
    consumer.join();
    EXPECT_FALSE(popped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongWait / 2));

    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.wait_pop(item, kLongWait));
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(kLongWait / 2));
}

TEST(ZebPtrQueue, DeletesWhatItStillHoldsButNotWhatWasPopped)
{
    CountedUnit::deletions = 0;
    CountedUnit* taken = nullptr;
    {
        CZebPtrQueue<CountedUnit> queue(4);
        for (CountedUnit* unit : NewUnits(3))
            queue.push(unit);
        ASSERT_TRUE(queue.pop(taken));
        EXPECT_EQ(CountedUnit::deletions, 0);
    }
    EXPECT_EQ(CountedUnit::deletions, 2);
    delete taken;

    CountedUnit::deletions = 0;
    CZebPtrQueue<CountedUnit> queue(4);
    for (CountedUnit* unit : NewUnits(2))
        queue.push(unit);
    EXPECT_TRUE(queue.clear());
    EXPECT_EQ(CountedUnit::deletions, 2);
    ExpectEventsMatchCount(queue, "after clear");
}

TEST(ZebPtrQueueBuffer, CapacityZeroSizesEveryQueueToThePool)
{
    std::vector<CountedUnit*> units = NewUnits(8);
    CZebPtrQueueBuffer<CountedUnit> pool;
    ASSERT_TRUE(pool.Create(units, "pool", 0));
    EXPECT_EQ(pool.Name(), "pool");
    for (const auto* queue : {pool.m_queue_Free.get(), pool.m_queue_Input.get(),
                              pool.m_queue_Output.get()})
        EXPECT_EQ(queue->Capacity(), 8);
    EXPECT_EQ(pool.m_queue_Free->Count(), 8);
    EXPECT_FALSE(pool.m_queue_Free->m_event_NotFull.IsSet());
    EXPECT_EQ(pool.m_queue_Input->Count(), 0);
    EXPECT_EQ(pool.m_queue_Output->Count(), 0);

    // Units come out of the pool in the order they were given.
    CountedUnit* unit = nullptr;
    ASSERT_TRUE(pool.m_queue_Free->pop(unit));
    EXPECT_EQ(unit->value, 0);
    pool.m_queue_Free->push(unit);
}

TEST(ZebPtrQueueBuffer, DeletesEveryUnitOnceWhereverItWaits)
{
    CountedUnit::deletions = 0;
    {
        std::vector<CountedUnit*> units = NewUnits(6);
        CZebPtrQueueBuffer<CountedUnit> pool;
        pool.Create(units, "pool", 0);
        CountedUnit* unit = nullptr;
        for (int i = 0; i < 3; ++i) {
            pool.m_queue_Free->pop(unit);
            pool.m_queue_Input->push(unit);
        }
        pool.m_queue_Free->pop(unit);
        pool.m_queue_Output->push(unit);
        EXPECT_EQ(CountedUnit::deletions, 0);
    }
    EXPECT_EQ(CountedUnit::deletions, 6);

    // A second Create releases the units of the first.
    CountedUnit::deletions = 0;
    std::vector<CountedUnit*> first = NewUnits(3);
    std::vector<CountedUnit*> second = NewUnits(2);
    CZebPtrQueueBuffer<CountedUnit> pool;
    pool.Create(first, "a", 0);
    pool.Create(second, "b", 0);
    EXPECT_EQ(CountedUnit::deletions, 3);
    EXPECT_EQ(pool.m_queue_Free->Capacity(), 2);
}

TEST(ZebPtrQueueBuffer, UnitsThatDoNotFitAreReleasedNotLeaked)
{
    LogCapture log;
    CountedUnit::deletions = 0;
    std::vector<CountedUnit*> units = NewUnits(5);
    {
        CZebPtrQueueBuffer<CountedUnit> pool;
        EXPECT_TRUE(pool.Create(units, "small", 3));
        EXPECT_EQ(pool.m_queue_Free->Count(), 3);
        EXPECT_EQ(CountedUnit::deletions, 2);
        EXPECT_EQ(log.Failures().size(), 2u);
    }
    EXPECT_EQ(CountedUnit::deletions, 5);
}

// Units circulate as in the generator: producers take them from the pool and queue them, consumers
// take them from the input queue and give them back. Every unit's payload must arrive exactly once.
TEST(ZebPtrQueueBuffer, ManyProducersAndConsumersDeliverEveryPayloadOnce)
{
    constexpr int kProducers = 2;
    constexpr int kConsumers = 3;
    constexpr int kPerProducer = 400;
    constexpr int kPoolSize = 2 * kConsumers;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto inTime = [&] { return std::chrono::steady_clock::now() < deadline; };

    std::vector<CountedUnit*> units = NewUnits(kPoolSize);
    CZebPtrQueueBuffer<CountedUnit> pool;
    ASSERT_TRUE(pool.Create(units, "mpmc", 0));
    CZebPtrQueue<CountedUnit>& freeQueue = *pool.m_queue_Free;
    CZebPtrQueue<CountedUnit>& inputQueue = *pool.m_queue_Input;

    std::vector<std::atomic<int>> seen(kProducers * kPerProducer);
    std::atomic<int> producersLeft{kProducers};
    std::atomic<int> lostPushes{0};

    std::vector<std::thread> threads;
    for (int p = 0; p < kProducers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < kPerProducer && inTime();) {
                CountedUnit* unit = nullptr;
                if (!freeQueue.wait_pop(unit, 10))
                    continue;
                unit->value = p * kPerProducer + i++;
                if (!inputQueue.push(unit)) {
                    ++lostPushes;
                    delete unit;
                }
            }
            if (--producersLeft == 0)
                inputQueue.InputFinished_Set();
        });
    }
    for (int c = 0; c < kConsumers; ++c) {
        threads.emplace_back([&] {
            while (inTime()) {
                CountedUnit* unit = nullptr;
                if (inputQueue.wait_pop(unit, 10)) {
                    ++seen[unit->value];
                    if (!freeQueue.push(unit)) {
                        ++lostPushes;
                        delete unit;
                    }
                } else if (inputQueue.InputFinished_Get() &&
                           !inputQueue.m_event_NotEmpty.WaitOne(0)) {
                    return;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    ASSERT_TRUE(inTime()) << "the exchange did not finish";
    EXPECT_EQ(lostPushes, 0);
    int wrong = 0;
    for (const std::atomic<int>& count : seen)
        wrong += count != 1 ? 1 : 0;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(freeQueue.Count(), kPoolSize);
    EXPECT_EQ(inputQueue.Count(), 0);
}
