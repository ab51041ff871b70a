// Pictures of a simulated print, each with its legend drawn inside.
#pragma once

#include "Canvas.h"

#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>

#include <string>
#include <vector>

// Colours of the passes in a pass map: pass t is drawn in colour t mod (base passes + 1), so the
// passes that visit one paper line (base passes, one more on feathered lines) never share one.
struct PassColour
{
    std::string name;
    SRgb rgb;
};
std::vector<PassColour> PassPalette(int basePass);

// Page lines first to last (inclusive); negative lines lie in the lead-in.
struct SLineRange
{
    int first = 0;
    int last = -1;

    int Count() const { return last - first + 1; }
};

// A stretch of paper, every pixel in the colour of the pass that fired it last, unfired white, at
// `scale`; beside it the legend, the lines shown and a tick at page line 0 (where the lead-in
// ends). `note` (may be empty) is written under the legend.
void WritePassMap(const std::string& path, const rv_analysis::SFireCounts& fired, int basePass,
                  int scale, const std::string& note);

// A stacked chart of the share of each paper line of `lines` that each pass lays, passes in their
// pass-map colours, the lead-in marked.
void WritePassShares(const std::string& path, const rv_analysis::CPrintPlan& plan, int colour,
                     const SLineRange& lines);

// Fire counts: 0 white, 1 mid grey, 2 dark grey, 3 or more black, with that legend beside.
void WriteFireCounts(const std::string& path, const rv_analysis::SFireCounts& fired, int scale);
