// What a host sees when things go wrong under it: allocations that fail, records too large to
// render, sizes that would wrap. Nothing may report success for bytes it did not render, end the
// host's process, or leak what it built. This program replaces the global allocator so that a
// test can make allocations fail (on every thread, or on the library's threads only) and count
// the pass masks alive and the allocations made on the library's threads.
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskDataStorage.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/OverlapMask.h>
#include <Rv_Halftone/Rv_Halftone.h>

#include "LogCapture.h"
#include "MaskParams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <thread>

// ---- A counting allocator: a header before each block holds its size. ----
namespace {

constexpr size_t kHeader = 16;  // keeps the default new alignment
std::atomic<long> g_liveMasks{0};
constexpr size_t kNever = static_cast<size_t>(-1);
std::atomic<size_t> g_failAbove{kNever};               // larger requests fail, on every thread
std::atomic<size_t> g_failAboveOffMainThread{kNever};  // likewise, on the library's threads
const std::thread::id g_mainThread = std::this_thread::get_id();
std::atomic<long> g_allocationsOffMainThread{0};
thread_local long t_allocations = 0;  // on this thread
thread_local long t_failAt = 0;       // 0: never
thread_local size_t t_lastSize = 0;

void* Allocate(size_t size)
{
    ++t_allocations;
    t_lastSize = size;
    const bool offMainThread = std::this_thread::get_id() != g_mainThread;
    if (offMainThread)
        ++g_allocationsOffMainThread;
    if (size > g_failAbove.load() || t_allocations == t_failAt ||
        (size > g_failAboveOffMainThread.load() && offMainThread))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr)
        return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    if (size == sizeof(CMaskData_Base))
        ++g_liveMasks;
    return block + kHeader;
}

void Release(void* pointer)
{
    if (pointer == nullptr)
        return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
    if (*reinterpret_cast<size_t*>(block) == sizeof(CMaskData_Base))
        --g_liveMasks;
    std::free(block);
}

void* AllocateOrThrow(size_t size)
{
    void* pointer = Allocate(size);
    if (pointer == nullptr)
        throw std::bad_alloc();
    return pointer;
}

}  // namespace

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { Release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }

namespace {

SMaskParam_Test TallOnePassRecord(int nozzles, int featherType)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = nozzles;
    p.basePass = 1;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.featherMode = featherType == 0 ? 0 : 1;
    p.featherNozzleType = featherType == 0 ? 1 : featherType;
    p.lessMaskPosition = 1;  // one mask position
    return ToTestParam(p);
}

}  // namespace

// One pass with a range over the whole scale fires every pixel: a mask too tall for the old
// workers' blocks is rendered in full, never handed out empty.
TEST(HostFaults, TallMaskIsRenderedInFullOrRefused)
{
    void* container = nullptr;
    ASSERT_TRUE(halfton_mask_container_create(TallOnePassRecord(4000000, 0), container));
    const long long bytes =
        static_cast<long long>(halfton_mask_height(container)) * halfton_mask_line_bytes(container);
    int position = -1;
    const unsigned char* rows = halfton_mask_data(container, 0, position);
    long long unfired = 0;
    for (long long i = 0; i < bytes; ++i)
        unfired += rows[i] != 0xFF;
    EXPECT_EQ(unfired, 0);
    halfton_mask_container_delete(container);

    // With the sine ripple each worker would need a block of 544 x 4,000,000 bytes: refused
    // before any thread starts.
    container = nullptr;
    EXPECT_FALSE(halfton_mask_container_create(TallOnePassRecord(4000000, 3), container));
    EXPECT_EQ(container, nullptr);
}

// A band taller than a threshold tile is rendered on every line: the head and the tail of each
// band line read their own tile rows, so together they fire about inkPercent % of the line
// (exactly that share only while the band fits one tile); an unrendered line would fire none.
TEST(HostFaults, TallOverlapBandIsRendered)
{
    constexpr int kLines = 2000;  // more than three tiles
    OverlapMask mask;
    ASSERT_TRUE(mask.Create(SOverlapMaskParam{kLines, 1, 100.f, 1, 50}));
    const int lineBytes = mask.MaskLineBytes();
    int fewest = INT_MAX, most = 0;
    for (int k = 0; k < kLines; ++k) {
        const unsigned char* head = mask.Mask_head() + static_cast<long long>(k) * lineBytes;
        const unsigned char* tail = head + static_cast<long long>(kLines) * lineBytes;
        int fired = 0;
        for (int i = 0; i < lineBytes; ++i)
            fired += __builtin_popcount(head[i]) + __builtin_popcount(tail[i]);
        fewest = std::min(fewest, fired);
        most = std::max(most, fired);
    }
    // 512 pixels a line at 50 % ink: 256, within a tenth of the line either way.
    EXPECT_GE(fewest, 205);
    EXPECT_LE(most, 307);
}

// A worker that cannot get its memory fails the build; the host's process goes on.
TEST(HostFaults, WorkerOutOfMemoryFailsTheBuildWithoutEndingTheHost)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.basePass = 2;
    p.featherMode = 1;
    p.featherNozzleType = 3;  // the ripple: workers hold its packed mask, or blocks of 544 x 96
    p.featherPercent = 50.f;
    g_failAboveOffMainThread = 512;  // the packed ripple: 6 rows of 136 bytes, twice
    void* container = nullptr;
    const bool created = halfton_mask_container_create(ToTestParam(p), container);
    g_failAboveOffMainThread = kNever;
    EXPECT_FALSE(created);
    EXPECT_EQ(container, nullptr);
    // The same record builds once the memory is there.
    ASSERT_TRUE(halfton_mask_container_create(ToTestParam(p), container));
    halfton_mask_container_delete(container);
}

TEST(HostFaults, SizesThatWouldWrapAreRefused)
{
    CBaseMaskData thresholds;
    EXPECT_FALSE(thresholds.Create(4194304, 2097152, 2097152));  // 2^64 samples
    EXPECT_FALSE(thresholds.Create(65536, 65536, 1));
}

// A build that runs out of memory fails through either door, with no exception: the flat
// interface releases the half-built container, and a C++ caller gets false and a record of what
// the build had asked for.
TEST(HostFaults, CreateOutOfMemoryFailsAndSaysForWhat)
{
    SMaskParam p = DefaultMaskParam();
    p.basePass = 1;
    p.colorCount = 200;  // threshold layers of 544 x 544 x 200 x 2 = 118,374,400 bytes
    const long before = g_liveMasks;
    g_failAbove = 64u << 20;
    void* container = nullptr;
    const bool created = halfton_mask_container_create(ToTestParam(p), container);
    g_failAbove = kNever;
    EXPECT_FALSE(created);
    EXPECT_EQ(container, nullptr);
    EXPECT_EQ(g_liveMasks, before);

    const LogCapture log;
    CMaskData_Base mask;
    g_failAbove = 64u << 20;
    bool createdHere = true;
    EXPECT_NO_THROW(createdHere = mask.Create(p));
    g_failAbove = kNever;
    EXPECT_FALSE(createdHere);
    size_t said = 0;
    for (const CapturedRecord& record : log.Records()) {
        if (record.message.rfind("not enough memory for the mask: ", 0) == 0) {
            ++said;
            EXPECT_NE(record.message.find("118374400 bytes of threshold layers"), std::string::npos)
                << record.message;
        }
    }
    EXPECT_EQ(said, 1u);
}

// The storage appends a new mask after building it; if the append throws, the mask is released.
TEST(HostFaults, StorageAppendThatThrowsLeaksNoMask)
{
    const SMaskParam record = DefaultMaskParam();
    long allocations = 0;
    {
        CMaskDataStorage storage;
        t_allocations = 0;
        ASSERT_TRUE(storage.MaskData_Current_Init(record));
        allocations = t_allocations;
        ASSERT_EQ(t_lastSize, 3 * sizeof(void*)) << "the last allocation is the list's node";
    }
    const long before = g_liveMasks;
    {
        CMaskDataStorage storage;
        t_allocations = 0;
        t_failAt = allocations;
        EXPECT_THROW(storage.MaskData_Current_Init(record), std::bad_alloc);
        t_failAt = 0;
        EXPECT_EQ(storage.MaskData_Current_Get(), nullptr);
    }
    EXPECT_EQ(g_liveMasks, before);
}

// Once a run has started its threads allocate only what the run's shape asks for: a run of many
// units allocates no more there than a run of one unit of the same shape.
TEST(HostFaults, ThreadsOfARunAllocateTheSameForOneUnitAsForAHundred)
{
    struct Row
    {
        const char* mode;
        int featherMode, featherType, x, y;
    };
    const Row rows[] = {{"unfeathered", 0, 1, 1, 1},
                        {"three-part with the sine ripple", 1, 3, 1, 1},
                        {"sine ripple, X = Y = 2", 1, 3, 2, 2},
                        {"two-part, X = 3", 1, 1, 3, 1}};
    for (const Row& row : rows) {
        SMaskParam p = DefaultMaskParam();
        p.featherMode = row.featherMode;
        p.featherNozzleType = row.featherType;
        p.featherPercent = 50.f;
        p.xResPass = row.x;
        p.yResPass = row.y;
        p.lessMaskPosition = 1;  // one mask position: a unit per colour and Y pass
        const auto allocationsOffMainThread = [&p](int colours) {
            p.colorCount = colours;
            const long before = g_allocationsOffMainThread;
            CMaskData_Base mask;
            EXPECT_TRUE(mask.Create(p)) << colours;
            return g_allocationsOffMainThread - before;
        };
        // The first build of a process also makes what lasts as long as the process.
        allocationsOffMainThread(1);
        const long oneUnit = allocationsOffMainThread(1);
        EXPECT_GT(oneUnit, 0) << row.mode << ": the threads make their scratch";
        EXPECT_EQ(allocationsOffMainThread(100), oneUnit) << row.mode;
    }
}
