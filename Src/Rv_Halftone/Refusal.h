// Internal to the library: why a build refuses its record, said where it refuses.
//
// A step that refuses a record states its reason with RV_REFUSE instead of writing its failure
// record alone: the failure record is written as before, and the reason goes to the listener open
// on this thread, if any. The innermost step refuses first, so the first reason stated is kept
// and the outer levels' reasons are ignored. Reasons name the record's fields and the rule in
// numbers a user can act on.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>

#include <sstream>
#include <string>

namespace rv_halftone {

// Keeps the first reason stated on this thread while it lives (listeners nest; the innermost one
// hears).
class CRefusalListener
{
public:
    CRefusalListener();
    ~CRefusalListener();
    CRefusalListener(const CRefusalListener&) = delete;
    CRefusalListener& operator=(const CRefusalListener&) = delete;

    const std::string& Reason() const { return m_reason; }

private:
    friend void StateRefusal(const std::string& reason);
    CRefusalListener* m_outer;
    std::string m_reason;
};

// True while a listener on this thread has no reason yet: only then is a reason worth composing.
bool RefusalWanted();
void StateRefusal(const std::string& reason);

// While one lives on this thread, a build checks its record without rendering: Create runs every
// refusing step, sizes what it would allocate, and stops before the threshold layers, the output
// and the generator are made.
class CCheckOnlyScope
{
public:
    CCheckOnlyScope();
    ~CCheckOnlyScope();
    CCheckOnlyScope(const CCheckOnlyScope&) = delete;
    CCheckOnlyScope& operator=(const CCheckOnlyScope&) = delete;
};
bool CheckingOnly();

// The parts streamed one after the other into one text.
template <typename... Parts> std::string Words(const Parts&... parts)
{
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

}  // namespace rv_halftone

// Refuses with a reason: `reason` (a std::string expression) is composed only when someone
// listens, then the failure record is written.
#define RV_REFUSE(reason)                                                                          \
    do {                                                                                           \
        if (rv_halftone::RefusalWanted())                                                          \
            rv_halftone::StateRefusal(reason);                                                     \
        ZEB_LOG_FAILURE();                                                                         \
    } while (false)
