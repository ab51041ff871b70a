#include "PassMap.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPanelWidth = 190;  // the legend panel beside a picture
constexpr int kMargin = 8;

// A picture of rgb pixels at `scale` with a panel of text and legend to its right; the panel's
// lines come first, then the legend, then `note`.
CCanvas WithPanel(const std::vector<uint8_t>& rgb, int width, int height, int scale,
                  const std::vector<std::string>& lines,
                  const std::vector<std::pair<std::string, SRgb>>& legend, const std::string& note)
{
    const int text = CCanvas::TextHeight() + 4;
    const int panelHeight =
        kMargin + text * static_cast<int>(lines.size() + 2 * legend.size() + 3) + kMargin;
    CCanvas canvas(kMargin + width * scale + kMargin + kPanelWidth,
                   std::max(kMargin + height * scale + kMargin, panelHeight));
    canvas.Paste(kMargin, kMargin, rgb.data(), width, height, scale);
    const int left = kMargin + width * scale + kMargin;
    int y = kMargin;
    for (const std::string& line : lines) {
        canvas.Text(left, y, line, kBlack);
        y += text;
    }
    y += canvas.Legend(left, y + 4, legend) + 8;
    if (!note.empty())
        canvas.Text(left, y, note, kBlack);
    return canvas;
}

}  // namespace

std::vector<PassColour> PassPalette(int basePass)
{
    static const PassColour kColours[] = {
        {"red", {230, 25, 75}},      {"green", {60, 180, 75}},   {"blue", {0, 130, 200}},
        {"orange", {245, 130, 48}},  {"purple", {145, 30, 180}}, {"cyan", {70, 240, 240}},
        {"magenta", {240, 50, 230}}, {"lime", {170, 200, 20}},   {"brown", {170, 110, 40}},
        {"navy", {0, 0, 128}},       {"olive", {128, 128, 0}},   {"teal", {0, 128, 128}},
    };
    constexpr int kCount = sizeof kColours / sizeof kColours[0];
    std::vector<PassColour> palette;
    for (int i = 0; i < basePass + 1; ++i) {
        PassColour colour = kColours[i % kCount];
        if (i >= kCount) {  // beyond the named colours, repeat them darker
            colour.name = "dark " + colour.name;
            colour.rgb = {static_cast<uint8_t>(colour.rgb.red / 2),
                          static_cast<uint8_t>(colour.rgb.green / 2),
                          static_cast<uint8_t>(colour.rgb.blue / 2)};
        }
        palette.push_back(colour);
    }
    return palette;
}

void WritePassMap(const std::string& path, const rv_analysis::SFireCounts& fired, int basePass,
                  int scale, const std::string& note)
{
    const std::vector<PassColour> palette = PassPalette(basePass);
    std::vector<uint8_t> rgb(static_cast<size_t>(fired.lineCount) * fired.width * 3, 255);
    for (size_t i = 0; i < fired.lastPass.size(); ++i) {
        if (fired.lastPass[i] < 0)
            continue;
        const SRgb colour = palette[static_cast<size_t>(fired.lastPass[i]) % palette.size()].rgb;
        rgb[3 * i] = colour.red;
        rgb[3 * i + 1] = colour.green;
        rgb[3 * i + 2] = colour.blue;
    }
    const int passColours = static_cast<int>(palette.size());
    std::vector<std::pair<std::string, SRgb>> legend;
    for (int k = 0; k < passColours; ++k)
        legend.emplace_back("pass t, t mod " + std::to_string(passColours) + " = " +
                                std::to_string(k),
                            palette[static_cast<size_t>(k)].rgb);
    legend.emplace_back("not fired", SRgb{235, 235, 235});
    const int last = fired.firstLine + fired.lineCount - 1;
    CCanvas canvas =
        WithPanel(rgb, fired.width, fired.lineCount, scale,
                  {"pass map",
                   "page lines " + std::to_string(fired.firstLine) + " to " + std::to_string(last),
                   "tick: page line 0,", "lead-in above"},
                  legend, note);
    // The tick in the left margin at page line 0, when it is shown.
    if (fired.firstLine <= 0 && last >= 0)
        canvas.Fill(0, kMargin + (-fired.firstLine) * scale, kMargin - 2, std::max(2, scale),
                    kBlack);
    canvas.WritePng(path);
}

void WritePassShares(const std::string& path, const rv_analysis::CPrintPlan& plan, int colour,
                     const SLineRange& lines)
{
    const std::vector<PassColour> palette = PassPalette(plan.Mask().BasePass());
    const size_t classes = palette.size();
    std::vector<double> x;
    std::vector<std::vector<double>> shares(classes);
    double highest = 0.0;
    for (int line = lines.first; line <= lines.last; ++line) {
        x.push_back(line);
        double stack = 0.0;
        for (std::vector<double>& share : shares)
            share.push_back(0.0);
        // Each print position t lays a line with one physical pass per X phase.
        const rv_analysis::SIndexRange passes = plan.PassesOnLines(line, line + 1);
        for (int g = passes.first; g < passes.end; ++g) {
            const rv_analysis::SPhysicalPass pass = plan.Pass(g);
            const int nozzle = plan.NozzleOfLine(pass, line);
            if (nozzle < 0)
                continue;
            const unsigned char* row = plan.RowOfNozzle(colour, pass, nozzle);
            int fired = 0;
            for (int column = pass.xPhase; column < plan.Width(); column += plan.XPasses())
                fired += rv_analysis::PixelFired(row, column, plan.BitsPerPixel()) ? 1 : 0;
            const double percent = 100.0 * fired / plan.Width();
            shares[static_cast<size_t>(pass.print) % classes].back() += percent;
            stack += percent;
        }
        highest = std::max(highest, stack);
    }
    std::vector<SChartLayer> layers;
    for (size_t k = 0; k < classes; ++k)
        layers.push_back({"t mod " + std::to_string(classes) + " = " + std::to_string(k),
                          palette[k].rgb, shares[k]});
    const SChartAxes axes = {"share of each page line laid by each pass t, colour " +
                                 std::to_string(colour),
                             "page line",
                             "% of the line",
                             static_cast<double>(lines.first),
                             static_cast<double>(std::max(lines.last, lines.first + 1)),
                             0.0,
                             std::max(100.0, std::ceil(highest / 100.0 - 1e-9) * 100.0)};
    std::vector<SChartMarker> markers;
    if (lines.first < 0 && lines.last >= 0)
        markers.push_back({0.0, "page line 0: lead-in ends"});
    StackedChart(900, 420, axes, x, layers, markers).WritePng(path);
}

void WriteFireCounts(const std::string& path, const rv_analysis::SFireCounts& fired, int scale)
{
    const SRgb greys[] = {{255, 255, 255}, {160, 160, 160}, {80, 80, 80}, {0, 0, 0}};
    std::vector<uint8_t> rgb(fired.counts.size() * 3);
    for (size_t i = 0; i < fired.counts.size(); ++i) {
        const SRgb grey = greys[std::min<size_t>(fired.counts[i], 3)];
        rgb[3 * i] = grey.red;
        rgb[3 * i + 1] = grey.green;
        rgb[3 * i + 2] = grey.blue;
    }
    const int last = fired.firstLine + fired.lineCount - 1;
    WithPanel(
        rgb, fired.width, fired.lineCount, scale,
        {"fire counts",
         "page lines " + std::to_string(fired.firstLine) + " to " + std::to_string(last)},
        {{"0 times", greys[0]}, {"once", greys[1]}, {"twice", greys[2]}, {"3 or more", greys[3]}},
        "")
        .WritePng(path);
}
