// The splitter and its recombination check on the modes the rendering tests sweep: every physical
// pass is one a head can lay, the swaths give back the page exactly where the mode promises it,
// never lay what the page does not ask for, and a single changed bit in one swath is seen.
#include "MaskParams.h"
#include "Modes.h"

#include <RvAnalysis/HeadOrder.h>
#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/Recombination.h>
#include <RvAnalysis/TestPage.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// The page pushed line by line in blocks of `block` lines, through both streamed forms: the check
// takes each block before the splitter, and every swath the splitter emits.
SRecombinationVerdict Stream(const CPrintPlan& plan, int colour, const SPackedPage& page, int block,
                             SSplitPage& split)
{
    const SPageLayout layout{page.width, page.height, page.bitsPerPixel};
    CRecombination check(plan, colour, layout);
    CPageSplitter splitter(plan, colour, layout, [&](const SSwath& swath) {
        check.Lay(swath);
        split.swaths.emplace_back(swath.bytes, swath.bytes + swath.ByteCount());
        split.shapes.push_back(swath);
    });
    for (int line = 0; line < page.height; line += block) {
        const int count = std::min(block, page.height - line);
        const unsigned char* rows = page.bytes.data() + static_cast<size_t>(line) * page.RowBytes();
        EXPECT_TRUE(check.PushLines(rows, count, page.RowBytes()));
        EXPECT_TRUE(splitter.PushLines(rows, count, page.RowBytes())) << splitter.Refusal();
    }
    EXPECT_TRUE(splitter.Finished());
    return check.Verdict();
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

// The swaths in head order, every block laid as a head lays it: row r by nozzle NozzleOfHeadRow(r)
// on the page line the plan gives that nozzle in the pass, head column x on its page column. A
// nozzle the pass does not fire on the page (off it, or one the mode leaves unused) is blank.
std::vector<unsigned char> OrOfHeadOrder(const CPrintPlan& plan, const SPackedPage& page,
                                         const SSplitPage& split, ENozzleDirection direction)
{
    std::vector<unsigned char> sum(page.bytes.size(), 0);
    const int bits = page.bitsPerPixel;
    std::vector<unsigned char> block;
    for (const SSwath& swath : split.shapes) {
        SwathInHeadOrder(plan, swath, direction, block);
        EXPECT_EQ(block.size(), static_cast<size_t>(plan.HeadNozzles()) * swath.rowBytes);
        const SPhysicalPass pass = plan.Pass(swath.pass);
        for (int r = 0; r < plan.HeadNozzles(); ++r) {
            const int nozzle = NozzleOfHeadRow(plan.HeadNozzles(), direction, r);
            const int line = plan.NozzleLine(pass, nozzle);
            const unsigned char* row = block.data() + static_cast<size_t>(r) * swath.rowBytes;
            if (nozzle >= plan.NozzleCount() || line < 0 || line >= page.height ||
                swath.rows == 0) {
                EXPECT_TRUE(std::all_of(row, row + swath.rowBytes, [](auto b) { return b == 0; }))
                    << "pass " << swath.pass << " nozzle " << nozzle;
                continue;
            }
            for (int x = 0; x < swath.columns; ++x) {
                const long long bit = plan.PageColumn(swath.xPhase, x) * bits;
                sum[static_cast<size_t>(line) * page.RowBytes() + bit / 8] |=
                    static_cast<unsigned char>(PixelAt(row, x, bits) << (8 - bits - bit % 8));
            }
        }
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
        if (swath.rows > 0) {
            ASSERT_EQ(swath.firstPageLine % y, swath.yPhase) << "pass " << swath.pass;
        }
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
    int block;  // lines a streamed push gives at once
};

// Wider than one mask and ending inside a byte; narrower than the mask and shorter than any
// lead-in.
const SPageShape kShapes[] = {{999, 230, 1}, {5, 3, 2}};

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
        for (ENozzleDirection direction : {ENozzleDirection::Down, ENozzleDirection::Up})
            ASSERT_EQ(OrOfHeadOrder(plan, page, split, direction), sum)
                << "nozzles " << NozzleDirectionName(direction);
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

        // Streamed, the same swaths come out in the same order and check the same.
        SSplitPage streamed;
        const SRecombinationVerdict streamedVerdict =
            Stream(plan, colour, page, shape.block, streamed);
        ASSERT_EQ(streamed.swaths, split.swaths);
        for (size_t i = 0; i < split.shapes.size(); ++i) {
            ASSERT_EQ(streamed.shapes[i].pass, split.shapes[i].pass);
            ASSERT_EQ(streamed.shapes[i].firstPageLine, split.shapes[i].firstPageLine);
            ASSERT_EQ(streamed.shapes[i].rows, split.shapes[i].rows);
        }
        EXPECT_TRUE(streamedVerdict.refusal.empty()) << streamedVerdict.refusal;
        EXPECT_EQ(streamedVerdict.met, verdict.met);
        EXPECT_EQ(streamedVerdict.requested, verdict.requested);
        EXPECT_EQ(streamedVerdict.laid, verdict.laid);
        if (!verdict.checked)
            continue;
        // Flip bits of a pass with rows from the middle on (with Y phases, a short page leaves
        // some passes without): its first byte that fires, then bytes across it.
        size_t pick = split.swaths.size() / 2;
        while (split.swaths[pick].empty())
            pick = (pick + 1) % split.swaths.size();
        std::vector<unsigned char>& middle = split.swaths[pick];
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

// Each colour's page lies in the frame where its head's offset puts it, whole, on blank: page
// pixel x on frame pixel FirstColumn + x, the frame around it blank, bits past the page's width
// left out. (Where the frame puts each page, by hand, is in the split command's tests.)
TEST(PrintFrame, PlacesEachColoursPageWholeWhereItsHeadLaysIt)
{
    const std::vector<SHeadOffset> offsets[] = {{{0, 0}, {-2, 3}}, {{1, -5}, {3, 2}}};
    for (int bits : {1, 2})
        for (const std::vector<SHeadOffset>& offset : offsets) {
            const SPackedPage page = MakeTestPage(13, 4, bits);
            const CPrintFrame frame({13, 4, bits}, offset);
            ASSERT_TRUE(frame.Accepted()) << frame.Refusal();
            std::vector<unsigned char> pageRow(page.bytes.begin(),
                                               page.bytes.begin() + page.RowBytes());
            pageRow.back() |= static_cast<unsigned char>(0xFF >> (13 * bits % 8));  // stray bits
            std::vector<unsigned char> frameRow(PackedRowBytes(frame.Frame().width, bits), 0xA5);
            for (int colour = 0; colour < 2; ++colour) {
                EXPECT_EQ(frame.LinesBefore(colour) + 4 + frame.LinesAfter(colour),
                          frame.Frame().height);
                frame.PlaceRow(colour, pageRow.data(), frameRow.data());
                for (int x = 0; x < static_cast<int>(frameRow.size()) * 8 / bits; ++x) {
                    const int pageX = x - frame.FirstColumn(colour);
                    ASSERT_EQ(PixelAt(frameRow.data(), x, bits),
                              pageX >= 0 && pageX < 13 ? PixelAt(pageRow.data(), pageX, bits) : 0)
                        << bits << " bits, colour " << colour << ", frame pixel " << x;
                }
            }
        }
    EXPECT_NE(CPrintFrame({1 << 20, 4, 1}, {{0, 1}}).Refusal().find("pixels wide: at most"),
              std::string::npos);
}

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

// A roll as long as a host may stream: lines made as they are pushed, never a page in memory. The
// split recombines exactly, and what the splitter and its check hold at most is the same for a
// short page and one a hundred times longer.
TEST(PageSplitter, StreamsAMillionLinePageInTheMemoryOfAShortOne)
{
    CMaskData_Base mask;
    SMaskParam p = DefaultMaskParam();
    p.colorCount = 1;
    ASSERT_TRUE(mask.Create(p));
    const CPrintPlan plan(mask);
    const int bits = plan.BitsPerPixel();
    const int width = 61;  // ends inside a byte
    const size_t rowBytes = PackedRowBytes(width, bits);
    struct SRun
    {
        SRecombinationVerdict verdict;
        size_t splitterPeak, checkPeak;
        long long swaths;
    };
    const auto run = [&](int height) {
        const SPageLayout layout{width, height, bits};
        CRecombination check(plan, 0, layout);
        long long swaths = 0;
        CPageSplitter splitter(plan, 0, layout, [&](const SSwath& swath) {
            check.Lay(swath);
            ++swaths;
        });
        constexpr int kBlock = 16;
        std::vector<unsigned char> rows(kBlock * rowBytes);
        for (int line = 0; line < height; line += kBlock) {
            const int count = std::min(kBlock, height - line);
            for (size_t b = 0; b < rows.size(); ++b)  // every level, changing from line to line
                rows[b] = static_cast<unsigned char>((line + b / rowBytes) * 37 + b * 101);
            check.PushLines(rows.data(), count, rowBytes);
            splitter.PushLines(rows.data(), count, rowBytes);
        }
        EXPECT_TRUE(splitter.Finished()) << splitter.Refusal();
        EXPECT_EQ(swaths, splitter.PassCount());
        return SRun{check.Verdict(), splitter.PeakBytesHeld(), check.PeakBytesHeld(), swaths};
    };
    const SRun shortPage = run(10000);
    const SRun roll = run(1000000);
    for (const SRun& r : {shortPage, roll}) {
        EXPECT_TRUE(r.verdict.met) << r.verdict.refusal << r.verdict.mismatches << " mismatches";
        EXPECT_EQ(r.verdict.laid, r.verdict.requested);
    }
    EXPECT_GT(roll.verdict.requested, 1000000LL * width / 2);
    EXPECT_LE(roll.splitterPeak, shortPage.splitterPeak * 11 / 10);
    EXPECT_LE(roll.checkPeak, shortPage.checkPeak * 11 / 10);
    // A swath span of lines is all a pass needs: about nozzles x Y lines, not the page; and a
    // mask row repeated to whole words.
    const size_t span = static_cast<size_t>(plan.NozzleCount()) * plan.YPasses() * rowBytes;
    EXPECT_LE(roll.splitterPeak, 2 * span + 8 * static_cast<size_t>(plan.LineBytes()));
}

TEST(PageSplitter, RefusesStreamedLinesItCannotTakeAndSaysWhy)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(DefaultMaskParam()));  // 2 colours, 2 bits
    const CPrintPlan plan(mask);
    const std::vector<unsigned char> bytes(1000, 0);
    const auto ignore = [](const SSwath&) {};
    struct SCase
    {
        SPageLayout layout;
        int count;
        size_t stride;
        const char* reason;
    } const cases[] = {
        {{kMaxStreamedLineWidth + 1, 10, 2}, 1, 262145, "lines of at most 1048576 pixels"},
        {{100, 10, 2}, 11, 25, "lines 0 to 10 pushed, but the page has 10 lines"},
        {{100, 10, 2}, 2, 24, "pushed rows are 24 bytes apart, but 100 pixels take 25 bytes"},
        {{100, 10, 1}, 1, 25, "the page has 1 bit per pixel and the mask 2 bits"},
    };
    for (const SCase& c : cases) {
        CPageSplitter splitter(plan, 0, c.layout, ignore);
        EXPECT_FALSE(splitter.PushLines(bytes.data(), c.count, c.stride));
        EXPECT_NE(splitter.Refusal().find(c.reason), std::string::npos) << splitter.Refusal();
        EXPECT_FALSE(splitter.Finished());
    }
    // A page in memory takes no pushed lines; a streamed check that lacks lines says so.
    const SPageRaster page{bytes.data(), bytes.size(), 100, 10, 2, 25};
    CPageSplitter inMemory(plan, 0, page);
    EXPECT_FALSE(inMemory.PushLines(bytes.data(), 1, 25));
    CRecombination check(plan, 0, SPageLayout{100, 10, 2});
    check.PushLines(bytes.data(), 9, 25);
    EXPECT_NE(check.Verdict().refusal.find("only 9 of the page's 10 lines arrived"),
              std::string::npos);
    EXPECT_FALSE(check.Verdict().met);
}
