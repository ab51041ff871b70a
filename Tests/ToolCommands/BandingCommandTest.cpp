// rv_halftone banding end to end: the report's shape, its pictures, and refusals that say why.
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
    EXPECT_EQ(report["command"], "banding");
    EXPECT_EQ(report["status"], "ok");
    EXPECT_FALSE(report.contains("reason"));
    EXPECT_EQ(report["record"]["nozzleCount"], 96);
    EXPECT_EQ(report["files"], nlohmann::json({"banding_print.png", "banding_profile.png"}));
    EXPECT_NEAR(report["figures"]["strongestPeriod"]["lines"].get<double>(), 24.3, 1.0 / 32);
    EXPECT_GT(report["figures"]["bandingIndexPercent"].get<double>(), 0.1);

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
        RunTool(With(kSmallHead, {"--compare", "--errors", "0,0.3", "--out", dir}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["files"], nlohmann::json({"banding_compare.png"}));
    const nlohmann::json& modes = report["comparison"]["modes"];
    ASSERT_EQ(modes.size(), 4u);
    EXPECT_EQ(modes[3]["name"], "three-part ripple");
    EXPECT_EQ(modes[3]["record"]["featherNozzleType"], 3);
    EXPECT_EQ(modes[1]["record"]["featherPercent"], 50.0);  // the head has none
    EXPECT_LT(modes[0]["bandingIndexPercent"][0].get<double>(), 0.1);
    SPngHeader chart;
    std::string error;
    EXPECT_TRUE(ReadPngHeader(dir + "/banding_compare.png", chart, error)) << error;
}

// Every refusal still prints the whole report head, and its reason names the value and the rule.
TEST(BandingCommand, RefusalsSayWhatAndWhy)
{
    const struct
    {
        std::vector<std::string> options;
        const char* reason;
    } cases[] = {
        {{"--dead-nozzles", "96"}, "dead nozzle 96: the head's nozzle rows are 0 to 95"},
        {{"--weak-nozzles", "3:big"}, "--weak-nozzles '3:big'"},
        {{"--coverage", "150"}, "coverage 150 %: 0 to 100 %"},
        {{"--advance-jitter", "0.8"}, "advance jitter 0.8 rows: 0 to 0.5 rows"},
        {{"--lines", "9:5"}, "lines 9:5"},
        {{"--feather-mode", "7"}, "the library refused the record"},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(With(kSmallHead, c.options));
        EXPECT_EQ(run.status, 1) << c.reason;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["status"], "refused");
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos)
            << report["reason"];
        EXPECT_EQ(report["files"], nlohmann::json::array());
        EXPECT_EQ(report["record"].size(), 13u);
    }
}
