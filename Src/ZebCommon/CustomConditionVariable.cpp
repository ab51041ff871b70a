#include <ZebCommon/CustomConditionVariable.h>

#include <chrono>

void CustomConditionVariable::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_condition.notify_all();
}

void CustomConditionVariable::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool CustomConditionVariable::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signalled;
}

bool CustomConditionVariable::WaitOne(unsigned int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto signalled = [this] { return m_signalled; };
    if (milliseconds == kWaitInfinite)
        m_condition.wait(lock, signalled);
    else if (!m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds), signalled))
        return false;
    OnWaitSucceeded();
    return true;
}
