// rv_halftone overlap and ramp, end to end.
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

TEST(OverlapCommand, ReportsComplementaryShares)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool(
        {"overlap", "--json", "--overlap-height", "10", "--feather-percent", "35", "--out", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    ASSERT_EQ(report["shares"].size(), 10u);
    double previousHead = -1.0;
    for (const nlohmann::json& share : report["shares"]) {
        // Ink 100: the parts are exact complements, and the head's share never falls.
        EXPECT_EQ(share["bothPixels"], 0);
        EXPECT_DOUBLE_EQ(share["headPercent"].get<double>() + share["tailPercent"].get<double>(),
                         100.0);
        EXPECT_GE(share["headPercent"].get<double>(), previousHead);
        previousHead = share["headPercent"].get<double>();
    }
    SPngHeader chart;
    std::string chartError;
    EXPECT_TRUE(ReadPngHeader(dir + "/overlap_shares.png", chart, chartError)) << chartError;
    for (const char* name : {"overlap_head.png", "overlap_tail.png", "overlap_sum.png"}) {
        SPngHeader header;
        std::string error;
        ASSERT_TRUE(ReadPngHeader(dir + "/" + name, header, error)) << error;
        EXPECT_EQ(header.width, 512);
        EXPECT_EQ(header.height, 10);
        EXPECT_EQ(header.bitDepth, 1);
    }
}

TEST(RampCommand, WritesFourBandsThatComplementEachOther)
{
    const std::string dir = FreshTestDir();
    const SToolRun run =
        RunTool({"ramp", "--ramp-width", "24", "--band-height", "40", "--out", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    SPngPixels left, leftNot, right;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(dir + "/ramp_left.png", left, error)) << error;
    ASSERT_TRUE(ReadPngPixels(dir + "/ramp_left_not.png", leftNot, error)) << error;
    ASSERT_TRUE(ReadPngPixels(dir + "/ramp_right.png", right, error)) << error;
    ASSERT_EQ(left.width, 24);
    ASSERT_EQ(left.height, 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 24; ++x) {
            EXPECT_EQ(left.At(x, y) + leftNot.At(x, y), 255) << x << "," << y;
            // The right ramp is the left one turned half a turn.
            EXPECT_EQ(right.At(x, y), left.At(23 - x, 39 - y)) << x << "," << y;
        }
    }
}
