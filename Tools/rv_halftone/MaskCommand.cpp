// rv_halftone mask: build a pass mask and show its geometry.
#include "CommandSupport.h"
#include "Commands.h"
#include "PassMap.h"
#include "PngWriter.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SMaskOptions
{
    alignas(4) SMaskParam param;  // packed: see RecordOptions.h
    SOutputOptions output;
    std::string lines;  // "FIRST:END" page lines of the pass maps; empty: the steady state
    int color = -1;     // the colour of the pictures; -1 every colour
};

struct SGeometry
{
    int maskWidth = 0;
    int maskHeight = 0;
    int lineBytes = 0;
    int stepHeight = 0;
    int leadBlankHeight = 0;
    int realStepHeight = 0;
    int maskPositionCount = 0;
    int thresholdHeight = 0;
    int bytesOnePosition = 0;
    int bytesOneColor = 0;
    long long bytesAll = 0;
    std::vector<int> xResStep;
    std::vector<int> yResStep;
};

struct SMaskReport
{
    alignas(4) SMaskParam current;  // packed: see RecordOptions.h
    SGeometry geometry;
    std::string kernel;
};

// Page lines a pass map shows at most: by default (a swath and one cycle of mask positions fit
// for every common mode), and when chosen with --lines. Longer stretches are cut, and the report
// says so.
constexpr int kPassMapDefaultLines = 4096;
constexpr int kPassMapMaxLines = 16384;
// The last page line a pass map may show: any real page is far shorter (a billion lines are 42 km
// at 600 lines an inch), and the pass numbers of every line up to it fit an int.
constexpr long long kLastPageLine = 1000000000;

// The stretch the pass maps show, and what was cut of the one asked for ("" when nothing).
struct SPassMapLines
{
    rv_analysis::SIndexRange lines;
    std::string note;
};

SMaskReport Report_Make(const CMaskData_Base& mask)
{
    SMaskReport report;
    report.current = mask.MaskParam_Current();
    report.kernel = rv_halftone_kernel_variant();
    SGeometry& g = report.geometry;
    g.maskWidth = mask.MaskWidth();
    g.maskHeight = mask.MaskHeight_IncludeRes();
    g.lineBytes = mask.MaskLineBytes_OneColor();
    g.stepHeight = mask.StepHeight_IncludeRes();
    g.leadBlankHeight = mask.LeadBlankHeight_IncludeRes();
    g.realStepHeight = mask.RealStepHeight_IncludeRes();
    g.maskPositionCount = mask.MaskPositionCount();
    g.thresholdHeight = mask.ThresholdHeight();
    g.bytesOnePosition = mask.MaskBytes_OnePosition();
    g.bytesOneColor = mask.MaskBytes_OneColor();
    g.bytesAll = static_cast<long long>(g.bytesOneColor) * report.current.colorCount;
    g.xResStep.assign(mask.XResStep(), mask.XResStep() + mask.XResPass());
    g.yResStep.assign(mask.YResStep(), mask.YResStep() + mask.YResPass());
    return report;
}

nlohmann::ordered_json Report_ToJson(const SMaskReport& report)
{
    const SGeometry& g = report.geometry;
    nlohmann::ordered_json json = {
        {"current", RecordToJson(report.current)},
        {"geometry",
         {
             {"maskWidth", g.maskWidth},
             {"maskHeight", g.maskHeight},
             {"lineBytes", g.lineBytes},
             {"stepHeight", g.stepHeight},
             {"leadBlankHeight", g.leadBlankHeight},
             {"realStepHeight", g.realStepHeight},
             {"maskPositionCount", g.maskPositionCount},
             {"thresholdHeight", g.thresholdHeight},
             {"bytesOnePosition", g.bytesOnePosition},
             {"bytesOneColor", g.bytesOneColor},
             {"bytesAll", g.bytesAll},
             {"xResStep", g.xResStep},
             {"yResStep", g.yResStep},
         }},
        {"kernel", report.kernel},
    };
    return json;
}

// "[0,136]": the steps as the JSON report writes them.
std::string StepsText(const std::vector<int>& steps)
{
    std::string text = "[";
    for (size_t i = 0; i < steps.size(); ++i)
        text += (i == 0 ? "" : ",") + std::to_string(steps[i]);
    return text + "]";
}

void Report_Print(const SMaskReport& report)
{
    const SGeometry& g = report.geometry;
    const SMaskParam& c = report.current;
    std::printf("Pass mask geometry\n");
    const auto row = [](const char* name, const std::string& value, const char* unit) {
        std::printf("  %-20s %12s  %s\n", name, value.c_str(), unit);
    };
    row("mask width", std::to_string(g.maskWidth), "pixels per row");
    row("mask height", std::to_string(g.maskHeight), "rows per mask position");
    row("line bytes", std::to_string(g.lineBytes), "bytes per row of one colour");
    row("step height", std::to_string(g.stepHeight), "rows the paper advances per pass");
    row("real step height", std::to_string(g.realStepHeight), "rows per pass and resolution pass");
    row("lead blank height", std::to_string(g.leadBlankHeight), "blank rows leading the print");
    row("mask positions", std::to_string(g.maskPositionCount), "positions before the tile repeats");
    row("tile height", std::to_string(g.thresholdHeight), "threshold rows per tile");
    row("bytes per position", std::to_string(g.bytesOnePosition), "");
    row("bytes per colour", std::to_string(g.bytesOneColor), "");
    row("bytes in all", std::to_string(g.bytesAll), "");
    row("x resolution steps", StepsText(g.xResStep), "row offsets");
    row("y resolution steps", StepsText(g.yResStep), "row offsets");
    std::printf("Kernels: %s\n", report.kernel.c_str());
    std::printf(
        "Working record: passes %d x %d x %d, feather mode %d type %d, %d colour(s), %d bit(s)\n",
        c.basePass, c.xResPass, c.yResPass, c.featherMode, c.featherNozzleType, c.colorCount,
        c.bitsPerPixel);
}

// The stretch --lines asks for, or the default: the steady state from page line 0 (a step of the
// lead-in above it, so that the mark of page line 0 shows), a swath and a cycle of positions long.
// Refuses a stretch above the lead-in's top or past kLastPageLine.
SPassMapLines PassMapLines(const rv_analysis::CPrintPlan& plan, const std::string& asked,
                           SReport& report)
{
    SPassMapLines chosen;
    const long long top = -plan.LeadLines();
    SWideLineRange wide;
    long long cap = kPassMapMaxLines;
    if (asked.empty()) {
        wide.first = -std::min(plan.LeadLines(), plan.StepHeight());
        wide.end = std::max(plan.MaskRows(), plan.CycleLines());
        cap = kPassMapDefaultLines;
    } else if (!ParseLineRange(asked, wide)) {
        report.Refuse("--lines " + asked +
                      ": give FIRST:END page lines with FIRST < END, END excluded, e.g. "
                      "--lines=-100:400 (negative lines lie in the lead-in)");
        return chosen;
    } else if (wide.first < top) {
        report.Refuse("--lines " + asked + ": FIRST must be at least " + std::to_string(top) +
                      ", the top of the lead-in (no pass reaches above it)");
        return chosen;
    }
    if (wide.end > wide.first + cap) {
        chosen.note = "lines " + std::to_string(wide.first + cap) + ":" +
                      std::to_string(wide.end) + " cut: at most " + std::to_string(cap) +
                      " lines" + (asked.empty() ? ", choose others with --lines" : "");
        wide.end = wide.first + cap;
    }
    if (wide.end > kLastPageLine) {
        report.Refuse("--lines " + asked + ": the pass maps show page lines up to " +
                      std::to_string(kLastPageLine) + " at most");
        return chosen;
    }
    chosen.lines = {static_cast<int>(wide.first), static_cast<int>(wide.end)};
    return chosen;
}

// Per colour chosen: one picture per mask position (fired pixels dark), one pass map and one chart
// of the passes' shares per line. Returns the paths written.
std::vector<std::string> Pictures_Write(const rv_analysis::CPrintPlan& plan,
                                        const SPassMapLines& chosen, const SMaskOptions& options,
                                        SReport& report)
{
    const SOutputOptions& output = options.output;
    const std::vector<int> colors = ChosenColors(options.color, plan.ColorCount());
    PrepareOutDir(output.outDir,
                  {R"(mask_c\d+_p\d+\.png)", R"(passmap_c\d+\.png)", R"(shares_c\d+\.png)"});
    const std::vector<SPassColor> palette = PassPalette(plan);
    const int positions = plan.PositionCount();
    const long long total = static_cast<long long>(colors.size()) * (positions + 2);
    std::vector<std::string> files;
    Progress progress("writing pictures");
    long long done = 0;
    for (const int c : colors) {
        // Pass p < N lays position p.
        for (int p = 0; p < positions; ++p) {
            progress.Update(done++, total);
            char name[64];
            std::snprintf(name, sizeof name, "mask_c%d_p%02d.png", c, p);
            files.push_back(output.outDir + "/" + name);
            WriteMaskPicture(files.back(), plan.RowsOfPosition(c, p), plan.Width(), plan.MaskRows(),
                             plan.LineBytes(), plan.BitsPerPixel(), output.scale,
                             "the mask pictures", report);
        }
        const rv_analysis::SIndexRange& lines = chosen.lines;
        const rv_analysis::SFireCounts fired =
            rv_analysis::Simulate(plan, c, lines.first, lines.Count());
        files.push_back(output.outDir + "/passmap_c" + std::to_string(c) + ".png");
        WriteFramedPicture(
            files.back(), PassMapPicture(fired, palette),
            PassMapFrame(plan, c, fired, palette,
                         chosen.note.empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{chosen.note}),
            output.scale, "the pass maps", report);
        progress.Update(done++, total);
        files.push_back(output.outDir + "/shares_c" + std::to_string(c) + ".png");
        WritePassShares(files.back(), plan, c, palette, lines);
        progress.Update(done++, total);
    }
    return files;
}

nlohmann::ordered_json PassMap_ToJson(const rv_analysis::CPrintPlan& plan,
                                      const SPassMapLines& chosen)
{
    nlohmann::ordered_json colors = nlohmann::ordered_json::array();
    for (const SPassColor& colour : PassPalette(plan))
        colors.push_back(colour.name);
    nlohmann::ordered_json json = {{"lines", {chosen.lines.first, chosen.lines.end}},
                                   {"colorCycle", colors.size()},
                                   {"colors", colors}};
    if (!chosen.note.empty())
        json["note"] = chosen.note;
    return json;
}

void PrintLegend(const rv_analysis::CPrintPlan& plan, const SPassMapLines& chosen)
{
    const std::vector<SPassColor> palette = PassPalette(plan);
    std::printf("Pass maps: page lines %s%s%s; pass t is drawn in colour t mod %zu:",
                LinesText(chosen.lines).c_str(), chosen.note.empty() ? "" : " (",
                chosen.note.empty() ? "" : (chosen.note + ")").c_str(), palette.size());
    for (size_t i = 0; i < palette.size(); ++i)
        std::printf("%s %zu %s", i == 0 ? "" : ",", i, palette[i].name.c_str());
    std::printf("; unfired pixels white\n");
}

void RunMask(const SMaskOptions& options, const CLI::App& command, SReport& report)
{
    const SOutputOptions& output = options.output;
    WarnPictureOptionsWithoutOut(command, output, {"--scale", "--lines", "--color"}, report);
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    const SMaskReport geometry = Report_Make(*mask);
    const rv_analysis::CPrintPlan plan(*mask);
    const SPassMapLines chosen = PassMapLines(plan, options.lines, report);
    if (report.status != EReportStatus::Ok)
        return;
    const bool pictures = !output.outDir.empty();
    if (pictures)
        report.files = Pictures_Write(plan, chosen, options, report);
    report.own = Report_ToJson(geometry);
    report.own["passMap"] = PassMap_ToJson(plan, chosen);
    if (!output.json) {
        Report_Print(geometry);
        if (pictures)
            PrintLegend(plan, chosen);
    }
    if (pictures)
        std::fprintf(stderr, "mask: wrote %zu pictures to %s\n", report.files.size(),
                     output.outDir.c_str());
}

}  // namespace

CommandRun AddMaskCommand(CLI::App& app)
{
    auto options = std::make_shared<SMaskOptions>();
    CLI::App* command = app.add_subcommand("mask", "Build a pass mask and show its geometry");
    AddRecordOptions(*command, options->param);
    AddOutputOptions(*command, options->output,
                     "folder for one picture per colour and mask position (fired pixels dark), "
                     "a pass map per colour (with its axes and legend) and a chart of the share "
                     "of each line each pass lays",
                     "print the report as JSON");
    command->add_option("--lines", options->lines,
                        "FIRST:END page lines of the pass maps and share charts, END excluded "
                        "(negative lines lie in the lead-in: write --lines=-100:400); default: "
                        "the steady state, from a step above page line 0, a swath and a cycle "
                        "of positions long, at most " +
                            std::to_string(kPassMapDefaultLines) + " lines (chosen: at most " +
                            std::to_string(kPassMapMaxLines) + ")");
    AddColorOption(*command, options->color,
                   "write the pictures of this colour only (0 to --color-count - 1)");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        RunMask(*options, *command, report);
    });
}
