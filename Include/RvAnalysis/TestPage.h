// A halftoned test page to split: gradients, solid areas, fine lines and text-like strokes, in
// bands from top to bottom, dithered with one of the library's own threshold planes.
#pragma once

#include <RvAnalysis/PageSplitter.h>

#include <string>

namespace rv_analysis {

// Why a test page of this size cannot be made; empty when it can (1 or 2 bits per pixel, sides of
// 1 to 1,000,000 pixels, at most 256 MiB of packed pixels).
std::string TestPageRefusal(int width, int height, int bitsPerPixel);

// The page, ink levels 0 to 2^bitsPerPixel - 1 (full ink has all bits set); empty when refused.
SPackedPage MakeTestPage(int width, int height, int bitsPerPixel);

}  // namespace rv_analysis
