#include <ZebCommon/CustomThreadBase.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include <pthread.h>

#include <system_error>

CustomThreadBase::CustomThreadBase()
{
    // No thread yet: waiting for its end, its preparation or its pause must not block.
    m_event_Exited.Set();
    m_event_PrepareComplete.Set();
    m_event_Paused.Set();
    m_event_Resume.Set();
}

CustomThreadBase::~CustomThreadBase() { Stop_And_Join(); }

bool CustomThreadBase::Start(const char* name)
{
    std::lock_guard<std::mutex> lock(m_joinMutex);
    if (!m_event_Exited.IsSet())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_name = name != nullptr ? name : "";
    m_stopRequested = false;
    m_pauseRequested = false;
    m_event_Exited.Reset();
    m_event_PrepareComplete.Reset();
    m_event_Paused.Reset();
    m_event_Resume.Set();
    try {
        m_thread = std::thread(&CustomThreadBase::Run, this);
    } catch (const std::system_error&) {
        m_event_PrepareComplete.Set();
        m_event_Exited.Set();
        return false;
    }
    return true;
}

void CustomThreadBase::Run()
{
    // The kernel keeps at most 15 characters of a thread name.
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    // An exception must not end the process from a thread of ours: it ends the loop instead, with
    // a failure record (subclasses that must report it as a failed run catch it in their steps).
    bool prepared = false;
    try {
        prepared = Prepare();
    } catch (...) {
        ZEB_LOG_FAILURE();
    }
    m_event_PrepareComplete.Set();
    try {
        while (prepared && !m_stopRequested.load()) {
            if (m_pauseRequested.load()) {
                m_event_Paused.Set();
                m_event_Resume.WaitOne(kWaitInfinite);
                m_event_Paused.Reset();
                continue;
            }
            if (!OneLoop())
                break;
        }
    } catch (...) {
        ZEB_LOG_FAILURE();
        m_stopRequested = true;
    }
    try {
        Finally();
    } catch (...) {
        ZEB_LOG_FAILURE();
    }
    m_event_Paused.Set();
    m_event_Exited.Set();
}

void CustomThreadBase::Wait_PrepareComplete() { m_event_PrepareComplete.WaitOne(kWaitInfinite); }

void CustomThreadBase::Wait_Paused() { m_event_Paused.WaitOne(kWaitInfinite); }

bool CustomThreadBase::Wait_Exit(unsigned int milliseconds)
{
    return m_event_Exited.WaitOne(milliseconds);
}

void CustomThreadBase::Stop()
{
    m_stopRequested = true;
    m_event_Resume.Set();
}

void CustomThreadBase::Pause()
{
    m_event_Resume.Reset();
    m_pauseRequested = true;
}

void CustomThreadBase::Resume()
{
    m_pauseRequested = false;
    m_event_Resume.Set();
}

bool CustomThreadBase::Prepare() { return true; }

void CustomThreadBase::Finally() { }

void CustomThreadBase::Stop_And_Join()
{
    CustomThreadBase::Stop();
    JoinIfDone();
}

void CustomThreadBase::JoinIfDone()
{
    std::lock_guard<std::mutex> lock(m_joinMutex);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}
