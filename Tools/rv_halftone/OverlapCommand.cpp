// rv_halftone overlap: the head and tail masks of a stitched-head overlap zone.
#include "CommandLine.h"
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

// One line of the zone: the share of its pixels the head and the tail fire, in percent, and how
// many pixels both fire.
struct SShare
{
    int line = 0;
    double headPercent = 0.0;
    double tailPercent = 0.0;
    int bothPixels = 0;
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
            share.bothPixels +=
                PixelFired(head, x, param.bitsPerPixel) && PixelFired(tail, x, param.bitsPerPixel);
        share.headPercent = 100.0 * FiredInLine(head, report.width, param.bitsPerPixel) /
                            static_cast<double>(report.width);
        share.tailPercent = 100.0 * FiredInLine(tail, report.width, param.bitsPerPixel) /
                            static_cast<double>(report.width);
        report.shares.push_back(share);
    }
    return report;
}

// The share of each line of the zone that the head, the tail and both fire.
void WriteSharesChart(const std::string& path, const SOverlapReport& report)
{
    SChartSeries head{"head", {230, 25, 75}, {}, {}, report.lines <= 32};
    SChartSeries tail{"tail", {0, 130, 200}, {}, {}, report.lines <= 32};
    SChartSeries both{"both", {0, 0, 0}, {}, {}, report.lines <= 32};
    for (const SShare& share : report.shares) {
        for (SChartSeries* series : {&head, &tail, &both})
            series->x.push_back(share.line);
        head.y.push_back(share.headPercent);
        tail.y.push_back(share.tailPercent);
        both.y.push_back(100.0 * share.bothPixels / report.width);
    }
    const SChartAxes axes = {"overlap zone: share of each line each head fires",
                             "line of the zone",
                             "% of the line",
                             0.0,
                             static_cast<double>(std::max(report.lines - 1, 1)),
                             0.0,
                             100.0};
    LineChart(900, 420, axes, {head, tail, both}).WritePng(path);
}

// Head, tail and their sum (what the two heads lay together) as their bits, and the chart of the
// shares; returns the paths written.
std::vector<std::string> Pictures_Write(const OverlapMask& mask, const SOverlapReport& report,
                                        int bits, const SOutputOptions& output, SReport& status)
{
    std::vector<unsigned char> sum(static_cast<size_t>(report.lines) * report.lineBytes);
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = static_cast<unsigned char>(mask.Mask_head()[i] | mask.Mask_tail()[i]);
    PrepareOutDir(output.outDir, {R"(overlap_(head|tail|sum|shares)\.png)"});
    std::vector<std::string> files;
    const auto write = [&](const char* name, const unsigned char* rows) {
        files.push_back(output.outDir + "/" + name);
        WriteMaskPicture(files.back(), rows, report.width, report.lines, report.lineBytes, bits,
                         output.scale, "the overlap pictures", status);
    };
    write("overlap_head.png", mask.Mask_head());
    write("overlap_tail.png", mask.Mask_tail());
    write("overlap_sum.png", sum.data());
    files.push_back(output.outDir + "/overlap_shares.png");
    WriteSharesChart(files.back(), report);
    return files;
}

bool InkPercent(double value) { return AtLeastOne(value) && value <= 100.0; }

nlohmann::ordered_json Report_ToJson(const SOverlapReport& report)
{
    nlohmann::ordered_json shares = nlohmann::ordered_json::array();
    for (const SShare& share : report.shares)
        shares.push_back({{"line", share.line},
                          {"headPercent", share.headPercent},
                          {"tailPercent", share.tailPercent},
                          {"bothPixels", share.bothPixels}});
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
        std::printf("  line %4d: head %5.1f %%  tail %5.1f %%  both %d pixels\n", share.line,
                    share.headPercent, share.tailPercent, share.bothPixels);
}

void RunOverlap(const SOverlapOptions& options, const CLI::App& command, SReport& report)
{
    const SOutputOptions& output = options.output;
    WarnPictureOptionsWithoutOut(command, output, {"--scale"}, report);
    if (options.param.featherEnable == 0)
        for (const char* name : {"--feather-percent", "--ink-percent"})
            if (command.get_option(name)->count() > 0)
                report.Warn(std::string(name) + " changes nothing with --feather-enable 0 (no "
                                                "feathered band)");
    OverlapMaskStorage storage;
    const OverlapMask* mask = nullptr;
    if (!storage.OverlapMask_Create(options.param, mask)) {
        report.Refuse("the library refused the zone: 2 x --overlap-height lines of 128 bytes per "
                      "bit must fit in 2147483647 bytes (see its records above)");
        return;
    }
    const SOverlapReport shares = Report_Make(*mask, options.param);
    if (!output.outDir.empty())
        report.files = Pictures_Write(*mask, shares, options.param.bitsPerPixel, output, report);
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
        ->check(InSet(AtLeastOne, "must be at least 1"))
        ->capture_default_str();
    command
        ->add_option("--feather-enable", p.featherEnable,
                     "0: head fires everything, tail nothing; else a feathered band")
        ->capture_default_str();
    command
        ->add_option("--feather-percent", p.featherPercent,
                     "share of the zone given to the feathered band (0 to 100)")
        ->check(InSet(Percent, "must be from 0 to 100"))
        ->capture_default_str();
    command->add_option("--bits-per-pixel", p.bitsPerPixel, "bits per mask pixel (1 or 2)")
        ->check(InSet(OneOrTwoBits, "must be 1 or 2"))
        ->capture_default_str();
    command
        ->add_option("--ink-percent", p.inkPercent,
                     "ink of the band in percent of the levels (1 to 100; 100: exact complements)")
        ->check(InSet(InkPercent, "must be a whole number from 1 to 100"))
        ->capture_default_str();
    AddOutputOptions(*command, options->output,
                     "folder for the head, tail and sum pictures (their bits, set bits dark) and "
                     "a chart of the share of each line each part fires",
                     "print the shares as JSON");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        RunOverlap(*options, *command, report);
    });
}
