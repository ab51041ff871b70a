// rv_halftone mask: build a pass mask through the flat interface and show its geometry.
#include "Commands.h"
#include "MaskBuild.h"
#include "PassMap.h"
#include "PngWriter.h"
#include "PrintSimulation.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct MaskOptions
{
    SMaskParam param;
    bool json = false;
    std::string outDir;
    int scale = 1;
};

// Paper lines a pass map shows at most: the lead-in and one cycle of mask positions fit for
// every common mode.
constexpr int kPassMapMaxLines = 4096;

nlohmann::json GeometryToJson(void* container)
{
    // The handle is a CMaskData_Base; the tool reads the details the flat functions do not give.
    const auto* mask = static_cast<const CMaskData_Base*>(container);
    nlohmann::json xSteps = nlohmann::json::array(), ySteps = nlohmann::json::array();
    for (int i = 0; i < mask->XResPass(); ++i)
        xSteps.push_back(mask->XResStep()[i]);
    for (int i = 0; i < mask->YResPass(); ++i)
        ySteps.push_back(mask->YResStep()[i]);
    return {
        {"maskWidth", halfton_mask_width(container)},
        {"maskHeight", halfton_mask_height(container)},
        {"lineBytes", halfton_mask_line_bytes(container)},
        {"stepHeight", halfton_mask_step_height(container)},
        {"leadBlankHeight", halfton_mask_lead_blank_height(container)},
        {"realStepHeight", mask->RealStepHeight_IncludeRes()},
        {"maskPositionCount", mask->MaskPositionCount()},
        {"thresholdHeight", mask->ThresholdHeight()},
        {"bytesOnePosition", mask->MaskBytes_OnePosition()},
        {"bytesOneColor", mask->MaskBytes_OneColor()},
        {"bytesAll", static_cast<long long>(mask->MaskBytes_OneColor()) *
                         mask->MaskParam_Current().colorCount},
        {"xResStep", xSteps},
        {"yResStep", ySteps},
    };
}

void PrintTable(const nlohmann::json& report)
{
    const nlohmann::json& g = report["geometry"];
    const nlohmann::json& c = report["current"];
    std::printf("Pass mask geometry\n");
    const auto row = [](const char* name, const std::string& value, const char* unit) {
        std::printf("  %-20s %12s  %s\n", name, value.c_str(), unit);
    };
    row("mask width", g["maskWidth"].dump(), "pixels per row");
    row("mask height", g["maskHeight"].dump(), "rows per mask position");
    row("line bytes", g["lineBytes"].dump(), "bytes per row of one colour");
    row("step height", g["stepHeight"].dump(), "rows the paper advances per pass");
    row("real step height", g["realStepHeight"].dump(), "rows per pass and resolution pass");
    row("lead blank height", g["leadBlankHeight"].dump(), "blank rows leading the print");
    row("mask positions", g["maskPositionCount"].dump(), "positions before the tile repeats");
    row("tile height", g["thresholdHeight"].dump(), "threshold rows per tile");
    row("bytes per position", g["bytesOnePosition"].dump(), "");
    row("bytes per colour", g["bytesOneColor"].dump(), "");
    row("bytes in all", g["bytesAll"].dump(), "");
    row("x resolution steps", g["xResStep"].dump(), "row offsets");
    row("y resolution steps", g["yResStep"].dump(), "row offsets");
    std::printf("Kernels: %s\n", report["kernel"].get<std::string>().c_str());
    std::printf("Working record: passes %s x %s x %s, feather mode %s type %s, %s colour(s), %s bit(s)\n",
                c["basePass"].dump().c_str(), c["xResPass"].dump().c_str(), c["yResPass"].dump().c_str(),
                c["featherMode"].dump().c_str(), c["featherNozzleType"].dump().c_str(),
                c["colorCount"].dump().c_str(), c["bitsPerPixel"].dump().c_str());
}

// One picture per colour and mask position (fired pixels dark) and one pass map per colour.
nlohmann::json WritePictures(void* container, const MaskOptions& options)
{
    const auto& mask = *static_cast<const CMaskData_Base*>(container);
    std::filesystem::create_directories(options.outDir);
    PngOptions maskPng;
    maskPng.scale = options.scale;
    maskPng.invert = true;
    PngOptions mapPng;
    mapPng.scale = options.scale;
    const int colours = mask.MaskParam_Current().colorCount;
    const int positions = mask.MaskPositionCount();
    nlohmann::json files = nlohmann::json::array();
    Progress progress("writing pictures");
    for (int c = 0; c < colours; ++c) {
        for (int p = 0; p < positions; ++p) {
            progress.Update(static_cast<long long>(c) * (positions + 1) + p,
                            static_cast<long long>(colours) * (positions + 1));
            int counter = p - 1;
            const unsigned char* rows = halfton_mask_data(container, c, counter);
            char name[64];
            std::snprintf(name, sizeof name, "mask_c%d_p%02d.png", c, p);
            WritePngGreyPacked(options.outDir + "/" + name, rows, halfton_mask_width(container),
                               halfton_mask_height(container), halfton_mask_line_bytes(container),
                               mask.BitsPerPixel(), maskPng);
            files.push_back(name);
        }
        // The lead-in, then at least one more swath and one whole cycle of mask positions.
        const int height = mask.MaskHeight_IncludeRes();
        const int lines = std::min(kPassMapMaxLines,
                                   std::max(2 * height, height + positions * mask.StepHeight_IncludeRes()));
        const std::string name = "passmap_c" + std::to_string(c) + ".png";
        WritePassMap(options.outDir + "/" + name, print_simulation::Simulate(mask, c, 0, lines),
                     mask.BasePass(), mapPng);
        files.push_back(name);
    }
    return files;
}

void PrintLegend(int basePass)
{
    std::printf("Pass map colours (pass t is drawn in colour t mod %d; unfired pixels white):", basePass + 1);
    const std::vector<PassColour> palette = PassPalette(basePass);
    for (size_t i = 0; i < palette.size(); ++i)
        std::printf("%s %zu %s", i == 0 ? "" : ",", i, palette[i].name.c_str());
    std::printf("\n");
}

int RunMask(const MaskOptions& options)
{
    const ContainerHandle container = BuildMask(options.param);
    if (!container) {
        std::cerr << "rv_halftone mask: the library refused the record (see the records above)\n";
        return 1;
    }
    const CMaskData_Base& mask = MaskOf(container);
    nlohmann::json report = {
        {"input", RecordToJson(mask.MaskParam_Input())},
        {"current", RecordToJson(mask.MaskParam_Current())},
        {"geometry", GeometryToJson(container.get())},
        {"kernel", rv_halftone_kernel_variant()},
    };
    if (!options.outDir.empty())
        report["files"] = WritePictures(container.get(), options);
    if (options.json) {
        std::cout << report.dump(2) << "\n";
    } else {
        PrintTable(report);
        if (!options.outDir.empty())
            PrintLegend(mask.BasePass());
    }
    if (!options.outDir.empty())
        std::fprintf(stderr, "mask: wrote %zu pictures to %s\n", report["files"].size(), options.outDir.c_str());
    return 0;
}

}  // namespace

CommandRun AddMaskCommand(CLI::App& app)
{
    auto options = std::make_shared<MaskOptions>();
    CLI::App* command = app.add_subcommand("mask", "Build a pass mask and show its geometry");
    AddRecordOptions(*command, options->param);
    command->add_flag("--json", options->json, "print the geometry as JSON");
    command->add_option("--out", options->outDir,
                        "folder for one picture per colour and mask position (fired pixels dark) "
                        "and a pass map per colour");
    command->add_option("--scale", options->scale, "enlarge pictures by this integer factor (1 to 16)")
        ->check(CLI::Range(1, 16))->capture_default_str();
    return [options, command]() { return command->parsed() ? RunMask(*options) : -1; };
}
