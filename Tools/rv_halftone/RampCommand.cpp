// rv_halftone ramp: the four band images of the ramp decoder.
#include "CommandSupport.h"
#include "Commands.h"
#include "PngWriter.h"

#include <RvBandData/BandData.h>
#include <Rv_Halftone/DecryptMask.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

namespace {

struct SRampOptions
{
    int rampWidth = 64;
    int bandHeight = 256;
    SOutputOptions output;  // no folder by default: the command writes only where it is told
};

void RunRamp(const SRampOptions& options, SReport& report)
{
    for (const auto& [name, value] :
         {std::pair<const char*, int>{"--ramp-width", options.rampWidth},
          std::pair<const char*, int>{"--band-height", options.bandHeight}}) {
        if (value < 1) {
            report.Refuse(std::string(name) + " " + std::to_string(value) + " must be at least 1");
            return;
        }
    }
    CDecryptMask decoder;
    if (!decoder.Create(options.rampWidth, options.bandHeight, 2)) {
        report.Refuse("the library refused a band of " + std::to_string(options.rampWidth) + " x " +
                      std::to_string(options.bandHeight) +
                      " pixels: too large to address (see its records above)");
        return;
    }
    const struct
    {
        const char* name;
        const CBandData* band;
    } bands[] = {
        {"ramp_left.png", decoder.MaskBand_Left_Get()},
        {"ramp_left_not.png", decoder.MaskBand_Left_Not_Get()},
        {"ramp_right.png", decoder.MaskBand_Right_Get()},
        {"ramp_right_not.png", decoder.MaskBand_Right_Not_Get()},
    };
    report.own = {{"rampWidth", options.rampWidth},
                  {"bandHeight", options.bandHeight},
                  {"bitsPerPixel", 2},
                  {"bands", nlohmann::json::array()}};
    for (const auto& entry : bands)
        report.own["bands"].push_back(entry.name);
    const std::string& outDir = options.output.outDir;
    if (!outDir.empty()) {
        PrepareOutDir(outDir, {R"(ramp_(left|right)(_not)?\.png)"});
        const PngOptions png = options.output.Png(true);
        for (const auto& entry : bands) {
            report.files.push_back(outDir + "/" + entry.name);
            WritePngGreyPacked(report.files.back(), entry.band->Buffer(), entry.band->Width(),
                               entry.band->Height(), entry.band->LineStride(), 2, png);
        }
    }
    if (!options.output.json)
        std::printf(
            "ramp: 4 bands of %d x %d pixels (2 bits)%s\n", options.rampWidth, options.bandHeight,
            outDir.empty() ? "; give --out to write them" : (" written to " + outDir).c_str());
}

}  // namespace

CommandRun AddRampCommand(CLI::App& app)
{
    auto options = std::make_shared<SRampOptions>();
    CLI::App* command = app.add_subcommand(
        "ramp", "Write the left and right ramp bands of the decoder and their complements as PNG");
    command->add_option("--ramp-width", options->rampWidth, "pixels across the ramp (>= 1)")
        ->capture_default_str();
    command->add_option("--band-height", options->bandHeight, "lines of the band (>= 1)")
        ->capture_default_str();
    AddOutputOptions(*command, options->output, "folder for the four pictures (none without it)",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json,
                       [options](SReport& report) { RunRamp(*options, report); });
}
