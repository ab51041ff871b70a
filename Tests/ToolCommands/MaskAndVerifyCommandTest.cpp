// rv_halftone mask and verify, end to end on small modes.
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A small mode: 96 nozzles, 4 passes, one position tile ("less" positions), 1 colour, 1 bit.
const std::vector<std::string> kSmallMode = {"--nozzle-count",   "96", "--color-count",        "1",
                                             "--bits-per-pixel", "1",  "--less-mask-position", "1"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST(MaskCommand, PrintsTheGeometryAsJson)
{
    const SToolRun run = RunTool(With({"mask", "--json"}, kSmallMode));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["geometry"]["maskWidth"], 544);
    EXPECT_EQ(report["geometry"]["maskHeight"], 96);
    EXPECT_EQ(report["geometry"]["stepHeight"], 24);
    EXPECT_EQ(report["geometry"]["leadBlankHeight"], 72);
    EXPECT_EQ(report["geometry"]["lineBytes"], 68);
    EXPECT_EQ(report["geometry"]["maskPositionCount"], 1);
    EXPECT_EQ(report["record"]["nozzleCount"], 96);
}

// Every refusal says which option breaks which rule, with the values that work where they depend
// on other options, as text and as the JSON report, with the record where the command takes one.
TEST(ToolCommands, RefusalsNameTheOptionAndTheRule)
{
    const std::string page = FreshTestDir() + "/page.png";  // refused before it is written
    const struct
    {
        std::vector<std::string> command;
        bool record;
        const char* reason;
    } cases[] = {
        {{"mask", "--feather-mode", "7"}, true, "--feather-mode 7 must be 0 (no feather) or 1"},
        // A feather without a percent has no feathered row; the least percent depends on the head.
        {{"mask", "--feather-mode", "1"},
         true,
         "--feather-percent 0 leaves no feathered row: the 544 nozzle rows make 4 whole steps"},
        {{"verify", "--feather-mode", "1", "--feather-percent", "1", "--nozzle-count", "96"},
         true,
         "raise --feather-percent (from 6.95 to 100 works)"},
        {{"verify", "--color-times", "5"},
         true,
         "--color-times 5 must be from 1 to --base-pass (4)"},
        {{"mask", "--lines", "9:3"}, true, "--lines 9:3: give FIRST:LAST page lines"},
        {{"overlap", "--overlap-height", "0"}, false, "--overlap-height 0 must be at least 1"},
        {{"ramp", "--ramp-width", "0"}, false, "--ramp-width 0 must be at least 1"},
        {{"banding", "--dead-nozzles", "544"},
         true,
         "dead nozzle 544: the head's nozzles are 0 to 543"},
        {{"banding", "--weak-nozzles", "3:big"}, true, "--weak-nozzles '3:big'"},
        {{"banding", "--coverage", "150"}, true, "coverage 150 %: 0 to 100 %"},
        {{"banding", "--advance-jitter", "0.8"}, true, "advance jitter 0.8 rows: 0 to 0.5 rows"},
        {{"banding", "--lines", "9:5"}, true, "lines 9:5"},
        {{"testpage", "--out", page, "--bits-per-pixel", "3"},
         false,
         "--bits-per-pixel is 3: it must be 1 or 2"},
        {{"testpage", "--out", page, "--width", "0"},
         false,
         "the page is 0 x 768 pixels: each side must be 1 to 1000000"},
    };
    for (const auto& c : cases) {
        const SToolRun text = RunTool(c.command);
        EXPECT_EQ(text.status, 1) << c.command[0];
        EXPECT_NE(text.err.find("rv_halftone " + c.command[0] + ": refused: "), std::string::npos);
        EXPECT_NE(text.err.find(c.reason), std::string::npos) << text.err;
        const SToolRun json = RunTool(With(c.command, {"--json"}));
        EXPECT_EQ(json.status, 1);
        const nlohmann::json report = nlohmann::json::parse(json.out);
        EXPECT_EQ(report["command"], c.command[0]);
        EXPECT_EQ(report["status"], "refused");
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos);
        EXPECT_TRUE(report["files"].empty());
        EXPECT_EQ(report.contains("record"), c.record) << c.command[0];
    }
    EXPECT_FALSE(std::filesystem::exists(page));
}

// One shape for every command: command, status, files; the record where one is taken; no reason
// when all is well.
TEST(ToolCommands, EveryCommandReportsInOneShape)
{
    const struct
    {
        std::vector<std::string> command;
        bool takesRecord;
    } cases[] = {
        {With({"mask"}, kSmallMode), true},
        {With({"verify"}, kSmallMode), true},
        {{"planes", "--plane", "3"}, false},
        {{"overlap", "--overlap-height", "4"}, false},
        {{"ramp", "--ramp-width", "8", "--band-height", "4"}, false},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(With(c.command, {"--json"}));
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["command"], c.command[0]);
        EXPECT_EQ(report["status"], "ok");
        EXPECT_FALSE(report.contains("reason"));
        EXPECT_EQ(report.contains("record"), c.takesRecord) << c.command[0];
        EXPECT_TRUE(report["files"].empty()) << c.command[0] << ": nothing without --out";
    }
}

// The tool's own options and words, wherever they are put.
TEST(ToolCommands, VersionVerboseAnywhereAndUnknownCommands)
{
    const struct
    {
        std::vector<std::string> args;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {{"--version"}, 0, "libRv_Halftone 1.", ""},
        {{"mask", "-v", "--nozzle-count", "96"}, 0, "Pass mask geometry", "Start"},
        {{"maks"},
         109,
         "",
         "unknown command 'maks'; the commands are mask, planes, verify, overlap, ramp, split, "
         "testpage and banding"},
        {{"mask", "--feather-percent", "20", "--nozzle-count", "96"},
         0,
         "Pass mask geometry",
         "--feather-percent has no effect without --feather-mode 1"},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << ": " << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunTool({"mask", "--help"}).out.find('\0'), std::string::npos);
}

TEST(MaskCommand, BadOptionsGiveAClearMessage)
{
    const SToolRun run = RunTool({"mask", "--nozzle-count", "many"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("nozzle-count"), std::string::npos);
    const SToolRun unknown = RunTool({"mask", "--no-such-option"});
    EXPECT_NE(unknown.status, 0);
}

TEST(MaskCommand, WritesMaskPicturesAndPassMaps)
{
    const std::string dir = FreshTestDir();
    // A picture of an earlier run goes; a file of the user's stays.
    std::ofstream(dir + "/mask_c7_p99.png") << "stale";
    std::ofstream(dir + "/notes.txt") << "mine";
    const SToolRun run =
        RunTool(With({"mask", "--json", "--out", dir, "--scale", "2"},
                     {"--nozzle-count", "96", "--color-count", "2", "--bits-per-pixel", "2"}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    const int positions = report["geometry"]["maskPositionCount"];
    // Per colour: one picture per position, the pass map and the chart of shares.
    ASSERT_EQ(report["files"].size(), static_cast<size_t>(2 * (positions + 2)));
    EXPECT_EQ(report["files"][0], dir + "/mask_c0_p00.png");
    EXPECT_NE(run.err.find("wrote"), std::string::npos);  // the one-line summary
    EXPECT_FALSE(std::filesystem::exists(dir + "/mask_c7_p99.png"));
    EXPECT_TRUE(std::filesystem::exists(dir + "/notes.txt"));

    SPngHeader header;
    std::string error;
    ASSERT_TRUE(ReadPngHeader(dir + "/mask_c1_p00.png", header, error)) << error;
    EXPECT_EQ(header.width, 544 * 2);
    EXPECT_EQ(header.height, 96 * 2);
    EXPECT_EQ(header.bitDepth, 2);
    EXPECT_EQ(header.colorType, 0);
    // The map at scale 2 with its legend beside it.
    ASSERT_TRUE(ReadPngHeader(dir + "/passmap_c0.png", header, error)) << error;
    EXPECT_GT(header.width, 544 * 2);
    EXPECT_EQ(header.colorType, 2);
    EXPECT_EQ(header.bitDepth, 8);
    ASSERT_TRUE(ReadPngHeader(dir + "/shares_c1.png", header, error)) << error;
}

// Exact modes meet their promise; the sine ripple has none, and nothing unchecked is called met.
TEST(VerifyCommand, JudgesWhatIsPromisedAndOnlyThat)
{
    const struct
    {
        std::vector<std::string> mode;
        bool promised;
    } cases[] = {
        {{"--color-times", "2"}, true},
        {{"--feather-mode", "1", "--feather-nozzle-type", "2", "--feather-percent", "50",
          "--smooth-level-percent", "60"},
         true},
        {{"--feather-mode", "1", "--feather-nozzle-type", "3", "--feather-percent", "50"}, false},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(With(With({"verify", "--json"}, kSmallMode), c.mode));
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        ASSERT_EQ(report["colors"].size(), 1u);
        const nlohmann::json& colour = report["colors"][0];
        EXPECT_EQ(colour["checked"].get<bool>(), c.promised);
        EXPECT_EQ(colour["promise"] != "none", c.promised);
        if (c.promised) {
            EXPECT_TRUE(report["met"].get<bool>());
            EXPECT_EQ(colour["mismatches"], 0);
        } else {
            EXPECT_FALSE(colour.contains("met") || report.contains("met"));
            EXPECT_EQ(run.err.find("met"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("not judged"), std::string::npos) << run.err;
        }
    }
}

// A folder that cannot be written is a clear message and status 2, never an abort.
TEST(ToolCommands, UnwritableOutputFolderIsReportedNotAborted)
{
    const std::string file = FreshTestDir() + "/a-file";
    std::ofstream(file) << "in the way";
    const std::vector<std::vector<std::string>> commands = {
        {"mask"},
        {"verify"},
        {"overlap"},
        {"ramp", "--ramp-width", "8", "--band-height", "4"},
        {"planes", "--plane", "0"},
        {"banding", "--nozzle-count", "96", "--less-mask-position", "1"}};
    for (const std::string& out : {file, file + "/below"}) {
        for (std::vector<std::string> command : commands) {
            command.insert(command.end(), {"--out", out});
            const SToolRun run = RunTool(command);
            EXPECT_EQ(run.status, 2) << command[0] << " " << out << ": " << run.err;
            EXPECT_NE(run.err.find("rv_halftone " + command[0]), std::string::npos) << run.err;
        }
    }
}

TEST(VerifyCommand, WritesFireCountPictures)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool(With({"verify", "--out", dir}, kSmallMode));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("met"), std::string::npos);
    SPngPixels pixels;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(dir + "/firecount_c0.png", pixels, error)) << error;
    // The counts of one cycle (24 lines of 544 pixels) from (8, 8), the legend beside them.
    ASSERT_GT(pixels.width, 8 + 544);
    ASSERT_GE(pixels.height, 8 + 24);
    // Every pixel fired exactly once: every sample is the grey of count 1.
    for (int y = 8; y < 8 + 24; ++y)
        for (int x = 8; x < 8 + 544; ++x)
            ASSERT_EQ(pixels.At(x, y, 1), 160) << x << "," << y;
}
