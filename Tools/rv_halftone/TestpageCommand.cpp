// rv_halftone testpage: a halftoned page to try split on, of any size.
#include "CommandLine.h"
#include "Commands.h"
#include "PngWriter.h"
#include "Report.h"

#include <RvAnalysis/TestPage.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct STestpageOptions
{
    std::string out;
    int width = 1024;
    int height = 768;
    int bitsPerPixel = 2;
    bool json = false;
};

// A side of a test page: the pages any printer prints, and more.
bool PageSide(double value) { return AtLeastOne(value) && value <= 1000000.0; }

void RunTestpage(const STestpageOptions& options, SReport& report)
{
    report.own = {{"width", options.width},
                  {"height", options.height},
                  {"bitsPerPixel", options.bitsPerPixel}};
    // The page on standard output is the command's whole output there.
    if (options.out == kStandardOutput && options.json) {
        report.Refuse("--out - writes the page to standard output, where --json would put the "
                      "report: give one of them");
        return;
    }
    const std::string refusal =
        rv_analysis::TestPageRefusal(options.width, options.height, options.bitsPerPixel);
    if (!refusal.empty()) {
        report.Refuse(refusal);
        return;
    }
    const rv_analysis::SPackedPage page =
        rv_analysis::MakeTestPage(options.width, options.height, options.bitsPerPixel);
    PngOptions dark;
    dark.invert = true;
    WritePngGreyPacked(options.out, page.bytes.data(), page.width, page.height,
                       static_cast<int>(page.RowBytes()), page.bitsPerPixel, dark);
    report.files.push_back(options.out);
    std::fprintf(stderr, "testpage: %d x %d pixels, %d bit(s) a pixel, in %s\n", options.width,
                 options.height, options.bitsPerPixel,
                 options.out == kStandardOutput ? "standard output" : options.out.c_str());
}

}  // namespace

CommandRun AddTestpageCommand(CLI::App& app)
{
    auto options = std::make_shared<STestpageOptions>();
    CLI::App* command = app.add_subcommand(
        "testpage", "Write a halftoned test page (gradients, solids, fine lines, text-like "
                    "strokes; ink dark) to try split on");
    command
        ->add_option("--out", options->out, "the PNG file to write; - writes it to standard output")
        ->required();
    command->add_option("--width", options->width, "pixels across (1 to 1,000,000)")
        ->check(InSet(PageSide, "must be from 1 to 1000000"))
        ->capture_default_str();
    command->add_option("--height", options->height, "lines (1 to 1,000,000)")
        ->check(InSet(PageSide, "must be from 1 to 1000000"))
        ->capture_default_str();
    command
        ->add_option("--bits-per-pixel", options->bitsPerPixel,
                     "bits per pixel, as the mode's masks (1 or 2)")
        ->check(InSet(OneOrTwoBits, "must be 1 or 2"))
        ->capture_default_str();
    command->add_flag("--json", options->json, "print the report as JSON");
    return ReportedRun(command, options->json,
                       [options](SReport& report) { RunTestpage(*options, report); });
}
