// Internal to the library: the routes of the library's records other than the Boost.Log core.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>

namespace zeb_log {

// severity (ESeverityLevel as an int), the message, the innermost scope (the writing function's
// signature), the host's pointer.
using RecordCallback = void (*)(int severity, const char* text, const char* scope, void* user);

// From now on every record of the library goes to `callback` (null: nowhere) instead of the core.
// Safe while other threads write records: a call of the previous callback under way finishes
// first, and the previous callback is never called once this returns. The callback is called
// with no lock of the library held, never on two threads at once: on the thread that writes a
// record, or on the thread whose call of the callback is under way then (which delivers the
// record once that call returns). So a callback may build masks itself.
void Route_ToCallback(RecordCallback callback, void* user);

// Drops this thread's records for the life of the object.
class CQuietScope
{
public:
    CQuietScope() { ++t_quiet; }
    ~CQuietScope() { --t_quiet; }
    CQuietScope(const CQuietScope&) = delete;
    CQuietScope& operator=(const CQuietScope&) = delete;
};

}  // namespace zeb_log
