// rv_halftone banding: how much a mode shows the errors of a real printer - the coverage of the
// paper lines along the feed under advance and nozzle errors, the banding figures read from it, and
// with --compare the banding index of every feather mode of the head against the advance error.
#include "Canvas.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <RvAnalysis/Banding.h>
#include <RvAnalysis/PrintPlan.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using rv_analysis::SBandingComparison;
using rv_analysis::SBandingFigures;
using rv_analysis::SIndexRange;

const std::vector<double> kDefaultSweep = {0.0, 0.05, 0.1, 0.2, 0.3, 0.5};
constexpr int kCropLines =
    64;  // the default picture of the print: this many lines round a swath edge
constexpr int kMaxWorkers = 64;
const SRgb kModeColours[] = {{200, 30, 30}, {0, 110, 200}, {40, 150, 60}, {150, 60, 170}};

using OrderedJson = nlohmann::ordered_json;

struct SBandingOptions
{
    alignas(4) SMaskParam param{};  // packed: see RecordOptions.h
    SOutputOptions output;
    rv_analysis::SPrinterErrors errors;
    rv_analysis::SBandingSettings settings;
    std::string deadNozzles;
    std::string weakNozzles;
    std::string lines;
    std::string sweep;
    bool compare = false;
    int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

// What the command worked out: the figures of the mode or, with --compare, of every mode.
struct SBandingReport
{
    int stepHeight = 0;
    int cycleLines = 0;
    SBandingFigures figures;
    SBandingComparison comparison;
    bool compared = false;
};

// Splits "a,b,c" into numbers; false for anything else.
template <typename Number> bool ParseList(const std::string& text, std::vector<Number>& values)
{
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        std::istringstream word(item);
        Number value{};
        if (!(word >> value) || !(word >> std::ws).eof())
            return false;
        values.push_back(value);
    }
    return !values.empty();
}

// The tool's own refusals of option values; empty when all parse.
std::string ParseLists(SBandingOptions& options)
{
    rv_analysis::SPrinterErrors& errors = options.errors;
    if (!options.deadNozzles.empty() && !ParseList(options.deadNozzles, errors.deadNozzles))
        return "--dead-nozzles '" + options.deadNozzles + "': a list of nozzles, e.g. 7,130";
    if (!options.weakNozzles.empty()) {
        const size_t colon = options.weakNozzles.find(':');
        std::vector<double> factor;
        if (!ParseList(options.weakNozzles.substr(0, colon), errors.weakNozzles) ||
            (colon != std::string::npos &&
             !(ParseList(options.weakNozzles.substr(colon + 1), factor) && factor.size() == 1)))
            return "--weak-nozzles '" + options.weakNozzles +
                   "': a list of nozzles, then optionally ':' and their dot size, e.g. "
                   "7,130:0.6";
        if (!factor.empty())
            errors.weakFactor = factor[0];
    }
    std::vector<double> sweep;
    if (!options.sweep.empty() && !ParseList(options.sweep, sweep))
        return "--errors '" + options.sweep + "': a list of advance errors in rows, e.g. 0,0.1,0.2";
    if (!options.lines.empty()) {
        int first = 0, end = 0;
        char colon = 0;
        std::istringstream in(options.lines);
        if (!(in >> first >> colon >> end) || colon != ':' || !(in >> std::ws).eof())
            return "--lines '" + options.lines + "': FIRST:END, page lines, END excluded";
        options.settings.cropLines = {first, end};
    }
    return {};
}

// 64 lines round the first swath edge of the stretch (the top of a print position's first physical
// pass): where an unfeathered mode bands.
SIndexRange DefaultCrop(const rv_analysis::CPrintPlan& plan, SIndexRange stretch)
{
    int edge = stretch.first + kCropLines / 2;
    while ((edge + plan.LeadLines()) % plan.StepHeight() != 0)
        ++edge;
    return {edge - kCropLines / 2, std::min(stretch.end, edge + kCropLines / 2)};
}

// Four decimals: the JSON numbers stay short and exact to what the simulation resolves.
double Rounded(double value) { return std::round(value * 1e4) / 1e4; }

double MmOf(double lines, double dpi) { return lines * 25.4 / dpi; }

// The comparison chart: one line per mode, banding index against advance error.
CCanvas CompareChart(const SBandingComparison& comparison, const SMaskParam& head)
{
    std::vector<SChartSeries> series;
    double top = 0.0;
    for (size_t m = 0; m < comparison.modes.size(); ++m) {
        SChartSeries s{rv_analysis::FeatherName(comparison.modes[m].feather),
                       kModeColours[m % 4],
                       comparison.advanceErrors,
                       {},
                       true};
        for (const SBandingFigures& figures : comparison.modes[m].figures) {
            s.y.push_back(figures.indexPercent);
            top = std::max(top, figures.indexPercent);
        }
        series.push_back(s);
    }
    SChartAxes axes;
    char feather[32];
    std::snprintf(
        feather, sizeof feather, ", feather %g %%",
        rv_analysis::RecordWithFeather(head, rv_analysis::EFeather::TwoPart).featherPercent);
    axes.title = "Banding index against advance error: " + std::to_string(head.nozzleCount) +
                 " nozzles, " + std::to_string(head.basePass) + " passes" + feather;
    axes.xLabel = "advance error (rows per pass)";
    axes.yLabel = "banding index (% coverage)";
    const auto [low, high] =
        std::minmax_element(comparison.advanceErrors.begin(), comparison.advanceErrors.end());
    axes.xMin = std::min(0.0, *low);
    axes.xMax = *high > axes.xMin ? *high : axes.xMin + 1.0;
    axes.yMin = 0.0;
    axes.yMax = top > 0.0 ? top * 1.1 : 1.0;
    return LineChart(900, 480, axes, series);
}

// The coverage profile, with the line under which a run of lines counts as a white streak.
CCanvas ProfileChart(const SBandingFigures& figures)
{
    SChartSeries coverage{"coverage", {0, 0, 0}, {}, {}};
    double low = 100.0, high = 0.0;
    for (size_t i = 0; i < figures.profile.size(); ++i) {
        coverage.x.push_back(figures.lines.first + static_cast<double>(i));
        coverage.y.push_back(100.0 * figures.profile[i]);
        low = std::min(low, coverage.y.back());
        high = std::max(high, coverage.y.back());
    }
    const double streak = 100.0 * rv_analysis::kStreakShare * figures.meanCoverage;
    const SChartSeries threshold{"90 % of the mean",
                                 {200, 30, 30},
                                 {coverage.x.front(), coverage.x.back()},
                                 {streak, streak}};
    SChartAxes axes;
    axes.title = "Coverage of each paper line along the feed";
    axes.xLabel = "page line";
    axes.yLabel = "coverage (%)";
    axes.xMin = coverage.x.front();
    axes.xMax = coverage.x.back();
    axes.yMin = std::floor(std::min(low, streak)) - 1.0;
    axes.yMax = std::ceil(high) + 1.0;
    return LineChart(900, 400, axes, {coverage, threshold});
}

// The pictures of the report; their paths go into the report as each is written.
void Pictures_Write(const SBandingReport& banding, const SMaskParam& head,
                    const SOutputOptions& output, SReport& report)
{
    PrepareOutDir(output.outDir, {R"(banding_(print|profile|compare)\.png)"});
    const auto write = [&report, &output](const std::string& name, const auto& writeTo) {
        const std::string path = output.outDir + "/" + name;
        writeTo(path);
        report.files.push_back(path);
    };
    if (banding.compared) {
        write("banding_compare.png", [&](const std::string& path) {
            CompareChart(banding.comparison, head).WritePng(path);
        });
        return;
    }
    const rv_analysis::SInkCrop& crop = banding.figures.crop;
    write("banding_print.png", [&](const std::string& path) {
        WritePngGrey8(path, crop.ink.data(), crop.width, crop.height, crop.width, output.Png(true));
    });
    write("banding_profile.png",
          [&](const std::string& path) { ProfileChart(banding.figures).WritePng(path); });
}

OrderedJson FiguresToJson(const SBandingFigures& figures, double dpi)
{
    OrderedJson json = {
        {"meanCoveragePercent", Rounded(100.0 * figures.meanCoverage)},
        {"bandingIndexPercent", Rounded(figures.indexPercent)},
        {"strongestPeriod", nullptr},
        {"streak", {{"lines", figures.streak.Count()}, {"pageLines", nullptr}}},
    };
    if (figures.streak.Count() > 0)
        json["streak"]["pageLines"] = {figures.streak.first, figures.streak.end};
    if (figures.periodLines > 0)
        json["strongestPeriod"] = {{"lines", Rounded(figures.periodLines)},
                                   {"mm", Rounded(MmOf(figures.periodLines, dpi))},
                                   {"amplitudePercent", Rounded(figures.amplitudePercent)}};
    return json;
}

OrderedJson Report_ToJson(const SBandingReport& report, const SBandingOptions& options)
{
    OrderedJson json = OrderedJson::object();
    const rv_analysis::SPrinterErrors& e = options.errors;
    const rv_analysis::SBandingSettings& s = options.settings;
    json["errors"] = {{"advanceError", e.advanceError},
                      {"advanceJitter", e.advanceJitter},
                      {"subAdvanceError", e.subAdvanceError},
                      {"deadNozzles", e.deadNozzles},
                      {"weakNozzles", e.weakNozzles},
                      {"weakFactor", e.weakFactor},
                      {"seed", e.seed}};
    json["print"] = {{"color", s.colour},
                     {"coveragePercent", s.coveragePercent},
                     {"dotDiameter", s.dotDiameter},
                     {"subRows", s.subRows},
                     {"dpi", s.dpi}};
    if (report.compared) {
        json["errors"].erase("advanceError");  // the sweep's errors replace it
        OrderedJson modes = OrderedJson::array();
        for (const rv_analysis::SModeBanding& mode : report.comparison.modes) {
            OrderedJson index = OrderedJson::array(), period = OrderedJson::array();
            for (const SBandingFigures& figures : mode.figures) {
                index.push_back(Rounded(figures.indexPercent));
                period.push_back(Rounded(figures.periodLines));
            }
            modes.push_back({{"name", rv_analysis::FeatherName(mode.feather)},
                             {"record", OrderedJson(RecordToJson(mode.record))},
                             {"bandingIndexPercent", index},
                             {"periodLines", period}});
        }
        json["comparison"] = {{"advanceErrors", report.comparison.advanceErrors}, {"modes", modes}};
        return json;
    }
    const SBandingFigures& f = report.figures;
    json["stretch"] = {{"pageLines", {f.lines.first, f.lines.end}},
                       {"stepHeight", report.stepHeight},
                       {"cycleLines", report.cycleLines}};
    json["figures"] = FiguresToJson(f, s.dpi);
    OrderedJson profile = OrderedJson::array();
    for (const double coverage : f.profile)
        profile.push_back(Rounded(100.0 * coverage));
    json["figures"]["profilePercent"] = profile;
    if (f.crop.lines.Count() > 0)
        json["crop"] = {f.crop.lines.first, f.crop.lines.end};
    return json;
}

void Report_Print(const SBandingReport& report, const SBandingOptions& options)
{
    if (report.compared) {
        const SBandingComparison& c = report.comparison;
        std::printf("Banding index (%% coverage, RMS of the bands of %g to %g mm) by advance error "
                    "(rows per pass):\n%-18s",
                    rv_analysis::kShortestBandMm, rv_analysis::kLongestBandMm, "mode");
        for (const double error : c.advanceErrors)
            std::printf(" %8g", error);
        std::printf("\n");
        for (const rv_analysis::SModeBanding& mode : c.modes) {
            std::printf("%-18s", rv_analysis::FeatherName(mode.feather));
            for (const SBandingFigures& figures : mode.figures)
                std::printf(" %8.3f", figures.indexPercent);
            std::printf("\n");
        }
        return;
    }
    const SBandingFigures& f = report.figures;
    const double dpi = options.settings.dpi;
    std::printf("Banding: page lines %d to %d (%d cycles of %d lines, step %d), %d sub-rows per "
                "row, %g dpi\n",
                f.lines.first, f.lines.end - 1, f.lines.Count() / report.cycleLines,
                report.cycleLines, report.stepHeight, options.settings.subRows, dpi);
    std::printf("  mean coverage      %8.3f %%\n", 100.0 * f.meanCoverage);
    std::printf("  banding index      %8.3f %% (RMS of the bands of %g to %g mm)\n", f.indexPercent,
                rv_analysis::kShortestBandMm, rv_analysis::kLongestBandMm);
    if (f.periodLines > 0)
        std::printf("  strongest period   %8.2f lines = %.2f mm, amplitude %.3f %%\n",
                    f.periodLines, MmOf(f.periodLines, dpi), f.amplitudePercent);
    else
        std::printf("  strongest period       none\n");
    if (f.streak.Count() > 0)
        std::printf("  white streak       %8d line(s) from page line %d\n", f.streak.Count(),
                    f.streak.first);
    else
        std::printf("  white streak           none\n");
}

// Lays the print (or every mode's) and fills the figures, or refuses the report and says why.
void Report_Simulate(SBandingReport& banding, SBandingOptions& options,
                     const rv_analysis::CPrintPlan& plan, SReport& report)
{
    if (!plan.Accepted()) {
        report.Refuse(plan.Refusal());
        return;
    }
    banding.stepHeight = plan.StepHeight();
    banding.cycleLines = plan.CycleLines();
    Progress progress("simulating the print");
    const auto onDone = [&progress](int done, int total) { progress.Update(done, total); };
    if (options.compare) {
        std::vector<double> sweep;
        if (!options.sweep.empty())
            ParseList(options.sweep, sweep);
        banding.compared = true;
        banding.comparison =
            rv_analysis::Banding_Compare(options.param, sweep.empty() ? kDefaultSweep : sweep,
                                         options.errors, options.settings, options.workers, onDone);
        if (!banding.comparison.refusal.empty())
            report.Refuse(banding.comparison.refusal);
        return;
    }
    rv_analysis::SBandingSettings& settings = options.settings;
    if (settings.cropLines.Count() == 0 && options.lines.empty())
        settings.cropLines = DefaultCrop(plan, rv_analysis::Banding_Stretch(plan, settings));
    const std::string reason = rv_analysis::Banding_Refusal(plan, options.errors, settings);
    if (!reason.empty()) {
        report.Refuse(reason);
        return;
    }
    progress.Update(0, 1);
    banding.figures = rv_analysis::Banding_Simulate(plan, options.errors, settings);
}

void RunBanding(SBandingOptions& options, SReport& report)
{
    report.TakeRecord(options.param);
    std::string refusal = ParseLists(options);
    if (refusal.empty() && (options.workers < 1 || options.workers > kMaxWorkers))
        refusal = "--workers " + std::to_string(options.workers) + ": 1 to " +
                  std::to_string(kMaxWorkers);
    if (!refusal.empty()) {
        report.Refuse(refusal);
        return;
    }
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    SBandingReport banding;
    Report_Simulate(banding, options, rv_analysis::CPrintPlan(*mask), report);
    if (report.status != EReportStatus::Ok)
        return;
    report.own = Report_ToJson(banding, options);
    if (!options.output.json)
        Report_Print(banding, options);
    if (options.output.outDir.empty())
        return;
    Pictures_Write(banding, options.param, options.output, report);
    std::fprintf(stderr, "banding: wrote %zu picture(s) to %s\n", report.files.size(),
                 options.output.outDir.c_str());
}

}  // namespace

CommandRun AddBandingCommand(CLI::App& app)
{
    auto options = std::make_shared<SBandingOptions>();
    CLI::App* command = app.add_subcommand(
        "banding", "Simulate the print under the errors of a real printer and measure its banding");
    AddRecordOptions(*command, options->param);
    rv_analysis::SPrinterErrors& errors = options->errors;
    rv_analysis::SBandingSettings& settings = options->settings;
    command
        ->add_option("--advance-error", errors.advanceError,
                     "rows every paper advance is too long (negative: too short); the error "
                     "accumulates from pass to pass")
        ->capture_default_str();
    command
        ->add_option("--advance-jitter", errors.advanceJitter,
                     "standard deviation of an independent random error of each advance, rows")
        ->capture_default_str();
    command
        ->add_option("--sub-advance-error", errors.subAdvanceError,
                     "rows the advance to the next Y phase is too long (negative: too short), "
                     "taken back at the next print position: pairs the lines of neighbouring Y "
                     "phases (yResPass 2 or more)")
        ->capture_default_str();
    command->add_option("--dead-nozzles", options->deadNozzles,
                        "nozzles of the head (0 to nozzle count - 1) that never fire, e.g. 7,130");
    command->add_option("--weak-nozzles", options->weakNozzles,
                        "nozzles that fire smaller dots, then optionally ':' and their dot "
                        "diameter as a share of the others' (default 0.7), e.g. 7,130:0.6");
    command->add_option("--coverage", settings.coveragePercent, "the flat tint printed, percent")
        ->capture_default_str();
    command
        ->add_option("--dot-diameter", settings.dotDiameter,
                     "diameter of a dot, in pixel pitches (0.1 to 4)")
        ->capture_default_str();
    command
        ->add_option("--sub-rows", settings.subRows,
                     "ink samples per row along the feed (8 to 64, a multiple of 4)")
        ->capture_default_str();
    command->add_option("--dpi", settings.dpi, "rows per inch (50 to 4800)")->capture_default_str();
    command->add_option("--seed", errors.seed, "seed of the random advance errors")
        ->capture_default_str();
    command->add_option("--color", settings.colour, "colour of the mask to print")
        ->capture_default_str();
    command->add_option("--lines", options->lines,
                        "page lines FIRST:END (END excluded) of the picture of the print; "
                        "default: 64 lines round the first swath edge of the measured stretch");
    command->add_flag("--compare", options->compare,
                      "compare the feather modes of the head (unfeathered, two-part, three-part, "
                      "three-part with the ripple) over a sweep of advance errors");
    command->add_option("--errors", options->sweep,
                        "the advance errors of --compare, rows (default 0,0.05,0.1,0.2,0.3,0.5)");
    command->add_option("--workers", options->workers, "threads of --compare (1 to 64)")
        ->capture_default_str();
    AddOutputOptions(*command, options->output,
                     "folder for the pictures: the print and its coverage profile, or with "
                     "--compare the chart of banding index against advance error",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json,
                       [options](SReport& report) { RunBanding(*options, report); });
}
