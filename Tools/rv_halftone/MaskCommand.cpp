// rv_halftone mask: build a pass mask through the flat interface and show its geometry.
#include "Commands.h"
#include "RecordOptions.h"

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct MaskOptions
{
    SMaskParam param;
    bool json = false;
};

// Deletes the container through the flat interface.
struct ContainerDeleter
{
    void operator()(void* container) const { halfton_mask_container_delete(container); }
};
using ContainerHandle = std::unique_ptr<void, ContainerDeleter>;

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
    std::printf("Working record: passes %s x %s x %s, feather mode %s type %s, %s colour(s), %s bit(s)\n",
                c["basePass"].dump().c_str(), c["xResPass"].dump().c_str(), c["yResPass"].dump().c_str(),
                c["featherMode"].dump().c_str(), c["featherNozzleType"].dump().c_str(),
                c["colorCount"].dump().c_str(), c["bitsPerPixel"].dump().c_str());
}

int RunMask(const MaskOptions& options)
{
    SMaskParam_Test record;
    std::memcpy(&record, &options.param, sizeof record);
    void* raw = nullptr;
    if (!halfton_mask_container_create(record, raw)) {
        std::cerr << "rv_halftone mask: the library refused the record (see the records above)\n";
        return 1;
    }
    ContainerHandle container(raw);
    const auto* mask = static_cast<const CMaskData_Base*>(raw);
    nlohmann::json report = {
        {"input", RecordToJson(mask->MaskParam_Input())},
        {"current", RecordToJson(mask->MaskParam_Current())},
        {"geometry", GeometryToJson(raw)},
    };
    if (options.json)
        std::cout << report.dump(2) << "\n";
    else
        PrintTable(report);
    return 0;
}

}  // namespace

CommandRun AddMaskCommand(CLI::App& app)
{
    auto options = std::make_shared<MaskOptions>();
    CLI::App* command = app.add_subcommand("mask", "Build a pass mask and show its geometry");
    AddRecordOptions(*command, options->param);
    command->add_flag("--json", options->json, "print the geometry as JSON");
    return [options, command]() { return command->parsed() ? RunMask(*options) : -1; };
}
