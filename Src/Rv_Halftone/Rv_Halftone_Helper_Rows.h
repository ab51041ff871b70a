// Internal: the merge of Halftone_Helper with the caller's row pointers, for callers that must not
// allocate while they render (the generator's workers size theirs at the start of a run).
#pragma once

#include <Rv_Halftone/Rv_Halftone_Helper.h>

namespace rv_halftone {

// Halftone_Helper::MergeMaskData_YRes, with `rows` room for param.maskBlockCount row pointers.
bool MergeMaskRows(const SMergeMaskParam& param, const unsigned char** rows);

}  // namespace rv_halftone
