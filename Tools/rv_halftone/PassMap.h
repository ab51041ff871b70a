// Pictures of a simulated print, each in a frame with its axes, legend and notes.
#pragma once

#include "Canvas.h"

#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>

#include <string>
#include <vector>

// The colours of a pass map: pass t is drawn in colour t mod the palette's size. The palette has
// one colour per pass that lays every page line (the mask's rows over its step), so that every
// plain line shows the same colours whatever its place in the cycle and no stripe appears that
// the print does not have; a feathered line gets one pass more, which shares the colour of the
// pass that many before it. At most kMaxPassColors colours: beyond, the colours repeat, which
// the legend states.
struct SPassColor
{
    std::string name;
    SRgb rgb;
};
constexpr int kMaxPassColors = 24;
std::vector<SPassColor> PassPalette(const rv_analysis::CPrintPlan& plan);

// The pass map of `fired` (SFireCounts::lastPass): every pixel in the colour of the pass that fired
// it last, unfired white; page lines on the y axis with page line 0 marked; the legend names the
// passes of each colour by number. `notes` (may be empty) go under the legend.
SRgbPicture PassMapPicture(const rv_analysis::SFireCounts& fired,
                           const std::vector<SPassColor>& palette);
SPictureFrame PassMapFrame(const rv_analysis::CPrintPlan& plan, int colour,
                           const rv_analysis::SFireCounts& fired,
                           const std::vector<SPassColor>& palette,
                           const std::vector<std::string>& notes);

// A stacked chart of the share of each page line of `lines` that each pass lays, in the pass
// map's colours, page line 0 marked.
void WritePassShares(const std::string& path, const rv_analysis::CPrintPlan& plan, int colour,
                     const std::vector<SPassColor>& palette, const rv_analysis::SIndexRange& lines);

// Fire counts: 0 white, 1 mid grey, 2 dark grey, 3 or more black, with that legend.
SRgbPicture FireCountPicture(const rv_analysis::SFireCounts& fired);
SPictureFrame FireCountFrame(int colour, const rv_analysis::SFireCounts& fired);

// "-136:544": a range of page lines as options and reports write it, END excluded.
std::string LinesText(const rv_analysis::SIndexRange& lines);
