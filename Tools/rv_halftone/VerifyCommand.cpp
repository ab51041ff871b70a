// rv_halftone verify: simulate the print of a mode, physical pass by physical pass, and check that
// every page pixel is fired the number of times the mode promises.
#include "CommandSupport.h"
#include "Commands.h"
#include "PassMap.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/PrintSimulation.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using rv_analysis::SColorVerdict;

struct SVerifyOptions
{
    alignas(4) SMaskParam param;  // packed: see RecordOptions.h
    SOutputOptions output;
};

struct SVerifyReport
{
    int firstPaperLine = 0;  // the simulated stretch: page line 0 ...
    int endPaperLine = 0;    // ... and one cycle of positions on
    int positions = 0;
    std::vector<SColorVerdict> colours;
    int checked = 0;     // colours whose promise was checked
    bool allMet = true;  // every checked promise met
    std::vector<std::string> files;
};

std::string HistogramText(const std::vector<long long>& histogram)
{
    std::string text;
    for (size_t k = 0; k < histogram.size(); ++k) {
        if (histogram[k] == 0)
            continue;
        text +=
            (text.empty() ? "" : ", ") + std::to_string(k) + "x: " + std::to_string(histogram[k]);
    }
    return text;
}

// Each colour is simulated once; its verdict and its picture come from the same fire counts.
SVerifyReport Report_Make(const rv_analysis::CPrintPlan& plan, const SOutputOptions& output)
{
    SVerifyReport report;
    report.firstPaperLine = plan.LeadLines();
    report.endPaperLine = plan.LeadLines() + plan.CycleLines();
    report.positions = plan.PositionCount();
    if (!output.outDir.empty())
        PrepareOutDir(output.outDir, {R"(firecount_c\d+\.png)"});
    Progress progress("simulating the print");
    for (int c = 0; c < plan.ColorCount(); ++c) {
        progress.Update(c, plan.ColorCount());
        const rv_analysis::SFireCounts fired = rv_analysis::Simulate(plan, c);
        report.colours.push_back(rv_analysis::Judge(plan, c, fired));
        const SColorVerdict& verdict = report.colours.back();
        if (verdict.checked) {
            ++report.checked;
            report.allMet = report.allMet && verdict.met;
        }
        if (!output.outDir.empty()) {
            report.files.push_back(output.outDir + "/firecount_c" + std::to_string(c) + ".png");
            WriteFireCounts(report.files.back(), fired, output.scale);
        }
    }
    progress.Update(plan.ColorCount(), plan.ColorCount());
    return report;
}

nlohmann::json Report_ToJson(const SVerifyReport& report)
{
    nlohmann::json colours = nlohmann::json::array();
    for (const SColorVerdict& verdict : report.colours) {
        nlohmann::json colour = {{"color", verdict.colorIndex},
                                 {"promise", rv_analysis::PromiseName(verdict.promise)},
                                 {"expectation", verdict.expectation},
                                 {"pixels", verdict.pixels},
                                 {"histogram", verdict.histogram},
                                 {"checked", verdict.checked}};
        // "met" is said only of a promise that was checked.
        if (verdict.checked) {
            colour["mismatches"] = verdict.mismatches;
            colour["met"] = verdict.met;
        }
        colours.push_back(colour);
    }
    const int colourCount = static_cast<int>(report.colours.size());
    nlohmann::json json = {{"paperLines", {report.firstPaperLine, report.endPaperLine}},
                           {"colors", colours},
                           {"checked", report.checked},
                           {"notJudged", colourCount - report.checked}};
    if (report.checked > 0)
        json["met"] = report.allMet;
    return json;
}

void Report_Print(const SVerifyReport& report)
{
    std::printf("Simulated print: paper lines %d to %d (page lines 0 to %d: after the lead-in, one "
                "cycle of %d mask positions)\n",
                report.firstPaperLine, report.endPaperLine - 1,
                report.endPaperLine - report.firstPaperLine - 1, report.positions);
    for (const SColorVerdict& verdict : report.colours) {
        std::printf("  colour %d: %s\n", verdict.colorIndex,
                    HistogramText(verdict.histogram).c_str());
        const std::string outcome =
            !verdict.checked ? "not checked"
            : verdict.met    ? "met"
                             : "NOT met, " + std::to_string(verdict.mismatches) + " pixels differ";
        std::printf("    expected: %s -> %s\n", verdict.expectation.c_str(), outcome.c_str());
    }
}

std::string Summary(const SVerifyReport& report)
{
    const int colourCount = static_cast<int>(report.colours.size());
    if (report.checked == 0)
        return "not judged: the mode makes no exact promise";
    if (!report.allMet)
        return "coverage NOT as promised";
    if (report.checked < colourCount)
        return std::to_string(report.checked) + " promise(s) met, " +
               std::to_string(colourCount - report.checked) + " colour(s) not judged";
    return "every promise met";
}

void RunVerify(const SVerifyOptions& options, SReport& report)
{
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    const SOutputOptions& output = options.output;
    const rv_analysis::CPrintPlan plan(*mask);
    if (!plan.Accepted()) {
        report.Refuse(plan.Refusal());
        return;
    }
    const SVerifyReport verdict = Report_Make(plan, output);
    report.files = verdict.files;
    report.own = Report_ToJson(verdict);
    if (!verdict.allMet)
        report.NotMet(Summary(verdict));
    if (!output.json)
        Report_Print(verdict);
    const std::string pictures =
        verdict.files.empty()
            ? ""
            : ", " + std::to_string(verdict.files.size()) + " picture(s) in " + output.outDir;
    std::fprintf(stderr, "verify: %zu colour(s), %s%s\n", verdict.colours.size(),
                 Summary(verdict).c_str(), pictures.c_str());
}

}  // namespace

CommandRun AddVerifyCommand(CLI::App& app)
{
    auto options = std::make_shared<SVerifyOptions>();
    CLI::App* command = app.add_subcommand(
        "verify", "Simulate the print of a mode and check how often every paper pixel is fired");
    AddRecordOptions(*command, options->param);
    AddOutputOptions(*command, options->output,
                     "folder for a picture of the fire counts per colour (0 white, 1 mid grey, "
                     "2 dark grey, 3 or more black; the legend is in the picture)",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        WarnUnreadFeatherOptions(*command, options->param);
        RunVerify(*options, report);
    });
}
