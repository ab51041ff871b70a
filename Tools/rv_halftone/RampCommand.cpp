// rv_halftone ramp: the four band images of the ramp decoder.
#include "CommandLine.h"
#include "CommandSupport.h"
#include "Commands.h"

#include <RvAnalysis/PrintPlan.h>
#include <RvBandData/BandData.h>
#include <Rv_Halftone/DecryptMask.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SRampOptions
{
    int rampWidth = 64;
    int bandHeight = 256;
    SOutputOptions output;  // no folder by default: the command writes only where it is told
};

constexpr int kRampBits = 2;

struct SBand
{
    const char* name;  // as the report names it
    const char* file;  // the picture's name in --out
    const CBandData* band;
};

// The share of each column of a band that is fired, in percent: the ramp as a user reads it.
std::vector<double> FiredPercentPerColumn(const CBandData& band)
{
    std::vector<double> percent(static_cast<size_t>(band.Width()), 0.0);
    for (int y = 0; y < band.Height(); ++y) {
        const unsigned char* row = band.Buffer() + static_cast<size_t>(y) * band.LineStride();
        for (int x = 0; x < band.Width(); ++x)
            percent[static_cast<size_t>(x)] += rv_analysis::PixelFired(row, x, kRampBits) ? 1 : 0;
    }
    for (double& p : percent)
        p = 100.0 * p / band.Height();
    return percent;
}

void WriteRampChart(const std::string& path, const std::vector<SBand>& bands)
{
    const SRgb colours[] = {{230, 25, 75}, {245, 130, 48}, {0, 130, 200}, {70, 200, 240}};
    std::vector<SChartSeries> series;
    for (size_t i = 0; i < bands.size(); ++i) {
        SChartSeries s{bands[i].name, colours[i % 4], {}, FiredPercentPerColumn(*bands[i].band),
                       bands[i].band->Width() <= 32};
        for (int x = 0; x < bands[i].band->Width(); ++x)
            s.x.push_back(x);
        series.push_back(std::move(s));
    }
    const SChartAxes axes = {"ramp bands: share of each column fired",
                             "column across the ramp",
                             "% of the column",
                             0.0,
                             static_cast<double>(std::max(bands.front().band->Width() - 1, 1)),
                             0.0,
                             100.0};
    LineChart(900, 420, axes, series).WritePng(path);
}

void RunRamp(const SRampOptions& options, const CLI::App& command, SReport& report)
{
    const SOutputOptions& output = options.output;
    WarnPictureOptionsWithoutOut(command, output, {"--scale"}, report);
    CDecryptMask decoder;
    if (!decoder.Create(options.rampWidth, options.bandHeight, kRampBits)) {
        report.Refuse("the library refused a band of " + std::to_string(options.rampWidth) + " x " +
                      std::to_string(options.bandHeight) +
                      " pixels: too large to address (see its records above)");
        return;
    }
    const std::vector<SBand> bands = {
        {"left", "ramp_left.png", decoder.MaskBand_Left_Get()},
        {"left not", "ramp_left_not.png", decoder.MaskBand_Left_Not_Get()},
        {"right", "ramp_right.png", decoder.MaskBand_Right_Get()},
        {"right not", "ramp_right_not.png", decoder.MaskBand_Right_Not_Get()},
    };
    report.own = {{"rampWidth", options.rampWidth},
                  {"bandHeight", options.bandHeight},
                  {"bitsPerPixel", kRampBits},
                  {"bands", nlohmann::ordered_json::array()}};
    for (const SBand& band : bands)
        report.own["bands"].push_back(band.name);
    const std::string& outDir = output.outDir;
    if (!outDir.empty()) {
        PrepareOutDir(outDir, {R"(ramp_(left|right)(_not)?\.png)", R"(ramp_shares\.png)"});
        for (const SBand& band : bands) {
            report.files.push_back(outDir + "/" + band.file);
            WriteMaskPicture(report.files.back(), band.band->Buffer(), band.band->Width(),
                             band.band->Height(), band.band->LineStride(), kRampBits,
                             output.scale, "the ramp pictures", report);
        }
        report.files.push_back(outDir + "/ramp_shares.png");
        WriteRampChart(report.files.back(), bands);
    }
    if (!output.json)
        std::printf(
            "ramp: 4 bands of %d x %d pixels (%d bits)%s\n", options.rampWidth, options.bandHeight,
            kRampBits,
            outDir.empty() ? "; give --out to write them" : (" written to " + outDir).c_str());
}

}  // namespace

CommandRun AddRampCommand(CLI::App& app)
{
    auto options = std::make_shared<SRampOptions>();
    CLI::App* command = app.add_subcommand(
        "ramp", "Write the left and right ramp bands of the decoder and their complements as PNG");
    command->add_option("--ramp-width", options->rampWidth, "pixels across the ramp (>= 1)")
        ->check(InSet(AtLeastOne, "must be at least 1"))
        ->capture_default_str();
    command->add_option("--band-height", options->bandHeight, "lines of the band (>= 1)")
        ->check(InSet(AtLeastOne, "must be at least 1"))
        ->capture_default_str();
    AddOutputOptions(*command, options->output,
                     "folder for the four bands (their bits, set bits dark) and a chart of the "
                     "share of each column they fire (none without it)",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        RunRamp(*options, *command, report);
    });
}
