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
    SMaskParam param;
    SOutputOptions output;
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
    SMaskParam input;
    SMaskParam current;
    SGeometry geometry;
    std::string kernel;
    bool pictures = false;           // --out was given
    std::vector<std::string> files;  // the pictures written
};

// Paper lines a pass map shows at most: the lead-in and one cycle of mask positions fit for
// every common mode.
constexpr int kPassMapMaxLines = 4096;

SMaskReport Report_Make(const CMaskData_Base& mask)
{
    SMaskReport report;
    report.input = mask.MaskParam_Input();
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

nlohmann::json Report_ToJson(const SMaskReport& report)
{
    const SGeometry& g = report.geometry;
    nlohmann::json json = {
        {"input", RecordToJson(report.input)},
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
    if (report.pictures)
        json["files"] = report.files;
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

// One picture per colour and mask position (fired pixels dark) and one pass map per colour.
std::vector<std::string> Pictures_Write(const rv_analysis::CPrintPlan& plan,
                                        const SOutputOptions& output)
{
    std::filesystem::create_directories(output.outDir);
    const int colours = plan.ColorCount();
    const int positions = plan.PositionCount();
    std::vector<std::string> files;
    Progress progress("writing pictures");
    for (int c = 0; c < colours; ++c) {
        // Pass p < N lays position p.
        for (int p = 0; p < positions; ++p) {
            progress.Update(static_cast<long long>(c) * (positions + 1) + p,
                            static_cast<long long>(colours) * (positions + 1));
            char name[64];
            std::snprintf(name, sizeof name, "mask_c%d_p%02d.png", c, p);
            WritePngGreyPacked(output.outDir + "/" + name, plan.RowsOfPass(c, p), plan.Width(),
                               plan.NozzleRows(), plan.LineBytes(), plan.BitsPerPixel(),
                               output.Png(true));
            files.push_back(name);
        }
        // From the top of the lead-in: at least one more swath and one whole cycle of positions.
        const int height = plan.NozzleRows();
        const int lines =
            std::min(kPassMapMaxLines, std::max(2 * height, height + plan.CycleLines()));
        const std::string name = "passmap_c" + std::to_string(c) + ".png";
        WritePassMap(output.outDir + "/" + name,
                     rv_analysis::Simulate(plan, c, -plan.LeadLines(), lines),
                     plan.Mask().BasePass(), output.Png());
        files.push_back(name);
    }
    return files;
}

void PrintLegend(int basePass)
{
    std::printf("Pass map colours (pass t is drawn in colour t mod %d; unfired pixels white):",
                basePass + 1);
    const std::vector<PassColour> palette = PassPalette(basePass);
    for (size_t i = 0; i < palette.size(); ++i)
        std::printf("%s %zu %s", i == 0 ? "" : ",", i, palette[i].name.c_str());
    std::printf("\n");
}

int RunMask(const SMaskOptions& options)
{
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, "mask");
    if (!mask)
        return 1;
    SMaskReport report = Report_Make(*mask);
    const SOutputOptions& output = options.output;
    report.pictures = !output.outDir.empty();
    if (report.pictures)
        report.files = Pictures_Write(rv_analysis::CPrintPlan(*mask), output);
    if (output.json) {
        std::cout << Report_ToJson(report).dump(2) << "\n";
    } else {
        Report_Print(report);
        if (report.pictures)
            PrintLegend(mask->BasePass());
    }
    if (report.pictures)
        std::fprintf(stderr, "mask: wrote %zu pictures to %s\n", report.files.size(),
                     output.outDir.c_str());
    return 0;
}

}  // namespace

CommandRun AddMaskCommand(CLI::App& app)
{
    auto options = std::make_shared<SMaskOptions>();
    CLI::App* command = app.add_subcommand("mask", "Build a pass mask and show its geometry");
    AddRecordOptions(*command, options->param);
    AddOutputOptions(*command, options->output,
                     "folder for one picture per colour and mask position (fired pixels dark) "
                     "and a pass map per colour",
                     "print the geometry as JSON");
    return [options, command]() { return command->parsed() ? RunMask(*options) : -1; };
}
