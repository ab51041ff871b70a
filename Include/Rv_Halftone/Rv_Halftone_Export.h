/* The one export macro: everything of libRv_Halftone.so that a host may use carries it; every
 * other symbol is hidden. */
#ifndef RV_HALFTONE_EXPORT_H
#define RV_HALFTONE_EXPORT_H

#if defined(_WIN32)
#  if defined(RV_HALFTONE_BUILDING)
#    define RV_HALFTONE_API __declspec(dllexport)
#  else
#    define RV_HALFTONE_API __declspec(dllimport)
#  endif
#else
#  define RV_HALFTONE_API __attribute__((visibility("default")))
#endif

#endif
