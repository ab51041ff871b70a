// Internal to the library: the slice list from which the pass-by-pass cut tables are expanded.
#pragma once

#include <Rv_Halftone/CutTable.h>

#include <vector>

namespace rv_halftone {

// One pass of a cut table: `rows` consecutive entries that all take [low, high).
struct SCutSlice
{
    int high;
    int low;
    int rows;
};

using CutSliceList = std::vector<SCutSlice>;

// Appends the scale split into `count` equal slices of `rowsPerSlice` rows each: slice j covers
// [j x 65535 / count, (j + 1) x 65535 / count). The slices meet without gap or overlap, so the
// passes of one group print every level once. A count below 1 appends nothing.
void CutSlices_AppendEqualSplit(CutSliceList& slices, int count, int rowsPerSlice);

// The slices of `passCount` passes laid `colorTimes` times: the passes form colorTimes
// consecutive groups of passCount / colorTimes passes (the last group takes the remainder), and
// each group splits the whole scale among its passes. colorTimes must be at least 1.
CutSliceList CutSlices_ColorGroups(int passCount, int colorTimes, int rowsPerSlice);

// Writes the slices one after the other from the start of the table: slice 0 fills its `rows`
// entries, slice 1 the next ones, and so on. Bounds are stored truncated to 16 bits.
void CutSlices_Expand(const CutSliceList& slices, SCutTable* table);

}  // namespace rv_halftone
