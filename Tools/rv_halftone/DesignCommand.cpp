// rv_halftone design: the print mode of a head that hides a printer's errors best - the records the
// library accepts, ranked by their visible banding under an error budget, the best of each pass
// count, and the advance error each tolerates; with --tolerance, the tolerance of one record.
#include "Canvas.h"
#include "CommandLine.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "Progress.h"
#include "RecordOptions.h"

#include <RvAnalysis/ModeDesign.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <utility>
#include <string>
#include <thread>
#include <vector>

namespace {

using rv_analysis::EErrorDistribution;
using rv_analysis::SDesignCandidate;
using rv_analysis::SDesignResult;
using rv_analysis::SErrorBudget;
using OrderedJson = nlohmann::ordered_json;

constexpr int kChartWidth = 900, kChartHeight = 500;

struct SDesignOptions
{
    alignas(4) SMaskParam param{};  // packed: see RecordOptions.h
    SOutputOptions output;
    SErrorBudget budget;
    std::string budgetFile;
    std::string distribution = "uniform";  // --distribution, a key of kDistributions
    rv_analysis::SDesignLimits limits;
    rv_analysis::SDesignSettings settings;
    std::vector<std::string> feathers;  // --feathers, by FeatherOptionName
    bool tolerance = false;  // the tolerance of the record given, no search
    int top = 10;            // rows of the ranked table in text
    int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
};

// The budget's fields that are numbers of rows or percents; each is an option named after it
// (advanceErrorMin -> --advance-error-min) and a key of a --budget file.
struct SBudgetField
{
    const char* name;
    double SErrorBudget::*member;
    const char* help;
};

const SBudgetField kBudgetFields[] = {
    {"advanceErrorMin", &SErrorBudget::advanceErrorMin,
     "least systematic advance error of the printer, rows per pass (negative: too short)"},
    {"advanceErrorMax", &SErrorBudget::advanceErrorMax,
     "largest systematic advance error of the printer, rows per pass"},
    {"advanceSigma", &SErrorBudget::advanceSigma,
     "with --distribution normal: its standard deviation, rows"},
    {"advanceJitter", &SErrorBudget::advanceJitter,
     "standard deviation of an independent random error of each advance, rows"},
    {"advanceErrorPercent", &SErrorBudget::advanceErrorPercent,
     "every advance too long by this share of itself, percent (a roller off its diameter)"},
    {"eccentricityRows", &SErrorBudget::eccentricityRows,
     "amplitude of an eccentric roller's error, rows"},
    {"eccentricityMm", &SErrorBudget::eccentricityMm,
     "circumference of the eccentric roller, mm of paper travel"},
    {"dropGradientPercent", &SErrorBudget::dropGradientPercent,
     "dot diameter of the last nozzle minus nozzle 0's, percent of the mean diameter"},
    {"deadNozzlePercent", &SErrorBudget::deadNozzlePercent,
     "nozzles that never fire, percent of the head, drawn with --seed"},
};
constexpr const char* kAdvanceSamples = "advanceSamples";
constexpr const char* kDistribution = "distribution";

const std::map<std::string, EErrorDistribution> kDistributions = {
    {"uniform", EErrorDistribution::Uniform},
    {"normal", EErrorDistribution::Normal},
};

// A feather family's name as --feathers takes it: FeatherName's, a hyphen for each space
// ("three-part-ripple").
std::string FeatherOptionName(EFeatherFamily feather)
{
    std::string name = rv_analysis::FeatherName(feather);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

std::vector<std::string> FeatherOptionNames()
{
    std::vector<std::string> names;
    for (const EFeatherFamily feather : rv_analysis::kFeathers)
        names.push_back(FeatherOptionName(feather));
    return names;
}

std::vector<EFeatherFamily> FeathersNamed(const std::vector<std::string>& names)
{
    std::vector<EFeatherFamily> feathers;
    for (const EFeatherFamily feather : rv_analysis::kFeathers)
        if (std::find(names.begin(), names.end(), FeatherOptionName(feather)) != names.end())
            feathers.push_back(feather);
    return feathers;
}

double Rounded(double value) { return std::round(value * 1e4) / 1e4; }

bool Given(const CLI::App& command, const std::string& option)
{
    return command.get_option(option)->count() > 0;
}

// "a, b or c"
std::string ListText(const std::vector<std::string>& names)
{
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return list;
}

std::vector<std::string> BudgetKeys()
{
    std::vector<std::string> keys;
    for (const SBudgetField& field : kBudgetFields)
        keys.emplace_back(field.name);
    keys.emplace_back(kAdvanceSamples);
    keys.emplace_back(kDistribution);
    return keys;
}

// The value of key `key` of a budget file as a number; refuses one of another type.
double BudgetNumber(const nlohmann::json& value, const std::string& key, const std::string& path,
                    bool whole)
{
    if (whole ? !value.is_number_integer() : !value.is_number())
        throw CommandRefusal(path + ": \"" + key + "\": " + value.dump() + " is not " +
                             (whole ? "a whole number" : "a number"));
    return value.get<double>();
}

// The budget of a --budget file, whose fields the budget options given override. Keys as the
// budget's fields; the file's values are checked with the budget (ErrorBudget_Refusal).
void TakeBudgetFile(const CLI::App& command, const std::string& path, SErrorBudget& budget)
{
    const nlohmann::json json = ReadFieldFile(path);
    if (!json.is_object())
        throw CommandRefusal(path + ": holds " + std::string(json.type_name()) +
                             ", not an object of the error budget's fields");
    const std::vector<std::string> keys = BudgetKeys();
    for (const auto& [key, value] : json.items()) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            const std::string nearest = NearestName(key, keys);
            throw CommandRefusal(path + ": \"" + key + "\" is not a field of the error budget" +
                                 (nearest.empty() ? "" : "; did you mean \"" + nearest + "\"?"));
        }
        if (Given(command, OptionOfField(key)))
            continue;
        if (key == kDistribution) {
            const auto named =
                value.is_string() ? kDistributions.find(value.get<std::string>()) : kDistributions.end();
            if (named == kDistributions.end())
                throw CommandRefusal(path + ": \"" + key + "\": " + value.dump() +
                                     " must be \"uniform\" or \"normal\"");
            budget.distribution = named->second;
        } else if (key == kAdvanceSamples) {
            const double samples = BudgetNumber(value, key, path, true);
            if (samples < 1 || samples > 1000)
                throw CommandRefusal(path + ": \"" + key + "\": " + value.dump() +
                                     " must be from 1 to 1000");
            budget.advanceSamples = static_cast<int>(samples);
        } else {
            for (const SBudgetField& field : kBudgetFields)
                if (key == field.name)
                    budget.*field.member = BudgetNumber(value, key, path, false);
        }
    }
}

// A mode in words: "three-part at 37.5 %, smooth 75 %, 4 passes", "unfeathered, 2 x 2 x 1 passes".
std::string ModeText(const SDesignCandidate& candidate)
{
    const SMaskParam& r = candidate.record;
    char text[160];
    std::string feather = rv_analysis::FeatherName(candidate.feather);
    if (candidate.feather != FeatherFamily_Unfeathered) {
        std::snprintf(text, sizeof text, " at %.4g %%", static_cast<double>(r.featherPercent));
        feather += text;
    }
    if (candidate.feather == FeatherFamily_ThreePart ||
        candidate.feather == FeatherFamily_ThreePartRipple)
        feather += ", smooth " + std::to_string(r.smoothLevelPercent) + " %";
    if (r.xResPass == 1 && r.yResPass == 1)
        std::snprintf(text, sizeof text, ", %d passes", static_cast<int>(r.basePass));
    else
        std::snprintf(text, sizeof text, ", %d x %d x %d passes", static_cast<int>(r.basePass),
                      static_cast<int>(r.xResPass), static_cast<int>(r.yResPass));
    return feather + text;
}

OrderedJson ToleranceToJson(const rv_analysis::SModeTolerance& tolerance)
{
    if (tolerance.advanceError < 0.0 && tolerance.advanceJitter < 0.0)
        return nullptr;  // not asked for this candidate
    return {{"advanceErrorRows", Rounded(tolerance.advanceError)},
            {"advanceJitterRows", Rounded(tolerance.advanceJitter)}};
}

OrderedJson CandidateToJson(const SDesignCandidate& candidate)
{
    return {
        {"mode", ModeText(candidate)},
        {"feather", rv_analysis::FeatherName(candidate.feather)},
        {"physicalPasses", candidate.physicalPasses},
        {"printPasses", Rounded(candidate.printPasses)},
        {"expectedBandingDeltaL", Rounded(candidate.expectedBanding)},
        {"worstBandingDeltaL", Rounded(candidate.worstBanding)},
        {"worstAdvanceErrorRows", Rounded(candidate.worstAdvanceError)},
        {"worstTintPercent", Rounded(candidate.worstTint)},
        {"tolerated", ToleranceToJson(candidate.tolerance)},
        {"record", RecordToJson(candidate.record)},
    };
}

OrderedJson BudgetToJson(const SErrorBudget& budget)
{
    OrderedJson json = OrderedJson::object();
    for (const SBudgetField& field : kBudgetFields)
        json[field.name] = budget.*field.member;
    json[kAdvanceSamples] = budget.advanceSamples;
    json[kDistribution] = rv_analysis::ErrorDistributionName(budget.distribution);
    return json;
}

OrderedJson SettingsToJson(const SDesignOptions& options)
{
    return {{"tintsPercent", options.settings.tints},
            {"thresholdDeltaL", options.settings.visibilityThreshold},
            {"seed", options.settings.seed}};
}

OrderedJson DesignToJson(const SDesignResult& result, const SDesignOptions& options)
{
    OrderedJson json = OrderedJson::object();
    json["budget"] = BudgetToJson(options.budget);
    json["limits"] = {{"minPasses", options.limits.minPasses},
                      {"maxPasses", options.limits.maxPasses},
                      {"fixedPasses", options.limits.fixedPasses}};
    json["settings"] = SettingsToJson(options);
    json["tried"] = result.tried;
    json["refused"] = result.refused.size();
    json["simulations"] = result.simulations;
    json["best"] = CandidateToJson(result.ranked.front());
    json["ranked"] = OrderedJson::array();
    for (const SDesignCandidate& candidate : result.ranked)
        json["ranked"].push_back(CandidateToJson(candidate));
    json["bestByPasses"] = OrderedJson::array();
    for (const SDesignCandidate& candidate : result.bestByPasses)
        json["bestByPasses"].push_back(CandidateToJson(candidate));
    // Processor time: the one part of the report that differs from run to run.
    json["processorSeconds"] = {{"maskBuilds", Rounded(result.time.maskBuilds)},
                                {"errorFree", Rounded(result.time.errorFree)},
                                {"simulation", Rounded(result.time.simulation)},
                                {"tolerance", Rounded(result.time.tolerance)}};
    return json;
}

std::string BudgetText(const SErrorBudget& b)
{
    char text[400];
    std::snprintf(text, sizeof text,
                  "advance error %g to %g rows (%d samples, %s), jitter %g rows, %g %% of each "
                  "advance, eccentricity %g rows over %g mm, drop gradient %g %%, dead nozzles "
                  "%g %%",
                  b.advanceErrorMin, b.advanceErrorMax, b.advanceSamples,
                  rv_analysis::ErrorDistributionName(b.distribution), b.advanceJitter,
                  b.advanceErrorPercent, b.eccentricityRows, b.eccentricityMm,
                  b.dropGradientPercent, b.deadNozzlePercent);
    return text;
}

std::string ToleranceText(const rv_analysis::SModeTolerance& tolerance)
{
    if (tolerance.advanceError < 0.0 && tolerance.advanceJitter < 0.0)
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, "+-%.2f / %.2f", tolerance.advanceError,
                  tolerance.advanceJitter);
    return text;
}

void CandidateRow_Print(const std::string& label, const SDesignCandidate& c)
{
    std::printf("%5s  %-54s %6d  %5.2f  %8.4f  %8.4f (%+.2f rows, %g %%)  %s\n", label.c_str(),
                ModeText(c).c_str(), c.physicalPasses, c.printPasses, c.expectedBanding,
                c.worstBanding, c.worstAdvanceError, c.worstTint,
                ToleranceText(c.tolerance).c_str());
}

void Design_Print(const SDesignResult& result, const SDesignOptions& options)
{
    const SMaskParam& head = options.param;
    std::printf("Mode design: %d nozzles, %d colour(s), %d bit(s); physical passes %s\n",
                head.nozzleCount, head.colorCount, head.bitsPerPixel,
                options.limits.fixedPasses > 0
                    ? std::to_string(options.limits.fixedPasses).c_str()
                    : (std::to_string(options.limits.minPasses) + " to " +
                       std::to_string(options.limits.maxPasses))
                          .c_str());
    std::printf("Budget: %s\n", BudgetText(options.budget).c_str());
    std::printf("%d records tried, %zu refused by the library, %d prints simulated; time: "
                "physical passes per head height of paper (more than the passes when a feather "
                "overlaps the swaths); visible banding in delta L* (weighted RMS of the worst "
                "tint), tolerated advance error / jitter in rows at %g delta L*\n\n",
                result.tried, result.refused.size(), result.simulations,
                options.settings.visibilityThreshold);
    std::printf("%5s  %-54s %6s  %5s  %8s  %8s %-20s %s\n", "rank", "mode", "passes", "time",
                "expected", "worst", "(at error, tint)", "tolerated");
    const size_t shown = std::min(result.ranked.size(), static_cast<size_t>(options.top));
    for (size_t i = 0; i < shown; ++i)
        CandidateRow_Print(std::to_string(i + 1), result.ranked[i]);
    if (shown < result.ranked.size())
        std::printf("       ... %zu more (--top, --json)\n", result.ranked.size() - shown);
    std::printf("\nBest at each pass count:\n");
    for (const SDesignCandidate& candidate : result.bestByPasses)
        CandidateRow_Print("", candidate);
}

// Banding against physical passes: the best mode at each pass count, expected and worst, with
// the visibility threshold.
CCanvas PassesChart(const SDesignResult& result, const SDesignOptions& options)
{
    SChartSeries expected{"expected (mean over the budget)", {0, 110, 200}, {}, {}, true};
    SChartSeries worst{"worst over the budget", {200, 30, 30}, {}, {}, true};
    double top = options.settings.visibilityThreshold;
    for (const SDesignCandidate& candidate : result.bestByPasses) {
        expected.x.push_back(candidate.physicalPasses);
        expected.y.push_back(candidate.expectedBanding);
        worst.x.push_back(candidate.physicalPasses);
        worst.y.push_back(candidate.worstBanding);
        top = std::max(top, candidate.worstBanding);
    }
    SChartAxes axes;
    char title[160];
    std::snprintf(title, sizeof title,
                  "Best mode at each pass count: %d nozzles, advance error %g to %g rows",
                  options.param.nozzleCount, options.budget.advanceErrorMin,
                  options.budget.advanceErrorMax);
    axes.title = title;
    axes.xLabel = "physical passes per paper line";
    axes.yLabel = "visible banding (delta L-star, weighted RMS)";
    axes.xMin = expected.x.front() - 0.5;
    axes.xMax = expected.x.back() + 0.5;
    axes.yMin = 0.0;
    axes.yMax = top * 1.1;
    const SChartSeries threshold{"visibility threshold",
                                 {120, 120, 120},
                                 {axes.xMin, axes.xMax},
                                 {options.settings.visibilityThreshold,
                                  options.settings.visibilityThreshold},
                                 false};
    return LineChart(kChartWidth, kChartHeight, axes, {expected, worst, threshold});
}

void Files_Write(const SDesignResult& result, const SDesignOptions& options, SReport& report)
{
    const std::string& dir = options.output.outDir;
    PrepareOutDir(dir, {R"(design_passes\.png)", R"(best_record\.(json|h))"});
    for (const std::string& path : WriteRecordFiles(result.ranked.front().record, dir,
                                                    "best_record"))
        report.files.push_back(path);
    const std::string chart = dir + "/design_passes.png";
    PassesChart(result, options).WritePng(chart);
    report.files.push_back(chart);
}

// A designer's text with the fields of its limits and settings turned into this command's options.
std::string InDesignOptionNames(std::string text)
{
    // Only the names that are not also plain words of a reason.
    const std::pair<const char*, const char*> options[] = {
        {"fixedPasses", "--passes"},
        {"maxPasses", "--max-passes"},
        {"visibilityThreshold", "--threshold"},
    };
    for (const auto& [field, option] : options)
        text = std::regex_replace(text, std::regex(std::string("\\b") + field + "\\b"), option);
    return text;
}

// The checks of the command's own options; empty when they hold.
std::string OptionsRefusal(const SDesignOptions& options)
{
    if (options.workers < 1 || options.workers > rv_analysis::kMaxWorkers)
        return "--workers " + std::to_string(options.workers) + ": 1 to " +
               std::to_string(rv_analysis::kMaxWorkers);
    if (options.top < 1)
        return "--top " + std::to_string(options.top) + ": at least 1";
    return "";
}

void RunTolerance(const SDesignOptions& options, SReport& report)
{
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    Progress progress("finding the tolerance");
    progress.Update(0, 2);
    const SDesignCandidate judged =
        rv_analysis::Mode_Judge(options.param, options.budget, options.settings);
    if (!judged.refusal.empty()) {
        report.Refuse(judged.refusal);
        return;
    }
    progress.Update(1, 2);
    const double threshold = options.settings.visibilityThreshold;
    const rv_analysis::SModeTolerance tolerance =
        rv_analysis::Mode_Tolerance(options.param, options.budget, options.settings, threshold);
    if (!tolerance.refusal.empty()) {
        report.Refuse(tolerance.refusal);
        return;
    }
    report.own["budget"] = BudgetToJson(options.budget);
    report.own["settings"] = SettingsToJson(options);
    OrderedJson figures = CandidateToJson(judged);
    figures["tolerated"] = ToleranceToJson(tolerance);
    report.own["mode"] = figures;
    if (options.output.json)
        return;
    std::printf("Mode: %s (time: %.2f physical passes per head height of paper)\nBudget: %s\n",
                ModeText(judged).c_str(), judged.printPasses, BudgetText(options.budget).c_str());
    std::printf("Visible banding: expected %.4f, worst %.4f delta L* (at %+.2f rows, %g %% tint)\n",
                judged.expectedBanding, judged.worstBanding, judged.worstAdvanceError,
                judged.worstTint);
    std::printf("Tolerated at %g delta L*: systematic advance error +-%.2f rows (with the "
                "budget's jitter), advance jitter %.2f rows (without a systematic error)\n",
                threshold, tolerance.advanceError, tolerance.advanceJitter);
}

void RunDesign(SDesignOptions& options, const CLI::App& command, SReport& report)
{
    report.TakeRecord(options.param);
    if (Given(command, OptionOfField(kDistribution)))
        options.budget.distribution = kDistributions.at(options.distribution);
    if (!options.budgetFile.empty())
        TakeBudgetFile(command, options.budgetFile, options.budget);
    options.settings.workers = options.workers;
    options.limits.head = options.param;
    options.limits.feathers = FeathersNamed(options.feathers);
    const std::string budgetRefusal = rv_analysis::ErrorBudget_Refusal(options.budget);
    for (const std::string& refusal :
         {OptionsRefusal(options), budgetRefusal.empty() ? "" : "error budget: " + budgetRefusal,
          InDesignOptionNames(rv_analysis::DesignSettings_Refusal(options.settings)),
          InDesignOptionNames(rv_analysis::DesignLimits_Refusal(options.limits))}) {
        if (!refusal.empty()) {
            report.Refuse(refusal);
            return;
        }
    }
    if (Given(command, "--scale"))
        report.Warn("--scale changes nothing in design: its chart is drawn at one size");
    if (options.tolerance) {
        if (!options.output.outDir.empty())
            report.Warn("--out changes nothing with --tolerance: it writes no files");
        RunTolerance(options, report);
        return;
    }
    SDesignResult result;
    {
        Progress progress("designing the mode");
        result = rv_analysis::Mode_Design(options.limits, options.budget, options.settings,
                                          [&progress](int done, int total) {
                                              progress.Update(done, total);
                                          });
    }
    if (!result.refusal.empty()) {
        report.Refuse(InOptionNames(result.refusal));
        return;
    }
    if (result.ranked.empty()) {
        report.Refuse("the library accepts none of the " + std::to_string(result.tried) +
                      " records tried" +
                      (result.refused.empty() ? std::string()
                                              : " (the first: " +
                                                    InOptionNames(result.refused.front().refusal) +
                                                    ")"));
        return;
    }
    report.own = DesignToJson(result, options);
    if (!options.output.json)
        Design_Print(result, options);
    if (options.output.outDir.empty())
        return;
    Files_Write(result, options, report);
    std::fprintf(stderr, "design: wrote %zu file(s) to %s\n", report.files.size(),
                 options.output.outDir.c_str());
}

void AddBudgetOptions(CLI::App& command, SDesignOptions& options)
{
    SErrorBudget& budget = options.budget;
    command.add_option("--budget", options.budgetFile,
                       "a JSON file of the error budget's fields by name (advanceErrorMin, "
                       "advanceErrorMax, advanceSamples, distribution, advanceSigma, "
                       "advanceJitter, ...); the budget options given override its fields");
    for (const SBudgetField& field : kBudgetFields)
        command.add_option(OptionOfField(field.name), budget.*field.member, field.help)
            ->capture_default_str();
    command
        .add_option(OptionOfField(kAdvanceSamples), budget.advanceSamples,
                    "systematic advance errors sampled, evenly over the range (1: its middle)")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    command
        .add_option(OptionOfField(kDistribution), options.distribution,
                    "how the samples are weighed: uniform (any error in the range alike) or "
                    "normal (by a normal density of --advance-sigma centred in the range)")
        ->check(CLI::IsMember({"uniform", "normal"}))
        ->capture_default_str();
}

}  // namespace

CommandRun AddDesignCommand(CLI::App& app)
{
    auto options = std::make_shared<SDesignOptions>();
    CLI::App* command = app.add_subcommand(
        "design", "Find the print mode of a head whose banding hides a printer's errors best");
    AddRecordOptions(*command, options->param);
    AddBudgetOptions(*command, *options);
    command
        ->add_option("--max-passes", options->limits.maxPasses,
                     "most physical passes per paper line (passes x X x Y) a mode may take")
        ->capture_default_str();
    command
        ->add_option("--passes", options->limits.fixedPasses,
                     "only modes of exactly this many physical passes (0: any within the limit)")
        ->capture_default_str();
    const std::vector<std::string> feathers = FeatherOptionNames();
    command
        ->add_option("--feathers", options->feathers,
                     "the feather families searched, of " + ListText(feathers) +
                         " (default: all)")
        ->delimiter(',')
        ->check(CLI::IsMember(feathers));
    command
        ->add_option("--tints", options->settings.tints,
                     "the tints each mode is printed at, percent (a mode is as good as its "
                     "worst tint)")
        ->delimiter(',')
        ->default_str("25,50,75,100");
    command
        ->add_option("--threshold", options->settings.visibilityThreshold,
                     "visible banding, delta L* weighted RMS, from which a careful viewer sees "
                     "it: the limit of the tolerated errors")
        ->capture_default_str();
    command
        ->add_option("--tolerated", options->settings.tolerated,
                     "tolerated errors are found for this many of the best modes")
        ->capture_default_str();
    command->add_flag("--tolerance", options->tolerance,
                      "no search: the largest advance error and jitter the record given "
                      "tolerates under --threshold, and its banding under the budget");
    command->add_option("--seed", options->settings.seed,
                        "seed of the dead nozzles and the advance jitter")
        ->capture_default_str();
    command->add_option("--workers", options->workers, "threads of the search (1 to 64)")
        ->capture_default_str();
    command->add_option("--top", options->top, "rows of the ranked table shown in text")
        ->capture_default_str();
    AddOutputOptions(*command, options->output,
                     "folder for the chart of banding against passes (design_passes.png) and the "
                     "best record as best_record.json (which --record reads) and best_record.h "
                     "(its C initialiser)",
                     "print the report as JSON");
    return ReportedRun(command, options->output.json, [options, command](SReport& report) {
        RunDesign(*options, *command, report);
    });
}
