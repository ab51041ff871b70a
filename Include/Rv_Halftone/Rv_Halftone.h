/* The flat interface of libRv_Halftone: build one pass mask, read its geometry, fetch the mask
 * rows of a colour at successive mask positions, delete it.
 *
 * Valid C99 as well as C++. Under C the reference arguments of the C++ declarations are pointers;
 * symbols and calling convention are the same, so a C host links the same library.
 *
 * Threads: create and delete of one container must not overlap any other call on it. A created
 * container is read-only: geometry queries and data fetches may run on several threads at once,
 * each with its own position counter. No function takes a lock.
 *
 * Ownership: the container belongs to the host from create to delete. Pointers returned by
 * halfton_mask_data stay valid until the container is deleted.
 *
 * Failures are reported by the result and by "failure" records of severity 2 written to the
 * host's Boost.Log core; no C++ exception leaves these functions. */
#ifndef RV_HALFTONE_H
#define RV_HALFTONE_H

#include <Rv_Halftone/Rv_Halftone_Export.h>

#ifdef __cplusplus
#    include <cstddef>
#    include <cstdint>
#else
#    include <stdbool.h>
#    include <stddef.h>
#    include <stdint.h>
#endif

/* The pass mask parameter record: thirteen fields, byte-packed, 49 bytes, little-endian. Nothing
 * is converted or defaulted on the way in; the container's build checks the values. */
#pragma pack(push, 1)
typedef struct SMaskParam_Test
{
    int32_t nozzleCount;        /* offset  0: nozzle rows the mask may use, >= 1 */
    int32_t basePass;           /* offset  4: passes over each paper row, >= 1 */
    int32_t xResPass;           /* offset  8: horizontal resolution passes, >= 1 after the split */
    int32_t yResPass;           /* offset 12: vertical resolution passes, >= 1 after the split */
    int32_t colorCount;         /* offset 16: colour planes, >= 1 */
    int32_t bitsPerPixel;       /* offset 20: 1 or 2 */
    int32_t featherMode;        /* offset 24: 0 no feather, 1 nozzle feather */
    float featherPercent;       /* offset 28: 0 to 100 */
    int32_t featherNozzleType;  /* offset 32: with featherMode 1: 1 two-part, 2 or 3 three-part
                                   smoothing (3 adds the sine ripple) */
    int32_t colorTimes;         /* offset 36: times each pixel is laid, 1 to basePass */
    int32_t smoothLevelPercent; /* offset 40: 1 to 100, level share of three-part smoothing */
    int32_t resSplitMode;     /* offset 44: 1 X/2, 2 Y/2, 3 Y/3, 4 Y/4, 5 X/2 and Y/2, else none */
    uint8_t lessMaskPosition; /* offset 48: 0 normal choice of tile height, else fewest
                                 mask positions */
} SMaskParam_Test;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(SMaskParam_Test) == 49, "SMaskParam_Test crosses the library boundary");
static_assert(offsetof(SMaskParam_Test, basePass) == 4, "layout");
static_assert(offsetof(SMaskParam_Test, xResPass) == 8, "layout");
static_assert(offsetof(SMaskParam_Test, yResPass) == 12, "layout");
static_assert(offsetof(SMaskParam_Test, colorCount) == 16, "layout");
static_assert(offsetof(SMaskParam_Test, bitsPerPixel) == 20, "layout");
static_assert(offsetof(SMaskParam_Test, featherMode) == 24, "layout");
static_assert(offsetof(SMaskParam_Test, featherPercent) == 28, "layout");
static_assert(offsetof(SMaskParam_Test, featherNozzleType) == 32, "layout");
static_assert(offsetof(SMaskParam_Test, colorTimes) == 36, "layout");
static_assert(offsetof(SMaskParam_Test, smoothLevelPercent) == 40, "layout");
static_assert(offsetof(SMaskParam_Test, resSplitMode) == 44, "layout");
static_assert(offsetof(SMaskParam_Test, lessMaskPosition) == 48, "layout");
#endif

#ifdef __cplusplus
extern "C" {

/* Builds a mask from `param`. True: the mask is complete and its handle is stored in `container`.
 * False: failure records were written and `container` is unchanged. */
RV_HALFTONE_API bool halfton_mask_container_create(const SMaskParam_Test& param, void*& container);

/* The rows of colour `colorIndex` at the next mask position. The caller's counter is advanced
 * before use: a negative counter gives position 0, otherwise (counter + 1) mod positions; the
 * position is written back. The result addresses halfton_mask_height() rows of
 * halfton_mask_line_bytes() bytes. Null (counter untouched) for a null container or a colour
 * index outside 0 to colorCount - 1. */
RV_HALFTONE_API const unsigned char* halfton_mask_data(void* container, int colorIndex,
                                                       int& positionCounter);

/* Geometry of a built container; 0 for a null container.
 * height: rows of one mask position, including the vertical resolution;
 * width: pixels per row, including the horizontal resolution;
 * line_bytes: bytes of one row of one colour (pixels packed MSB first, bitsPerPixel bits each);
 * step_height: paper advance per pass, in mask rows;
 * lead_blank_height: blank rows that lead the print. */
RV_HALFTONE_API int halfton_mask_height(void* container);
RV_HALFTONE_API int halfton_mask_width(void* container);
RV_HALFTONE_API int halfton_mask_line_bytes(void* container);
RV_HALFTONE_API int halfton_mask_step_height(void* container);
RV_HALFTONE_API int halfton_mask_lead_blank_height(void* container);

} /* extern "C" */

/* Deletes the container (a null handle is fine) and sets the handle to null; always true.
 * C++ linkage: a host binding by name uses "_Z29halfton_mask_container_deleteRPv". */
RV_HALFTONE_API bool halfton_mask_container_delete(void*& container);

#else /* C */

RV_HALFTONE_API bool halfton_mask_container_create(const SMaskParam_Test* param, void** container);
RV_HALFTONE_API const unsigned char* halfton_mask_data(void* container, int colorIndex,
                                                       int* positionCounter);
RV_HALFTONE_API int halfton_mask_height(void* container);
RV_HALFTONE_API int halfton_mask_width(void* container);
RV_HALFTONE_API int halfton_mask_line_bytes(void* container);
RV_HALFTONE_API int halfton_mask_step_height(void* container);
RV_HALFTONE_API int halfton_mask_lead_blank_height(void* container);
/* The C++ symbol of the delete function, reached from C by its assembler name. */
RV_HALFTONE_API bool
halfton_mask_container_delete(void** container) __asm__("_Z29halfton_mask_container_deleteRPv");

#endif

#endif /* RV_HALFTONE_H */
