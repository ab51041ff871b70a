// The plain byte-per-pixel loops: the definition that every fast variant is checked against,
// and the path for record shapes the fast ones leave alone.
#pragma once

#include "PixelKernels.h"

namespace rv_halftone {
namespace kernels {
namespace plain {

// One pixel at a time, wrapping the column at every step. columnStart is in [0, layerWidth).
void CutRowToBytes(const uint16_t* layerRow, int layerWidth, int columnStart, int width,
                   SCutTable cut, unsigned char value, unsigned char* blockRow);

// One pixel at a time: each byte shifted to its place (bits above the output byte dropped) and
// ORed in. Any bitsPerPixel from 1 to 8; always true.
bool PackRowFromBytes(const unsigned char* const* blockRows, int blockCount, int width,
                      int bitsPerPixel, unsigned char* out);

// The two passes: every pass's row cut into its own zeroed byte-per-pixel row (in the job's
// scratch), then the rows packed together.
void CutPackRows(const CutPackJob& job);
long long CutPackScratchWords(int layerWidth, int passCount, int width);

}  // namespace plain
}  // namespace kernels
}  // namespace rv_halftone
