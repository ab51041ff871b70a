#include <BoostLogWrapper/CustomBoostLog.h>

#include "LogRoute.h"

#include <mutex>
#include <string>

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

}  // namespace

CCustomBoostLog::Logger& CCustomBoostLog::BoostLog_Get()
{
    // A function-local static is built once, thread-safely, on first use and lives until exit.
    static Logger logger = MakeLogger();
    return logger;
}

// ---- The callback route ----

namespace {

struct SCallbackRoute
{
    // Recursive: a callback may write a record of its own or choose another route.
    std::recursive_mutex lock;
    zeb_log::RecordCallback callback = nullptr;
    void* user = nullptr;
};

// Never destroyed: a record written while the process exits still finds it.
SCallbackRoute& CallbackRoute()
{
    static SCallbackRoute* const route = new SCallbackRoute();
    return *route;
}

std::string InnermostScope()
{
    const boost::log::attributes::named_scope::value_type scopes =
        boost::log::attributes::named_scope::get_scopes();
    return scopes.empty() ? std::string() : std::string(scopes.back().scope_name.c_str());
}

void ToCallback(ESeverityLevel severity, const std::string& text)
{
    SCallbackRoute& route = CallbackRoute();
    const std::lock_guard<std::recursive_mutex> hold(route.lock);
    if (route.callback != nullptr)
        route.callback(static_cast<int>(severity), text.c_str(), InnermostScope().c_str(),
                       route.user);
}

}  // namespace

void zeb_log::Route_ToCallback(RecordCallback callback, void* user)
{
    SCallbackRoute& route = CallbackRoute();
    {
        const std::lock_guard<std::recursive_mutex> hold(route.lock);
        route.callback = callback;
        route.user = user;
    }
    g_route.store(&ToCallback, std::memory_order_release);
}
