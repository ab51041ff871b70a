// rv_halftone testpage: a halftoned page to try split on, of any size.
#include "CommandOutcome.h"
#include "Commands.h"
#include "PngWriter.h"

#include <RvAnalysis/TestPage.h>

#include <cstdio>
#include <iostream>
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

SCommandOutcome Testpage_Write(const STestpageOptions& options)
{
    SCommandOutcome outcome;
    const std::string refusal =
        rv_analysis::TestPageRefusal(options.width, options.height, options.bitsPerPixel);
    if (!refusal.empty()) {
        outcome.status = EStatus::Refused;
        outcome.reason = refusal;
        return outcome;
    }
    const rv_analysis::SPackedPage page =
        rv_analysis::MakeTestPage(options.width, options.height, options.bitsPerPixel);
    PngOptions dark;
    dark.invert = true;
    try {
        WritePngGreyPacked(options.out, page.bytes.data(), page.width, page.height,
                           static_cast<int>(page.RowBytes()), page.bitsPerPixel, dark);
        outcome.files.push_back(options.out);
    } catch (const PngError& error) {
        outcome.status = EStatus::Error;
        outcome.reason = error.what();
    }
    return outcome;
}

int RunTestpage(const STestpageOptions& options)
{
    const SCommandOutcome outcome = Testpage_Write(options);
    if (options.json) {
        const nlohmann::ordered_json own = {{"width", options.width},
                                            {"height", options.height},
                                            {"bitsPerPixel", options.bitsPerPixel}};
        std::cout << OutcomeJson("testpage", outcome, nullptr, own).dump(2) << "\n";
    }
    return Outcome_Finish("testpage", outcome,
                          std::to_string(options.width) + " x " + std::to_string(options.height) +
                              " pixels, " + std::to_string(options.bitsPerPixel) +
                              " bit(s) a pixel, in " + options.out);
}

}  // namespace

CommandRun AddTestpageCommand(CLI::App& app)
{
    auto options = std::make_shared<STestpageOptions>();
    CLI::App* command = app.add_subcommand(
        "testpage", "Write a halftoned test page (gradients, solids, fine lines, text-like "
                    "strokes; ink dark) to try split on");
    command->add_option("--out", options->out, "the PNG file to write")->required();
    command->add_option("--width", options->width, "pixels across (1 to 1,000,000)")
        ->capture_default_str();
    command->add_option("--height", options->height, "lines (1 to 1,000,000)")
        ->capture_default_str();
    command
        ->add_option("--bits-per-pixel", options->bitsPerPixel,
                     "bits per pixel, as the mode's masks (1 or 2)")
        ->capture_default_str();
    command->add_flag("--json", options->json, "print the report as JSON");
    return [options, command]() { return command->parsed() ? RunTestpage(*options) : -1; };
}
