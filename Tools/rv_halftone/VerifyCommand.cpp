// rv_halftone verify: simulate the print of a mode and check that every paper pixel is fired the
// number of times the mode promises.
#include "Commands.h"
#include "MaskBuild.h"
#include "PassMap.h"
#include "PngWriter.h"
#include "PrintSimulation.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct VerifyOptions
{
    SMaskParam param;
    bool json = false;
    std::string outDir;
    int scale = 1;
};

const char* PromiseName(print_simulation::Promise promise)
{
    switch (promise) {
    case print_simulation::Promise::Exact: return "exact";
    case print_simulation::Promise::BelowLevel: return "below-level";
    case print_simulation::Promise::None: return "none";
    }
    return "none";
}

std::string HistogramText(const std::vector<long long>& histogram)
{
    std::string text;
    for (size_t k = 0; k < histogram.size(); ++k) {
        if (histogram[k] == 0)
            continue;
        text += (text.empty() ? "" : ", ") + std::to_string(k) + "x: " + std::to_string(histogram[k]);
    }
    return text;
}

int RunVerify(const VerifyOptions& options)
{
    const ContainerHandle container = BuildMask(options.param);
    if (!container) {
        std::cerr << "rv_halftone verify: the library refused the record (see the records above)\n";
        return 1;
    }
    const CMaskData_Base& mask = MaskOf(container);
    if (!options.outDir.empty())
        std::filesystem::create_directories(options.outDir);

    nlohmann::json colours = nlohmann::json::array();
    bool allMet = true;
    int checked = 0;
    int pictures = 0;
    Progress progress("simulating the print");
    const int colourCount = mask.MaskParam_Current().colorCount;
    for (int c = 0; c < colourCount; ++c) {
        progress.Update(c, colourCount);
        const print_simulation::ColorVerdict verdict = print_simulation::Verify(mask, c);
        // "met" is said only of a promise that was checked.
        const bool judged = verdict.promise != print_simulation::Promise::None;
        nlohmann::json colour = {{"color", c},
                                 {"promise", PromiseName(verdict.promise)},
                                 {"expectation", verdict.expectation},
                                 {"pixels", verdict.pixels},
                                 {"histogram", verdict.histogram},
                                 {"checked", judged}};
        if (judged) {
            ++checked;
            allMet = allMet && verdict.met;
            colour["mismatches"] = verdict.mismatches;
            colour["met"] = verdict.met;
        }
        colours.push_back(colour);
        if (!options.outDir.empty()) {
            PngOptions png;
            png.scale = options.scale;
            const std::string path = options.outDir + "/firecount_c" + std::to_string(c) + ".png";
            WriteFireCounts(path, print_simulation::Simulate(mask, c), png);
            ++pictures;
        }
    }
    progress.Update(colourCount, colourCount);

    const print_simulation::FireCounts stretch = print_simulation::Simulate(mask, 0);
    nlohmann::json report = {{"paperLines", {stretch.firstLine, stretch.firstLine + stretch.lineCount}},
                             {"colors", colours},
                             {"checked", checked},
                             {"notJudged", colourCount - checked}};
    if (checked > 0)
        report["met"] = allMet;
    if (options.json) {
        std::cout << report.dump(2) << "\n";
    } else {
        std::printf("Simulated print: paper lines %d to %d (after the lead-in, one cycle of %d mask positions)\n",
                    stretch.firstLine, stretch.firstLine + stretch.lineCount - 1, mask.MaskPositionCount());
        for (const nlohmann::json& colour : colours) {
            std::printf("  colour %d: %s\n", colour["color"].get<int>(),
                        HistogramText(colour["histogram"].get<std::vector<long long>>()).c_str());
            std::printf("    expected: %s -> %s\n", colour["expectation"].get<std::string>().c_str(),
                        colour["promise"] == "none" ? "not checked"
                        : colour["met"].get<bool>() ? "met"
                                                    : ("NOT met, " + colour["mismatches"].dump() + " pixels differ").c_str());
        }
    }
    const std::string verdict =
        checked == 0 ? "not judged: the mode makes no exact promise"
        : !allMet    ? "coverage NOT as promised"
        : checked < colourCount
            ? std::to_string(checked) + " promise(s) met, " +
                  std::to_string(colourCount - checked) + " colour(s) not judged"
            : "every promise met";
    std::fprintf(stderr, "verify: %d colour(s), %s%s\n", colourCount, verdict.c_str(),
                 pictures > 0 ? (", " + std::to_string(pictures) + " picture(s) in " + options.outDir).c_str() : "");
    return allMet ? 0 : 1;
}

}  // namespace

CommandRun AddVerifyCommand(CLI::App& app)
{
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* command = app.add_subcommand(
        "verify", "Simulate the print of a mode and check how often every paper pixel is fired");
    AddRecordOptions(*command, options->param);
    command->add_flag("--json", options->json, "print the report as JSON");
    command->add_option("--out", options->outDir, "folder for a picture of the fire counts per colour");
    command->add_option("--scale", options->scale, "enlarge pictures by this integer factor (1 to 16)")
        ->check(CLI::Range(1, 16))->capture_default_str();
    return [options, command]() { return command->parsed() ? RunVerify(*options) : -1; };
}
