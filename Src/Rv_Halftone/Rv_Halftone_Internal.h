// Internal to the library: never installed, never included by a host.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>

#include <climits>

namespace rv_halftone {

// Rows and columns of every stored threshold plane.
constexpr int kThresholdSize = 544;
// Top of the level scale: a range [0, kLevelScale) fires every pixel.
constexpr int kLevelScale = 65535;

// Sizes derived from a parameter record are computed in 64 bits and checked with this before
// anything is allocated, so that a hostile record is refused instead of wrapping.
inline bool FitsInt(long long value)
{
    return value >= 0 && value <= INT_MAX;
}

}  // namespace rv_halftone
