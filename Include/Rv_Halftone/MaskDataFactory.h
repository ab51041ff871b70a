// Makes fully built pass masks.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

class RV_HALFTONE_API CMaskDataFactory
{
public:
    // A new mask built from `param`, owned by the caller; null, with failure records after the
    // mask's own, when the record cannot be built.
    static CMaskData_Base* MaskData_Create(const SMaskParam& param);
};
