// rv_halftone banding: how much a mode shows the errors of a real printer - the coverage of the
// paper lines along the feed under feed, nozzle and drop errors, what the eye sees of it against the
// error-free print, and with --compare the visible banding of every feather mode of the head over
// tints and advance errors.
#include "Canvas.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <RvAnalysis/Banding.h>
#include <RvAnalysis/PrintPlan.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
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
const SRgb kModeColours[] = {{200, 30, 30}, {0, 110, 200}, {40, 150, 60}, {150, 60, 170}};
constexpr int kPanelWidth = 700, kPanelHeight = 420;

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
    std::string tints;
    std::string eccentricity;
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
    std::vector<double> tints;
    if (!options.tints.empty() && !ParseList(options.tints, tints))
        return "--tints '" + options.tints + "': a list of tints in percent, e.g. 25,50,100";
    if (!options.eccentricity.empty()) {
        double mm = 0.0, rows = 0.0;
        char colon = 0;
        std::istringstream in(options.eccentricity);
        if (!(in >> mm >> colon >> rows) || colon != ':' || !(in >> std::ws).eof())
            return "--eccentricity '" + options.eccentricity +
                   "': MM:ROWS, the period in mm of paper travel and the amplitude in rows, "
                   "e.g. 60:0.3";
        errors.eccentricityMm = mm;
        errors.eccentricityRows = rows;
    }
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

// One panel of the comparison chart: the visible banding of every mode against the advance
// error at one tint.
CCanvas ComparePanel(const SBandingComparison& comparison, size_t tint, double top)
{
    std::vector<SChartSeries> series;
    for (size_t m = 0; m < comparison.modes.size(); ++m) {
        SChartSeries s{rv_analysis::FeatherName(comparison.modes[m].feather),
                       kModeColours[m % 4],
                       comparison.advanceErrors,
                       {},
                       true};
        for (size_t e = 0; e < comparison.advanceErrors.size(); ++e)
            s.y.push_back(comparison.Figures(m, tint, e).visible.band.weightedRms);
        series.push_back(s);
    }
    SChartAxes axes;
    char title[64];
    std::snprintf(title, sizeof title, "%g %% tint", comparison.tints[tint]);
    axes.title = title;
    axes.xLabel = "advance error (rows per pass)";
    axes.yLabel = "visible banding (delta L-star, weighted RMS)";
    const auto [low, high] =
        std::minmax_element(comparison.advanceErrors.begin(), comparison.advanceErrors.end());
    axes.xMin = std::min(0.0, *low);
    axes.xMax = *high > axes.xMin ? *high : axes.xMin + 1.0;
    axes.yMin = 0.0;
    axes.yMax = top > 0.0 ? top * 1.1 : 1.0;
    return LineChart(kPanelWidth, kPanelHeight, axes, series);
}

// The comparison chart: one panel per tint, two across, on one scale so that tints compare; the
// title names what the answer depends on.
CCanvas CompareChart(const SBandingComparison& comparison, const SMaskParam& head,
                     const rv_analysis::SBandingSettings& settings)
{
    double top = 0.0;
    for (const rv_analysis::SModeBanding& mode : comparison.modes)
        for (const SBandingFigures& figures : mode.figures)
            top = std::max(top, figures.visible.band.weightedRms);
    const size_t panels = comparison.tints.size();
    const int across = panels > 1 ? 2 : 1;
    const int down = static_cast<int>((panels + 1) / static_cast<size_t>(across));
    const int titleHeight = 3 * CCanvas::TextHeight(2);
    CCanvas chart(across * kPanelWidth, titleHeight + down * kPanelHeight);
    char title[256];
    std::snprintf(
        title, sizeof title,
        "Visible banding: %d nozzles, %d passes, feather %g %%, X/Y %d/%d, dot %g pitches, "
        "viewed from %g mm",
        head.nozzleCount, head.basePass,
        rv_analysis::RecordWithFeather(head, FeatherFamily_TwoPart).featherPercent,
        head.xResPass, head.yResPass, settings.dotDiameter, settings.viewingMm);
    chart.Text(10, CCanvas::TextHeight(2), title, {0, 0, 0}, 2);
    for (size_t t = 0; t < panels; ++t) {
        const CCanvas panel = ComparePanel(comparison, t, top);
        chart.Paste(static_cast<int>(t % static_cast<size_t>(across)) * kPanelWidth,
                    titleHeight + static_cast<int>(t / static_cast<size_t>(across)) * kPanelHeight,
                    panel.Pixels(), panel.Width(), panel.Height());
    }
    return chart;
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
                    const rv_analysis::SBandingSettings& settings, const SOutputOptions& output,
                    SReport& report)
{
    PrepareOutDir(output.outDir, {R"(banding_(print|profile|compare)\.png)"});
    const auto write = [&report, &output](const std::string& name, const auto& writeTo) {
        const std::string path = output.outDir + "/" + name;
        writeTo(path);
        report.files.push_back(path);
    };
    if (banding.compared) {
        write("banding_compare.png", [&](const std::string& path) {
            CompareChart(banding.comparison, head, settings).WritePng(path);
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

OrderedJson BandToJson(const rv_analysis::SVisibleBand& band)
{
    OrderedJson json = {{"weightedRmsDeltaL", Rounded(band.weightedRms)}, {"strongest", nullptr}};
    if (band.strongestPeriodMm > 0)
        json["strongest"] = {{"periodMm", Rounded(band.strongestPeriodMm)},
                             {"amplitudeDeltaL", Rounded(band.strongestAmplitude)}};
    return json;
}

OrderedJson VisibleToJson(const rv_analysis::SVisibleFigures& v)
{
    OrderedJson json = BandToJson(v.band);
    json["meanShiftDeltaL"] = Rounded(v.meanShift);
    json["step"] = {{"lines", Rounded(v.stepLines)}, {"rmsDeltaL", Rounded(v.stepRms)}};
    json["seam"] = nullptr;
    if (v.seamLines > 0)
        json["seam"] = {{"lines", Rounded(v.seamLines)}, {"rmsDeltaL", Rounded(v.seamRms)}};
    json["lockedTo"] = rv_analysis::BandLockName(v.lock);
    json["periodLines"] = v.lock == rv_analysis::EBandLock::None ? OrderedJson(nullptr)
                                                                 : OrderedJson(Rounded(v.periodLines));
    return json;
}

OrderedJson FiguresToJson(const SBandingFigures& figures, double dpi)
{
    OrderedJson json = {
        {"visible", VisibleToJson(figures.visible)},
        {"errorFree", BandToJson(figures.errorFree)},
        {"meanCoveragePercent", Rounded(100.0 * figures.meanCoverage)},
        {"coverageIndexPercent", Rounded(figures.indexPercent)},
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

// One mode of the comparison: by tint, its error-free figure and its figures by advance error.
OrderedJson ModeToJson(const SBandingComparison& c, size_t m)
{
    OrderedJson tints = OrderedJson::array();
    for (size_t t = 0; t < c.tints.size(); ++t) {
        OrderedJson visible = OrderedJson::array(), index = OrderedJson::array(),
                    shift = OrderedJson::array(), locked = OrderedJson::array(),
                    period = OrderedJson::array();
        for (size_t e = 0; e < c.advanceErrors.size(); ++e) {
            const SBandingFigures& f = c.Figures(m, t, e);
            visible.push_back(Rounded(f.visible.band.weightedRms));
            shift.push_back(Rounded(f.visible.meanShift));
            locked.push_back(rv_analysis::BandLockName(f.visible.lock));
            period.push_back(Rounded(f.visible.periodLines));
            index.push_back(Rounded(f.indexPercent));
        }
        tints.push_back({{"tintPercent", c.tints[t]},
                         {"errorFree", BandToJson(c.modes[m].errorFree[t])},
                         {"visibleRmsDeltaL", visible},
                         {"meanShiftDeltaL", shift},
                         {"lockedTo", locked},
                         {"periodLines", period},
                         {"coverageIndexPercent", index}});
    }
    const rv_analysis::SModeBanding& mode = c.modes[m];
    return {{"name", rv_analysis::FeatherName(mode.feather)},
            {"record", OrderedJson(RecordToJson(mode.record))},
            {"tints", tints}};
}

OrderedJson Report_ToJson(const SBandingReport& report, const SBandingOptions& options)
{
    OrderedJson json = OrderedJson::object();
    const rv_analysis::SPrinterErrors& e = options.errors;
    const rv_analysis::SBandingSettings& s = options.settings;
    json["errors"] = {{"advanceError", e.advanceError},
                      {"advanceErrorPercent", e.advanceErrorPercent},
                      {"advanceJitter", e.advanceJitter},
                      {"subAdvanceError", e.subAdvanceError},
                      {"deadNozzles", e.deadNozzles},
                      {"weakNozzles", e.weakNozzles},
                      {"weakFactor", e.weakFactor},
                      {"dropGradientPercent", e.dropGradientPercent},
                      {"eccentricity", {{"mm", e.eccentricityMm}, {"rows", e.eccentricityRows}}},
                      {"seed", e.seed}};
    json["print"] = {{"color", s.colour},
                     {"coveragePercent", s.coveragePercent},
                     {"dotDiameter", s.dotDiameter},
                     {"subRows", s.subRows},
                     {"dpi", s.dpi},
                     {"inkReflectance", s.tone.inkReflectance},
                     {"yuleNielsenN", s.tone.yuleNielsenN},
                     {"viewingMm", s.viewingMm}};
    if (report.compared) {
        json["errors"].erase("advanceError");  // the sweep's errors replace it
        json["print"].erase("coveragePercent");  // and its tints the coverage
        OrderedJson modes = OrderedJson::array();
        for (size_t m = 0; m < report.comparison.modes.size(); ++m)
            modes.push_back(ModeToJson(report.comparison, m));
        json["comparison"] = {{"tints", report.comparison.tints},
                              {"advanceErrors", report.comparison.advanceErrors},
                              {"modes", modes}};
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

void Comparison_Print(const SBandingComparison& c, const rv_analysis::SBandingSettings& settings)
{
    std::printf("Visible banding (delta L*, RMS weighted by the eye at %g mm, against the "
                "error-free print) and [coverage index, %%], by advance error (rows per pass):\n",
                settings.viewingMm);
    for (size_t t = 0; t < c.tints.size(); ++t) {
        std::printf("%g %% tint\n%-18s", c.tints[t], "mode");
        for (const double error : c.advanceErrors)
            std::printf(" %15g", error);
        std::printf("   error-free\n");
        for (size_t m = 0; m < c.modes.size(); ++m) {
            std::printf("%-18s", rv_analysis::FeatherName(c.modes[m].feather));
            for (size_t e = 0; e < c.advanceErrors.size(); ++e) {
                const SBandingFigures& f = c.Figures(m, t, e);
                std::printf(" %6.3f [%6.3f]", f.visible.band.weightedRms, f.indexPercent);
            }
            std::printf("   %6.3f\n", c.modes[m].errorFree[t].weightedRms);
        }
    }
}

void Visible_Print(const SBandingFigures& f, double viewingMm)
{
    const rv_analysis::SVisibleFigures& v = f.visible;
    std::printf("  visible banding    %8.3f delta L* (RMS weighted by the eye at %g mm, against "
                "the error-free print)\n",
                v.band.weightedRms, viewingMm);
    if (v.band.strongestPeriodMm > 0)
        std::printf("  strongest visible  %8.2f mm, amplitude %.3f delta L*\n",
                    v.band.strongestPeriodMm, v.band.strongestAmplitude);
    std::printf("  mean tone shift    %8.3f delta L*\n", v.meanShift);
    std::printf("  locked to the step %8.3f delta L* (period %.2f lines)\n", v.stepRms,
                v.stepLines);
    if (v.seamLines > 0)
        std::printf("  locked to the seam %8.3f delta L* (period %.0f lines)\n", v.seamRms,
                    v.seamLines);
    std::printf("  band locked to     %8s\n", rv_analysis::BandLockName(v.lock));
    std::printf("  error-free print   %8.3f delta L* of its own (texture and pattern)\n",
                f.errorFree.weightedRms);
}

void Report_Print(const SBandingReport& report, const SBandingOptions& options)
{
    if (report.compared) {
        Comparison_Print(report.comparison, options.settings);
        return;
    }
    const SBandingFigures& f = report.figures;
    const double dpi = options.settings.dpi;
    std::printf("Banding: page lines %d:%d (%d cycles of %d lines, step %d), %d sub-rows per "
                "row, %g dpi\n",
                f.lines.first, f.lines.end, f.lines.Count() / report.cycleLines,
                report.cycleLines, report.stepHeight, options.settings.subRows, dpi);
    Visible_Print(f, options.settings.viewingMm);
    std::printf("  mean coverage      %8.3f %%\n", 100.0 * f.meanCoverage);
    std::printf("  coverage index     %8.3f %% (RMS of the bands of %g to %g mm)\n",
                f.indexPercent, rv_analysis::kShortestBandMm, rv_analysis::kLongestBandMm);
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
void Report_Simulate(SBandingReport& banding, SBandingOptions& options, const CMaskData_Base& mask,
                     SReport& report)
{
    const rv_analysis::CPrintPlan plan(mask);
    if (!plan.Accepted()) {
        report.Refuse(plan.Refusal());
        return;
    }
    banding.stepHeight = plan.StepHeight();
    banding.cycleLines = plan.CycleLines();
    Progress progress("simulating the print");
    const auto onDone = [&progress](int done, int total) { progress.Update(done, total); };
    if (options.compare) {
        std::vector<double> sweep, tints;
        if (!options.sweep.empty())
            ParseList(options.sweep, sweep);
        if (!options.tints.empty())
            ParseList(options.tints, tints);
        else
            tints.assign(std::begin(rv_analysis::kDefaultTints),
                         std::end(rv_analysis::kDefaultTints));
        banding.compared = true;
        banding.comparison = rv_analysis::Banding_Sweep(
            options.param, tints, sweep.empty() ? kDefaultSweep : sweep, options.errors,
            options.settings, options.workers, onDone);
        if (!banding.comparison.refusal.empty())
            report.Refuse(banding.comparison.refusal);
        return;
    }
    rv_analysis::SBandingSettings& settings = options.settings;
    settings.seamLines = rv_analysis::Banding_SeamLines(mask);
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
    if (refusal.empty() && (options.workers < 1 || options.workers > rv_analysis::kMaxWorkers))
        refusal = "--workers " + std::to_string(options.workers) + ": 1 to " +
                  std::to_string(rv_analysis::kMaxWorkers);
    if (!refusal.empty()) {
        report.Refuse(refusal);
        return;
    }
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    SBandingReport banding;
    Report_Simulate(banding, options, *mask, report);
    if (report.status != EReportStatus::Ok)
        return;
    report.own = Report_ToJson(banding, options);
    if (!options.output.json)
        Report_Print(banding, options);
    if (options.output.outDir.empty())
        return;
    Pictures_Write(banding, options.param, options.settings, options.output, report);
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
        ->add_option("--advance-error-percent", errors.advanceErrorPercent,
                     "every paper advance too long by this share of itself, percent (negative: "
                     "too short; a roller's error is proportional to the feed); adds to "
                     "--advance-error")
        ->capture_default_str();
    command
        ->add_option("--drop-gradient", errors.dropGradientPercent,
                     "dot diameter of the last nozzle minus nozzle 0's, percent of the mean "
                     "diameter, linear along the head (negative: nozzle 0 larger)")
        ->capture_default_str();
    command->add_option("--eccentricity", options->eccentricity,
                        "an eccentric roller: MM:ROWS, every pass off by ROWS x sin(2 pi x paper "
                        "travel / MM), e.g. 60:0.3");
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
    command
        ->add_option("--viewing-distance", settings.viewingMm,
                     "mm the print is seen from, for the eye's weighting (50 to 10000)")
        ->capture_default_str();
    command
        ->add_option("--ink-reflectance", settings.tone.inkReflectance,
                     "reflectance of a solid of the ink relative to the paper (0 to below 1)")
        ->capture_default_str();
    command
        ->add_option("--yule-nielsen", settings.tone.yuleNielsenN,
                     "Yule-Nielsen n of the tone model (1 to 10; 1 is Murray-Davies)")
        ->capture_default_str();
    command->add_option("--seed", errors.seed, "seed of the random advance errors")
        ->capture_default_str();
    command->add_option("--color", settings.colour, "colour of the mask to print")
        ->capture_default_str();
    command->add_option("--lines", options->lines,
                        "page lines FIRST:END (END excluded) of the picture of the print; "
                        "default: 64 lines round the first swath edge of the measured stretch");
    command->add_flag("--compare", options->compare,
                      "compare the feather modes of the head (unfeathered, two-part, three-part, "
                      "three-part with the ripple) over a sweep of tints and advance errors");
    command->add_option("--tints", options->tints,
                        "the tints of --compare, percent (default 25,50,75,100)");
    command->add_option("--errors", options->sweep,
                        "the advance errors of --compare, rows (default 0,0.05,0.1,0.2,0.3,0.5)");
    command->add_option("--workers", options->workers, "threads of --compare (1 to 64)")
        ->capture_default_str();
    AddOutputOptions(*command, options->output,
                     "folder for the pictures: the print and its coverage profile, or with "
                     "--compare the chart of visible banding against advance error, a panel "
                     "per tint",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json,
                       [options](SReport& report) { RunBanding(*options, report); });
}
