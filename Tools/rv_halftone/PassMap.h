// Pictures of a simulated print.
#pragma once

#include "PngWriter.h"

#include <RvAnalysis/PrintSimulation.h>

#include <string>
#include <vector>

// Colours of the passes in a pass map: pass t is drawn in colour t mod (base passes + 1), so the
// passes that visit one paper line (base passes, one more on feathered lines) never share one.
struct PassColour
{
    std::string name;
    unsigned char red, green, blue;
};
std::vector<PassColour> PassPalette(int basePass);

// A stretch of paper, every pixel in the colour of the pass that fired it last; unfired white.
void WritePassMap(const std::string& path, const rv_analysis::SFireCounts& fired, int basePass,
                  const PngOptions& options);

// Fire counts: 0 white, 1 mid grey, 2 dark grey, 3 or more black.
void WriteFireCounts(const std::string& path, const rv_analysis::SFireCounts& fired,
                     const PngOptions& options);
