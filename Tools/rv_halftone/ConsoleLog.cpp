#include "ConsoleLog.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

// Severities as the library's callback gives them.
enum ESeverity
{
    Severity_Trace = 0,
    Severity_Info = 1,
    Severity_Error = 2,
};

std::atomic<int> g_lowestShown{Severity_Error};

const char* SeverityName(int severity)
{
    switch (severity) {
    case Severity_Trace: return "trace";
    case Severity_Info: return "info";
    case Severity_Error: return "error";
    }
    return "record";
}

void ToStandardError(int severity, const char* text, const char* scope, void*)
{
    if (severity < g_lowestShown.load(std::memory_order_relaxed))
        return;
    // One write per line, so that lines of the library's threads do not mix.
    const std::string line = std::string("[") + SeverityName(severity) + "] " + scope + ": " +
                             text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

void RouteLibraryRecordsToStandardError() { rv_halftone_set_log_callback(&ToStandardError, nullptr); }

void ShowProgressRecords() { g_lowestShown.store(Severity_Info, std::memory_order_relaxed); }
