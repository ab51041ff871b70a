#include <BoostLogWrapper/CustomBoostLog.h>

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
