#include "LogCapture.h"

#include <boost/log/attributes/named_scope.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions/message.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>

namespace logging = boost::log;

class LogCapture::Backend
    : public logging::sinks::basic_sink_backend<logging::sinks::synchronized_feeding>
{
public:
    void consume(const logging::record_view& record)
    {
        CapturedRecord captured;
        const auto severity = logging::extract<ESeverityLevel>("Severity", record);
        captured.severity = severity ? static_cast<int>(*severity) : -1;
        const auto message = logging::extract<std::string>("Message", record);
        captured.message = message ? *message : std::string();
        const auto scopes =
            logging::extract<logging::attributes::named_scope::value_type>("Scope", record);
        if (scopes && !scopes->empty())
            captured.scope = scopes->back().scope_name.c_str();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.push_back(std::move(captured));
    }

    mutable std::mutex m_mutex;
    std::vector<CapturedRecord> m_records;
};

LogCapture::LogCapture() : m_backend(boost::make_shared<Backend>())
{
    auto core = logging::core::get();
    // Nothing else is registered: the library's logger carries each record's scope itself.
    m_sink = boost::make_shared<logging::sinks::synchronous_sink<Backend>>(m_backend);
    core->add_sink(m_sink);
}

LogCapture::~LogCapture() { logging::core::get()->remove_sink(m_sink); }

std::vector<CapturedRecord> LogCapture::Records() const
{
    std::lock_guard<std::mutex> lock(m_backend->m_mutex);
    return m_backend->m_records;
}

std::vector<CapturedRecord> LogCapture::Failures() const
{
    std::vector<CapturedRecord> failures;
    for (const CapturedRecord& record : Records())
        if (record.message == "failure")
            failures.push_back(record);
    return failures;
}

size_t LogCapture::CountMessage(const std::string& message) const
{
    size_t count = 0;
    for (const CapturedRecord& record : Records())
        count += record.message == message ? 1 : 0;
    return count;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(m_backend->m_mutex);
    m_backend->m_records.clear();
}
