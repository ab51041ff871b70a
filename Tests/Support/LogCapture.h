// Captures the library's log records for the life of the object, from every thread.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>

#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/shared_ptr.hpp>

#include <mutex>
#include <string>
#include <vector>

struct CapturedRecord
{
    int severity;
    std::string message;
    std::string scope;  // innermost named scope: the function that wrote the record
};

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<CapturedRecord> Records() const;
    // Records whose message is exactly "failure".
    std::vector<CapturedRecord> Failures() const;
    size_t CountMessage(const std::string& message) const;
    void Clear();

private:
    class Backend;
    boost::shared_ptr<Backend> m_backend;
    boost::shared_ptr<boost::log::sinks::synchronous_sink<Backend>> m_sink;
};
