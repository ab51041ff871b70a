#include <Rv_Halftone/MaskDataFactory.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include <memory>
#include <new>

CMaskData_Base* CMaskDataFactory::MaskData_Create(const SMaskParam& param)
{
    // The constructor zeroes every member, so a plain allocation starts the object at zero.
    std::unique_ptr<CMaskData_Base> mask(new (std::nothrow) CMaskData_Base());
    if (!mask) {
        ZEB_LOG_FAILURE();
        return nullptr;
    }
    if (!mask->Create(param)) {
        ZEB_LOG_FAILURE();
        return nullptr;
    }
    return mask.release();
}
