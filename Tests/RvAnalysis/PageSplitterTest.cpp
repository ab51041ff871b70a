// The splitter and its recombination check on the modes the rendering tests sweep: every physical
// pass is one a head can lay, the swaths give back the page exactly where the mode promises it,
// never lay what the page does not ask for, and a single changed bit in one swath is seen.
#include "MaskParams.h"
#include "Modes.h"

#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/Recombination.h>
#include <RvAnalysis/TestPage.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace rv_analysis;

struct SSplitPage
{
    std::vector<std::vector<unsigned char>> swaths;  // every pass in order
    std::vector<SSwath> shapes;                      // bytes point into `swaths`
};

SSplitPage SplitAll(CPageSplitter& splitter)
{
    SSplitPage split;
    splitter.ForEachSwath([&split](const SSwath& swath) {
        split.swaths.emplace_back(swath.bytes, swath.bytes + swath.ByteCount());
        split.shapes.push_back(swath);
    });
    for (size_t i = 0; i < split.shapes.size(); ++i)
        split.shapes[i].bytes = split.swaths[i].data();
    return split;
}

SRecombinationVerdict Recombine(const CPrintPlan& plan, int colour, const SPackedPage& page,
                                const SSplitPage& split)
{
    CRecombination check(plan, colour, page.Raster());
    for (const SSwath& swath : split.shapes)
        check.Lay(swath);
    return check.Verdict();
}

int PixelAt(const unsigned char* row, long long x, int bits)
{
    const long long bit = x * bits;
    return row[bit / 8] >> (8 - bits - bit % 8) & ((1 << bits) - 1);
}

// The passes ORed together where each swath says it lies, as a printer stacks their drops: row i
// on page line firstPageLine + i x linePitch, pixel x on page column x x columnPitch + xPhase.
std::vector<unsigned char> OrOfPasses(const SPackedPage& page, const SSplitPage& split)
{
    std::vector<unsigned char> sum(page.bytes.size(), 0);
    const int bits = page.bitsPerPixel;
    for (const SSwath& swath : split.shapes)
        for (int i = 0; i < swath.rows; ++i)
            for (int x = 0; x < swath.columns; ++x) {
                const long long c = static_cast<long long>(x) * swath.columnPitch + swath.xPhase;
                const long long bit = c * bits;
                const size_t line = static_cast<size_t>(swath.firstPageLine + i * swath.linePitch);
                sum[line * page.RowBytes() + bit / 8] |= static_cast<unsigned char>(
                    PixelAt(swath.Row(i), x, bits) << (8 - bits - bit % 8));
            }
    return sum;
}

// Every physical pass is one a head can lay: at most its nozzles, on the fine lines of its Y phase,
// the columns of its X phase; the advances of one print position add up to its step.
void ExpectPhysical(const CPrintPlan& plan, const SPackedPage& page, const SSplitPage& split)
{
    const int y = plan.YPasses();
    ASSERT_LE(plan.NozzleCount(), plan.HeadNozzles());
    for (const SSwath& swath : split.shapes) {
        ASSERT_LE(swath.firstNozzle + swath.rows, plan.NozzleCount()) << "pass " << swath.pass;
        ASSERT_EQ(swath.linePitch, y);
        if (swath.rows > 0)
            ASSERT_EQ(swath.firstPageLine % y, swath.yPhase) << "pass " << swath.pass;
        ASSERT_EQ(swath.columnPitch, plan.XPasses());
        ASSERT_EQ(swath.columns, (page.width - swath.xPhase + plan.XPasses() - 1) / plan.XPasses());
    }
    const int perPosition = plan.PassesPerPosition();
    for (int t = 0; t < 3; ++t) {
        int advanced = 0;
        for (int g = t * perPosition + 1; g <= (t + 1) * perPosition; ++g) {
            ASSERT_GT(plan.Pass(g).advanceBefore, 0) << "pass " << g;
            advanced += plan.Pass(g).advanceBefore;
        }
        EXPECT_EQ(advanced, plan.StepHeight()) << "print position " << t;
    }
}

struct SPageShape
{
    int width, height;
};

// Wider than one mask and ending inside a byte; narrower than the mask and shorter than any
// lead-in.
const SPageShape kShapes[] = {{999, 230}, {5, 3}};

class SplitMode : public ::testing::TestWithParam<SModeCase>
{
};

}  // namespace

TEST_P(SplitMode, SwathsGiveBackThePageAsPromisedAndASwathBitChangeIsSeen)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(RecordOf(GetParam())));
    const CPrintPlan plan(mask);
    const bool exact = CCoveragePromise(plan).Kind() == EPromise::Exact;
    for (const SPageShape& shape : kShapes) {
        const SPackedPage page = MakeTestPage(shape.width, shape.height, plan.BitsPerPixel());
        const int colour = plan.ColorCount() - 1;
        CPageSplitter splitter(plan, colour, page.Raster());
        ASSERT_TRUE(splitter.Accepted()) << splitter.Refusal();
        SSplitPage split = SplitAll(splitter);
        ExpectPhysical(plan, page, split);

        const std::vector<unsigned char> sum = OrOfPasses(page, split);
        for (size_t b = 0; b < sum.size(); ++b) {
            ASSERT_EQ(sum[b] & ~page.bytes[b], 0) << "laid outside the page at byte " << b;
            if (exact) {
                ASSERT_EQ(sum[b], page.bytes[b]) << "page byte " << b << " not given back";
            }
        }
        SRecombinationVerdict verdict = Recombine(plan, colour, page, split);
        EXPECT_TRUE(verdict.Clean()) << verdict.mismatches << " mismatches, " << verdict.outside
                                     << " outside, " << verdict.partial << " partial";
        EXPECT_EQ(verdict.met, verdict.checked);
        EXPECT_GT(verdict.requested, 0);
        if (!verdict.checked)
            continue;
        // Flip bits of a pass in the middle: its first byte that fires, then bytes across it.
        std::vector<unsigned char>& middle = split.swaths[split.swaths.size() / 2];
        ASSERT_FALSE(middle.empty());
        std::vector<size_t> bytes = {middle.size() - 1, middle.size() / 3};
        for (size_t b = 0; b < middle.size(); ++b)
            if (middle[b] != 0) {
                bytes.push_back(b);
                break;
            }
        for (size_t b : bytes)
            for (int bit : {0, 7}) {
                middle[b] ^= static_cast<unsigned char>(1 << bit);
                verdict = Recombine(plan, colour, page, split);
                middle[b] ^= static_cast<unsigned char>(1 << bit);
                EXPECT_FALSE(verdict.Clean()) << "byte " << b << " bit " << bit;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Sweep, SplitMode, ::testing::ValuesIn(kModes),
                         [](const auto& test) { return std::string(test.param.name); });

// 603 pixels of one bit: the mask row (68 bytes) and then its first 7 bytes and 3 more pixels; the
// page's stray bits past its width are never printed.
TEST(PageSplitter, RepeatsTheMaskAcrossAnInkedPageAndStopsAtItsWidth)
{
    CMaskData_Base mask;
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    ASSERT_TRUE(mask.Create(p));
    const CPrintPlan plan(mask);
    SPackedPage page{603, 1, 1, std::vector<unsigned char>(76, 0xFF)};
    CPageSplitter splitter(plan, 0, page.Raster());
    bool seen = false;
    splitter.ForEachSwath([&](const SSwath& swath) {
        if (swath.rows == 0)
            return;
        ASSERT_EQ(swath.rows, 1);
        seen = true;
        const unsigned char* row = plan.RowOfNozzle(0, plan.Pass(swath.pass), swath.firstNozzle);
        for (int b = 0; b < 68; ++b)
            ASSERT_EQ(swath.bytes[b], row[b]) << b;
        for (int b = 0; b < 7; ++b)
            ASSERT_EQ(swath.bytes[68 + b], row[b]) << b;
        EXPECT_EQ(swath.bytes[75], row[7] & 0xE0);
    });
    EXPECT_TRUE(seen);
}

TEST(PageSplitter, RefusesPagesItCannotSplitAndSaysWhy)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));  // 2 colours, 2 bits
    const CPrintPlan plan(mask);
    const std::vector<unsigned char> bytes(1000, 0);
    struct SCase
    {
        int colour, width, height, bits;
        size_t stride, count;
        const char* reason;
    } const cases[] = {
        {0, 100, 10, 1, 25, 1000, "the page has 1 bit per pixel and the mask 2 bits"},
        {0, 100, 10, 2, 24, 1000, "page rows are 24 bytes apart, but 100 pixels of 2 bits take 25"},
        {0, 100, 41, 2, 25, 1000, "has 1000 bytes, but 41 rows of 25 bytes, 25 apart, need 1025"},
        {0, 0, 10, 2, 25, 1000, "the page is 0 x 10 pixels"},
        {2, 100, 10, 2, 25, 1000, "colour 2 is not in the mask, which has colours 0 to 1"},
    };
    for (const SCase& c : cases) {
        const SPageRaster page{bytes.data(), c.count, c.width, c.height, c.bits, c.stride};
        CPageSplitter splitter(plan, c.colour, page);
        EXPECT_NE(splitter.Refusal().find(c.reason), std::string::npos) << splitter.Refusal();
        EXPECT_EQ(splitter.PassCount(), 0);
    }
}
