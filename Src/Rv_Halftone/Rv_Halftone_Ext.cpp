// The C extension of the flat interface.
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include "Kernels/PixelKernels.h"

extern "C" {

RV_HALFTONE_API const char* rv_halftone_version(void) { return RV_HALFTONE_VERSION; }

RV_HALFTONE_API const char* rv_halftone_kernel_variant(void)
{
    return rv_halftone::kernels::ActiveKernels().name;
}

}  // extern "C"
