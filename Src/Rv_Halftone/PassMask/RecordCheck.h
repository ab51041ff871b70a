// Internal to the library: whether CMaskData_Base::Create accepts a record, and why not.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <string>

namespace rv_halftone {

struct SRecordVerdict
{
    bool accepted;
    std::string reason;  // empty when accepted
};

// Runs Create's own steps on `param` short of rendering, writing no record, and keeps the reason
// the refusing step states. Allocates no more than the cut table of one mask position.
SRecordVerdict CheckRecord(const SMaskParam& param);

}  // namespace rv_halftone
