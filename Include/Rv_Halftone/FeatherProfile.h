// The working profile of a pass mask: which feather family it is, decided once when the mask is
// built, and how a two-part feather splits its rows.
#pragma once

// Feather families. The record's featherMode and featherNozzleType select one; an unfeathered
// record whose nozzle rows do not divide into whole steps is built as a two-part feather.
enum EFeatherFamily
{
    FeatherFamily_Unfeathered = 0,      // every paper line laid by basePass passes
    FeatherFamily_TwoPart = 1,          // two-part smoothing: e rows per step under one pass more
    FeatherFamily_ThreePart = 2,        // three-part smoothing: ranges sliding down the head
    FeatherFamily_ThreePartRipple = 3,  // three-part smoothing with the sine ripple at swath edges
};

// How a two-part feather divides the rows of each step of S paper rows: e of them lie under
// P + 1 nozzle rows (the feathered rows), S - e under P. All zero for the other families.
struct STwoPartSplit
{
    int featherRows;     // e
    int passRows;        // S - e
    int passNozzles;     // (S - e) x P: nozzle rows serving the plain rows
    int featherNozzles;  // e x (P + 1): nozzle rows serving the feathered rows
};
