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

// What a printer would do with the files, from plan.json alone: lay every raw swath's rows on the
// nozzles the rules name (a head-order file holds every nozzle, the ones that do not fire blank),
// each nozzle on frame line nozzle0Line + nozzle x yPhases, pixel x on frame column x x xPhases +
// xPhase, and take each colour's page back from where the frame holds it: the page comes back, ink
// where the picture is dark, and every pass fires as many nozzles as it has rows. With X = Y = 1
// and with X = Y = 2 (a pass lays every other line and column), in page order and in head order
// both ways, with heads mounted off the plan's head.
TEST(SplitCommand, SwathsLaidByThePlanGiveBackTheTestPage)
{
    const std::vector<std::string> phases = {"--base-pass",  "2", "--x-res-pass", "2",
                                             "--y-res-pass", "2"};
    const struct
    {
        std::vector<std::string> mode;
        std::vector<std::string> order;
        int frame[4];  // width, height; first line and column of colour 1's page in it
    } cases[] = {
        {{}, {}, {700, 150, 0, 0}},
        {phases, {}, {700, 150, 0, 0}},
        {{}, {"--order", "head"}, {700, 150, 0, 0}},
        // Colour 1's head 7 lines up: its nozzles reach page line 0 seven lines later.
        {phases,
         {"--order", "head", "--nozzle-direction", "up", "--head-offset", "1:-7,3"},
         {703, 157, 7, 0}},
        {phases,
         {"--order", "head", "--head-offset", "0:5,-2", "--head-offset", "1:0,9"},
         {711, 155, 5, 0}},
        {{}, {"--order", "page", "--head-offset", "1:130,-1"}, {701, 280, 0, 1}},
    };
    for (const auto& c : cases) {
        const std::string dir = FreshTestDir();
        const std::string pages[] = {MakePage(dir, "c0.png", 700, 150, 2),
                                     MakePage(dir, "c1.png", 700, 150, 2)};
        std::vector<std::string> args = {pages[0],     pages[1], "--out",
                                         dir + "/out", "--png",  "--json"};
        args.insert(args.end(), c.mode.begin(), c.mode.end());
        args.insert(args.end(), c.order.begin(), c.order.end());
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
        const bool head = plan["order"] == "head", up = plan["nozzleDirection"] == "up";
        EXPECT_EQ(x, c.mode.empty() ? 1 : 2);
        ASSERT_EQ(report["passes"], plan["passes"].size());
        EXPECT_EQ(plan["frame"]["width"], c.frame[0]);
        EXPECT_EQ(plan["frame"]["height"], c.frame[1]);
        EXPECT_EQ(plan["frame"]["colors"][1]["firstLine"], c.frame[2]);
        EXPECT_EQ(plan["frame"]["colors"][1]["firstColumn"], c.frame[3]);
        for (int colour = 0; colour < 2; ++colour) {
            const nlohmann::json& placed = plan["frame"]["colors"][colour];
            const int top = placed["firstLine"], left = placed["firstColumn"];
            // Raw swaths, a PNG beside every one that has rows, and plan.json.
            size_t withRows = 0;
            std::vector<int> laid(700 * 150, 0);
            for (const nlohmann::json& pass : plan["passes"]) {
                const std::vector<uint8_t> swath =
                    FileBytes(dir + "/out/" + pass["files"][colour].get<std::string>());
                const int rows = pass["rows"], fileRows = pass["fileRows"];
                const int firstNozzle = pass["firstNozzle"], nozzle0Line = pass["nozzle0Line"];
                const int columns = pass["columns"], xPhase = pass["xPhase"];
                const size_t rowBytes = pass["rowBytes"];
                ASSERT_EQ(swath.size(), pass["bytes"].get<size_t>());
                ASSERT_EQ(swath.size(), fileRows * rowBytes);
                ASSERT_EQ(fileRows, head ? nozzles : rows) << pass;
                ASSERT_LE(firstNozzle + rows, nozzles) << pass;
                int fired = 0;
                for (int r = 0; r < fileRows; ++r) {
                    const int nozzle = !head ? firstNozzle + r : up ? nozzles - 1 - r : r;
                    const uint8_t* row = swath.data() + r * rowBytes;
                    if (nozzle < firstNozzle || nozzle >= firstNozzle + rows) {
                        ASSERT_TRUE(
                            std::all_of(row, row + rowBytes, [](uint8_t b) { return b == 0; }))
                            << "nozzle " << nozzle << " fires outside the pass's rows " << pass;
                        continue;
                    }
                    ++fired;
                    for (int p = 0; p < columns; ++p) {
                        const int level = row[p / 4] >> (6 - 2 * (p % 4)) & 3;
                        const int line = nozzle0Line + nozzle * y - top;
                        const int column = p * x + xPhase - left;
                        if (line < 0 || line >= 150 || column < 0 || column >= 700) {
                            ASSERT_EQ(level, 0) << "ink outside the page " << pass;
                            continue;
                        }
                        laid[line * 700 + column] |= level;
                    }
                }
                EXPECT_EQ(fired, rows) << pass;
                withRows += rows > 0 ? 1 : 0;
            }
            EXPECT_EQ(report["files"].size(), 2 * (plan["passes"].size() + withRows) + 1);
            SPngPixels pixels;
            std::string error;
            ASSERT_TRUE(ReadPngPixels(pages[colour], pixels, error)) << error;
            for (int line = 0; line < 150; ++line)
                for (int column = 0; column < 700; ++column)
                    ASSERT_EQ(laid[line * 700 + column], 3 - pixels.At(column, line) / 85)
                        << "colour " << colour << " at " << column << ", " << line;
        }
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
        std::vector<std::string> options = {};
    } cases[] = {
        {{oneBit, twoBit}, "refused", 1, "one.png has 1-bit pixels, but the mode has 2-bit"},
        {{twoBit, smaller}, "refused", 1, "small.png is 60 x 39 pixels, but"},
        {{twoBit}, "refused", 1, "1 page(s) given, but the mode has 2 colour(s)"},
        {{twoBit, dir + "/none.png"}, "error", 2, "none.png: No such file"},
        {{twoBit, inOut}, "refused", 1, "pass0002_c0.png, which split replaces", "."},
        {{twoBit, twoBit}, "refused", 1, "hard/pass0000_c1.raw, which split replaces", "hard"},
        {{"-", "-"}, "refused", 1, "standard input (-) given as more than one page"},
        {{wide, wide}, "refused", 1, "wide.png is 1048577 x 1 pixels: lines of at most 1048576"},
        {{twoBit, twoBit},
         "refused",
         1,
         "a head offset of 65537 lines and 0 columns: offsets lie within -65536 to 65536",
         "refused",
         {"--head-offset", "1:65537,0"}},
        {{twoBit, twoBit},
         "refused",
         1,
         "is for colour 2, but the mode has colours 0 to 1",
         "refused",
         {"--head-offset", "2:1,1"}},
        {{twoBit, twoBit},
         "refused",
         1,
         "given twice for colour 0",
         "refused",
         {"--head-offset", "0:1,1", "--head-offset", "0:2,2"}},
        {{twoBit, twoBit},
         "refused",
         1,
         "give COLOUR:LINES,COLUMNS",
         "refused",
         {"--head-offset", "1:2"}},
        {{twoBit, twoBit},
         "refused",
         1,
         "give --order head",
         "refused",
         {"--nozzle-direction", "up"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.pages;
        args.insert(args.end(), {"--out", dir + "/" + c.out, "--json"});
        args.insert(args.end(), c.options.begin(), c.options.end());
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

    // testpage --out - | split -: the page alone on standard output, the same bytes as a file;
    // with --json, which would share standard output, refused. "-" is standard input, read like
    // any page.
    SToolSetting toStdout;
    toStdout.standardOutput = dir + "/stdout.png";
    run = RunTool({"testpage", "--out", "-", "--width", "60", "--height", "40"}, toStdout);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FileBytes(toStdout.standardOutput), bytes);
    run = RunTool({"testpage", "--out", "-", "--json"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("where --json would put the report"), std::string::npos) << run.out;
    SToolSetting fromStdin;
    fromStdin.standardInput = toStdout.standardOutput;
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
