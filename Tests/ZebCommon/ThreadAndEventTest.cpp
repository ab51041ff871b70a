#include <ZebCommon/CustomConditionVariable.h>
#include <ZebCommon/CustomThreadBase.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

TEST(ManualEvent, StaysSetForEveryWaiterUntilReset)
{
    CustomConditionVariable_Manual event;
    event.Reset();
    EXPECT_FALSE(event.WaitOne(0));
    EXPECT_FALSE(event.WaitOne(5));
    event.Set();
    EXPECT_TRUE(event.WaitOne(0));
    EXPECT_TRUE(event.WaitOne(0));  // a manual event is not consumed by a wait
    event.Reset();
    EXPECT_FALSE(event.WaitOne(0));
}

TEST(ManualEvent, ReleasesAllBlockedWaiters)
{
    CustomConditionVariable_Manual event;
    event.Reset();
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] { passed += event.WaitOne(kWaitInfinite) ? 1 : 0; });
    event.Set();
    for (std::thread& waiter : waiters)
        waiter.join();
    EXPECT_EQ(passed.load(), 4);
}

namespace {

// Records the order of the hooks; stops itself after a number of loops.
class CountingThread : public CustomThreadBase
{
public:
    explicit CountingThread(int loops, bool prepareResult = true)
        : m_loops(loops), m_prepareResult(prepareResult)
    {
    }
    ~CountingThread() override { Stop_And_Join(); }

    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    std::string SeenName()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seenName;
    }
    CustomConditionVariable_Manual m_release;

protected:
    bool Prepare() override
    {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        Add("Prepare", name);
        return CustomThreadBase::Prepare() && m_prepareResult;
    }
    bool OneLoop() override
    {
        m_release.WaitOne(kWaitInfinite);
        Add("OneLoop");
        if (--m_loops == 0)
            Stop();
        return true;
    }
    void Finally() override
    {
        CustomThreadBase::Finally();
        Add("Finally");
    }

private:
    void Add(const char* event, const char* name = nullptr)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.emplace_back(event);
        if (name != nullptr)
            m_seenName = name;
    }
    std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::string m_seenName;
    int m_loops;
    bool m_prepareResult;
};

}  // namespace

// Prepare once, the loop until it stops itself or is stopped (not at all after a failed
// Prepare), Finally once; the name reaches the operating system cut to 15 characters.
TEST(CustomThreadBase, RunsPrepareLoopsThenFinally)
{
    const struct
    {
        int loops;  // -1: never stops by itself
        bool prepares, stoppedFromOutside;
        std::vector<std::string> events;
    } cases[] = {
        {3, true, false, {"Prepare", "OneLoop", "OneLoop", "OneLoop", "Finally"}},
        {1, false, false, {"Prepare", "Finally"}},
        {-1, true, true, {}},
    };
    for (const auto& c : cases) {
        CountingThread thread(c.loops, c.prepares);
        thread.m_release.Set();
        ASSERT_TRUE(thread.Start("CMaskDataGenerator"));
        if (c.stoppedFromOutside)
            thread.Stop();
        ASSERT_TRUE(thread.Wait_Exit(kWaitInfinite));
        if (!c.events.empty()) {
            EXPECT_EQ(thread.Events(), c.events);
        }
        EXPECT_EQ(thread.Events().back(), "Finally");
        EXPECT_EQ(thread.SeenName(), "CMaskDataGenera");
    }
}

TEST(CustomThreadBase, WaitExitTimesOutWhileRunningThenSucceeds)
{
    CountingThread thread(1);
    thread.m_release.Reset();
    ASSERT_TRUE(thread.Start("worker"));
    EXPECT_FALSE(thread.Wait_Exit(10));
    EXPECT_FALSE(thread.Start("again"));  // one thread per object at a time
    thread.m_release.Set();
    EXPECT_TRUE(thread.Wait_Exit(kWaitInfinite));
    // Once ended, the object may run again.
    EXPECT_TRUE(thread.Start("again"));
    thread.Stop();
    EXPECT_TRUE(thread.Wait_Exit(kWaitInfinite));
}

// A thread object that never ran has nothing to wait for: none of the waits may block.
TEST(CustomThreadBase, NeverStartedCountsAsEndedForEveryWait)
{
    CountingThread thread(1);
    auto waits = std::async(std::launch::async, [&thread] {
        thread.Wait_PrepareComplete();
        thread.Wait_Paused();
        return thread.Wait_Exit(0);
    });
    ASSERT_EQ(waits.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waits.get());
}

// An exception from a step ends the loop with a failure record; the process goes on.
TEST(CustomThreadBase, ExceptionFromAStepEndsTheThreadNotTheProcess)
{
    struct Throwing : CustomThreadBase
    {
        ~Throwing() override { Stop_And_Join(); }
        bool OneLoop() override { throw std::runtime_error("step failed"); }
    } thread;
    LogCapture log;
    ASSERT_TRUE(thread.Start("worker"));
    EXPECT_TRUE(thread.Wait_Exit(kWaitInfinite));
    EXPECT_EQ(log.Failures().size(), 1u);
}

TEST(CustomThreadBase, PauseHoldsTheLoopUntilResume)
{
    CountingThread thread(-1);
    thread.m_release.Set();
    ASSERT_TRUE(thread.Start("worker"));
    thread.Pause();
    thread.Wait_Paused();
    const size_t eventsWhilePaused = thread.Events().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(thread.Events().size(), eventsWhilePaused);
    thread.Resume();
    thread.Stop();
    EXPECT_TRUE(thread.Wait_Exit(kWaitInfinite));
}
