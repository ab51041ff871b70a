// rv_halftone mask and verify, end to end on small modes.
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

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
    EXPECT_EQ(report["input"]["nozzleCount"], 96);
}

TEST(MaskCommand, RefusedRecordFailsWithTheLibrarysRecords)
{
    const SToolRun run = RunTool({"mask", "--json", "--feather-mode", "7"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("failure"), std::string::npos);
    EXPECT_NE(run.err.find("CMaskData_Base::Create"), std::string::npos);
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
    const SToolRun run =
        RunTool(With({"mask", "--json", "--out", dir, "--scale", "2"},
                     {"--nozzle-count", "96", "--color-count", "2", "--bits-per-pixel", "2"}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    const int positions = report["geometry"]["maskPositionCount"];
    ASSERT_EQ(report["files"].size(), static_cast<size_t>(2 * (positions + 1)));
    EXPECT_NE(run.err.find("wrote"), std::string::npos);  // the one-line summary

    SPngHeader header;
    std::string error;
    ASSERT_TRUE(ReadPngHeader(dir + "/mask_c1_p00.png", header, error)) << error;
    EXPECT_EQ(header.width, 544 * 2);
    EXPECT_EQ(header.height, 96 * 2);
    EXPECT_EQ(header.bitDepth, 2);
    EXPECT_EQ(header.colorType, 0);
    ASSERT_TRUE(ReadPngHeader(dir + "/passmap_c0.png", header, error)) << error;
    EXPECT_EQ(header.width, 544 * 2);
    EXPECT_EQ(header.colorType, 2);
    EXPECT_EQ(header.bitDepth, 8);
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
    EXPECT_EQ(pixels.width, 544);
    // Every pixel fired exactly once: every sample is the grey of count 1.
    for (uint8_t sample : pixels.samples)
        ASSERT_EQ(sample, 160);
}
