// The C extension of the flat interface.
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <Rv_Halftone/MaskData_Base.h>

#include "Kernels/PixelKernels.h"
#include "PassMask/RecordCheck.h"

#include <LogRoute.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const CMaskData_Base* Container(void* container)
{
    return static_cast<const CMaskData_Base*>(container);
}

void CopyText(const std::string& from, char* text, size_t textSize)
{
    if (text == nullptr || textSize == 0)
        return;
    const size_t length = std::min(from.size(), textSize - 1);
    std::memcpy(text, from.data(), length);
    text[length] = '\0';
}

}  // namespace

extern "C" {

RV_HALFTONE_API const char* rv_halftone_version(void) { return RV_HALFTONE_VERSION; }

RV_HALFTONE_API const char* rv_halftone_kernel_variant(void)
{
    return rv_halftone::kernels::ActiveKernels().name;
}

RV_HALFTONE_API bool rv_halftone_record_reason(const SMaskParam_Test* param, char* text,
                                               size_t textSize)
{
    if (param == nullptr) {
        CopyText("no record given", text, textSize);
        return false;
    }
    // No exception may cross into the host; a check that runs out of memory accepts nothing.
    try {
        SMaskParam record;
        static_assert(sizeof record == sizeof *param, "the two records share one layout");
        std::memcpy(&record, param, sizeof record);
        const rv_halftone::SRecordVerdict verdict = rv_halftone::CheckRecord(record);
        CopyText(verdict.reason, text, textSize);
        return verdict.accepted;
    } catch (...) {
        CopyText("the record could not be checked: out of memory", text, textSize);
        return false;
    }
}

RV_HALFTONE_API int rv_halftone_mask_position_count(void* container)
{
    return container != nullptr ? Container(container)->MaskPositionCount() : 0;
}

RV_HALFTONE_API int rv_halftone_mask_color_count(void* container)
{
    return container != nullptr ? Container(container)->MaskParam_Current().colorCount : 0;
}

RV_HALFTONE_API int rv_halftone_mask_bits_per_pixel(void* container)
{
    return container != nullptr ? Container(container)->BitsPerPixel() : 0;
}

RV_HALFTONE_API int rv_halftone_mask_bytes_per_position(void* container)
{
    return container != nullptr ? Container(container)->MaskBytes_OnePosition() : 0;
}

RV_HALFTONE_API void rv_halftone_mask_delete(void** container)
{
    if (container != nullptr)
        halfton_mask_container_delete(*container);
}

RV_HALFTONE_API void rv_halftone_set_log_callback(rv_halftone_log_callback callback, void* user)
{
    zeb_log::Route_ToCallback(callback, user);
}

}  // extern "C"
