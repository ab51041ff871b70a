// Internal: packing byte-per-pixel blocks into mask rows, for callers that give the rows' places
// themselves and must not allocate while they render (the generator's workers size their row
// pointers at the start of a run).
#pragma once

#include <Rv_Halftone/MaskBlock.h>

namespace rv_halftone {

// ORs the `count` blocks (one width and height, pixel-interleaved) into packed rows: block row y
// goes to out + y x rowStride, bitsPerPixel bits a pixel (1 to 8), from the most significant bit
// down. `rows` has room for `count` row pointers. False, with a failure record, for blocks of
// different sizes, a missing buffer or a bit count outside 1 to 8; nothing happens for no block.
bool PackBlockRows(const CMaskBlock* blocks, int count, int bitsPerPixel, unsigned char* out,
                   long long rowStride, const unsigned char** rows);

}  // namespace rv_halftone
