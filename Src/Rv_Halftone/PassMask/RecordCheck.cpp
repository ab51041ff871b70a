#include "RecordCheck.h"

#include <Rv_Halftone/MaskData_Base.h>

#include "../Refusal.h"

#include <LogRoute.h>

namespace rv_halftone {

SRecordVerdict CheckRecord(const SMaskParam& param)
{
    const zeb_log::CQuietScope quiet;
    const CCheckOnlyScope checkOnly;
    const CRefusalListener listener;
    CMaskData_Base mask;
    if (mask.Create(param))
        return {true, std::string()};
    return {false, listener.Reason()};
}

}  // namespace rv_halftone
