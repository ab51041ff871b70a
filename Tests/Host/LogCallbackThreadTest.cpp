// The log callback chosen and changed while the generator's threads write records: no record is
// lost or torn, none reaches a callback after it was replaced, and none arrives on two threads at
// once. Only the flat interface and its C extension; run under ThreadSanitizer too.
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include "MaskParams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

namespace {

struct SCallbackState
{
    std::atomic<bool> retired{false};  // set once the callback was replaced
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};  // calls after retirement
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
};

void OnRecord(int /*severity*/, const char* text, const char* scope, void* user)
{
    auto& state = *static_cast<SCallbackState*>(user);
    if (state.inside.fetch_add(1) != 0)
        state.overlaps.fetch_add(1);
    if (state.retired.load())
        state.lateCalls.fetch_add(1);
    if (text != nullptr && scope != nullptr && text[0] != '\0')
        state.calls.fetch_add(1);
    state.inside.fetch_sub(1);
}

}  // namespace

TEST(LogCallback, ChangesSafelyWhileTheGeneratorsThreadsLog)
{
    SCallbackState states[2];
    std::atomic<bool> building{true};
    std::vector<std::thread> hosts;
    for (int h = 0; h < 2; ++h) {
        hosts.emplace_back([&building, h] {
            SMaskParam p = DefaultMaskParam();
            p.nozzleCount = 96;
            p.colorCount = 1;
            p.colorTimes = h == 0 ? 1 : 0;  // one host builds, one is refused
            const SMaskParam_Test record = ToTestParam(p);
            while (building.load()) {
                void* mask = nullptr;
                if (halfton_mask_container_create(record, mask))
                    rv_halftone_mask_delete(&mask);
            }
        });
    }
    for (int round = 0; round < 60; ++round) {
        SCallbackState& next = states[round % 2];
        SCallbackState& previous = states[(round + 1) % 2];
        next.retired = false;
        rv_halftone_set_log_callback(round % 3 == 2 ? nullptr : OnRecord, &next);
        previous.retired = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    building = false;
    for (std::thread& host : hosts)
        host.join();
    rv_halftone_set_log_callback(nullptr, nullptr);
    for (const SCallbackState& state : states) {
        EXPECT_GT(state.calls.load(), 0);
        EXPECT_EQ(state.lateCalls.load(), 0);
        EXPECT_EQ(state.overlaps.load(), 0);
    }
}

namespace {

// A callback that builds a mask of its own the first time it is called, while the generator's
// threads of both builds write records.
struct SBuildingCallback
{
    std::atomic<bool> built{false};
    std::atomic<bool> innerCreated{false};
    std::atomic<int> calls{0};
};

void BuildOnRecord(int, const char*, const char*, void* user)
{
    auto& state = *static_cast<SBuildingCallback*>(user);
    state.calls.fetch_add(1);
    if (state.built.exchange(true))
        return;
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.colorCount = 1;
    void* mask = nullptr;
    state.innerCreated = halfton_mask_container_create(ToTestParam(p), mask);
    rv_halftone_mask_delete(&mask);
}

}  // namespace

// A callback may build a mask: no deadlock between the callback's thread, which waits for the
// inner build, and the inner generator's threads, which write records meanwhile.
TEST(LogCallback, MayBuildAMaskItself)
{
    SBuildingCallback state;
    rv_halftone_set_log_callback(BuildOnRecord, &state);
    std::promise<bool> done;
    std::future<bool> outer = done.get_future();
    std::thread host([&done] {
        SMaskParam p = DefaultMaskParam();
        p.nozzleCount = 96;
        p.colorCount = 1;
        void* mask = nullptr;
        done.set_value(halfton_mask_container_create(ToTestParam(p), mask));
        rv_halftone_mask_delete(&mask);
    });
    if (outer.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the build whose callback builds a mask did not end: a deadlock";
        std::_Exit(1);  // the threads cannot be joined
    }
    host.join();
    rv_halftone_set_log_callback(nullptr, nullptr);
    EXPECT_TRUE(outer.get());
    EXPECT_TRUE(state.innerCreated.load());
    // The outer and the inner builds' Start and End at least.
    EXPECT_GE(state.calls.load(), 4);
}
