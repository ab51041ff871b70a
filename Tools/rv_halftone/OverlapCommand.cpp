// rv_halftone overlap: the head and tail masks of a stitched-head overlap zone.
#include "CommandSupport.h"
#include "Commands.h"
#include "PngWriter.h"

#include <RvAnalysis/PrintPlan.h>
#include <Rv_Halftone/OverlapMaskStorage.h>

#include <nlohmann/json.hpp>

#include <cstdio>
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

// Head, tail and their sum (what the two heads lay together); returns the paths written.
std::vector<std::string> Pictures_Write(const OverlapMask& mask, const SOverlapReport& report,
                                        int bits, const SOutputOptions& output)
{
    std::vector<unsigned char> sum(static_cast<size_t>(report.lines) * report.lineBytes);
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = static_cast<unsigned char>(mask.Mask_head()[i] | mask.Mask_tail()[i]);
    PrepareOutDir(output.outDir, {R"(overlap_(head|tail|sum)\.png)"});
    const PngOptions png = output.Png(true);
    std::vector<std::string> files;
    const auto write = [&](const char* name, const unsigned char* rows) {
        files.push_back(output.outDir + "/" + name);
        WritePngGreyPacked(files.back(), rows, report.width, report.lines, report.lineBytes, bits,
                           png);
    };
    write("overlap_head.png", mask.Mask_head());
    write("overlap_tail.png", mask.Mask_tail());
    write("overlap_sum.png", sum.data());
    return files;
}

// The rules of the overlap record, in the order the library checks them; empty when none is
// broken (the library may still refuse a zone too large to address).
std::string OverlapRefusal(const SOverlapMaskParam& p)
{
    if (p.overlapHeight < 1)
        return "--overlap-height " + std::to_string(p.overlapHeight) + " must be at least 1";
    if (p.bitsPerPixel != 1 && p.bitsPerPixel != 2)
        return "--bits-per-pixel " + std::to_string(p.bitsPerPixel) + " must be 1 or 2";
    if (!(p.featherPercent >= 0.0f && p.featherPercent <= 100.0f))
        return "--feather-percent " + std::to_string(p.featherPercent) +
               " must be a number from 0 to 100";
    if (p.inkPercent < 1 || p.inkPercent > 100)
        return "--ink-percent " + std::to_string(p.inkPercent) + " must be from 1 to 100";
    return "";
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

void RunOverlap(const SOverlapOptions& options, SReport& report)
{
    const std::string broken = OverlapRefusal(options.param);
    if (!broken.empty()) {
        report.Refuse(broken);
        return;
    }
    OverlapMaskStorage storage;
    const OverlapMask* mask = nullptr;
    if (!storage.OverlapMask_Create(options.param, mask)) {
        report.Refuse("the library refused the zone: 2 x --overlap-height lines of 128 bytes per "
                      "bit must fit in 2147483647 bytes (see its records above)");
        return;
    }
    const SOverlapReport shares = Report_Make(*mask, options.param);
    const SOutputOptions& output = options.output;
    if (!output.outDir.empty())
        report.files = Pictures_Write(*mask, shares, options.param.bitsPerPixel, output);
    report.own = Report_ToJson(shares);
    if (!output.json)
        Report_Print(shares);
    std::fprintf(
        stderr, "overlap: %d lines%s\n", shares.lines,
        output.outDir.empty() ? "" : (", head, tail and sum written to " + output.outDir).c_str());
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
    return ReportedRun(command, options->output.json,
                       [options](SReport& report) { RunOverlap(*options, report); });
}
