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
    EXPECT_EQ(report["files"], nlohmann::json({dir + "/banding_compare.png"}));
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
