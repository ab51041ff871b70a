// Internal to the library: the cut tables, one range of threshold levels per nozzle row.
//
// A paper line at offset r within its step of S rows lies under the nozzle rows r, r + S, r + 2S,
// ...; the line is printed right when the ranges of those rows cover the levels exactly as often
// as the colour is to be laid (once, or colorTimes times). The pass mask, the overlap band and
// the ramp decoder all build their tables here; CMaskData_Base's exported cut-table members
// forward to these functions.
#pragma once

#include <RvPlanes/PlaneDerive.h>
#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/FeatherProfile.h>

#include <vector>

namespace rv_halftone {
namespace cut_tables {

// Every range lies within [0, kLevelScale): a range up to it takes every level of a plane.
using planes::kLevelScale;

// ---- Slices: `rows` consecutive entries that all take [low, high) ----

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
void AppendEqualSplit(CutSliceList& slices, int count, int rowsPerSlice);

// The slices of `passCount` passes laid `colorTimes` times: the passes form colorTimes
// consecutive groups of passCount / colorTimes passes (the last group takes the remainder), and
// each group splits the whole scale among its passes. colorTimes must be at least 1.
CutSliceList ColorGroups(int passCount, int colorTimes, int rowsPerSlice);

// Writes the slices one after the other from the start of the table. Bounds are stored
// truncated to 16 bits.
void Expand(const CutSliceList& slices, SCutTable* table);

// ---- The unfeathered family ----

// passCount passes of rowsPerPass rows, pass i printing the i-th passCount-th of the scale.
void Unfeathered_OneTime(SCutTable* table, int rowsPerPass, int passCount);
// The passes in colorTimes groups, each group printing every level once. False, with a failure
// record, for colorTimes below 1.
bool Unfeathered_ColorTimes(SCutTable* table, int passCount, int colorTimes, int rowsPerPass);

// ---- Two-part smoothing ----

// P x S + e entries: e feathered rows, S - e plain rows, step after step, and e feathered rows
// last. False, with a failure record, when the split does not describe P passes of S rows.
bool TwoPart(SCutTable* table, int passCount, int step, int colorTimes, const STwoPartSplit& split);
// The plain rows: passCount slices of passRows rows, laid colorTimes times.
bool TwoPart_Plain(SCutTable* table, int passCount, int colorTimes, int passRows);
// The n = e x (P + 1) feathered rows: every e-th entry from j < e on gives P + 1 ranges that
// cover the scale once between them. Never touches more than n entries.
bool TwoPart_Feather(SCutTable* table, int n, int featherRows);

// ---- Three-part smoothing ----

// A linear ramp over n rows with steps of s rows: every paper line gets the levels below
// levelPercent % of the scale exactly once. False, with a failure record, for s outside 0 to n or
// a level percent outside 1 to 100.
bool ThreePart_Ramp(SCutTable* table, int n, int s, int levelPercent);
// Exact single cover of n rows in steps of s, also when s does not divide n.
bool ThreePart_EqualCover(SCutTable* table, int n, int s);
// The ramp with every range widened colorTimes times about its centre.
bool ThreePart_Widened(SCutTable* table, int n, int s, int levelPercent, int colorTimes);
// colorTimes - 1 unfeathered groups of passCount / colorTimes passes, then a ramp over the rest.
bool ThreePart_GroupsThenRamp(SCutTable* table, int n, int s, int passCount, int colorTimes,
                              int levelPercent);

// ---- The table of a pass mask ----

// What the table of a pass mask depends on: its working profile and the record's passes.
struct SPassMaskTable
{
    EFeatherFamily family;
    int passCount;  // P
    int step;       // S, base rows per pass
    int rows;       // nozzle rows of a mask position: entries of the table
    int colorTimes;
    int levelPercent;     // three-part smoothing: share of the scale laid
    STwoPartSplit split;  // two-part smoothing
};

// Fills the `shape.rows` entries of the table as the profile says.
bool Build(const SPassMaskTable& shape, SCutTable* table);

// ---- What the builders accept ----
// Each is the check its builder makes before it writes anything, so that a build can check a
// profile without a table: false, with a failure record (and the reason stated where a field of
// the record is at fault), where the builder would refuse.
bool Unfeathered_ColorTimesAccepts(int colorTimes);
bool TwoPart_Accepts(int passCount, int step, const STwoPartSplit& split);
bool ThreePart_RampAccepts(int n, int s, int levelPercent);
bool ThreePart_WidenedAccepts(int n, int s, int levelPercent, int colorTimes);
bool Build_Accepts(const SPassMaskTable& shape);

}  // namespace cut_tables
}  // namespace rv_halftone
