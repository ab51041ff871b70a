// rv_halftone testpage and split, end to end: a generated page cut into swaths that the plan lays
// back into the page, and pages the tool refuses.
#include "rv_halftone/PngWriter.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <functional>
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

// Samples packed from the most significant bit down (1, 2, 8 bits), or 16 bits in the machine's
// order (libtiff's) or big-endian (PNG's).
std::vector<uint8_t> Packed(const std::vector<unsigned>& values, int bits, bool bigEndian = false)
{
    std::vector<uint8_t> bytes((values.size() * bits + 7) / 8, 0);
    for (size_t i = 0; i < values.size(); ++i) {
        if (bits == 16) {
            const uint16_t v = static_cast<uint16_t>(values[i]);
            if (bigEndian)
                bytes[2 * i] = static_cast<uint8_t>(v >> 8), bytes[2 * i + 1] = v & 0xffu;
            else
                std::memcpy(&bytes[2 * i], &v, 2);
        } else {
            bytes[i * bits / 8] |= static_cast<uint8_t>(values[i] << (8 - bits - i * bits % 8));
        }
    }
    return bytes;
}

// A grey PNG, or a palette one when `palette` has entries: one value a pixel, rows top down.
void WriteTestPng(const std::string& path, int width, int height, int bits,
                  const std::vector<unsigned>& values, const std::vector<png_color>& palette = {})
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bits,
                 palette.empty() ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> row = Packed(
            std::vector<unsigned>(values.begin() + y * width, values.begin() + (y + 1) * width),
            bits, true);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

struct STiffLayout
{
    uint16_t photometric;
    int bits;
    int samples;
    uint16_t compression;
    uint32_t tile;  // side of square tiles; 0 for strips of 7 rows
};

// A TIFF of `values`, samples of a pixel side by side, rows top down.
void WriteTestTiff(const std::string& path, int width, int height, const STiffLayout& layout,
                   const std::vector<unsigned>& values)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const int n = layout.samples;
    const auto sample = [&](int x, int y, int s) {
        return x < width && y < height ? values[(static_cast<size_t>(y) * width + x) * n + s] : 0u;
    };
    if (layout.tile == 0) {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 7);
        for (int y = 0; y < height; ++y) {
            std::vector<uint8_t> row = Packed(
                std::vector<unsigned>(values.begin() + y * width * n,
                                      values.begin() + (y + 1) * width * n),
                layout.bits);
            TIFFWriteScanline(tiff, row.data(), y, 0);
        }
    } else {
        const int side = static_cast<int>(layout.tile);
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, layout.tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, layout.tile);
        for (int ty = 0; ty < height; ty += side)
            for (int tx = 0; tx < width; tx += side) {
                std::vector<unsigned> tile;
                for (int y = ty; y < ty + side; ++y)
                    for (int x = tx; x < tx + side; ++x)
                        for (int s = 0; s < n; ++s)
                            tile.push_back(sample(x, y, s));
                std::vector<uint8_t> bytes = Packed(tile, layout.bits);
                TIFFWriteEncodedTile(tiff, TIFFComputeTile(tiff, tx, ty, 0, 0), bytes.data(),
                                     static_cast<tmsize_t>(bytes.size()));
            }
    }
    TIFFClose(tiff);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A PNG's chunk `type` rewritten by `change` (on its data), its checksum made right again, or
// wrong.
std::vector<uint8_t> WithChunk(std::vector<uint8_t> png, const char* type,
                               const std::function<void(uint8_t*)>& change, bool wrongSum = false)
{
    const auto at = std::search(png.begin(), png.end(), type, type + 4);
    const size_t length = static_cast<size_t>(at[-4]) << 24 | at[-3] << 16 | at[-2] << 8 | at[-1];
    change(&at[4]);
    const uLong crc = crc32(crc32(0L, nullptr, 0), &at[0], static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i)
        at[4 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at[4 + length] ^= wrongSum ? 1 : 0;
    return png;
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

// A page in any format splits to the same swaths, byte for byte, as the 2-bit grey PNG of the same
// levels: each format's ink (dark for grey and a palette's greys, the value for TIFF MinIsWhite
// and separations), 16 and 8-bit values quantised back to the levels, strips and tiles (the last
// row and column of tiles hanging over the page), several inks in one file, a TIFF piped in.
TEST(SplitCommand, EveryFormatSplitsToTheSwathsOfTheReferencePage)
{
    const std::string dir = FreshTestDir();
    const int width = 70, height = 50;
    // Colour 1's page is colour 0's turned half round, so that the colours tell apart.
    const std::string pages[2] = {MakePage(dir, "c0.png", width, height, 2), dir + "/c1.png"};
    std::vector<unsigned> levels[2];
    SPngPixels pixels;
    std::string error;
    ASSERT_TRUE(ReadPngPixels(pages[0], pixels, error)) << error;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            levels[0].push_back(3 - pixels.At(x, y) / 85u);
    levels[1].assign(levels[0].rbegin(), levels[0].rend());
    std::vector<unsigned> greys1;
    for (unsigned level : levels[1])
        greys1.push_back(3 - level);
    WriteTestPng(pages[1], width, height, 2, greys1);
    // The mode's colour c is the level page c % 2.
    const auto splitOf = [&](int colours, std::vector<std::string> args, const std::string& out,
                             const SToolSetting& setting = {}) {
        args.insert(args.begin(), "split");
        args.insert(args.end(), {"--out", out, "--json", "--color-count", std::to_string(colours)});
        args.insert(args.end(), kMode.begin(), kMode.end());
        const SToolRun run = RunTool(args, setting);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json();
    };
    splitOf(2, {pages[0], pages[1]}, dir + "/ref2");
    splitOf(4, {pages[0], pages[1], pages[0], pages[1]}, dir + "/ref4");

    const std::vector<png_color> greys = {{170, 170, 170}, {0, 0, 0}, {255, 255, 255}, {85, 85, 85}};
    const struct
    {
        const char* name;
        const char* format;  // "png", "palette" (of `greys`) or "tiff"
        int colours;         // of the mode
        bool oneFile;        // all colours in one file, else a file per colour
        STiffLayout layout;  // for a PNG, its bits only
        unsigned (*value)(unsigned level);
        std::string firstFrom = "file";  // or "stdin" (a regular file) or "pipe"
    } cases[] = {
        // 16-bit values off the levels' own in their low byte, so that the byte order tells.
        {"16-bit PNG", "png", 2, false, {0, 16, 1, 0, 0},
         [](unsigned l) { return (3 - l) * 21845 ^ 0x80; }},
        {"grey palette PNG", "palette", 2, false, {0, 2, 1, 0, 0},
         [](unsigned l) { return std::vector<unsigned>{2, 0, 3, 1}[l]; }},
        {"MinIsBlack 2-bit TIFF, LZW strips", "tiff", 2, false,
         {PHOTOMETRIC_MINISBLACK, 2, 1, COMPRESSION_LZW, 0}, [](unsigned l) { return 3 - l; }},
        {"MinIsWhite 8-bit TIFF, Deflate tiles", "tiff", 2, false,
         {PHOTOMETRIC_MINISWHITE, 8, 1, COMPRESSION_ADOBE_DEFLATE, 16},
         [](unsigned l) { return l * 85; }},
        {"two inks, 16-bit TIFF, PackBits tiles", "tiff", 2, true,
         {PHOTOMETRIC_SEPARATED, 16, 2, COMPRESSION_PACKBITS, 32},
         [](unsigned l) { return l * 21845 ^ 0x80; }},
        {"CMYK 8-bit TIFF, LZW strips", "tiff", 4, true,
         {PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_LZW, 0}, [](unsigned l) { return l * 85; }},
        {"2-bit TIFF tiles on standard input", "tiff", 2, false,
         {PHOTOMETRIC_MINISBLACK, 2, 1, COMPRESSION_NONE, 16}, [](unsigned l) { return 3 - l; },
         "stdin"},
        {"2-bit TIFF strips through a pipe, which cannot seek", "tiff", 2, false,
         {PHOTOMETRIC_MINISBLACK, 2, 1, COMPRESSION_LZW, 0}, [](unsigned l) { return 3 - l; },
         "pipe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int files = c.oneFile ? 1 : c.colours;
        const int channels = c.oneFile ? c.colours : 1;
        std::vector<std::string> paths;
        for (int f = 0; f < files; ++f) {
            std::vector<unsigned> values;
            for (size_t i = 0; i < levels[0].size(); ++i)
                for (int s = 0; s < channels; ++s)
                    values.push_back(c.value(levels[(f + s) % 2][i]));
            paths.push_back(dir + "/" + std::to_string(&c - cases) + "_" + std::to_string(f) +
                            (std::string(c.format) == "tiff" ? ".tif" : ".png"));
            if (std::string(c.format) == "tiff")
                WriteTestTiff(paths.back(), width, height, c.layout, values);
            else
                WriteTestPng(paths.back(), width, height, c.layout.bits, values,
                             std::string(c.format) == "palette" ? greys : std::vector<png_color>{});
        }
        SToolSetting setting;
        if (c.firstFrom == "stdin")
            setting.standardInput = paths[0], paths[0] = "-";
        int pipeEnds[2] = {-1, -1};
        if (c.firstFrom == "pipe") {  // a small file: the pipe holds it whole
            const std::vector<uint8_t> bytes = FileBytes(paths[0]);
            ASSERT_EQ(pipe(pipeEnds), 0);
            ASSERT_EQ(write(pipeEnds[1], bytes.data(), bytes.size()),
                      static_cast<ssize_t>(bytes.size()));
            close(pipeEnds[1]);
            paths[0] = "/dev/fd/" + std::to_string(pipeEnds[0]);
        }
        const std::string out = dir + "/out" + std::to_string(&c - cases);
        const nlohmann::json report = splitOf(c.colours, paths, out, setting);
        if (pipeEnds[0] >= 0)
            close(pipeEnds[0]);
        EXPECT_EQ(FolderBytes(out), FolderBytes(dir + "/ref" + std::to_string(c.colours)));
        ASSERT_FALSE(report.is_null());
        EXPECT_EQ(report["pages"][0]["channels"], channels);
        EXPECT_EQ(report["pages"][0]["quantized"],
                  c.layout.bits != 2 || std::string(c.format) == "palette");
    }
}

// A page that cannot be read, or is not a page split takes, is refused with its name, the place
// and the reason, and no swath is written, though it is the second page and the first was split
// already; the text report then prints no summary of the part that was split.
TEST(SplitCommand, RefusesBrokenPagesByNameAndReason)
{
    const std::string dir = FreshTestDir();
    const std::string good = MakePage(dir, "good.png", 60, 40, 2);
    const std::vector<uint8_t> png = FileBytes(good);
    const std::vector<unsigned> blank(60 * 40 * 4, 0);
    WriteTestTiff(dir + "/rgb.tif", 60, 40, {PHOTOMETRIC_RGB, 8, 3, COMPRESSION_NONE, 0}, blank);
    WriteTestTiff(dir + "/cmyk.tif", 60, 40, {PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_NONE, 0},
                  blank);
    WriteTestTiff(dir + "/grey.tif", 60, 40, {PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_LZW, 0},
                  blank);
    const std::vector<uint8_t> tiff = FileBytes(dir + "/grey.tif");
    WriteTestPng(dir + "/colours.png", 60, 40, 2, std::vector<unsigned>(60 * 40, 1),
                 {{0, 0, 0}, {255, 0, 0}});
    const auto sides = [](uint32_t width, uint32_t height) {
        return [=](uint8_t* ihdr) {
            for (int i = 0; i < 4; ++i)
                ihdr[i] = static_cast<uint8_t>(width >> (24 - 8 * i)),
                ihdr[4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
        };
    };
    const struct
    {
        std::string file;
        std::vector<uint8_t> bytes;  // none: the file was written above
        int exit;
        std::string reason;
    } cases[] = {
        {"truncated.png", {png.begin(), png.begin() + png.size() / 2}, 2,
         ": row 0: truncated at byte " + std::to_string(png.size() / 2)},
        {"crc.png", WithChunk(png, "IDAT", [](uint8_t*) {}, true), 2, ": row 39: IDAT: CRC error"},
        {"zlib.png", WithChunk(png, "IDAT", [](uint8_t* data) { data[0] = 0x7f; }), 2,
         ": row 0: IDAT: "},
        {"wide.png", WithChunk(png, "IHDR", sides(1048577, 40)), 1,
         " is 1048577 x 40 pixels: lines of at most 1048576"},
        {"empty.png", WithChunk(png, "IHDR", sides(60, 0)), 2, ": header: Invalid IHDR data: Image height is zero in IHDR"},
        {"colours.png", {}, 1, " has a colour palette (entry 1 is red 255, green 0, blue 0)"},
        {"rgb.tif", {}, 1, " is a TIFF of photometric interpretation 2 (RGB): give"},
        {"cmyk.tif", {}, 1, " has 4 channel(s), but 1 of the mode's colours"},
        {"truncated.tif", {tiff.begin(), tiff.begin() + 300}, 2,
         ": header: TIFFFetchDirectory: Can not read TIFF directory"},
        {"text.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, 2,
         ": neither PNG nor TIFF (it starts with 68 65 6c 6c 6f 20 77 6f)"},
    };
    for (const auto& c : cases) {
        const std::string path = dir + "/" + c.file;
        if (!c.bytes.empty())
            WriteBytes(path, c.bytes);
        const std::string out = dir + "/out_" + c.file;
        const SToolRun run = Split({good, path, "--out", out, "--json"});
        EXPECT_EQ(run.status, c.exit) << c.file << ": " << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        const std::string reason = report["reason"];
        EXPECT_TRUE(reason.rfind(path, 0) == 0 && reason.find(c.reason) != std::string::npos)
            << reason;
        EXPECT_TRUE(report["files"].empty() && !report.contains("colors")) << c.file;
        EXPECT_TRUE(!std::filesystem::exists(out) || FolderBytes(out).empty()) << c.file;
    }
    const SToolRun text = Split({good, dir + "/crc.png", "--out", dir + "/text"});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.out.find("Split "), std::string::npos) << text.out;
}
