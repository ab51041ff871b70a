// The C extension of the flat interface.
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <Rv_Halftone/MaskData_Base.h>

#include "Kernels/PixelKernels.h"
#include "PassMask/RecordCheck.h"

#include <BoostLogWrapper/LogRoute.h>

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

// Copies up to `size` of the `count` entries of a step table and returns `count`, so that a host
// may first ask with no room.
int CopySteps(const int* table, int count, int* steps, int size)
{
    if (steps != nullptr && table != nullptr)
        std::copy(table, table + std::min(std::max(size, 0), count), steps);
    return count;
}

}  // namespace

extern "C" {

RV_HALFTONE_API const char* rv_halftone_version(void) { return RV_HALFTONE_VERSION; }

RV_HALFTONE_API const char* rv_halftone_kernel_variant(void)
{
    namespace kernels = rv_halftone::kernels;
    return kernels::VariantName(kernels::ActiveKernels().variant);
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
        const rv_halftone::SRecordVerdict verdict = rv_halftone::CheckRecord(MaskParam_Of(*param));
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

RV_HALFTONE_API int rv_halftone_mask_real_step_height(void* container)
{
    return container != nullptr ? Container(container)->RealStepHeight_IncludeRes() : 0;
}

RV_HALFTONE_API int rv_halftone_mask_x_steps(void* container, int* steps, int size)
{
    if (container == nullptr)
        return 0;
    const CMaskData_Base& mask = *Container(container);
    return CopySteps(mask.XResStep(), mask.XResPass(), steps, size);
}

RV_HALFTONE_API int rv_halftone_mask_y_steps(void* container, int* steps, int size)
{
    if (container == nullptr)
        return 0;
    const CMaskData_Base& mask = *Container(container);
    return CopySteps(mask.YResStep(), mask.YResPass(), steps, size);
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
