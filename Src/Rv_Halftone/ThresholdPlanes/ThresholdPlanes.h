// The stored threshold planes (internal): the sixteen planes PlaneDerive.h describes, plane n at
// sample n x kPlaneSamples, row-major.
#pragma once

#include "../Rv_Halftone_Internal.h"
#include "PlaneDerive.h"

#include <cstdint>

extern "C" const uint16_t rv_threshold_planes[];

namespace rv_halftone {
constexpr int kPlaneCount = planes::kPlaneCount;
constexpr int kPlaneSamples = planes::kTileCells;
// The build step lays the planes out; the library reads them with its own tile size and scale.
static_assert(planes::kTileSize == kThresholdSize,
              "the stored planes have the library's tile size");
static_assert(planes::kLevelScale == kLevelScale,
              "the stored planes use the library's level scale");

// Whether `count` layers of width x height two-byte samples are int-addressable; false, with the
// reason stated, when not. The layers are counted in colours.
bool ThresholdLayers_Fit(int width, int height, int count);
}  // namespace rv_halftone
