// rv_halftone overlap: the head and tail masks of a stitched-head overlap zone.
#include "CommandSupport.h"
#include "Commands.h"
#include "PngWriter.h"

#include <RvAnalysis/PrintPlan.h>
#include <Rv_Halftone/OverlapMaskStorage.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using rv_analysis::PixelFired;

struct SOverlapOptions
{
    SOverlapMaskParam param{64, 1, 50.0f, 1, 100};
    SOutputOptions output;
};

// One line of the zone: the share of its pixels the head and the tail fire, and how many both do.
struct SShare
{
    int line = 0;
    double head = 0.0;
    double tail = 0.0;
    int both = 0;
};

struct SOverlapReport
{
    int lines = 0;
    int width = 0;
    int lineBytes = 0;
    std::vector<SShare> shares;
};

int FiredInLine(const unsigned char* line, int width, int bits)
{
    int fired = 0;
    for (int x = 0; x < width; ++x)
        fired += PixelFired(line, x, bits) ? 1 : 0;
    return fired;
}

SOverlapReport Report_Make(const OverlapMask& mask, const SOverlapMaskParam& param)
{
    SOverlapReport report;
    report.lines = param.overlapHeight;
    report.lineBytes = mask.MaskLineBytes();
    report.width = report.lineBytes * 8 / param.bitsPerPixel;
    for (int y = 0; y < report.lines; ++y) {
        const unsigned char* head = mask.Mask_head() + static_cast<size_t>(y) * report.lineBytes;
        const unsigned char* tail = mask.Mask_tail() + static_cast<size_t>(y) * report.lineBytes;
        SShare share;
        share.line = y;
        for (int x = 0; x < report.width; ++x)
            share.both +=
                PixelFired(head, x, param.bitsPerPixel) && PixelFired(tail, x, param.bitsPerPixel);
        share.head =
            FiredInLine(head, report.width, param.bitsPerPixel) / static_cast<double>(report.width);
        share.tail =
            FiredInLine(tail, report.width, param.bitsPerPixel) / static_cast<double>(report.width);
        report.shares.push_back(share);
    }
    return report;
}

// Head, tail and their sum (what the two heads lay together).
void Pictures_Write(const OverlapMask& mask, const SOverlapReport& report, int bits,
                    const SOutputOptions& output)
{
    std::vector<unsigned char> sum(static_cast<size_t>(report.lines) * report.lineBytes);
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = static_cast<unsigned char>(mask.Mask_head()[i] | mask.Mask_tail()[i]);
    std::filesystem::create_directories(output.outDir);
    const PngOptions png = output.Png(true);
    const auto write = [&](const char* name, const unsigned char* rows) {
        WritePngGreyPacked(output.outDir + "/" + name, rows, report.width, report.lines,
                           report.lineBytes, bits, png);
    };
    write("overlap_head.png", mask.Mask_head());
    write("overlap_tail.png", mask.Mask_tail());
    write("overlap_sum.png", sum.data());
}

nlohmann::json Report_ToJson(const SOverlapReport& report)
{
    nlohmann::json shares = nlohmann::json::array();
    for (const SShare& share : report.shares)
        shares.push_back({{"line", share.line},
                          {"head", share.head},
                          {"tail", share.tail},
                          {"both", share.both}});
    return {{"lines", report.lines},
            {"width", report.width},
            {"lineBytes", report.lineBytes},
            {"shares", shares}};
}

void Report_Print(const SOverlapReport& report)
{
    std::printf(
        "Overlap zone: %d lines of %d pixels in each part (head share + tail share per line)\n",
        report.lines, report.width);
    for (const SShare& share : report.shares)
        std::printf("  line %4d: head %5.1f %%  tail %5.1f %%  both %d\n", share.line,
                    100.0 * share.head, 100.0 * share.tail, share.both);
}

int RunOverlap(const SOverlapOptions& options)
{
    OverlapMaskStorage storage;
    const OverlapMask* mask = nullptr;
    if (!storage.OverlapMask_Create(options.param, mask)) {
        std::cerr
            << "rv_halftone overlap: the library refused the record (see the records above)\n";
        return 1;
    }
    const SOverlapReport report = Report_Make(*mask, options.param);
    const SOutputOptions& output = options.output;
    if (!output.outDir.empty())
        Pictures_Write(*mask, report, options.param.bitsPerPixel, output);
    if (output.json)
        std::cout << Report_ToJson(report).dump(2) << "\n";
    else
        Report_Print(report);
    std::fprintf(
        stderr, "overlap: %d lines%s\n", report.lines,
        output.outDir.empty() ? "" : (", head, tail and sum written to " + output.outDir).c_str());
    return 0;
}

}  // namespace

CommandRun AddOverlapCommand(CLI::App& app)
{
    auto options = std::make_shared<SOverlapOptions>();
    CLI::App* command = app.add_subcommand(
        "overlap",
        "Build the head and tail masks of an overlap zone and report the share per line");
    SOverlapMaskParam& p = options->param;
    command
        ->add_option("--overlap-height", p.overlapHeight, "lines in each part of the zone (>= 1)")
        ->capture_default_str();
    command
        ->add_option("--feather-enable", p.featherEnable,
                     "0: head fires everything, tail nothing; else a feathered band")
        ->capture_default_str();
    command
        ->add_option("--feather-percent", p.featherPercent,
                     "share of the zone given to the feathered band (0 to 100)")
        ->capture_default_str();
    command->add_option("--bits-per-pixel", p.bitsPerPixel, "bits per mask pixel (1 or 2)")
        ->capture_default_str();
    command
        ->add_option("--ink-percent", p.inkPercent,
                     "ink of the band in percent of the levels (1 to 100; 100: exact complements)")
        ->capture_default_str();
    AddOutputOptions(*command, options->output, "folder for the head, tail and sum pictures",
                     "print the shares as JSON");
    return [options, command]() { return command->parsed() ? RunOverlap(*options) : -1; };
}
