// The stored threshold planes as a renderer sees them (through CRawMaskData): the derivation rules
// checked cell by cell on the planes themselves, the build step's work from the committed base
// file, and their tiling into the layers of a CBaseMaskData.

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/RawMaskData.h>

#include "LogCapture.h"
#include <RvPlanes/PlaneDerive.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 544;
constexpr int kCells = kSize * kSize;

// Level of plane p at column x, row y; both wrap, as the planes tile.
int Level(int p, int x, int y)
{
    return CRawMaskData::RawData(
        p)[((y % kSize + kSize) % kSize) * kSize + (x % kSize + kSize) % kSize];
}

int Complement(int level) { return std::min(65534, 65535 - level); }

bool PlanesEqual(const unsigned short* a, const unsigned short* b)
{
    return std::memcmp(a, b, sizeof(unsigned short) * kCells) == 0;
}

// Permissions and file of the mapping of this process that holds `address`, from /proc/self/maps.
bool MappingOf(const void* address, std::string& permissions, std::string& file)
{
    const auto target = reinterpret_cast<uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, offset, device, inode;
        fields >> range >> permissions >> offset >> device >> inode;
        file.clear();
        fields >> file;
        const size_t dash = range.find('-');
        const uintptr_t begin = std::stoull(range.substr(0, dash), nullptr, 16);
        const uintptr_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
        if (target >= begin && target < end)
            return true;
    }
    return false;
}

// The planes are constant data of the library file, mapped read-only: nothing builds them at load
// time and no caller can write them by mistake.
TEST(ThresholdPlanes, LieInReadOnlyMemoryOfTheLibrary)
{
    const unsigned short* first = CRawMaskData::RawData(0);
    const unsigned short* last = CRawMaskData::RawData(15) + kCells - 1;
    for (const unsigned short* sample : {first, last}) {
        std::string permissions, file;
        ASSERT_TRUE(MappingOf(sample, permissions, file));
        EXPECT_EQ(permissions.substr(0, 2), "r-") << permissions;
        EXPECT_NE(file.find("libRv_Halftone.so"), std::string::npos) << file;
    }
}

// The derivation rules, cell by cell on the stored planes themselves.
TEST(ThresholdPlanes, FollowTheDerivationRules)
{
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            ASSERT_EQ(Level(0, x, y), Complement(Level(1, x, y))) << "x " << x << ", y " << y;
            ASSERT_EQ(Level(3, x, y), Complement(Level(2, x, y + 188))) << "x " << x << ", y " << y;
            for (int p = 4; p < 16; ++p)
                ASSERT_EQ(Level(p, x, y), Level(p % 4, x, y + 272))
                    << "plane " << p << ", x " << x << ", y " << y;
        }
}

// The build step embedded what the derivation makes of the committed base file, which reads back
// as it is written.
TEST(ThresholdPlanes, AreTheDerivationOfTheCommittedBaseFile)
{
    namespace planes = rv_halftone::planes;
    std::vector<uint16_t> bases, again;
    ASSERT_TRUE(planes::Bases_Read(RV_THRESHOLD_BASE_FILE, bases));
    const std::vector<uint16_t> derived =
        planes::Planes_Derive(bases.data(), bases.data() + kCells);
    for (int n = 0; n < 16; ++n)
        EXPECT_TRUE(
            PlanesEqual(CRawMaskData::RawData(n), derived.data() + static_cast<size_t>(n) * kCells))
            << "plane " << n;

    const std::string path = ::testing::TempDir() + "threshold_bases.u16le";
    ASSERT_TRUE(planes::Bases_Write(path, bases));
    ASSERT_TRUE(planes::Bases_Read(path, again));
    EXPECT_EQ(again, bases);
    EXPECT_FALSE(planes::Bases_Write(path, derived));  // sixteen planes are not two matrices
    EXPECT_FALSE(planes::Bases_Read(path + ".missing", again));
}

// Two equal base matrices would pass every rule above, yet colours 1 and 2 would fire together.
TEST(ThresholdPlanes, BaseMatricesDiffer)
{
    EXPECT_FALSE(PlanesEqual(CRawMaskData::RawData(1), CRawMaskData::RawData(2)));
}

// --- tiling -----------------------------------------------------------------------------------

struct STileCase
{
    const char* name;
    int width;
    int height;
    int count;
};

void PrintTo(const STileCase& c, std::ostream* os) { *os << c.name; }

class BaseMaskDataTiling : public ::testing::TestWithParam<STileCase>
{
};

// Every sample of every layer: layer k is plane k mod 16 at column x mod 544, row y mod 544.
TEST_P(BaseMaskDataTiling, EverySampleComesFromItsPlane)
{
    const STileCase& c = GetParam();
    CBaseMaskData data;
    ASSERT_TRUE(data.Create(c.width, c.height, c.count));
    EXPECT_EQ(data.Width(), c.width);
    EXPECT_EQ(data.Height(), c.height);
    EXPECT_EQ(data.Count(), c.count);
    for (int k = 0; k < c.count; ++k) {
        const unsigned short* layer = data.MaskData(k);
        ASSERT_EQ(layer, data.MaskData(0) + static_cast<long>(c.width) * c.height * k);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(layer[y * c.width + x], Level(k % 16, x, y))
                    << "layer " << k << ", x " << x << ", y " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BaseMaskDataTiling,
    ::testing::Values(STileCase{"OneTile", 544, 544, 1}, STileCase{"Width1000", 1000, 40, 2},
                      STileCase{"Height600", 100, 600, 1}, STileCase{"Count17", 560, 550, 17},
                      STileCase{"Count5", 544, 544, 5}, STileCase{"Count0", 544, 544, 0},
                      STileCase{"NarrowerThanATile", 1, 3, 4},
                      STileCase{"SeveralTilesWide", 1700, 2, 1}),
    [](const ::testing::TestParamInfo<STileCase>& c) { return c.param.name; });

TEST(BaseMaskData, SecondCreateReplacesTheFirst)
{
    CBaseMaskData data;
    ASSERT_TRUE(data.Create(700, 700, 3));
    ASSERT_TRUE(data.Create(600, 3, 2));
    EXPECT_EQ(data.Width(), 600);
    EXPECT_EQ(data.Height(), 3);
    EXPECT_EQ(data.Count(), 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 600; ++x)
            ASSERT_EQ(data.MaskData(1)[y * 600 + x], Level(1, x, y)) << "x " << x << ", y " << y;
}

struct SRefusedCase
{
    const char* name;
    int width;
    int height;
    int count;
};

void PrintTo(const SRefusedCase& c, std::ostream* os) { *os << c.name; }

class BaseMaskDataRefused : public ::testing::TestWithParam<SRefusedCase>
{
};

// A refused size leaves one failure record and the earlier layers as they were.
TEST_P(BaseMaskDataRefused, FalseWithAFailureRecordAndNothingChanged)
{
    const SRefusedCase& c = GetParam();
    CBaseMaskData data;
    ASSERT_TRUE(data.Create(20, 10, 2));
    const unsigned short* before = data.MaskData(0);
    LogCapture log;
    EXPECT_FALSE(data.Create(c.width, c.height, c.count));
    const auto failures = log.Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].scope.find("CBaseMaskData::Create"), std::string::npos)
        << failures[0].scope;
    EXPECT_EQ(data.Width(), 20);
    EXPECT_EQ(data.Height(), 10);
    EXPECT_EQ(data.Count(), 2);
    EXPECT_EQ(data.MaskData(0), before);
    EXPECT_EQ(data.MaskData(1)[10 * 20 - 1], Level(1, 19, 9));
}

INSTANTIATE_TEST_SUITE_P(Cases, BaseMaskDataRefused,
                         ::testing::Values(SRefusedCase{"NegativeWidth", -1, 10, 1},
                                           SRefusedCase{"NegativeHeight", 10, -544, 1},
                                           SRefusedCase{"NegativeCount", 10, 10, -1},
                                           SRefusedCase{"TwoNegativesMakeAPositive", -10, -10, 1}),
                         [](const ::testing::TestParamInfo<SRefusedCase>& c) {
                             return c.param.name;
                         });

}  // namespace
