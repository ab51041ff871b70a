/* A small extension of the flat interface for hosts that are not C++: plain C names, valid C99,
 * every function safe on a null handle. The flat interface of Rv_Halftone.h is unchanged. */
#ifndef RV_HALFTONE_EXT_H
#define RV_HALFTONE_EXT_H

#include <Rv_Halftone/Rv_Halftone_Export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, "MAJOR.MINOR.PATCH". Static storage. */
RV_HALFTONE_API const char* rv_halftone_version(void);

/* The pixel kernels this process renders with: "avx2", "portable" or "plain". Chosen once, on
 * first use, from the environment variable RV_HALFTONE_KERNEL when it names a variant this
 * processor runs, otherwise the fastest one it runs. Static storage. */
RV_HALFTONE_API const char* rv_halftone_kernel_variant(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* RV_HALFTONE_EXT_H */
