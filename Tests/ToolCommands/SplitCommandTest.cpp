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

// What a printer would do with the files: lay every raw swath where plan.json's rules say (row r
// on page line firstPageLine + r x yPhases, pixel x on column x x xPhases + xPhase) and get the
// page back, ink where the picture is dark; no swath has more rows than the head has nozzles. Once
// with X = Y = 1 and once with X = Y = 2, where a pass lays every other line and every other
// column.
TEST(SplitCommand, SwathsLaidByThePlanGiveBackTheTestPage)
{
    const std::vector<std::string> modes[] = {
        {},
        {"--base-pass", "2", "--x-res-pass", "2", "--y-res-pass", "2"}};
    for (const std::vector<std::string>& mode : modes) {
        const std::string dir = FreshTestDir();
        const std::string page0 = MakePage(dir, "c0.png", 700, 150, 2);
        const std::string page1 = MakePage(dir, "c1.png", 700, 150, 2);
        std::vector<std::string> args = {page0, page1, "--out", dir + "/out", "--png", "--json"};
        args.insert(args.end(), mode.begin(), mode.end());
        const SToolRun run = Split(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        for (const nlohmann::json& colour : report["colors"]) {
            EXPECT_TRUE(colour["met"].get<bool>());
            EXPECT_EQ(colour["requested"], colour["laid"]);
            EXPECT_EQ(colour["outside"], 0);
        }

        const nlohmann::json plan = nlohmann::json::parse(FileBytes(dir + "/out/plan.json"));
        EXPECT_EQ(plan["page"]["rowBytes"], 175);
        const int x = plan["head"]["xPhases"], y = plan["head"]["yPhases"];
        const int nozzles = plan["head"]["headNozzles"];
        EXPECT_EQ(x, mode.empty() ? 1 : 2);
        ASSERT_EQ(report["passes"], plan["passes"].size());
        // Raw swaths, a PNG beside every one that has rows, and plan.json.
        size_t withRows = 0;
        std::vector<int> laid(700 * 150, 0);
        for (const nlohmann::json& pass : plan["passes"]) {
            const std::vector<uint8_t> swath =
                FileBytes(dir + "/out/" + pass["files"][1].get<std::string>());
            const int rows = pass["rows"], columns = pass["columns"], xPhase = pass["xPhase"];
            const int firstLine = pass["firstPageLine"];
            const size_t rowBytes = pass["rowBytes"];
            ASSERT_EQ(swath.size(), pass["bytes"].get<size_t>());
            ASSERT_EQ(swath.size(), rows * rowBytes);
            ASSERT_LE(pass["firstNozzle"].get<int>() + rows, nozzles) << pass;
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c) {
                    const int line = firstLine + r * y, column = c * x + xPhase;
                    ASSERT_TRUE(line < 150 && column < 700) << pass;
                    laid[line * 700 + column] |=
                        swath[r * rowBytes + c / 4] >> (6 - 2 * (c % 4)) & 3;
                }
            withRows += rows > 0 ? 1 : 0;
        }
        EXPECT_EQ(report["files"].size(), 2 * (plan["passes"].size() + withRows) + 1);
        SPngPixels pixels;
        std::string error;
        ASSERT_TRUE(ReadPngPixels(page1, pixels, error)) << error;
        for (int line = 0; line < 150; ++line)
            for (int column = 0; column < 700; ++column)
                ASSERT_EQ(laid[line * 700 + column], 3 - pixels.At(column, line) / 85)
                    << column << ", " << line;
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
