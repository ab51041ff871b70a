// The stored threshold planes (internal): 16 planes of 544 x 544 levels, plane n at sample
// n x 295,936, row-major.
#pragma once

#include <cstdint>

extern "C" const uint16_t rv_threshold_planes[];

namespace rv_halftone {
constexpr int kPlaneCount = 16;
constexpr int kPlaneSamples = 544 * 544;
}  // namespace rv_halftone
