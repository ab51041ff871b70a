// The stored threshold planes (internal): the sixteen planes RvPlanes/PlaneDerive.h describes, of
// its tile size and level scale, plane n at sample n x planes::kTileCells, row-major.
#pragma once

#include <RvPlanes/PlaneDerive.h>

#include <cstdint>

extern "C" const uint16_t rv_threshold_planes[];

namespace rv_halftone {

// Whether `count` layers of width x height two-byte samples are int-addressable; false, with the
// reason stated, when not. The layers are counted in colours.
bool ThresholdLayers_Fit(int width, int height, int count);

}  // namespace rv_halftone
