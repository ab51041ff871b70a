#include <ZebCommon/ZebQueue.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// The three events must mirror the count whenever no operation is in progress.
template <typename T> void ExpectEventsMatchCount(const CZebQueue<T>& queue)
{
    const int count = queue.Count();
    EXPECT_EQ(queue.m_event_NotEmpty.IsSet(), count > 0) << "count " << count;
    EXPECT_EQ(queue.m_event_Empty.IsSet(), count == 0) << "count " << count;
    EXPECT_EQ(queue.m_event_NotFull.IsSet(), count < queue.Capacity()) << "count " << count;
}

// A unit that counts its deletions, to check who releases it.
struct CountedUnit
{
    explicit CountedUnit(int v = 0) : value(v) { }
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

TEST(ZebQueue, KeepsOrderAndCapacityWithEventsInStep)
{
    LogCapture log;
    CZebQueue<int> queue(2);
    ExpectEventsMatchCount(queue);
    EXPECT_TRUE(queue.push(10));
    ExpectEventsMatchCount(queue);
    EXPECT_TRUE(queue.push(20));
    ExpectEventsMatchCount(queue);
    EXPECT_FALSE(queue.push(30));  // full: refused, not waited on
    ExpectEventsMatchCount(queue);
    EXPECT_EQ(log.Failures().size(), 1u);

    int item = 0;
    EXPECT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 10);
    ExpectEventsMatchCount(queue);
    EXPECT_TRUE(queue.push(40));
    for (int expected : {20, 40}) {
        EXPECT_TRUE(queue.pop(item));
        EXPECT_EQ(item, expected);
        ExpectEventsMatchCount(queue);
    }

    // Empty: no pop blocks, and the out-argument stays as it was.
    item = 99;
    EXPECT_FALSE(queue.pop(item));
    EXPECT_FALSE(queue.wait_pop(item, 0));
    EXPECT_FALSE(queue.wait_pop(item, 5));
    EXPECT_EQ(item, 99);
}

// A consumer must learn of the end at once, not after its poll interval: the elements still queued
// are delivered, then wait_pop gives up immediately, also for a consumer already blocked in it.
TEST(ZebQueue, FinishedInputEndsWaitsWithoutTheirTimeout)
{
    constexpr unsigned int kLongWait = 20000;
    const auto start = std::chrono::steady_clock::now();
    CZebQueue<int> queue(4);
    bool popped = true;
    std::thread consumer([&] {
        int value = 0;
        popped = queue.wait_pop(value, kLongWait);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // let it block
    queue.InputFinished_Set();
    consumer.join();
    EXPECT_FALSE(popped);

    queue.push(1);
    int item = 0;
    EXPECT_TRUE(queue.wait_pop(item, kLongWait));
    EXPECT_FALSE(queue.wait_pop(item, kLongWait));
    ExpectEventsMatchCount(queue);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongWait / 2));
}

TEST(ZebPtrQueueBuffer, DeletesEveryUnitOnce)
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
        EXPECT_EQ(CountedUnit::deletions, 0);
    }
    EXPECT_EQ(CountedUnit::deletions, 6);

    // clear() and a second Create release what the queues hold, never a unit taken out.
    CountedUnit::deletions = 0;
    std::vector<CountedUnit*> first = NewUnits(3);
    std::vector<CountedUnit*> second = NewUnits(2);
    CZebPtrQueueBuffer<CountedUnit> pool;
    pool.Create(first, "a", 0);
    CountedUnit* held = nullptr;
    pool.m_queue_Free->pop(held);
    EXPECT_TRUE(pool.m_queue_Free->clear());
    EXPECT_EQ(CountedUnit::deletions, 2);
    ExpectEventsMatchCount(*pool.m_queue_Free);
    pool.m_queue_Free->push(held);
    pool.Create(second, "b", 0);
    EXPECT_EQ(CountedUnit::deletions, 3);
}

// Capacity 0 sizes every queue to the pool, which starts full in vector order; units beyond a
// smaller capacity are released, not leaked.
TEST(ZebPtrQueueBuffer, CapacitySizesTheQueuesAndUnitsThatDoNotFitAreReleased)
{
    CZebPtrQueueBuffer<CountedUnit> pool;
    std::vector<CountedUnit*> units = NewUnits(8);
    ASSERT_TRUE(pool.Create(units, "pool", 0));
    for (const auto* queue :
         {pool.m_queue_Free.get(), pool.m_queue_Input.get(), pool.m_queue_Output.get()})
        EXPECT_EQ(queue->Capacity(), 8);
    EXPECT_FALSE(pool.m_queue_Free->m_event_NotFull.IsSet());
    CountedUnit* first = nullptr;
    ASSERT_TRUE(pool.m_queue_Free->pop(first));
    EXPECT_EQ(first->value, 0);
    pool.m_queue_Free->push(first);

    LogCapture log;
    CountedUnit::deletions = 0;
    std::vector<CountedUnit*> more = NewUnits(5);
    EXPECT_TRUE(pool.Create(more, "small", 3));
    EXPECT_EQ(pool.m_queue_Free->Count(), 3);
    EXPECT_EQ(CountedUnit::deletions, 8 + 2);  // the first pool's, and the two that did not fit
    EXPECT_EQ(log.Failures().size(), 2u);
}

// Units circulate as in the generator: producers take them from the pool and queue them, consumers
// take them from the input queue and give them back. Every payload must arrive exactly once.
TEST(ZebPtrQueueBuffer, ManyProducersAndConsumersDeliverEveryPayloadOnce)
{
    constexpr int kProducers = 2;
    constexpr int kConsumers = 3;
    constexpr int kPerProducer = 400;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto inTime = [&] { return std::chrono::steady_clock::now() < deadline; };

    std::vector<CountedUnit*> units = NewUnits(2 * kConsumers);
    CZebPtrQueueBuffer<CountedUnit> pool;
    ASSERT_TRUE(pool.Create(units, "mpmc", 0));
    CZebPtrQueue<CountedUnit>& freeQueue = *pool.m_queue_Free;
    CZebPtrQueue<CountedUnit>& inputQueue = *pool.m_queue_Input;
    std::vector<std::atomic<int>> seen(kProducers * kPerProducer);
    std::atomic<int> producersLeft{kProducers};

    std::vector<std::thread> threads;
    for (int p = 0; p < kProducers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < kPerProducer && inTime();) {
                CountedUnit* unit = nullptr;
                if (freeQueue.wait_pop(unit, 10)) {
                    unit->value = p * kPerProducer + i++;
                    inputQueue.push(unit);  // the pool's capacity: never full
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
                    ++seen[static_cast<size_t>(unit->value)];
                    freeQueue.push(unit);
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
    int wrong = 0;
    for (const std::atomic<int>& count : seen)
        wrong += count != 1 ? 1 : 0;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(freeQueue.Count(), 2 * kConsumers);  // every unit back in the pool
}
