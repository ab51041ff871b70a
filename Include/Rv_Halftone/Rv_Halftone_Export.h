/* The one export macro: everything of libRv_Halftone.so that a host may use carries it; every
 * other symbol is hidden.
 *
 * Names fixed by the interface: hosts bind them by name, so they stay as they are, quirks and all.
 *   - SMaskParam_Test is the production parameter record of the flat interface, not a test one;
 *     the flat functions carry the prefix "halfton_".
 *   - CDecryptMask decrypts nothing: it builds ramp band images and their complements.
 *   - Upate_TailData_By_HeadData and InitMaskSize_LessMaskPositon are misspelt.
 *   - Halftone_Helper holds the two pixel kernels and the development hooks.
 *   - CMaskDataGenerator_Sub is one worker thread of CMaskDataGenerator.
 *   - CMaskData_Base::CreateMaskData_Old is the plain renderer: one unit after another on the
 *     caller's thread, through byte-per-pixel blocks.
 *   - "Smooth_2" and "Smooth_3" in member names are two-part and three-part smoothing.
 * Where a class declares a friend named <Class>_Peer, that is the test suite's access to its
 * private steps and state; nothing else uses it. */
#ifndef RV_HALFTONE_EXPORT_H
#define RV_HALFTONE_EXPORT_H

#if defined(_WIN32)
#    if defined(RV_HALFTONE_BUILDING)
#        define RV_HALFTONE_API __declspec(dllexport)
#    else
#        define RV_HALFTONE_API __declspec(dllimport)
#    endif
#else
#    define RV_HALFTONE_API __attribute__((visibility("default")))
#endif

#endif
