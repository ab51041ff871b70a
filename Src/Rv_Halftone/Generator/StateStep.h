// Internal: one step of a generator thread's state machine, as both the master's and the workers'
// OneLoop run it.
#pragma once

#include <ZebCommon/CustomThreadBase.h>

#include <BoostLogWrapper/CustomBoostLog.h>

namespace rv_halftone {

// Runs `step`. A step that fails, or throws (an allocation, say), writes the record
// "m_processState = " with the state number and stops the thread; true when it succeeded.
template <class Step> bool RunStateStep(CustomThreadBase& thread, int state, const Step& step)
{
    bool done = false;
    try {
        done = step();
    } catch (...) {
        done = false;
    }
    if (done)
        return true;
    ZEB_LOG(SeverityLevel_Error, "m_processState = " << state);
    thread.Stop();
    return false;
}

}  // namespace rv_halftone
