// Building a pass mask for a command, through the flat interface as a host does.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>

#include <memory>

// Deletes the container through the flat interface.
struct ContainerDeleter
{
    void operator()(void* container) const;
};
using ContainerHandle = std::unique_ptr<void, ContainerDeleter>;

// Null when the library refuses the record (its records then explain why).
ContainerHandle BuildMask(const SMaskParam& param);

// The container is a CMaskData_Base: the tool reads the details the flat functions do not give.
inline const CMaskData_Base& MaskOf(const ContainerHandle& container)
{
    return *static_cast<const CMaskData_Base*>(container.get());
}
