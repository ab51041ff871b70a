#include "PassMap.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using rv_analysis::SIndexRange;

constexpr SRgb kUnfired = {255, 255, 255};

// "passes 1, 5, 9" or "passes 1, 5, ..., 41": the passes of one colour in a picture.
std::string PassesText(const std::vector<int>& passes)
{
    if (passes.empty())
        return "no pass here";
    std::string text = passes.size() == 1 ? "pass " : "passes ";
    const size_t shown = passes.size() <= 5 ? passes.size() : 3;
    for (size_t i = 0; i < shown; ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(passes[i]);
    if (shown < passes.size())
        text += ", ..., " + std::to_string(passes.back());
    return text;
}

// The legend of a pass map or share chart: each colour with the passes drawn in it.
std::vector<std::pair<std::string, SRgb>> PassLegend(const std::set<int>& passes,
                                                     const std::vector<SPassColor>& palette)
{
    const size_t count = palette.size();
    std::vector<std::vector<int>> byColour(count);
    for (const int pass : passes)
        byColour[static_cast<size_t>(pass) % count].push_back(pass);
    std::vector<std::pair<std::string, SRgb>> legend;
    for (size_t k = 0; k < count; ++k)
        legend.emplace_back(PassesText(byColour[k]), palette[k].rgb);
    return legend;
}

// What the legend's colours mean, in words.
std::vector<std::string> PaletteNotes(const rv_analysis::CPrintPlan& plan, size_t colours)
{
    const int every = std::max(1, plan.MaskRows() / plan.StepHeight());
    std::vector<std::string> notes = {"pass t in colour t mod " + std::to_string(colours)};
    if (static_cast<int>(colours) == every)
        notes.push_back(std::to_string(every) + " passes lay every line");
    else
        notes.push_back(std::to_string(every) + " passes lay every line: colours repeat");
    if (plan.MaskRows() % plan.StepHeight() != 0)
        notes.push_back("feathered lines get one more");
    return notes;
}

std::vector<SChartMarker> PageLineZero(const SIndexRange& lines)
{
    if (lines.first <= 0 && 0 < lines.end)
        return {{0.0, "page line 0"}};
    return {};
}

}  // namespace

std::string LinesText(const SIndexRange& lines)
{
    return std::to_string(lines.first) + ":" + std::to_string(lines.end);
}

std::vector<SPassColor> PassPalette(const rv_analysis::CPrintPlan& plan)
{
    // Colours far apart in hue, the first ones the most distinct.
    static const SPassColor kColours[] = {
        {"red", {230, 25, 75}},      {"green", {60, 180, 75}},   {"blue", {0, 130, 200}},
        {"orange", {245, 130, 48}},  {"purple", {145, 30, 180}}, {"cyan", {70, 240, 240}},
        {"magenta", {240, 50, 230}}, {"lime", {170, 200, 20}},   {"brown", {170, 110, 40}},
        {"navy", {0, 0, 128}},       {"olive", {128, 128, 0}},   {"teal", {0, 128, 128}},
    };
    constexpr int kNamed = sizeof kColours / sizeof kColours[0];
    const int every = std::max(1, plan.MaskRows() / plan.StepHeight());
    std::vector<SPassColor> palette;
    for (int i = 0; i < std::min(every, kMaxPassColors); ++i) {
        SPassColor colour = kColours[i % kNamed];
        if (i >= kNamed) {  // beyond the named colours, the same ones darker
            colour.name = "dark " + colour.name;
            colour.rgb = {static_cast<uint8_t>(colour.rgb.red / 2),
                          static_cast<uint8_t>(colour.rgb.green / 2),
                          static_cast<uint8_t>(colour.rgb.blue / 2)};
        }
        palette.push_back(colour);
    }
    return palette;
}

SRgbPicture PassMapPicture(const rv_analysis::SFireCounts& fired,
                           const std::vector<SPassColor>& palette)
{
    SRgbPicture picture;
    picture.width = fired.width;
    picture.height = fired.lineCount;
    picture.rgb.resize(fired.lastPass.size() * 3);
    for (size_t i = 0; i < fired.lastPass.size(); ++i) {
        const SRgb colour =
            fired.lastPass[i] < 0
                ? kUnfired
                : palette[static_cast<size_t>(fired.lastPass[i]) % palette.size()].rgb;
        picture.rgb[3 * i] = colour.red;
        picture.rgb[3 * i + 1] = colour.green;
        picture.rgb[3 * i + 2] = colour.blue;
    }
    return picture;
}

SPictureFrame PassMapFrame(const rv_analysis::CPrintPlan& plan, int colour,
                           const rv_analysis::SFireCounts& fired,
                           const std::vector<SPassColor>& palette,
                           const std::vector<std::string>& notes)
{
    const std::set<int> passes(fired.lastPass.begin(), fired.lastPass.end());
    std::set<int> fires;
    for (const int pass : passes)
        if (pass >= 0)
            fires.insert(pass);
    const SIndexRange lines{fired.firstLine, fired.firstLine + fired.lineCount};
    SPictureFrame frame;
    frame.axes = {"pass map of colour " + std::to_string(colour) +
                      ": each pixel in the colour of the pass that fired it last",
                  "pixel across the mask",
                  "page line",
                  0.0,
                  static_cast<double>(fired.width),
                  static_cast<double>(lines.first),
                  static_cast<double>(lines.end)};
    frame.legend = PassLegend(fires, palette);
    frame.legend.emplace_back("not fired", kUnfired);
    frame.notes = PaletteNotes(plan, palette.size());
    frame.notes.push_back("page lines " + LinesText(lines));
    if (lines.first < 0)
        frame.notes.push_back("lead-in above page line 0");
    frame.notes.insert(frame.notes.end(), notes.begin(), notes.end());
    frame.yMarks = PageLineZero(lines);
    return frame;
}

void WritePassShares(const std::string& path, const rv_analysis::CPrintPlan& plan, int colour,
                     const std::vector<SPassColor>& palette, const SIndexRange& lines)
{
    const size_t classes = palette.size();
    std::vector<double> x;
    std::vector<std::vector<double>> shares(classes);
    std::set<int> passesShown;
    double highest = 0.0;
    for (int line = lines.first; line < lines.end; ++line) {
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
            if (fired > 0)
                passesShown.insert(pass.print);
        }
        highest = std::max(highest, stack);
    }
    const std::vector<std::pair<std::string, SRgb>> legend = PassLegend(passesShown, palette);
    std::vector<SChartLayer> layers;
    for (size_t k = 0; k < classes; ++k)
        layers.push_back({legend[k].first, palette[k].rgb, shares[k]});
    const SChartAxes axes = {"share of each page line laid by each pass, colour " +
                                 std::to_string(colour) + " (pass t in colour t mod " +
                                 std::to_string(classes) + ")",
                             "page line",
                             "% of the line",
                             static_cast<double>(lines.first),
                             static_cast<double>(std::max(lines.end, lines.first + 1)),
                             0.0,
                             std::max(100.0, std::ceil(highest / 100.0 - 1e-9) * 100.0)};
    std::vector<SChartMarker> markers;
    if (lines.first < 0 && 0 < lines.end)
        markers.push_back({0.0, "page line 0: lead-in ends"});
    StackedChart(900, 420, axes, x, layers, markers).WritePng(path);
}

SRgbPicture FireCountPicture(const rv_analysis::SFireCounts& fired)
{
    static const SRgb kGreys[] = {{255, 255, 255}, {160, 160, 160}, {80, 80, 80}, {0, 0, 0}};
    SRgbPicture picture;
    picture.width = fired.width;
    picture.height = fired.lineCount;
    picture.rgb.resize(fired.counts.size() * 3);
    for (size_t i = 0; i < fired.counts.size(); ++i) {
        const SRgb grey = kGreys[std::min<size_t>(fired.counts[i], 3)];
        picture.rgb[3 * i] = grey.red;
        picture.rgb[3 * i + 1] = grey.green;
        picture.rgb[3 * i + 2] = grey.blue;
    }
    return picture;
}

SPictureFrame FireCountFrame(int colour, const rv_analysis::SFireCounts& fired)
{
    const SIndexRange lines{fired.firstLine, fired.firstLine + fired.lineCount};
    SPictureFrame frame;
    frame.axes = {"fire counts of colour " + std::to_string(colour) +
                      ": how often each page pixel is fired",
                  "pixel across the mask",
                  "page line",
                  0.0,
                  static_cast<double>(fired.width),
                  static_cast<double>(lines.first),
                  static_cast<double>(lines.end)};
    frame.legend = {{"0 times", {255, 255, 255}},
                    {"once", {160, 160, 160}},
                    {"twice", {80, 80, 80}},
                    {"3 or more", {0, 0, 0}}};
    frame.notes = {"page lines " + LinesText(lines)};
    frame.yMarks = PageLineZero(lines);
    return frame;
}
