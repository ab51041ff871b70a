#include "MaskBuild.h"

#include <Rv_Halftone/Rv_Halftone.h>

#include <cstring>

void ContainerDeleter::operator()(void* container) const
{
    halfton_mask_container_delete(container);
}

ContainerHandle BuildMask(const SMaskParam& param)
{
    SMaskParam_Test record;
    static_assert(sizeof record == sizeof param, "the two records share one layout");
    std::memcpy(&record, &param, sizeof record);
    void* container = nullptr;
    if (!halfton_mask_container_create(record, container))
        return ContainerHandle();
    return ContainerHandle(container);
}
