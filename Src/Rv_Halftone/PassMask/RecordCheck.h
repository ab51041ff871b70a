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

// Runs Create's own checks on `param` (CMaskData_Base::Check: every step short of rendering, and
// rendering's check), writing no record, and keeps the reason the refusing step states. Allocates
// nothing for the mask's bytes.
SRecordVerdict CheckRecord(const SMaskParam& param);

}  // namespace rv_halftone
