// Internal to the library: why a build refuses its record, said where it refuses.
//
// A step that refuses a record says why with Refuse, in the record's field names and in numbers a
// user can act on, and returns its result:
//
//     if (p.bitsPerPixel != 1 && p.bitsPerPixel != 2)
//         return Refuse([&] { return Words("bitsPerPixel ", p.bitsPerPixel, " must be 1 or 2"); });
//
// The reason is composed only while a listener on this thread wants one (rv_halftone_record_reason
// opens one; a plain build has none). A refusal writes no log record of its own: a step that
// writes a failure record writes it as every failing operation does (ZEB_LOG_FAILURE). The
// innermost step refuses first, so the first reason stated is kept and the outer steps' reasons
// are ignored.
#pragma once

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
// Gives the reason to that listener; Refuse is the way steps call it.
void StateRefusal(const std::string& reason);

// States the reason `compose()` returns, if it is wanted, and returns false.
template <class ComposeReason> bool Refuse(const ComposeReason& compose)
{
    if (RefusalWanted())
        StateRefusal(compose());
    return false;
}

// The parts streamed one after the other into one text.
template <typename... Parts> std::string Words(const Parts&... parts)
{
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

}  // namespace rv_halftone
