// rv_halftone testpage and split, end to end: a generated page cut into swaths that the plan lays
// back into the page, and pages the tool refuses.
#include "rv_halftone/PngWriter.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

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

// Every entry of a folder by name, with its bytes (a folder's: none).
std::map<std::string, std::vector<uint8_t>> FolderBytes(const std::string& dir)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename().string()] = FileBytes(entry.path().string());
    return files;
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
    EXPECT_TRUE(report["pages"][0]["quantized"].get<bool>());
    EXPECT_EQ(report["colors"][0]["requested"], 1200);
    EXPECT_FALSE(report["pages"][1]["quantized"].get<bool>());

    // A page that split would replace: under one of its names in --out, or the same file by another.
    const std::string inOut = MakePage(dir, "pass0002_c0.png", 60, 40, 2);
    std::filesystem::create_directories(dir + "/hard");
    std::filesystem::create_hard_link(twoBit, dir + "/hard/pass0000_c1.raw");
    const std::vector<uint8_t> wideLine(1048577, 0);
    const std::string wide = dir + "/wide.png";
    WritePngGrey8(wide, wideLine.data(), 1048577, 1, 1048577);
    const struct
    {
        std::vector<std::string> pages;
        const char* status;
        int exit;
        const char* reason;
        std::string out = "refused";
    } cases[] = {
        {{oneBit, twoBit}, "refused", 1, "one.png has 1-bit pixels, but the mode has 2-bit"},
        {{twoBit, smaller}, "refused", 1, "small.png is 60 x 39 pixels, but"},
        {{twoBit}, "refused", 1, "1 page(s) given, but the mode has 2 colour(s)"},
        {{twoBit, dir + "/none.png"}, "error", 2, "none.png: No such file"},
        {{twoBit, inOut}, "refused", 1, "pass0002_c0.png, which split replaces", "."},
        {{twoBit, twoBit}, "refused", 1, "hard/pass0000_c1.raw, which split replaces", "hard"},
        {{"-", "-"}, "refused", 1, "standard input (-) given as more than one page"},
        {{wide, wide}, "refused", 1, "wide.png is 1048577 x 1 pixels: lines of at most 1048576"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.pages;
        args.insert(args.end(), {"--out", dir + "/" + c.out, "--json"});
        run = Split(args);
        EXPECT_EQ(run.status, c.exit) << run.err;
        report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report["status"], c.status);
        EXPECT_NE(report["reason"].get<std::string>().find(c.reason), std::string::npos)
            << report["reason"];
        EXPECT_TRUE(report["files"].empty());
    }
}

// A page is opened once: a pipe (as from <(...)) can be a page, and a FIFO that offers a taller
// picture to a second open is never opened again (the first header sized the buffer).
TEST(SplitCommand, ReadsEachPageOnceFromPipesAndFifos)
{
    std::signal(SIGPIPE, SIG_IGN);  // a writer whose reader has gone gets an error instead
    const std::string dir = FreshTestDir();
    const std::string page = MakePage(dir, "c0.png", 60, 40, 2);
    const std::vector<uint8_t> bytes = FileBytes(page);
    const std::vector<uint8_t> taller = FileBytes(MakePage(dir, "tall.png", 60, 4000, 2));

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(ends[1]);
    SToolRun run = Split({page, "/dev/fd/" + std::to_string(ends[0]), "--out", dir + "/pipe"});
    close(ends[0]);
    EXPECT_EQ(run.status, 0) << run.err;

    const std::string fifo = dir + "/fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (const std::vector<uint8_t>* offered = &bytes; !done;) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // fails unread
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            fcntl(fd, F_SETFL, 0);
            EXPECT_GT(write(fd, offered->data(), offered->size()), 0);
            pollfd readerGone{fd, 0, 0};
            while (!done && poll(&readerGone, 1, 20) == 0) {
            }
            close(fd);
            offered = &taller;
        }
    });
    run = Split({fifo, page, "--out", dir + "/fifo"});
    done = true;
    writer.join();
    EXPECT_EQ(run.status, 0) << run.err;

    // "-" is standard input, read like any page.
    SToolSetting fromStdin;
    fromStdin.standardInput = page;
    std::vector<std::string> args = {"split", "-", page, "--out", dir + "/stdin"};
    args.insert(args.end(), kMode.begin(), kMode.end());
    run = RunTool(args, fromStdin);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FileBytes(dir + "/stdin/pass0001_c0.raw"), FileBytes(dir + "/pipe/pass0001_c0.raw"));
}

// The output folder changes only when a split succeeds, and then by new files under split's own
// names: links left there are replaced, never written through, and an earlier run's files of those
// names go; a run that fails leaves the folder as it was.
TEST(SplitCommand, ReplacesItsOwnFilesWholeOrNotAtAll)
{
    namespace fs = std::filesystem;
    const std::string dir = FreshTestDir();
    const std::string page0 = MakePage(dir, "c0.png", 60, 40, 2);
    const std::string page1 = MakePage(dir, "c1.png", 60, 40, 2);
    const std::string out = dir + "/out";
    fs::create_directories(out);
    std::ofstream(dir + "/victim") << "keep";
    fs::create_symlink(dir + "/victim", out + "/plan.json");
    fs::create_symlink(dir + "/victim", out + "/pass0000_c0.raw");
    fs::create_symlink(dir + "/missing", out + "/pass0001_c1.png");
    SToolRun run = Split({page0, page1, "--out", out, "--png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FileBytes(dir + "/victim"), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::exists(dir + "/missing"));
    EXPECT_FALSE(fs::is_symlink(out + "/plan.json"));
    const auto written = FolderBytes(out);

    // Colour 1's pixels are broken (a byte of its image data flipped): found after colour 0 is cut.
    std::vector<uint8_t> broken = FileBytes(page1);
    const auto data = std::search(broken.begin(), broken.end(), "IDAT", "IDAT" + 4);
    ASSERT_NE(data, broken.end());
    data[20] ^= 0x55;
    std::ofstream(dir + "/broken.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(broken.data()), broken.size());
    run = Split({page0, dir + "/broken.png", "--out", out, "--json"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(nlohmann::json::parse(run.out)["files"].empty());
    EXPECT_EQ(FolderBytes(out), written);

    // Without --png, the earlier run's pictures go too.
    ASSERT_EQ(Split({page0, page1, "--out", out}).status, 0);
    for (const auto& [name, bytes] : FolderBytes(out))
        EXPECT_EQ(fs::path(name).extension(), name == "plan.json" ? ".json" : ".raw") << name;
}
