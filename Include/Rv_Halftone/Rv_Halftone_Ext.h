/* A small extension of the flat interface for hosts that are not C++ (C, Python's ctypes, ...):
 * plain C names, valid C99, the same declarations in C and C++, every function safe on a null
 * handle and a null buffer. The flat interface of Rv_Halftone.h is unchanged.
 *
 * A container is the handle halfton_mask_container_create gives. */
#ifndef RV_HALFTONE_EXT_H
#define RV_HALFTONE_EXT_H

#include <Rv_Halftone/Rv_Halftone.h>
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

/* Whether halfton_mask_container_create accepts `param`, decided by the build's own steps short
 * of rendering (nothing is rendered, no record is written). When it does not, the reason names
 * the field and the rule, with the nearest values that work where they depend on other fields,
 * for example "featherPercent 1 leaves no feathered row: ...; raise featherPercent to at least
 * 1.23 ...". The text (empty when accepted) is written NUL-terminated into `text`, cut to
 * `textSize` - 1 characters; nothing is written for a null `text` or a `textSize` of 0. False for
 * a null `param`. A create can still fail for an accepted record when memory, threads or time run
 * out. */
RV_HALFTONE_API bool rv_halftone_record_reason(const SMaskParam_Test* param, char* text,
                                               size_t textSize);

/* More of a built container's geometry; 0 for a null container.
 * position_count: mask positions before the rows repeat (the counter of halfton_mask_data wraps
 * there); color_count: colour planes; bits_per_pixel: 1 or 2; bytes_per_position: bytes of one
 * colour at one position, halfton_mask_height() x halfton_mask_line_bytes(). */
RV_HALFTONE_API int rv_halftone_mask_position_count(void* container);
RV_HALFTONE_API int rv_halftone_mask_color_count(void* container);
RV_HALFTONE_API int rv_halftone_mask_bits_per_pixel(void* container);
RV_HALFTONE_API int rv_halftone_mask_bytes_per_position(void* container);

/* The paper's real advance per pass in mask rows: halfton_mask_step_height() divided by the X
 * and the Y resolution passes (after the split); 0 for a null container. */
RV_HALFTONE_API int rv_halftone_mask_real_step_height(void* container);

/* The step tables: the row offset of each X resolution pass (x_steps) and of each Y resolution
 * pass (y_steps), one entry per pass after the split. Each copies up to `size` entries into
 * `steps` and returns the table's length, so that a call with `size` 0 (or a null `steps`) asks
 * for the length alone; 0 for a null container. */
RV_HALFTONE_API int rv_halftone_mask_x_steps(void* container, int* steps, int size);
RV_HALFTONE_API int rv_halftone_mask_y_steps(void* container, int* steps, int size);

/* Deletes the container *container (null is fine) and sets *container to null; does nothing for
 * a null `container`. The C-linkage twin of halfton_mask_container_delete. */
RV_HALFTONE_API void rv_halftone_mask_delete(void** container);

/* The library's log records. Until this is first called they go to the host's Boost.Log core
 * (no sink there: Boost.Log prints them on the console). From the first call on they go to
 * `callback` only, or nowhere for a null callback, never to the core.
 * The callback gets the severity (0 trace, 1 info, 2 error: "failure" records are 2), the message,
 * the scope (the signature of the library function that wrote the record) and `user`. It may be
 * called on any thread that writes a record, the library's worker threads included, but never on
 * two threads at once. This function may be called at any time, also while masks are built on
 * other threads: a record being delivered finishes first, and the previous callback is never
 * called once it returns. The strings are valid during the call only. */
typedef void (*rv_halftone_log_callback)(int severity, const char* text, const char* scope,
                                         void* user);
RV_HALFTONE_API void rv_halftone_set_log_callback(rv_halftone_log_callback callback, void* user);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* RV_HALFTONE_EXT_H */
