// rv_halftone ramp: the four band images of the ramp decoder.
#include "CommandSupport.h"
#include "Commands.h"
#include "PngWriter.h"

#include <RvBandData/BandData.h>
#include <Rv_Halftone/DecryptMask.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct SRampOptions
{
    int rampWidth = 64;
    int bandHeight = 256;
    SOutputOptions output;  // no JSON: the command only writes pictures

    SRampOptions() { output.outDir = "ramp"; }
};

int RunRamp(const SRampOptions& options)
{
    CDecryptMask decoder;
    if (!decoder.Create(options.rampWidth, options.bandHeight, 2)) {
        std::cerr << "rv_halftone ramp: the library refused the sizes (see the records above)\n";
        return 1;
    }
    const std::string& outDir = options.output.outDir;
    std::filesystem::create_directories(outDir);
    const PngOptions png = options.output.Png(true);
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
    for (const auto& entry : bands)
        WritePngGreyPacked(outDir + "/" + entry.name, entry.band->Buffer(), entry.band->Width(),
                           entry.band->Height(), entry.band->LineStride(), 2, png);
    std::printf("ramp: 4 bands of %d x %d pixels (2 bits) written to %s\n", options.rampWidth,
                options.bandHeight, outDir.c_str());
    return 0;
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
    AddOutputOptions(*command, options->output, "folder for the four pictures", nullptr);
    return [options, command]() { return command->parsed() ? RunRamp(*options) : -1; };
}
