#include "PassMask/RecordCheck.h"

#include <Rv_Halftone/MaskData_Base.h>

#include "Common/Refusal.h"

#include <BoostLogWrapper/LogRoute.h>

namespace rv_halftone {

SRecordVerdict CheckRecord(const SMaskParam& param)
{
    const zeb_log::CQuietScope quiet;
    const CRefusalListener listener;
    CMaskData_Base mask;
    if (mask.Check(param))
        return {true, std::string()};
    return {false, listener.Reason()};
}

}  // namespace rv_halftone
