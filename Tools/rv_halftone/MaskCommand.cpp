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
    std::string lines;  // "FIRST:LAST" page lines of the pass maps; empty: the lead-in and a cycle
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
    std::vector<std::string> passColours;  // pass t in colour t mod their count
};

// Page lines a pass map shows at most: by default (the lead-in and one cycle of mask positions
// fit for every common mode), and when chosen with --lines. Longer stretches are cut, and the
// report says so.
constexpr int kPassMapDefaultLines = 4096;
constexpr int kPassMapMaxLines = 16384;

// The stretch the pass maps show, and what was cut of the one asked for ("" when nothing).
struct SPassMapLines
{
    SLineRange lines;
    std::string note;
};

SMaskReport Report_Make(const CMaskData_Base& mask)
{
    SMaskReport report;
    report.current = mask.MaskParam_Current();
    report.kernel = rv_halftone_kernel_variant();
    for (const PassColour& colour : PassPalette(mask.BasePass()))
        report.passColours.push_back(colour.name);
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

nlohmann::json Report_ToJson(const SMaskReport& report)
{
    const SGeometry& g = report.geometry;
    nlohmann::json json = {
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
        {"passColours", report.passColours},
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

// "FIRST:LAST" into a range; false when the text is not two whole numbers in order.
bool ParseLines(const std::string& text, SLineRange& lines)
{
    char end = '\0';
    return std::sscanf(text.c_str(), "%d:%d%c", &lines.first, &lines.last, &end) == 2 &&
           lines.first <= lines.last;
}

// The stretch --lines asks for, or the default: from the top of the lead-in, at least one more
// swath and one whole cycle of positions. Refuses a stretch above the lead-in's top.
SPassMapLines PassMapLines(const rv_analysis::CPrintPlan& plan, const std::string& asked,
                           SReport& report)
{
    SPassMapLines chosen;
    const int height = plan.MaskRows();
    int cap = kPassMapMaxLines;
    if (asked.empty()) {
        chosen.lines.first = -plan.LeadLines();
        chosen.lines.last =
            chosen.lines.first + std::max(2 * height, height + plan.CycleLines()) - 1;
        cap = kPassMapDefaultLines;
    } else if (!ParseLines(asked, chosen.lines)) {
        report.Refuse("--lines " + asked +
                      ": give FIRST:LAST page lines with FIRST <= LAST, e.g. --lines=-100:400 "
                      "(negative lines lie in the lead-in)");
        return chosen;
    } else if (chosen.lines.first < -plan.LeadLines()) {
        report.Refuse("--lines " + asked + ": the first line must be at least " +
                      std::to_string(-plan.LeadLines()) +
                      ", the top of the lead-in (no pass reaches above it)");
        return chosen;
    }
    if (chosen.lines.Count() > cap) {
        chosen.note = "lines " + std::to_string(chosen.lines.first + cap) + " to " +
                      std::to_string(chosen.lines.last) + " cut: at most " + std::to_string(cap) +
                      " lines" + (asked.empty() ? ", choose others with --lines" : "");
        chosen.lines.last = chosen.lines.first + cap - 1;
    }
    return chosen;
}

// One picture per colour and mask position (fired pixels dark), one pass map and one chart of
// the passes' shares per line per colour. Returns the paths written.
std::vector<std::string> Pictures_Write(const rv_analysis::CPrintPlan& plan,
                                        const SPassMapLines& chosen, const SOutputOptions& output)
{
    PrepareOutDir(output.outDir,
                  {R"(mask_c\d+_p\d+\.png)", R"(passmap_c\d+\.png)", R"(shares_c\d+\.png)"});
    const int colours = plan.ColorCount();
    const int positions = plan.PositionCount();
    std::vector<std::string> files;
    Progress progress("writing pictures");
    for (int c = 0; c < colours; ++c) {
        // Pass p < N lays position p.
        for (int p = 0; p < positions; ++p) {
            progress.Update(static_cast<long long>(c) * (positions + 2) + p,
                            static_cast<long long>(colours) * (positions + 2));
            char name[64];
            std::snprintf(name, sizeof name, "mask_c%d_p%02d.png", c, p);
            files.push_back(output.outDir + "/" + name);
            WritePngGreyPacked(files.back(), plan.RowsOfPosition(c, p), plan.Width(),
                               plan.MaskRows(), plan.LineBytes(), plan.BitsPerPixel(),
                               output.Png(true));
        }
        const SLineRange& lines = chosen.lines;
        files.push_back(output.outDir + "/passmap_c" + std::to_string(c) + ".png");
        WritePassMap(files.back(), rv_analysis::Simulate(plan, c, lines.first, lines.Count()),
                     plan.Mask().BasePass(), output.scale, chosen.note);
        progress.Update(static_cast<long long>(c) * (positions + 2) + positions + 1,
                        static_cast<long long>(colours) * (positions + 2));
        files.push_back(output.outDir + "/shares_c" + std::to_string(c) + ".png");
        WritePassShares(files.back(), plan, c, lines);
    }
    return files;
}

void PrintLegend(const SMaskReport& report, const SPassMapLines& chosen)
{
    const size_t count = report.passColours.size();
    std::printf("Pass maps: page lines %d to %d%s%s; pass t is drawn in colour t mod %zu:",
                chosen.lines.first, chosen.lines.last, chosen.note.empty() ? "" : " (",
                chosen.note.empty() ? "" : (chosen.note + ")").c_str(), count);
    for (size_t i = 0; i < count; ++i)
        std::printf("%s %zu %s", i == 0 ? "" : ",", i, report.passColours[i].c_str());
    std::printf("; unfired pixels white\n");
}

void RunMask(const SMaskOptions& options, SReport& report)
{
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    const SMaskReport geometry = Report_Make(*mask);
    const SOutputOptions& output = options.output;
    const rv_analysis::CPrintPlan plan(*mask);
    const SPassMapLines chosen = PassMapLines(plan, options.lines, report);
    if (report.status != EReportStatus::Ok)
        return;
    const bool pictures = !output.outDir.empty();
    if (pictures)
        report.files = Pictures_Write(plan, chosen, output);
    report.own = Report_ToJson(geometry);
    report.own["passMapLines"] = {chosen.lines.first, chosen.lines.last};
    if (!chosen.note.empty())
        report.own["passMapNote"] = chosen.note;
    if (!output.json) {
        Report_Print(geometry);
        if (pictures)
            PrintLegend(geometry, chosen);
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
                     "a pass map per colour (with its legend) and a chart of the share of each "
                     "line each pass lays",
                     "print the report as JSON");
    command->add_option("--lines", options->lines,
                        "FIRST:LAST page lines of the pass maps and share charts (negative lines "
                        "lie in the lead-in: write --lines=-100:400); default: from the top of "
                        "the lead-in, one more swath and one cycle of positions, at most " +
                            std::to_string(kPassMapDefaultLines) + " lines (chosen: at most " +
                            std::to_string(kPassMapMaxLines) + ")");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        WarnUnreadFeatherOptions(*command, options->param);
        RunMask(*options, report);
    });
}
