// Internal to the library (never installed): the size rules every layer of it shares. The
// threshold planes' own sizes (tile size, level scale, plane count) are RvPlanes'.
#pragma once

#include <climits>

namespace rv_halftone {

// Sizes derived from a parameter record are computed in 64 bits and checked with this before
// anything is allocated, so that a hostile record is refused instead of wrapping.
inline bool FitsInt(long long value) { return value >= 0 && value <= INT_MAX; }

// Fourth argument of every band image the library creates: the line alignment in bytes.
constexpr int kBandLineAlign = 16;

}  // namespace rv_halftone
