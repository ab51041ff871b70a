// rv_halftone banding end to end: its figures and pictures.
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

const std::vector<std::string> kSmallHead = {
    "banding",          "--json", "--nozzle-count",       "96", "--color-count", "1",
    "--bits-per-pixel", "1",      "--less-mask-position", "1"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST(BandingCommand, ReportsTheFiguresAndDrawsThePrintAndItsProfile)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool(With(kSmallHead, {"--advance-error", "0.3", "--out", dir}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["record"]["nozzleCount"], 96);
    EXPECT_EQ(report["files"],
              nlohmann::json({dir + "/banding_print.png", dir + "/banding_profile.png"}));
    EXPECT_NEAR(report["figures"]["strongestPeriod"]["lines"].get<double>(), 24.3, 1.0 / 32);
    EXPECT_GT(report["figures"]["coverageIndexPercent"].get<double>(), 0.1);
    const nlohmann::json& visible = report["figures"]["visible"];
    EXPECT_GT(visible["weightedRmsDeltaL"].get<double>(), 0.0);
    EXPECT_NEAR(visible["step"]["lines"].get<double>(), 24.3, 1e-9);
    EXPECT_EQ(report["print"]["viewingMm"], 300.0);

    // The print: 64 lines of the mask's 544 pixels, four samples a pitch each way.
    SPngPixels print;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(dir + "/banding_print.png", print, error)) << error;
    EXPECT_EQ(print.width, 544 * 4);
    EXPECT_EQ(print.height, 64 * 4);
    SPngHeader chart;
    ASSERT_TRUE(ReadPngHeader(dir + "/banding_profile.png", chart, error)) << error;
}

TEST(BandingCommand, ComparesEveryFeatherModeOverTheSweep)
{
    const std::string dir = FreshTestDir();
    const SToolRun run =
        RunTool(With(kSmallHead, {"--compare", "--tints", "50,100", "--errors", "0,0.3", "--out",
                                  dir}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["files"], nlohmann::json({dir + "/banding_compare.png"}));
    const nlohmann::json& modes = report["comparison"]["modes"];
    ASSERT_EQ(modes.size(), 4u);
    EXPECT_EQ(modes[3]["name"], "three-part ripple");
    EXPECT_EQ(modes[3]["record"]["featherNozzleType"], 3);
    EXPECT_EQ(modes[1]["record"]["featherPercent"], 50.0);  // the head has none
    EXPECT_EQ(report["comparison"]["tints"], nlohmann::json({50.0, 100.0}));
    const nlohmann::json& half = modes[0]["tints"][0];
    EXPECT_EQ(half["visibleRmsDeltaL"][0], 0.0);  // no error: the error-free print itself
    EXPECT_GT(half["visibleRmsDeltaL"][1].get<double>(), 0.0);
    EXPECT_GT(half["errorFree"]["weightedRmsDeltaL"].get<double>(), 0.0);  // the tint's texture
    EXPECT_EQ(half["coverageIndexPercent"].size(), 2u);
    SPngHeader chart;
    std::string error;
    EXPECT_TRUE(ReadPngHeader(dir + "/banding_compare.png", chart, error)) << error;
}

// The options of a real printer's errors: malformed values and values past the simulation's limits
// are refused, with the value and the rule.
TEST(BandingCommand, RefusesRealPrinterErrorsItCannotTake)
{
    const struct
    {
        std::vector<std::string> options;
        const char* reason;
    } cases[] = {
        {{"--eccentricity", "60"}, "--eccentricity '60': MM:ROWS"},
        {{"--eccentricity", "0.5:0.2"}, "eccentricity period 0.5 mm: 1 to 10000 mm"},
        {{"--drop-gradient", "60"}, "drop gradient 60 %: at most 50 %"},
        {{"--advance-error-percent", "3"}, "advance error 3 % of the advance: at most 2 %"},
        {{"--viewing-distance", "20"}, "viewing distance 20 mm must be from 50 to 10000 mm"},
        {{"--compare", "--tints", "50,x"}, "--tints '50,x'"},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(With(kSmallHead, c.options));
        EXPECT_EQ(run.status, 1) << c.reason;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos)
            << report["reason"];
    }
}

// The designer's best record of a small head, read back by banding, prints the banding the
// design's table shows (one advance error, one tint: expected and worst are that one print's);
// --tolerance of that record tolerates what the table says; the ranking does not depend on the
// workers.
TEST(DesignCommand, BestRecordPrintsTheBandingItsTableShows)
{
    const std::string dir = FreshTestDir();
    const std::vector<std::string> printer = {
        "--tints", "50", "--advance-samples", "1", "--advance-error-min", "0.1",
        "--advance-error-max", "0.1", "--advance-jitter", "0", "--seed", "7", "--json"};
    const std::vector<std::string> design =
        With({"design", "--nozzle-count", "48", "--color-count", "1", "--bits-per-pixel", "1",
              "--less-mask-position", "1", "--passes", "2", "--feathers", "two-part",
              "--tolerated", "1"},
             printer);
    const SToolRun one = RunTool(With(design, {"--workers", "1", "--out", dir}));
    ASSERT_EQ(one.status, 0) << one.err;
    const SToolRun two = RunTool(With(design, {"--workers", "2"}));
    ASSERT_EQ(two.status, 0) << two.err;
    nlohmann::json byOne = nlohmann::json::parse(one.out), byTwo = nlohmann::json::parse(two.out);
    for (nlohmann::json* report : {&byOne, &byTwo}) {
        report->erase("files");
        report->erase("processorSeconds");
    }
    EXPECT_EQ(byOne, byTwo);

    const nlohmann::json best = byOne["best"];
    EXPECT_EQ(best["physicalPasses"], 2);
    const std::string bestRecord = dir + "/best_record.json";
    const SToolRun banding = RunTool({"banding", "--record", bestRecord, "--advance-error", "0.1",
                                      "--coverage", "50", "--drop-gradient", "3", "--json"});
    ASSERT_EQ(banding.status, 0) << banding.err;
    const nlohmann::json printed = nlohmann::json::parse(banding.out);
    EXPECT_EQ(printed["record"], best["record"]);
    EXPECT_NEAR(printed["figures"]["visible"]["weightedRmsDeltaL"].get<double>(),
                best["expectedBandingDeltaL"].get<double>(), 1e-4);
    // The print's time is the head's 48 lines over the paper's advance, which the banding reads
    // as its step (the 0.1 rows of error taken off).
    const double advance = printed["figures"]["visible"]["step"]["lines"].get<double>() - 0.1;
    EXPECT_NEAR(48.0 / advance, best["printPasses"].get<double>(), 1e-3);

    const SToolRun tolerance =
        RunTool(With({"design", "--tolerance", "--record", bestRecord}, printer));
    ASSERT_EQ(tolerance.status, 0) << tolerance.err;
    EXPECT_EQ(nlohmann::json::parse(tolerance.out)["mode"]["tolerated"], best["tolerated"]);
}
