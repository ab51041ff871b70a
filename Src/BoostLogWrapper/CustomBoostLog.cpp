#include <BoostLogWrapper/CustomBoostLog.h>

#include "LogRoute.h"

#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/unlocked_frontend.hpp>
#include <boost/make_shared.hpp>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

std::ostream& operator<<(std::ostream& stream, ESeverityLevel level)
{
    switch (level) {
    case SeverityLevel_Trace: return stream << "trace";
    case SeverityLevel_Info: return stream << "info";
    case SeverityLevel_Error: return stream << "error";
    }
    return stream << static_cast<int>(level);
}

namespace {

// The scope rides on the logger itself, so that every record carries its function, file and line
// without the host registering anything on its core.
CCustomBoostLog::Logger MakeLogger()
{
    CCustomBoostLog::Logger logger;
    logger.add_attribute("Scope", boost::log::attributes::named_scope());
    return logger;
}

std::string InnermostScope()
{
    const boost::log::attributes::named_scope::value_type scopes =
        boost::log::attributes::named_scope::get_scopes();
    return scopes.empty() ? std::string() : std::string(scopes.back().scope_name.c_str());
}

}  // namespace

CCustomBoostLog::Logger& CCustomBoostLog::BoostLog_Get()
{
    // A function-local static is built once, thread-safely, on first use and lives until exit.
    static Logger logger = MakeLogger();
    return logger;
}

// ---- The core route ----

namespace {

// A sink that takes no record. While it is registered Boost.Log does not fall back on its default
// sink, which prints every record to the standard output; and a record the core opens is then one
// that a sink of the host takes.
struct SNoRecordBackend
    : public boost::log::sinks::basic_sink_backend<boost::log::sinks::concurrent_feeding>
{
    void consume(const boost::log::record_view&) { }
};

using StandInSink = boost::log::sinks::unlocked_sink<SNoRecordBackend>;

// Never destroyed: a record written while the process exits still finds it.
const boost::shared_ptr<StandInSink>& StandIn()
{
    static const auto* const sink = new boost::shared_ptr<StandInSink>([] {
        auto made = boost::make_shared<StandInSink>();
        made->set_filter([](const boost::log::attribute_value_set&) { return false; });
        return made;
    }());
    return *sink;
}

// Said after a failure record's text (ZEB_LOG_FAILURE's "failure", which hosts match and which
// stays as it is) on the standard error stream: the record names no rule, and a host that
// configured no logging reads this line alone.
constexpr const char* kWhereTheReasonIs =
    " (a refused record's reason: rv_halftone_record_reason in Rv_Halftone_Ext.h)";

// The line a failure that no sink took leaves on the standard error stream, written at once so
// that lines of several threads do not mix.
void FailureToStandardError(ESeverityLevel severity, const std::string& text)
{
    std::ostringstream line;
    line << "Rv_Halftone " << severity << " in " << InnermostScope() << ": " << text
         << (text == "failure" ? kWhereTheReasonIs : "") << "\n";
    const std::string bytes = line.str();
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

}  // namespace

void CCustomBoostLog::Record_ToCore(ESeverityLevel severity, const std::string& text)
{
    const boost::shared_ptr<boost::log::core> core = boost::log::core::get();
    // Added again each time (the core keeps one registration): a host may have removed every sink.
    core->add_sink(StandIn());
    Logger& logger = BoostLog_Get();
    if (boost::log::record record = logger.open_record(boost::log::keywords::severity = severity)) {
        boost::log::record_ostream stream(record);
        stream << text;
        stream.flush();
        logger.push_record(std::move(record));
        return;
    }
    if (severity >= SeverityLevel_Error && core->get_logging_enabled())
        FailureToStandardError(severity, text);
}

// ---- The callback route ----
//
// Records are queued and delivered by one thread at a time, with no lock held while the callback
// runs: the thread that finds nobody delivering delivers, its own record and then whatever other
// threads queued meanwhile; a thread that finds a delivery under way queues its record and goes
// on. So a callback may itself build a mask (whose generator threads write records) without
// waiting for itself, records never reach the callback on two threads at once, and a record written
// inside the callback reaches it after the call that wrote it has returned.

namespace {

struct SPendingRecord
{
    int severity;
    std::string text;
    std::string scope;
};

// Records queued at most; a writer other than the delivering thread waits for room, so that a
// slow callback slows the writers down rather than growing the queue without bound.
constexpr size_t kMaxPendingRecords = 4096;

struct SCallbackRoute
{
    std::mutex lock;
    std::condition_variable changed;  // a call of the callback ended, or the queue shrank
    zeb_log::RecordCallback callback = nullptr;
    void* user = nullptr;
    unsigned long long generation = 0;  // counts the callbacks chosen
    std::deque<SPendingRecord> pending;
    bool delivering = false;  // a thread is delivering the queue ...
    std::thread::id deliverer;
    bool calling = false;  // ... and is inside a call of the callback of this generation
    unsigned long long callingGeneration = 0;
};

// Never destroyed: a record written while the process exits still finds it.
SCallbackRoute& CallbackRoute()
{
    static SCallbackRoute* const route = new SCallbackRoute();
    return *route;
}

bool DeliveringOnThisThread(const SCallbackRoute& route)
{
    return route.delivering && route.deliverer == std::this_thread::get_id();
}

// Delivers the queue until it is empty; called with the lock held, returns with it held.
void DeliverPending(SCallbackRoute& route, std::unique_lock<std::mutex>& hold)
{
    route.delivering = true;
    route.deliverer = std::this_thread::get_id();
    while (!route.pending.empty()) {
        const SPendingRecord record = std::move(route.pending.front());
        route.pending.pop_front();
        const zeb_log::RecordCallback callback = route.callback;
        void* const user = route.user;
        if (callback == nullptr)
            continue;
        route.calling = true;
        route.callingGeneration = route.generation;
        hold.unlock();
        try {
            callback(record.severity, record.text.c_str(), record.scope.c_str(), user);
        } catch (...) {
            // A host's exception must not unwind through the library's threads.
        }
        hold.lock();
        route.calling = false;
        route.changed.notify_all();
    }
    route.delivering = false;
}

void ToCallback(ESeverityLevel severity, const std::string& text)
{
    SCallbackRoute& route = CallbackRoute();
    SPendingRecord record{static_cast<int>(severity), text, InnermostScope()};
    std::unique_lock<std::mutex> hold(route.lock);
    if (route.callback == nullptr)
        return;
    if (!DeliveringOnThisThread(route))
        route.changed.wait(hold, [&route] {
            return route.pending.size() < kMaxPendingRecords || !route.delivering;
        });
    route.pending.push_back(std::move(record));
    if (!route.delivering)
        DeliverPending(route, hold);
}

}  // namespace

void zeb_log::Route_ToCallback(RecordCallback callback, void* user)
{
    SCallbackRoute& route = CallbackRoute();
    {
        std::unique_lock<std::mutex> hold(route.lock);
        route.callback = callback;
        route.user = user;
        const unsigned long long chosen = ++route.generation;
        // The callback replaced may be running on another thread: once this returns it is never
        // called again. A callback that chooses another route itself is not waited for.
        if (!DeliveringOnThisThread(route))
            route.changed.wait(hold, [&route, chosen] {
                return !route.calling || route.callingGeneration >= chosen;
            });
    }
    g_route.store(&ToCallback, std::memory_order_release);
}
