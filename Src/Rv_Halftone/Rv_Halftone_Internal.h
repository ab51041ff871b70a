// Internal to the library: never installed, never included by a host. The constants every part of
// the library shares, each defined once.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>

#include <climits>

namespace rv_halftone {

// Rows and columns of every stored threshold plane.
constexpr int kThresholdSize = 544;
// Top of the level scale: a range [0, kLevelScale) fires every pixel, since no plane holds it.
constexpr int kLevelScale = 65535;

// Workers of a pass-mask build, fixed whatever the processor count.
constexpr int kPassMaskWorkerCount = 6;
// A mask or overlap band that takes longer than this to render fails.
constexpr unsigned int kRenderTimeoutMs = 60000;
// Longest wait of a generator thread on a busy partner; every such wait is retried.
constexpr unsigned int kPartnerWaitMs = 100;
// Fourth argument of every band image the library creates: the line alignment in bytes.
constexpr int kBandLineAlign = 16;

// Sizes derived from a parameter record are computed in 64 bits and checked with this before
// anything is allocated, so that a hostile record is refused instead of wrapping.
inline bool FitsInt(long long value) { return value >= 0 && value <= INT_MAX; }

}  // namespace rv_halftone
