// Internal: where in a threshold layer a unit of a mask reads. The generator's workers and the
// single-threaded renderer address the layer with these two functions alone.
#pragma once

namespace rv_halftone {

// Y pass j of mask position p reads the layer from row p x S + (j x S) / Y: positions one step
// apart, the Y passes of a position spread over its step. Callers keep both products in an int.
inline int ThresholdRowStart(int position, int yPass, int step, int yPasses)
{
    return (yPass * step) / yPasses + position * step;
}

// X pass k reads the layer from column (k x width) / X: the passes spread over the tile width.
inline int ThresholdColumnStart(int xPass, int width, int xPasses)
{
    return static_cast<int>((static_cast<long long>(width) * xPass) / xPasses);
}

}  // namespace rv_halftone
