// `rv_halftone planes` end to end: the figures it prints and the pictures it writes, compared with
// the stored planes the library hands out.

#include "ToolRunner.h"

#include <Rv_Halftone/RawMaskData.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 544;

std::string PicturePath(const std::string& dir, int plane, const std::string& suffix)
{
    char name[32];
    std::snprintf(name, sizeof name, "/plane_%02d%s.png", plane, suffix.c_str());
    return dir + name;
}

SPngPixels ReadPixels(const std::string& path)
{
    SPngPixels pixels;
    std::string error;
    EXPECT_TRUE(ReadPngPixels(path, pixels, error)) << error;
    return pixels;
}

TEST(PlanesCommand, JsonFiguresOfASelection)
{
    const SToolRun run = RunTool({"planes", "--json", "--plane", "5,2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["status"], "ok");
    ASSERT_EQ(report["planes"].size(), 2u);
    const nlohmann::json& plane2 = report["planes"][0];
    const nlohmann::json& plane5 = report["planes"][1];
    EXPECT_EQ(plane2["plane"], 2);
    EXPECT_EQ(plane5["plane"], 5);
    // Plane 5 is plane 1 rotated: a base matrix with plane 1's floor.
    EXPECT_EQ(plane5["histogram"], "base");
    EXPECT_EQ(plane5["neighborFloor"], 947);
    EXPECT_EQ(plane2["neighborFloor"], 1834);
    EXPECT_TRUE(plane5["derived"].get<bool>());
    EXPECT_GE(plane5["neighborMin"].get<int>(), 947);
    EXPECT_LT(plane5["closePairs"].get<int>(), 800);
    EXPECT_TRUE(plane5["misses"].empty());
    EXPECT_FALSE(report.contains("pictures"));
}

// The five pictures of each selected plane, at the asked scale, showing the stored levels.
TEST(PlanesCommand, PicturesOfTheSelectedPlanes)
{
    const std::string dir = FreshTestDir() + "/pictures";  // made by the tool
    const SToolRun run =
        RunTool({"planes", "--plane", "0", "--plane", "3", "--out", dir, "--scale", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("wrote 10 pictures of 2 plane(s) to " + dir), std::string::npos)
        << run.out;

    struct SExpected
    {
        const char* suffix;
        int bitDepth;
    };
    const SExpected pictures[] = {{"", 8},
                                  {"_cut_1of16", 1},
                                  {"_cut_1of4", 1},
                                  {"_cut_1of2", 1},
                                  {"_spectrum", 8}};
    for (int plane : {0, 3})
        for (const SExpected& picture : pictures) {
            const std::string path = PicturePath(dir, plane, picture.suffix);
            SPngHeader header;
            std::string error;
            ASSERT_TRUE(ReadPngHeader(path, header, error)) << error;
            EXPECT_EQ(header.width, 2 * kSize) << path;
            EXPECT_EQ(header.height, 2 * kSize) << path;
            EXPECT_EQ(header.bitDepth, picture.bitDepth) << path;
            EXPECT_EQ(header.colorType, PNG_COLOR_TYPE_GRAY) << path;
        }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              10);

    // The grey picture is the high byte of each level; the cut is black exactly where a level is
    // below the cut.
    const unsigned short* plane3 = CRawMaskData::RawData(3);
    const SPngPixels grey = ReadPixels(PicturePath(dir, 3, ""));
    const SPngPixels cut = ReadPixels(PicturePath(dir, 3, "_cut_1of16"));
    ASSERT_EQ(grey.samples.size(), 4u * kSize * kSize);
    ASSERT_EQ(cut.samples.size(), 4u * kSize * kSize);
    int black = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const int level = plane3[y * kSize + x];
            ASSERT_EQ(grey.At(2 * x + 1, 2 * y + 1), level >> 8) << x << "," << y;
            const bool on = level < 65535.0 / 16.0;
            ASSERT_EQ(cut.At(2 * x, 2 * y + 1), on ? 0 : 255) << x << "," << y;
            black += on;
        }
    EXPECT_NEAR(black, kSize * kSize / 16, 10);
}

// A dispersed-dot plane has little power at low frequencies: in the spectrum picture, frequency
// zero sits in the middle of a dark disc, brighter far from it.
TEST(PlanesCommand, SpectrumIsDarkAroundTheCentre)
{
    const std::string dir = FreshTestDir();
    const SToolRun run = RunTool({"planes", "--plane", "1", "--out", dir});
    ASSERT_EQ(run.status, 0) << run.err;
    const SPngPixels spectrum = ReadPixels(PicturePath(dir, 1, "_spectrum"));
    ASSERT_EQ(spectrum.width, kSize);
    double inner = 0.0, outer = 0.0;
    int innerCount = 0, outerCount = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const int dx = x - kSize / 2, dy = y - kSize / 2;
            const int r2 = dx * dx + dy * dy;
            if (r2 < 34 * 34) {  // below 1/16 cycle per pixel
                inner += spectrum.At(x, y);
                ++innerCount;
            } else if (r2 > 200 * 200) {
                outer += spectrum.At(x, y);
                ++outerCount;
            }
        }
    EXPECT_EQ(spectrum.At(kSize / 2, kSize / 2), 0);
    EXPECT_LT(inner / innerCount * 10.0, outer / outerCount);
}

}  // namespace
