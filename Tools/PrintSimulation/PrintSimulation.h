// Simulates a print the way a host lays the masks, to check that every paper pixel is fired the
// intended number of times.
//
// In pass t the host lays mask position p = t mod N (N mask positions) and the paper has advanced
// t x stepHeight rows, so mask row r lies on paper line t x stepHeight + r. A paper line past the
// lead-in (line >= mask height) sees every mask row that will ever cover it.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>

#include <cstdint>
#include <string>
#include <vector>

namespace print_simulation {

// Fire counts of one colour over a stretch of paper: lineCount lines of width pixels.
struct FireCounts
{
    int firstLine = 0;
    int lineCount = 0;
    int width = 0;
    std::vector<uint8_t> counts;  // line-major
    // Pass (counted from 0) that last fired each pixel, for pictures of the pass map; -1 none.
    std::vector<int32_t> lastPass;

    uint8_t At(int line, int x) const { return counts[static_cast<size_t>(line) * width + x]; }
};

// Reads pixel x of a packed mask row: MSB first, bitsPerPixel bits; fired when all bits are set.
bool PixelFired(const unsigned char* row, int x, int bitsPerPixel);

// The paper stretch that begins right after the lead-in and spans one full cycle of mask
// positions (N x stepHeight lines), so that every position and phase is seen.
FireCounts Simulate(const CMaskData_Base& mask, int colorIndex);
FireCounts Simulate(const CMaskData_Base& mask, int colorIndex, int firstLine, int lineCount);

// What the mode promises a paper pixel.
enum class Promise
{
    Exact,          // every pixel is fired exactly the expected count (which may vary per line)
    BelowLevel,     // exactly the pixels whose threshold lies below the smoothing level, once
    None,           // no exact promise (sine ripple, three-part with colorTimes > 1)
};

struct ColorVerdict
{
    int colorIndex = 0;
    Promise promise = Promise::None;
    std::string expectation;          // human-readable rule
    std::vector<long long> histogram;  // histogram[k]: paper pixels fired k times
    long long pixels = 0;
    long long mismatches = 0;         // pixels whose count differs from the promise
    bool met = true;                  // no mismatch (always true without a promise)
};

// Checks one colour against the promise of the mask's mode.
ColorVerdict Verify(const CMaskData_Base& mask, int colorIndex);

// The count a paper pixel must receive under the mode's promise, or -1 without one. `line` is a
// paper line (mask rows), `x` an output pixel.
int ExpectedCount(const CMaskData_Base& mask, int colorIndex, int line, int x);

}  // namespace print_simulation
