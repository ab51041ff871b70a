// The flat interface: a container is a CMaskData_Base behind a void pointer.
#include <Rv_Halftone/Rv_Halftone.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/MaskData_Base.h>

#include <memory>
#include <new>

namespace {

const CMaskData_Base* Container(void* container)
{
    return static_cast<const CMaskData_Base*>(container);
}

}  // namespace

extern "C" {

RV_HALFTONE_API bool halfton_mask_container_create(const SMaskParam_Test& param, void*& container)
{
    // No exception may cross into the host: an allocation failure is a failed create, and
    // whatever was built of the container is released on every path.
    try {
        std::unique_ptr<CMaskData_Base> mask(new (std::nothrow) CMaskData_Base());
        if (mask == nullptr) {
            ZEB_LOG_FAILURE();
            return false;
        }
        if (mask->Create(MaskParam_Of(param))) {
            container = mask.release();
            return true;
        }
    } catch (...) {
    }
    ZEB_LOG_FAILURE();
    return false;
}

RV_HALFTONE_API const unsigned char* halfton_mask_data(void* container, int colorIndex,
                                                       int& positionCounter)
{
    return container != nullptr ? Container(container)->MaskData_Get(colorIndex, positionCounter)
                                : nullptr;
}

RV_HALFTONE_API int halfton_mask_height(void* container)
{
    return container != nullptr ? Container(container)->MaskHeight_IncludeRes() : 0;
}

RV_HALFTONE_API int halfton_mask_width(void* container)
{
    return container != nullptr ? Container(container)->MaskWidth() : 0;
}

RV_HALFTONE_API int halfton_mask_line_bytes(void* container)
{
    return container != nullptr ? Container(container)->MaskLineBytes_OneColor() : 0;
}

RV_HALFTONE_API int halfton_mask_step_height(void* container)
{
    return container != nullptr ? Container(container)->StepHeight_IncludeRes() : 0;
}

RV_HALFTONE_API int halfton_mask_lead_blank_height(void* container)
{
    return container != nullptr ? Container(container)->LeadBlankHeight_IncludeRes() : 0;
}

}  // extern "C"

RV_HALFTONE_API bool halfton_mask_container_delete(void*& container)
{
    delete static_cast<CMaskData_Base*>(container);
    container = nullptr;
    return true;
}
