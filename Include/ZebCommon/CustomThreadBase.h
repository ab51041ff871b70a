// A thread object that runs a loop: Prepare() once, OneLoop() until it asks to stop, Finally()
// once.
#pragma once

#include <ZebCommon/ZebCommon_Export.h>

#include <ZebCommon/CustomConditionVariable.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class ZEBCOMMON_API CustomThreadBase
{
public:
    CustomThreadBase();
    // Stops and joins a thread that still runs. A subclass whose OneLoop, Prepare or Finally
    // touch its own members must call Stop_And_Join() first in its own destructor: by the time
    // this destructor runs, the subclass part is already gone.
    virtual ~CustomThreadBase();
    CustomThreadBase(const CustomThreadBase&) = delete;
    CustomThreadBase& operator=(const CustomThreadBase&) = delete;

    // Starts the thread; `name` is kept and given to the operating system (cut to 15 characters
    // there). False when a thread of this object still runs or none could be started.
    virtual bool Start(const char* name);
    // Returns once Prepare() has run on the thread, or the thread has ended.
    virtual void Wait_PrepareComplete();
    // Returns once the thread rests in a pause, or has ended (or was never started).
    virtual void Wait_Paused();
    // True once the thread has ended (or never started); false when the time ran out first.
    // kWaitInfinite waits without limit.
    virtual bool Wait_Exit(unsigned int milliseconds);
    // Asks the loop to end and returns at once; callable from any thread, also from OneLoop.
    virtual void Stop();
    // Holds the loop between two OneLoop() calls until Resume() or Stop().
    virtual void Pause();
    virtual void Resume();

    const std::string& ThreadName() const { return m_name; }
    bool IsStopRequested() const { return m_stopRequested.load(); }

protected:
    // One step of the loop; true to be called again. A path returning false calls Stop() first.
    virtual bool OneLoop() = 0;
    virtual bool Prepare();
    virtual void Finally();
    // Stops the loop and joins the thread (not when called from the thread itself).
    void Stop_And_Join();

private:
    void Run();
    void JoinIfDone();

    std::string m_name;
    std::thread m_thread;
    std::mutex m_joinMutex;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_pauseRequested{false};
    CustomConditionVariable_Manual m_event_Exited;
    CustomConditionVariable_Manual m_event_PrepareComplete;
    CustomConditionVariable_Manual m_event_Paused;
    CustomConditionVariable_Manual m_event_Resume;
};
