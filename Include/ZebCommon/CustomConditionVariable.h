// Events for handing state between threads.
#pragma once

#include <ZebCommon/ZebCommon_Export.h>

#include <condition_variable>
#include <mutex>

// Wait time meaning "no limit".
constexpr unsigned int kWaitInfinite = 0xFFFFFFFFu;

// An event: signalled or not. How a successful wait affects the signal is the subclass's choice.
class ZEBCOMMON_API CustomConditionVariable
{
public:
    CustomConditionVariable() = default;
    virtual ~CustomConditionVariable() = default;
    CustomConditionVariable(const CustomConditionVariable&) = delete;
    CustomConditionVariable& operator=(const CustomConditionVariable&) = delete;

    void Set();
    void Reset();
    // True when the event is or becomes signalled within the time; 0 polls, kWaitInfinite waits
    // without limit.
    bool WaitOne(unsigned int milliseconds);
    bool IsSet() const;

protected:
    // Called under the lock after a waiter has seen the signal.
    virtual void OnWaitSucceeded() { }
    bool m_signalled = false;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
};

// A manual-reset event: once set it stays set, letting every waiter through, until Reset.
class ZEBCOMMON_API CustomConditionVariable_Manual : public CustomConditionVariable
{
};
