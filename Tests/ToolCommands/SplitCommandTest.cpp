// rv_halftone testpage and split, end to end: a generated page cut into swaths that the plan lays
// back into the page, and pages the tool refuses.
#include "PngWriter.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// 96 nozzles, 4 passes, 2 colours, 2 bits.
const std::vector<std::string> kMode = {"--nozzle-count", "96"};

std::string MakePage(const std::string& dir, const std::string& name, int width, int height,
                     int bits)
{
    const std::string path = dir + "/" + name;
    const SToolRun run =
        RunTool({"testpage", "--out", path, "--width", std::to_string(width), "--height",
                 std::to_string(height), "--bits-per-pixel", std::to_string(bits)});
    EXPECT_EQ(run.status, 0) << run.err;
    return path;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SToolRun Split(std::vector<std::string> args)
{
    args.insert(args.begin(), "split");
    args.insert(args.end(), kMode.begin(), kMode.end());
    return RunTool(args);
}

}  // namespace

// What a printer would do with the files: lay every raw swath where plan.json says, and get the
// page back, ink where the picture is dark.
TEST(SplitCommand, SwathsLaidByThePlanGiveBackTheTestPage)
{
    const std::string dir = FreshTestDir();
    const std::string page0 = MakePage(dir, "c0.png", 700, 150, 2);
    const std::string page1 = MakePage(dir, "c1.png", 700, 150, 2);
    const SToolRun run = Split({page0, page1, "--out", dir + "/out", "--png", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["record"]["nozzleCount"], 96);
    for (const nlohmann::json& colour : report["colors"]) {
        EXPECT_TRUE(colour["met"].get<bool>());
        EXPECT_EQ(colour["requested"], colour["laid"]);
        EXPECT_EQ(colour["outside"], 0);
    }

    const nlohmann::json plan = nlohmann::json::parse(FileBytes(dir + "/out/plan.json"));
    EXPECT_EQ(plan["page"]["rowBytes"], 175);
    ASSERT_EQ(report["passes"], plan["passes"].size());
    // Raw swaths, a PNG beside every one that has rows, and plan.json.
    size_t withRows = 0;
    std::vector<uint8_t> laid(175 * 150, 0);
    for (const nlohmann::json& pass : plan["passes"]) {
        const std::vector<uint8_t> swath =
            FileBytes(dir + "/out/" + pass["files"][1].get<std::string>());
        ASSERT_EQ(swath.size(), pass["bytes"].get<size_t>());
        ASSERT_EQ(swath.size(), pass["rows"].get<size_t>() * 175);
        const size_t first = pass["firstPageLine"].get<size_t>() * 175;
        for (size_t b = 0; b < swath.size(); ++b)
            laid[first + b] |= swath[b];
        withRows += pass["rows"] > 0 ? 1 : 0;
    }
    EXPECT_EQ(report["files"].size(), 2 * (plan["passes"].size() + withRows) + 1);
    SPngPixels pixels;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(page1, pixels, error)) << error;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 700; ++x) {
            const int level = laid[y * 175 + x / 4] >> (6 - 2 * (x % 4)) & 3;
            ASSERT_EQ(level, 3 - pixels.At(x, y) / 85) << x << ", " << y;
        }
}

// An 8-bit page is brought to the mode's levels and says so; one bit is refused for two.
TEST(SplitCommand, QuantisesEightBitPagesAndRefusesOtherDepthsAndSizes)
{
    const std::string dir = FreshTestDir();
    const std::string twoBit = MakePage(dir, "two.png", 60, 40, 2);
    const std::string oneBit = MakePage(dir, "one.png", 60, 40, 1);
    const std::string smaller = MakePage(dir, "small.png", 60, 39, 2);
    // Ten lines black, twenty white, ten light grey (200: a quarter of the ink, still some).
    std::vector<uint8_t> grey(60 * 40, 200);
    std::fill(grey.begin(), grey.begin() + 600, 0);
    std::fill(grey.begin() + 600, grey.begin() + 1800, 255);
    WritePngGrey8(dir + "/grey.png", grey.data(), 60, 40, 60);

    SToolRun run = Split({dir + "/grey.png", twoBit, "--out", dir + "/out", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_TRUE(report["pages"][0]["quantised"].get<bool>());
    EXPECT_EQ(report["colors"][0]["requested"], 1200);
    EXPECT_FALSE(report["pages"][1]["quantised"].get<bool>());

    const struct
    {
        std::vector<std::string> pages;
        const char* status;
        int exit;
        const char* reason;
    } cases[] = {
        {{oneBit, twoBit}, "refused", 1, "one.png has 1-bit pixels, but the mode has 2-bit"},
        {{twoBit, smaller}, "refused", 1, "small.png is 60 x 39 pixels, but"},
        {{twoBit}, "refused", 1, "1 page(s) given, but the mode has 2 colour(s)"},
        {{twoBit, dir + "/none.png"}, "error", 2, "none.png: No such file"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.pages;
        args.insert(args.end(), {"--out", dir + "/refused", "--json"});
        run = Split(args);
        EXPECT_EQ(run.status, c.exit) << run.err;
        report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["status"], c.status);
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos)
            << report["reason"];
        EXPECT_TRUE(report["files"].empty());
    }
}
