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

CCustomBoostLog::Logger& CCustomBoostLog::BoostLog_Get()
{
    // A function-local static is built once, thread-safely, on first use and lives until exit.
    static Logger logger;
    return logger;
}
