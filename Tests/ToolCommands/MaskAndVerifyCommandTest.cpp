// rv_halftone mask and verify, end to end on small modes.
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
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

// A record file gives the record as the options would, whole (as a report's "record" writes it) or
// in part (the rest at their defaults), and the options given override its fields.
TEST(MaskCommand, RecordFileGivesTheRecordAndOptionsOverrideIt)
{
    const std::string dir = FreshTestDir();
    const std::vector<std::string> feathered =
        With(kSmallMode, {"--feather-mode", "1", "--feather-percent", "12.5",
                          "--feather-nozzle-type", "2"});
    const SToolRun byOptions = RunTool(With({"mask", "--json"}, feathered));
    ASSERT_EQ(byOptions.status, 0) << byOptions.err;
    const std::string whole = dir + "/whole.json", part = dir + "/part.json";
    std::ofstream(whole) << nlohmann::json::parse(byOptions.out)["record"].dump();
    std::ofstream(part)
        << R"({"nozzleCount": 96, "colorCount": 1, "bitsPerPixel": 1, "lessMaskPosition": 1})";
    const struct
    {
        std::string file;
        std::vector<std::string> options;  // given with the file
        std::vector<std::string> same;     // the options alone that make the same mask
    } cases[] = {
        {whole, {}, feathered},
        {part, {}, kSmallMode},
        {whole, {"--feather-percent", "25"}, With(feathered, {"--feather-percent", "25"})},
        {part, {"--nozzle-count", "192"}, With(kSmallMode, {"--nozzle-count", "192"})},
    };
    for (const auto& c : cases) {
        const SToolRun byFile = RunTool(With({"mask", "--json", "--record", c.file}, c.options));
        EXPECT_EQ(byFile.status, 0) << byFile.err;
        EXPECT_EQ(byFile.out, RunTool(With({"mask", "--json"}, c.same)).out) << c.file;
    }
}

// Every refusal says which option breaks which rule, with the values that work where they depend
// on other options, as text and as the JSON report, with the record where the command takes one
// and read it. A value outside an option's own set, or a command line that does not parse, is a
// usage error (status 2, the value as given); a well-formed input the tool cannot serve is refused
// (status 1).
TEST(ToolCommands, RefusalsNameTheOptionAndTheRule)
{
    const std::string dir = FreshTestDir();
    const std::string page = dir + "/page.png";  // refused before it is written
    // Record files that are not records; their faults name the file and the key.
    const auto recordFile = [&dir](const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name) << text;
        return dir + "/" + name;
    };
    const std::string notJson = recordFile("notjson.json", "{\"nozzleCount\": 96,");
    const std::string unknownKey = recordFile("key.json", "{\"nozleCount\": 96}");
    const std::string fraction = recordFile("type.json", "{\"basePass\": 4.5}");
    const std::string outOfSet = recordFile("set.json", "{\"featherMode\": 7}");
    const std::string notObject = recordFile("list.json", "[96, 4]");
    const std::string budgetKey = recordFile("budgetkey.json", "{\"advnceJitter\": 0.1}");
    const std::string budgetType = recordFile("budgettype.json", "{\"advanceSamples\": 2.5}");
    const std::string budgetName = recordFile("budgetname.json", "{\"distribution\": \"gauss\"}");
    const std::string budgetRule = recordFile("budgetrule.json", "{\"advanceJitter\": 0.8}");
    constexpr int kRefused = 1, kUsage = 2, kFileError = -2;  // kFileError: status 2, "error"
    const struct
    {
        std::vector<std::string> command;
        int status;
        bool record;
        const char* reason;
    } cases[] = {
        {{"mask", "--feather-mode", "7"}, kUsage, false, "--feather-mode: 7 must be 0 (no feather) or 1"},
        {{"mask", "--feather-percent", "100.00001"},
         kUsage,
         false,
         "--feather-percent: 100.00001 must be from 0 to 100"},
        {{"verify", "--res-split-mode", "7"}, kUsage, false, "--res-split-mode: 7 must be 0 (none)"},
        {{"mask", "--nozle-count", "96"}, kUsage, false, "did you mean --nozzle-count?"},
        {{"mask", "--nozzle-count", "many"}, kUsage, false, "--nozzle-count"},
        // A feather without a percent has no feathered row; the least percent depends on the head.
        {{"mask", "--feather-mode", "1"},
         kRefused,
         true,
         "--feather-percent 0 leaves no feathered row: the 544 nozzle rows make 4 whole steps"},
        {{"verify", "--feather-mode", "1", "--feather-percent", "1", "--nozzle-count", "96"},
         kRefused,
         true,
         "raise --feather-percent (from 6.95 to 100 works)"},
        {{"verify", "--color-times", "5"},
         kRefused,
         true,
         "--color-times 5 must be from 1 to --base-pass (4)"},
        {{"verify", "--color", "2"}, kRefused, true, "--color 2: the mode has colours 0 to 1"},
        {{"mask", "--lines", "9:3"}, kRefused, true, "--lines 9:3: give FIRST:END page lines"},
        // At the edge of int: an empty range, and lines past the last a pass map shows.
        {{"mask", "--lines", "2147483647:2147483647", "--out", page},
         kRefused,
         true,
         "give FIRST:END page lines with FIRST < END"},
        {{"mask", "--lines", "2147483646:2147483647", "--out", page},
         kRefused,
         true,
         "page lines up to 1000000000 at most"},
        {{"planes", "--plane", "16", "--out", page}, kUsage, false, "--plane: 16 must be from 0 to 15"},
        {{"overlap", "--overlap-height", "0"}, kUsage, false, "--overlap-height: 0 must be at least 1"},
        {{"ramp", "--ramp-width", "0"}, kUsage, false, "--ramp-width: 0 must be at least 1"},
        {{"banding", "--dead-nozzles", "544"},
         kRefused,
         true,
         "dead nozzle 544: the head's nozzles are 0 to 543"},
        {{"banding", "--weak-nozzles", "3:big"}, kRefused, true, "--weak-nozzles '3:big'"},
        {{"banding", "--coverage", "150"}, kRefused, true, "coverage 150 %: 0 to 100 %"},
        {{"banding", "--advance-jitter", "0.8"}, kRefused, true, "advance jitter 0.8 rows: 0 to 0.5 rows"},
        {{"banding", "--lines", "9:5"}, kRefused, true, "lines 9:5"},
        {{"mask", "--record", dir + "/missing.json"},
         kFileError,
         false,
         "missing.json: No such file or directory"},
        {{"verify", "--record", notJson}, kRefused, false, "notjson.json: not JSON"},
        {{"banding", "--record", unknownKey},
         kRefused,
         false,
         "key.json: \"nozleCount\" is not a field of the record; did you mean \"nozzleCount\"?"},
        {{"mask", "--record", fraction}, kRefused, false, "\"basePass\": 4.5 is not a whole number"},
        {{"mask", "--record", outOfSet, "--feather-mode", "1"},
         kRefused,
         false,
         "set.json: \"featherMode\": 7 must be 0 (no feather) or 1"},
        {{"verify", "--record", notObject}, kRefused, false, "list.json: holds array, not an object"},
        {{"design", "--budget", dir + "/missing.json"}, kFileError, true, "missing.json: No such"},
        {{"design", "--budget", budgetKey},
         kRefused,
         true,
         "budgetkey.json: \"advnceJitter\" is not a field of the error budget; did you mean "
         "\"advanceJitter\"?"},
        {{"design", "--budget", budgetType},
         kRefused,
         true,
         "budgettype.json: \"advanceSamples\": 2.5 is not a whole number"},
        {{"design", "--budget", budgetName},
         kRefused,
         true,
         "budgetname.json: \"distribution\": \"gauss\" must be \"uniform\" or \"normal\""},
        // The file's values are the budget's as the options' are, under the same rules.
        {{"design", "--budget", budgetRule},
         kRefused,
         true,
         "error budget: advanceJitter 0.8: must lie within 0 to 0.5"},
        {{"testpage", "--out", page, "--bits-per-pixel", "3"},
         kUsage,
         false,
         "--bits-per-pixel: 3 must be 1 or 2"},
        {{"testpage", "--out", page, "--width", "0"},
         kUsage,
         false,
         "--width: 0 must be from 1 to 1000000"},
    };
    for (const auto& c : cases) {
        const std::string status = c.status == kUsage       ? "usage error"
                                   : c.status == kFileError ? "error"
                                                            : "refused";
        const int exitStatus = c.status == kFileError ? 2 : c.status;
        const SToolRun text = RunTool(c.command);
        EXPECT_EQ(text.status, exitStatus) << c.command[0] << " " << c.command[1];
        EXPECT_NE(text.err.find("rv_halftone " + c.command[0] + ": " + status + ": "),
                  std::string::npos)
            << text.err;
        EXPECT_NE(text.err.find(c.reason), std::string::npos) << text.err;
        const SToolRun json = RunTool(With(c.command, {"--json"}));
        EXPECT_EQ(json.status, exitStatus);
        const nlohmann::json report = nlohmann::json::parse(json.out);
        EXPECT_EQ(report["command"], c.command[0]);
        EXPECT_EQ(report["status"], status);
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos);
        EXPECT_TRUE(report["files"].empty());
        EXPECT_EQ(report.contains("record"), c.record) << c.command[0] << " " << c.command[1];
    }
    EXPECT_FALSE(std::filesystem::exists(page));
}

// Every command prints one JSON object under --json whatever happens: on success, on a refusal,
// on a usage error, and with a kernel choice the library does not take (whose record goes to the
// standard error stream, never before the object). The object has one shape: command, status,
// files, warnings; the record where the command takes one and read it; no reason when all is well.
TEST(ToolCommands, EveryCommandReportsJsonInOneShape)
{
    const std::string dir = FreshTestDir();
    const std::string page = dir + "/page.png";
    ASSERT_EQ(RunTool({"testpage", "--out", page, "--width", "600", "--height", "200"}).status, 0);
    const SToolSetting badKernel{{"RV_HALFTONE_KERNEL=avx512"}, ""};
    const struct
    {
        std::vector<std::string> ok;
        std::vector<std::string> refused;  // empty: the command refuses nothing
        bool takesRecord;
    } cases[] = {
        {With({"mask"}, kSmallMode), {"mask", "--feather-mode", "1"}, true},
        {With({"verify"}, kSmallMode), {"verify", "--color-times", "5"}, true},
        {{"planes", "--plane", "3"}, {}, false},
        {{"overlap", "--overlap-height", "4"}, {"overlap", "--overlap-height", "2000000000"}, false},
        {{"ramp", "--ramp-width", "8", "--band-height", "4"},
         {"ramp", "--ramp-width", "2000000000", "--band-height", "2000000000"},
         false},
        {{"split", page, page, "--out", dir + "/split"}, {"split", page, "--out", dir + "/one"}, true},
        {{"testpage", "--out", dir + "/small.png", "--width", "64", "--height", "8"},
         {"testpage", "--out", dir + "/huge.png", "--width", "1000000", "--height", "1000000"},
         false},
        {With({"banding"}, kSmallMode), {"banding", "--coverage", "150"}, true},
    };
    const auto parse = [](const SToolRun& run, const std::string& command, const char* status) {
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["command"], command);
        EXPECT_EQ(report["status"], status) << run.err;
        EXPECT_EQ(report.contains("reason"), std::string(status) != "ok") << command;
        EXPECT_TRUE(report["files"].is_array() && report["warnings"].is_array()) << command;
        return report;
    };
    for (const auto& c : cases) {
        const std::string& command = c.ok[0];
        for (const SToolSetting& setting : {SToolSetting{}, badKernel}) {
            const SToolRun run = RunTool(With(c.ok, {"--json"}), setting);
            ASSERT_EQ(run.status, 0) << command << ": " << run.err;
            const nlohmann::json report = parse(run, command, "ok");
            EXPECT_EQ(report.contains("record"), c.takesRecord) << command;
            const bool out = std::find(c.ok.begin(), c.ok.end(), "--out") != c.ok.end();
            EXPECT_EQ(report["files"].empty(), !out) << command;
        }
        if (!c.refused.empty()) {
            const SToolRun run = RunTool(With(c.refused, {"--json"}));
            EXPECT_EQ(run.status, 1) << command << ": " << run.err;
            parse(run, command, "refused");
        }
        const SToolRun usage = RunTool({command, "--no-such-option", "--json"});
        EXPECT_EQ(usage.status, 2) << command;
        EXPECT_FALSE(parse(usage, command, "usage error").contains("record"));
    }
    // The refused kernel is named on the standard error stream, also before --version's text.
    const SToolRun mask = RunTool(With({"mask", "--json"}, kSmallMode), badKernel);
    EXPECT_NE(mask.err.find("RV_HALFTONE_KERNEL"), std::string::npos) << mask.err;
    EXPECT_EQ(RunTool({"--version"}, badKernel).out.rfind("rv_halftone ", 0), 0u);
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
        {{"planes"}, 0, "all 16 plane(s) meet every floor", ""},
        {{"mask", "-v", "--nozzle-count", "96"}, 0, "Pass mask geometry", "Start"},
        {{"maks"},
         2,
         "",
         "unknown command 'maks'; did you mean mask? The commands are mask, planes, verify, "
         "overlap, ramp, split, testpage, banding and design"},
        {{"mask", "--feather-percent", "20", "--nozzle-count", "96"},
         0,
         "Pass mask geometry",
         "warning: --feather-percent changes nothing without --feather-mode 1"},
        {{"mask", "--feather-mode", "1", "--feather-percent", "50", "--smooth-level-percent", "60"},
         0,
         "Pass mask geometry",
         "warning: --smooth-level-percent changes nothing with two-part smoothing"},
        {{"overlap", "--feather-enable", "0", "--ink-percent", "50"},
         0,
         "Overlap zone",
         "warning: --ink-percent changes nothing with --feather-enable 0"},
        {{"mask", "--scale", "2", "--nozzle-count", "96"},
         0,
         "Pass mask geometry",
         "warning: --scale changes nothing without --out"},
        // A repeated option takes its last value.
        {{"mask", "--json", "--nozzle-count", "100000", "--nozzle-count", "96"},
         0,
         "\"maskHeight\": 96",
         ""},
    };
    for (const auto& c : cases) {
        const SToolRun run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << ": " << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunTool({"mask", "--help"}).out.find('\0'), std::string::npos);
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
    // One colour per pass that lays every line (96 rows over a step of 24), and by default the
    // steady state from a step above page line 0.
    EXPECT_EQ(report["passMap"]["colorCycle"], 4);
    EXPECT_EQ(report["passMap"]["lines"][0], -24);

    // --color: the pictures of one colour only.
    const SToolRun one =
        RunTool(With({"mask", "--json", "--out", dir, "--color", "1"},
                     {"--nozzle-count", "96", "--color-count", "2", "--bits-per-pixel", "2"}));
    ASSERT_EQ(one.status, 0) << one.err;
    const nlohmann::json files = nlohmann::json::parse(one.out)["files"];
    ASSERT_EQ(files.size(), static_cast<size_t>(positions + 2));
    for (const nlohmann::json& file : files)
        EXPECT_NE(file.get<std::string>().find("_c1"), std::string::npos) << file;
    EXPECT_FALSE(std::filesystem::exists(dir + "/passmap_c0.png"));
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

// The fire counts in a frame: one cycle of 24 lines of 544 pixels at scale 1, every pixel fired
// once (the mid grey), so exactly 24 rows of the picture hold a run of 544 mid-grey pixels.
TEST(VerifyCommand, WritesFireCountPictures)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool(With({"verify", "--out", dir}, kSmallMode));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("met"), std::string::npos);
    SPngPixels pixels;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(dir + "/firecount_c0.png", pixels, error)) << error;
    int fullRows = 0;
    for (int y = 0; y < pixels.height; ++y) {
        int streak = 0, longest = 0;
        for (int x = 0; x < pixels.width; ++x) {
            const bool grey = pixels.At(x, y, 0) == 160 && pixels.At(x, y, 1) == 160 &&
                              pixels.At(x, y, 2) == 160;
            streak = grey ? streak + 1 : 0;
            longest = std::max(longest, streak);
        }
        fullRows += longest >= 544 ? 1 : 0;
    }
    EXPECT_EQ(fullRows, 24);
}

// A stretch of lines at the edge of int is cut to the cap, and a picture that would pass the cap
// on pixels is drawn smaller, saying so: nothing runs without bound.
TEST(MaskCommand, PicturesStayWithinTheirCaps)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool(With({"mask", "--json", "--out", dir, "--scale", "16",
                                       "--lines=-72:2147483647"},
                                      kSmallMode));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["passMap"]["lines"], nlohmann::json::array({-72, -72 + 16384}));
    EXPECT_NE(report["passMap"]["note"].get<std::string>().find("cut"), std::string::npos);
    ASSERT_EQ(report["warnings"].size(), 1u) << report["warnings"];
    EXPECT_NE(report["warnings"][0].get<std::string>().find("the pass maps are drawn at scale 1"),
              std::string::npos);
    SPngHeader header;
    std::string error;
    ASSERT_TRUE(ReadPngHeader(dir + "/passmap_c0.png", header, error)) << error;
    EXPECT_LE(static_cast<long long>(header.width) * header.height, 1LL << 25);
    EXPECT_GT(header.height, 16384);
    // The mask fits at the scale asked.
    ASSERT_TRUE(ReadPngHeader(dir + "/mask_c0_p00.png", header, error)) << error;
    EXPECT_EQ(header.width, 544 * 16);
    EXPECT_EQ(header.height, 96 * 16);
}
