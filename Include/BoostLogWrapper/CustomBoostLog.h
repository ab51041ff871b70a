// The process-wide logger through which every library record is written.
//
// The library only creates records; sinks, formats and filters belong to the host, which adds them
// to the Boost.Log core (boost::log::core::get()). Each record carries:
//   - the attribute "Severity" of type ESeverityLevel,
//   - the attribute "Scope" (boost::log::attributes::named_scope): the enclosing function's
//     signature, file and line; the logger carries it, so a host need not register it,
//   - the message text.
//
// Nothing of the library reaches the standard output. Boost.Log prints to it with a default sink of
// its own while the core has no sink; so before a record goes to the core the library registers a
// sink that takes no record (it stands in for the host's sinks), and a record that no sink of the
// host takes is dropped, or written to the standard error stream when it is a failure (severity
// SeverityLevel_Error) and the core's logging is enabled. A host that wants no line at all either
// chooses the log callback of the C extension (null: no records) or disables the core's logging.
//
// The logger lives in libRv_Halftone.so and is exported with this header, so that code of a host
// that uses the library's headers (ZebQueue.h logs through it) writes to the same logger.
#pragma once

#include <boost/log/attributes/named_scope.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_logger.hpp>

#include <atomic>
#include <ostream>
#include <sstream>
#include <string>

#if defined(_WIN32)
#    define BOOSTLOGWRAPPER_API
#else
#    define BOOSTLOGWRAPPER_API __attribute__((visibility("default")))
#endif

enum ESeverityLevel
{
    SeverityLevel_Trace = 0,
    SeverityLevel_Info = 1,   // progress and refused-height records
    SeverityLevel_Error = 2,  // failure, feather and state records
};

BOOSTLOGWRAPPER_API std::ostream& operator<<(std::ostream& stream, ESeverityLevel level);

class BOOSTLOGWRAPPER_API CCustomBoostLog
{
public:
    using Logger = boost::log::sources::severity_logger_mt<ESeverityLevel>;

    // The same usable logger from any thread for the life of the process.
    static Logger& BoostLog_Get();

    // Writes one record to the core as described at the top of this header: to the host's sinks
    // that take it, else a failure to the standard error stream; never to the standard output.
    static void Record_ToCore(ESeverityLevel severity, const std::string& text);
};

namespace zeb_log {

// Where a record goes instead of the Boost.Log core once a host has chosen a route; null until
// then. Both variables are inline with hidden symbols: every module that includes this header has
// its own, and only the library ever changes its own, so that records a host writes through this
// header keep going to the core.
using RecordRoute = void (*)(ESeverityLevel severity, const std::string& text);
inline std::atomic<RecordRoute> g_route{nullptr};
// Records written on this thread while positive are dropped: checking a record, which runs the
// refusing steps of a build without building, says nothing.
inline thread_local int t_quiet = 0;

}  // namespace zeb_log

// One log statement: push the function's scope (its full signature, file and line), write the
// message and hand the record to the route chosen, or to the core (Record_ToCore); pop the scope.
#define ZEB_LOG(severity, message)                                                                 \
    do {                                                                                           \
        if (zeb_log::t_quiet == 0) {                                                               \
            BOOST_LOG_FUNCTION();                                                                  \
            std::ostringstream zebText;                                                            \
            zebText << message;                                                                    \
            if (const zeb_log::RecordRoute zebRoute =                                              \
                    zeb_log::g_route.load(std::memory_order_acquire))                              \
                zebRoute((severity), zebText.str());                                               \
            else                                                                                   \
                CCustomBoostLog::Record_ToCore((severity), zebText.str());                         \
        }                                                                                          \
    } while (false)

// The record every operation writes when it returns false because a step failed.
#define ZEB_LOG_FAILURE() ZEB_LOG(SeverityLevel_Error, "failure")
