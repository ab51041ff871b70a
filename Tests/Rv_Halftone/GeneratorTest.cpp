#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/MaskDataGenerator.h>
#include <Rv_Halftone/SineMask.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <dirent.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct JobShape
{
    int colors, positions, yRes, xRes, maskHeight, stepHeight, bits, featherType;
    int width = 40;
    int thresholdHeight = 30;
};

// Everything a run reads and writes, sized as mask rendering sizes it.
struct Job
{
    explicit Job(const JobShape& s) : shape(s)
    {
        layers.Create(s.width, s.thresholdHeight, s.colors);
        // Varied ranges, some empty, so that a row cut with the wrong entry shows.
        for (int k = 0; k < s.maskHeight; ++k) {
            const int low = (k * 9973) % 40000;
            const int high = k % 5 == 4 ? low : low + 25000;
            cuts.push_back(SCutTable{static_cast<uint16_t>(high), static_cast<uint16_t>(low)});
        }
        const int lineBytes = (s.width * s.xRes * s.bits + 7) / 8;
        const int positionBytes = s.yRes * s.maskHeight * lineBytes;
        output.Create(s.positions * positionBytes, s.colors);
        param = {&output,
                 s.positions * positionBytes,
                 positionBytes,
                 lineBytes,
                 &layers,
                 s.thresholdHeight,
                 s.width,
                 s.colors,
                 s.positions,
                 cuts.data(),
                 static_cast<int>(cuts.size()),
                 s.maskHeight,
                 s.stepHeight,
                 s.xRes,
                 s.yRes,
                 s.bits,
                 s.featherType};
    }

    // Pixel u of output row r of colour c, position p.
    bool Pixel(int c, int p, int r, int u) const
    {
        const int b = shape.bits;
        const unsigned char byte =
            output.MaskData_Const()[static_cast<size_t>(c) * param.maskBytesOneColor +
                                    static_cast<size_t>(p) * param.maskBytesOnePosition +
                                    static_cast<size_t>(r) * param.maskLineBytes + (u * b) / 8];
        const int value = (byte >> (8 - b - (u * b) % 8)) & ((1 << b) - 1);
        EXPECT_TRUE(value == 0 || value == (1 << b) - 1) << "pixel with only some bits set";
        return value != 0;
    }

    // What the mask promises: row r = k x Y + j is nozzle row k in Y pass j, pixel u = x x X + i
    // is column x in X pass i; it fires when the threshold it reads lies in entry k's range.
    bool ExpectedPixel(int c, int p, int r, int u) const
    {
        const JobShape& s = shape;
        const int k = r / s.yRes, j = r % s.yRes, x = u / s.xRes, i = u % s.xRes;
        const int row = ((s.stepHeight * j) / s.yRes + s.stepHeight * p + k) % s.thresholdHeight;
        const int column = ((s.width * i) / s.xRes + x) % s.width;
        const unsigned short t = layers.MaskData(c)[row * s.width + column];
        return cuts[static_cast<size_t>(k)].low <= t && t < cuts[static_cast<size_t>(k)].high;
    }

    int MismatchesInRows(int firstRow, int rowStep) const
    {
        int mismatches = 0;
        for (int c = 0; c < shape.colors; ++c)
            for (int p = 0; p < shape.positions; ++p)
                for (int r = firstRow; r < shape.yRes * shape.maskHeight; r += rowStep)
                    for (int u = 0; u < shape.width * shape.xRes; ++u)
                        mismatches += Pixel(c, p, r, u) != ExpectedPixel(c, p, r, u) ? 1 : 0;
        return mismatches;
    }

    JobShape shape;
    CBaseMaskData layers;
    std::vector<SCutTable> cuts;
    CMaskBlock output;
    SMaskDataGenerate_Param param{};
};

bool RunToEnd(const Job& job, int threads)
{
    CMaskDataGenerator generator;
    return generator.Create(job.param, threads) && generator.Wait_Exit(60000);
}

// Threads of this process with the generator's name (the kernel keeps 15 characters, so the
// master and the workers look alike).
int GeneratorThreadsAlive()
{
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = tasks != nullptr ? readdir(tasks) : nullptr) {
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        count += std::getline(comm, name) && name == "CMaskDataGenera" ? 1 : 0;
    }
    if (tasks != nullptr)
        closedir(tasks);
    return count;
}

// Large enough that the run cannot be over within a millisecond, even with the fast kernels
// (about 190 million decisions, and the sine ripple on every unit).
const JobShape kLargeJob = {16, 10, 2, 2, 544, 136, 2, 3, 544, 544};

}  // namespace

// Two colours, three positions and two Y passes make twelve units; two X passes interleave in
// every row. Each unit must land in its own rows, and every pixel must read its own threshold.
TEST(MaskDataGenerator, EveryUnitLandsInItsOwnRows)
{
    struct Case
    {
        int threads;
        JobShape shape;
    };
    const Case cases[] = {
        {1, {2, 3, 2, 2, 20, 7, 1, 0}}, {6, {2, 3, 2, 2, 20, 7, 2, 0}},
        {6, {3, 2, 1, 1, 45, 9, 1, 0}}, {2, {1, 1, 3, 1, 8, 5, 2, 0}},
        {3, {0, 3, 1, 1, 10, 5, 1, 0}},  // no colour: nothing to hand out, still completes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.threads << " threads, " << c.shape.colors
                                        << " colours, " << c.shape.positions << " positions");
        LogCapture log;
        Job job(c.shape);
        ASSERT_TRUE(RunToEnd(job, c.threads));
        EXPECT_EQ(job.MismatchesInRows(0, 1), 0);
        EXPECT_EQ(log.CountMessage("Start"), 1u);
        EXPECT_EQ(log.CountMessage("End"), 1u);
        for (const CapturedRecord& record : log.Records())
            EXPECT_EQ(record.severity, 1) << record.message;
    }
}

// The ripple moves pixels of the block's last h rows up into the first feather band where the
// sine mask does not cover them. No pixel may be lost, and rows outside the bands stay as they
// are. Blocks too short for two distinct bands are left alone.
TEST(MaskDataGenerator, SineRippleMovesPixelsWithoutLosingAny)
{
    struct Case
    {
        const char* name;
        int maskHeight, stepHeight, featherHeight;
        bool rippled;
    };
    const Case cases[] = {
        {"remainder band", 50, 20, 10, true},   // h = 5
        {"whole step band", 40, 20, 20, true},  // h = 10
        {"too short", 12, 20, 12, false},       // h = 6: the bands would overlap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        const JobShape plain = {2, 2, 1, 1, c.maskHeight, c.stepHeight, 1, 0, 100, 60};
        JobShape sine = plain;
        sine.featherType = 3;
        Job before(plain);
        Job after(sine);
        ASSERT_TRUE(RunToEnd(before, 3));
        ASSERT_TRUE(RunToEnd(after, 3));
        CSineMask mask;
        ASSERT_TRUE(mask.Create(c.featherHeight, 100, 1, SinMaskType_Ripple));
        const int h = mask.MaskHeight_Get();
        const int top = c.featherHeight - h;  // first row of each band
        const int bottom = c.maskHeight - h;

        int moved = 0;
        int wrong = 0;
        for (int col = 0; col < 2; ++col) {
            for (int p = 0; p < 2; ++p) {
                for (int r = 0; r < c.maskHeight; ++r) {
                    const bool inTop = c.rippled && r >= top && r < c.featherHeight;
                    const bool inBottom = c.rippled && r >= bottom;
                    const int sineRow = inBottom ? r - bottom : r - top;
                    for (int u = 0; u < 100; ++u) {
                        const bool was = before.Pixel(col, p, r, u);
                        const bool is = after.Pixel(col, p, r, u);
                        const bool covered = (inTop || inBottom) &&
                                             mask.MaskBuffer_Down_Get()[sineRow * 100 + u] != 0;
                        const bool movedUp =
                            inTop && before.Pixel(col, p, bottom + sineRow, u) && !covered;
                        const bool expected = inBottom ? was && covered : was || movedUp;
                        wrong += is != expected ? 1 : 0;
                        moved += is && !was ? 1 : 0;
                    }
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(moved > 0, c.rippled);
    }
}

// Giving up on a run must not leave threads behind nor free what they still use: destroying the
// generator stops and joins all of them (the sanitizer builds check the second half).
TEST(MaskDataGenerator, TimedOutRunIsStoppedCleanlyByDestruction)
{
    LogCapture log;
    Job job(kLargeJob);
    const int threadsBefore = GeneratorThreadsAlive();
    {
        CMaskDataGenerator generator;
        ASSERT_TRUE(generator.Create(job.param, 3));
        // Each thread names itself as it starts: the master and three workers appear.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (GeneratorThreadsAlive() < threadsBefore + 4 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(GeneratorThreadsAlive(), threadsBefore + 4);
        EXPECT_FALSE(generator.Wait_Exit(1));
        EXPECT_EQ(log.Failures().size(), 1u);
    }
    EXPECT_EQ(GeneratorThreadsAlive(), threadsBefore);
    EXPECT_EQ(log.CountMessage("End"), 1u);
}

TEST(MaskDataGenerator, TimedOutRunCanStillBeWaitedFor)
{
    LogCapture log;
    // The whole large job: a fraction of it can be over within the first wait's millisecond.
    const JobShape shape = kLargeJob;
    Job job(shape);
    CMaskDataGenerator generator;
    ASSERT_TRUE(generator.Create(job.param, 2));
    EXPECT_FALSE(generator.Wait_Exit(1));
    EXPECT_TRUE(generator.Wait_Exit(60000));
    EXPECT_EQ(log.Failures().size(), 1u);
    // Once waited for, the run is complete: the same bytes as a run nobody interrupted.
    Job uninterrupted(shape);
    ASSERT_TRUE(RunToEnd(uninterrupted, 2));
    ASSERT_EQ(job.output.MaskDataBytesCount(), uninterrupted.output.MaskDataBytesCount());
    EXPECT_TRUE(std::equal(job.output.MaskData_Const(),
                           job.output.MaskData_Const() + job.output.MaskDataBytesCount(),
                           uninterrupted.output.MaskData_Const()));
}

TEST(MaskDataGenerator, RefusesWhatItCannotRun)
{
    struct Case
    {
        const char* name;
        int threads;
        void (*spoil)(SMaskDataGenerate_Param&);
    };
    const Case cases[] = {
        {"no thread", 0, [](SMaskDataGenerate_Param&) {}},
        {"negative threads", -2, [](SMaskDataGenerate_Param&) {}},
        {"rows too short", 2, [](SMaskDataGenerate_Param& p) { p.maskLineBytes -= 1; }},
        {"output too small", 2, [](SMaskDataGenerate_Param& p) { p.maskBytesOneColor += 1; }},
        {"cut table too short", 2, [](SMaskDataGenerate_Param& p) { p.cutTableCount -= 1; }},
        {"no X pass", 2, [](SMaskDataGenerate_Param& p) { p.xResPass = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Job job({2, 2, 1, 1, 10, 5, 1, 0});
        c.spoil(job.param);
        const int threadsBefore = GeneratorThreadsAlive();
        CMaskDataGenerator generator;
        EXPECT_FALSE(generator.Create(job.param, c.threads));
        EXPECT_EQ(log.Failures().size(), 1u);
        EXPECT_EQ(log.CountMessage("Start"), 0u);
        EXPECT_EQ(GeneratorThreadsAlive(), threadsBefore);
    }

    LogCapture log;  // once per object
    Job job({1, 1, 1, 1, 10, 5, 1, 0});
    CMaskDataGenerator generator;
    ASSERT_TRUE(generator.Create(job.param, 1));
    EXPECT_FALSE(generator.Create(job.param, 1));
    EXPECT_TRUE(generator.Wait_Exit(60000));
}
