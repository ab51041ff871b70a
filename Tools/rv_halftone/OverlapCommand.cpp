// rv_halftone overlap: the head and tail masks of a stitched-head overlap zone.
#include "Commands.h"
#include "PngWriter.h"
#include "PrintSimulation.h"

#include <Rv_Halftone/OverlapMaskStorage.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct OverlapOptions
{
    SOverlapMaskParam param{64, 1, 50.0f, 1, 100};
    bool json = false;
    std::string outDir;
    int scale = 1;
};

int FiredInLine(const unsigned char* line, int width, int bits)
{
    int fired = 0;
    for (int x = 0; x < width; ++x)
        fired += print_simulation::PixelFired(line, x, bits) ? 1 : 0;
    return fired;
}

int RunOverlap(const OverlapOptions& options)
{
    OverlapMaskStorage storage;
    const OverlapMask* mask = nullptr;
    if (!storage.OverlapMask_Create(options.param, mask)) {
        std::cerr << "rv_halftone overlap: the library refused the record (see the records above)\n";
        return 1;
    }
    const int lines = options.param.overlapHeight;
    const int bits = options.param.bitsPerPixel;
    const int lineBytes = mask->MaskLineBytes();
    const int width = lineBytes * 8 / bits;

    // Per line: the share of pixels the head and the tail fire, and how many both fire.
    nlohmann::json shares = nlohmann::json::array();
    std::vector<unsigned char> sum(static_cast<size_t>(lines) * lineBytes);
    for (int y = 0; y < lines; ++y) {
        const unsigned char* head = mask->Mask_head() + static_cast<size_t>(y) * lineBytes;
        const unsigned char* tail = mask->Mask_tail() + static_cast<size_t>(y) * lineBytes;
        int both = 0;
        for (int x = 0; x < width; ++x)
            both += print_simulation::PixelFired(head, x, bits) && print_simulation::PixelFired(tail, x, bits);
        for (int i = 0; i < lineBytes; ++i)
            sum[static_cast<size_t>(y) * lineBytes + i] = static_cast<unsigned char>(head[i] | tail[i]);
        shares.push_back({{"line", y},
                          {"head", FiredInLine(head, width, bits) / static_cast<double>(width)},
                          {"tail", FiredInLine(tail, width, bits) / static_cast<double>(width)},
                          {"both", both}});
    }

    int pictures = 0;
    if (!options.outDir.empty()) {
        std::filesystem::create_directories(options.outDir);
        PngOptions png;
        png.scale = options.scale;
        png.invert = true;
        WritePngGreyPacked(options.outDir + "/overlap_head.png", mask->Mask_head(), width, lines, lineBytes, bits, png);
        WritePngGreyPacked(options.outDir + "/overlap_tail.png", mask->Mask_tail(), width, lines, lineBytes, bits, png);
        WritePngGreyPacked(options.outDir + "/overlap_sum.png", sum.data(), width, lines, lineBytes, bits, png);
        pictures = 3;
    }
    if (options.json) {
        std::cout << nlohmann::json{{"lines", lines}, {"width", width}, {"lineBytes", lineBytes},
                                    {"shares", shares}}.dump(2)
                  << "\n";
    } else {
        std::printf("Overlap zone: %d lines of %d pixels in each part (head share + tail share per line)\n",
                    lines, width);
        for (const nlohmann::json& share : shares)
            std::printf("  line %4d: head %5.1f %%  tail %5.1f %%  both %d\n", share["line"].get<int>(),
                        100.0 * share["head"].get<double>(), 100.0 * share["tail"].get<double>(),
                        share["both"].get<int>());
    }
    std::fprintf(stderr, "overlap: %d lines%s\n", lines,
                 pictures > 0 ? (", head, tail and sum written to " + options.outDir).c_str() : "");
    return 0;
}

}  // namespace

CommandRun AddOverlapCommand(CLI::App& app)
{
    auto options = std::make_shared<OverlapOptions>();
    CLI::App* command = app.add_subcommand(
        "overlap", "Build the head and tail masks of an overlap zone and report the share per line");
    SOverlapMaskParam& p = options->param;
    command->add_option("--overlap-height", p.overlapHeight, "lines in each part of the zone (>= 1)")
        ->capture_default_str();
    command->add_option("--feather-enable", p.featherEnable,
                        "0: head fires everything, tail nothing; else a feathered band")->capture_default_str();
    command->add_option("--feather-percent", p.featherPercent,
                        "share of the zone given to the feathered band (0 to 100)")->capture_default_str();
    command->add_option("--bits-per-pixel", p.bitsPerPixel, "bits per mask pixel (1 or 2)")->capture_default_str();
    command->add_option("--ink-percent", p.inkPercent,
                        "ink of the band in percent of the levels (1 to 100; 100: exact complements)")
        ->capture_default_str();
    command->add_flag("--json", options->json, "print the shares as JSON");
    command->add_option("--out", options->outDir, "folder for the head, tail and sum pictures");
    command->add_option("--scale", options->scale, "enlarge pictures by this integer factor (1 to 16)")
        ->check(CLI::Range(1, 16))->capture_default_str();
    return [options, command]() { return command->parsed() ? RunOverlap(*options) : -1; };
}
