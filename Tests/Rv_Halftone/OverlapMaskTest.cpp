// Overlap masks: the split of the zone, how head and tail share the pixels of every line, sizes,
// and what a refused record leaves behind. Every band is rendered by the generator's threads.
#include <Rv_Halftone/OverlapMask.h>
#include <Rv_Halftone/RawMaskData.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <ostream>
#include <vector>

namespace {

constexpr int kWidth = 512;
constexpr int kTile = 544;

SOverlapMaskParam Param(int height, float featherPercent, int inkPercent, int bitsPerPixel = 1,
                        int featherEnable = 1)
{
    return SOverlapMaskParam{height, featherEnable, featherPercent, bitsPerPixel, inkPercent};
}

// Line k of the head part (k < H) or of the tail part (H <= k < 2H counts on into the tail).
const unsigned char* Line(const OverlapMask& m, int k)
{
    return m.MaskData() + static_cast<size_t>(k) * m.MaskLineBytes();
}

// Pixel c of a packed line; a pixel with only some of its bits set fails the test.
bool Fired(const unsigned char* line, int c, int bits)
{
    const unsigned char byte = line[(c * bits) / 8];
    const int value = (byte >> (8 - bits - (c * bits) % 8)) & ((1 << bits) - 1);
    EXPECT_TRUE(value == 0 || value == (1 << bits) - 1) << "pixel " << c << " partly set";
    return value != 0;
}

int FiredCount(const unsigned char* line, int bits)
{
    int count = 0;
    for (int c = 0; c < kWidth; ++c)
        count += Fired(line, c, bits) ? 1 : 0;
    return count;
}

bool AllBytes(const unsigned char* line, int bytes, unsigned char value)
{
    return std::all_of(line, line + bytes, [value](unsigned char b) { return b == value; });
}

std::vector<unsigned char> Bytes(const OverlapMask& m)
{
    return std::vector<unsigned char>(m.MaskData(), m.MaskData() + m.MaskBytes_OneColor());
}

// Threshold level of column c in band line i: the band reads plane 0 from its first row.
int Threshold(int i, int c) { return CRawMaskData::RawData(0)[(i % kTile) * kTile + c]; }

// ---------------------------------------------------------------------------------------------
// The split of the zone into h plain lines, f band lines and h plain lines, and how head and tail
// share each line.

struct ShareCase
{
    int height;
    float featherPercent;
    int inkPercent;
    int bits;
    int plain;
    int band;
};

void PrintTo(const ShareCase& s, std::ostream* os)
{
    *os << "height " << s.height << ", featherPercent " << s.featherPercent << ", ink "
        << s.inkPercent << ", bits " << s.bits;
}

class OverlapShare : public ::testing::TestWithParam<ShareCase>
{
};

// On every line no pixel is fired twice; in the band the two parts fire exactly the pixels below
// inkPercent % of the scale, on the plain lines one part fires the whole line: the tail before the
// band, the head after it.
TEST_P(OverlapShare, PlainLinesAroundABandWhereHeadAndTailSplitTheInk)
{
    const ShareCase& s = GetParam();
    OverlapMask mask;
    ASSERT_TRUE(mask.Create(Param(s.height, s.featherPercent, s.inkPercent, s.bits)));
    const int inkTop = s.inkPercent * 65535 / 100;
    const int plain = s.plain;
    const int band = s.band;
    for (int k = 0; k < s.height; ++k) {
        const unsigned char* head = Line(mask, k);
        const unsigned char* tail = Line(mask, s.height + k);
        const bool inBand = k >= plain && k < plain + band;
        for (int c = 0; c < kWidth; ++c) {
            const bool h = Fired(head, c, s.bits);
            const bool t = Fired(tail, c, s.bits);
            ASSERT_FALSE(h && t) << "line " << k << " pixel " << c;
            const bool inked = inBand ? Threshold(k - plain, c) < inkTop : true;
            ASSERT_EQ(h || t, inked) << "line " << k << " pixel " << c;
        }
        if (!inBand) {
            EXPECT_EQ(FiredCount(k < plain ? tail : head, s.bits), kWidth) << "line " << k;
        }
    }
}

// The band is inked below 100 % so that its lines differ from plain ones.
INSTANTIATE_TEST_SUITE_P(
    Zones, OverlapShare,
    ::testing::Values(ShareCase{10, 35.0f, 60, 1, 3, 4},  // r = 4
                      ShareCase{10, 25.0f, 60, 2, 3, 4},  // 2.5 rounds to 3, odd rest
                      ShareCase{9, 0.0f, 50, 1, 4, 1},    // odd height: one band line
                      ShareCase{8, 0.0f, 50, 2, 4, 0},    // no band at all
                      ShareCase{7, 50.0f, 60, 1, 1, 5},   // 3.5 rounds to 4, rest 3
                      ShareCase{1, 0.0f, 60, 1, 0, 1}, ShareCase{31, 20.0f, 1, 2, 12, 7},
                      ShareCase{20, 100.0f, 99, 2, 0, 20},
                      ShareCase{544, 100.0f, 30, 1, 0, 544}));  // a whole tile

// Across the band the head takes over from the tail line by line: each band line is cut at one
// threshold level (the head fires the levels above it, the tail those below), and that level falls
// from line to line. Pixel counts alone would wobble, since every line reads another row.
TEST(OverlapMask, HeadShareRisesAcrossTheBand)
{
    constexpr int kPlain = 9;
    constexpr int kBand = 18;
    for (int ink : {100, 70}) {
        OverlapMask mask;
        ASSERT_TRUE(mask.Create(Param(2 * kPlain + kBand, 50.0f, ink)));
        int previousCut = 65536;
        for (int i = 0; i < kBand; ++i) {
            const unsigned char* head = Line(mask, kPlain + i);
            const unsigned char* tail = Line(mask, 2 * kPlain + kBand + kPlain + i);
            int lowestHead = 65536;
            int highestTail = -1;
            for (int c = 0; c < kWidth; ++c) {
                if (Fired(head, c, 1))
                    lowestHead = std::min(lowestHead, Threshold(i, c));
                if (Fired(tail, c, 1))
                    highestTail = std::max(highestTail, Threshold(i, c));
            }
            EXPECT_LT(highestTail, lowestHead) << "ink " << ink << " band line " << i;
            EXPECT_LT(lowestHead, previousCut) << "ink " << ink << " band line " << i;
            previousCut = lowestHead;
        }
        EXPECT_LT(FiredCount(Line(mask, kPlain), 1) * 4,
                  FiredCount(Line(mask, kPlain + kBand - 1), 1))
            << "ink " << ink;
    }
}

// ---------------------------------------------------------------------------------------------
// Refused records.

void ExpectSameMask(const OverlapMask& actual, const OverlapMask& expected)
{
    EXPECT_TRUE(actual.OverlapMaskParam() == expected.OverlapMaskParam());
    EXPECT_EQ(actual.MaskHeight(), expected.MaskHeight());
    EXPECT_EQ(actual.MaskLineBytes(), expected.MaskLineBytes());
    EXPECT_EQ(actual.MaskBytes_OneColor(), expected.MaskBytes_OneColor());
    EXPECT_EQ(Bytes(actual), Bytes(expected));
}

// A record that cannot describe a zone is refused before anything changes.
TEST(OverlapMask, RefusedRecordKeepsThePreviousMask)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const SOverlapMaskParam refused[] = {
        Param(0, 50.0f, 80),          Param(-3, 50.0f, 80), Param(12, 50.0f, 80, 0),
        Param(12, 50.0f, 80, 3),      Param(12, nan, 80),   Param(12, nan, 80, 1, 0),
        Param(12, inf, 80),           Param(12, -0.5f, 80), Param(12, 100.5f, 80),
        Param(8388608, 50.0f, 80, 2),  // 2 x 8,388,608 lines of 128 bytes pass INT_MAX
        Param(INT_MAX, 50.0f, 80, 1)};
    OverlapMask mask;
    ASSERT_TRUE(mask.Create(Param(12, 50.0f, 80, 2)));
    const OverlapMask before(mask);
    for (const SOverlapMaskParam& p : refused) {
        LogCapture log;
        EXPECT_FALSE(mask.Create(p)) << "height " << p.overlapHeight << " bits " << p.bitsPerPixel
                                     << " percent " << p.featherPercent;
        EXPECT_EQ(log.Failures().size(), 2u);  // the check, then Create
        EXPECT_EQ(log.CountMessage("Start"), 0u);
        ExpectSameMask(mask, before);
    }
}

// An ink outside 1 to 100 is only found when the band is rendered: the record and sizes are then
// already the new ones and the buffer holds zeros. Without a band any ink is accepted.
TEST(OverlapMask, UnrenderableInkLeavesAZeroedMask)
{
    for (int ink : {0, 101, -5}) {
        LogCapture log;
        OverlapMask mask;
        ASSERT_TRUE(mask.Create(Param(30, 50.0f, 80)));
        EXPECT_FALSE(mask.Create(Param(10, 35.0f, ink, 2))) << "ink " << ink;
        EXPECT_TRUE(mask.OverlapMaskParam() == Param(10, 35.0f, ink, 2));
        EXPECT_EQ(mask.MaskBytes_OneColor(), 2 * 10 * 128);
        EXPECT_TRUE(AllBytes(mask.MaskData(), mask.MaskBytes_OneColor(), 0x00));
        EXPECT_GE(log.Failures().size(), 3u);      // the band, the variant, Create
        EXPECT_EQ(log.CountMessage("Start"), 1u);  // the first build only

        OverlapMask noBand;
        EXPECT_TRUE(noBand.Create(Param(8, 0.0f, ink))) << "ink " << ink;
    }
}

// Copies own their bytes; a second Create replaces everything, as if the object were new.
TEST(OverlapMask, CopiesOwnTheirBytesAndRebuildingStartsAfresh)
{
    OverlapMask original;
    ASSERT_TRUE(original.Create(Param(15, 60.0f, 70, 2)));
    const OverlapMask copy(original);
    OverlapMask assigned;
    ASSERT_TRUE(assigned.Create(Param(40, 10.0f, 100, 1)));
    assigned = original;
    EXPECT_NE(copy.MaskData(), original.MaskData());
    EXPECT_NE(assigned.MaskData(), original.MaskData());
    ExpectSameMask(copy, original);
    ExpectSameMask(assigned, original);

    const SOverlapMaskParam second = Param(25, 45.0f, 55, 1);
    ASSERT_TRUE(original.Create(second));
    ExpectSameMask(assigned, copy);  // the copies keep the old bytes
    OverlapMask fresh;
    ASSERT_TRUE(fresh.Create(second));
    ExpectSameMask(original, fresh);
}

}  // namespace
