// The exit status of every outcome of a command, and of a standard output that cannot be written:
// the mapping itself, since a sound library never gives some of these outcomes (a promise not
// met) and a test run seldom meets the others (a full disk).
#include "rv_halftone/RecordOptions.h"
#include "rv_halftone/Report.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Runs `run` with the standard output going to `path`, and restores it.
int WithStandardOutput(const std::string& path, const std::function<int()>& run)
{
    std::cout.flush();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(target, STDOUT_FILENO);
    close(target);
    const int status = run();
    std::cout.flush();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::cout.clear();
    std::clearerr(stdout);
    return status;
}

}  // namespace

TEST(Report, ExitStatusOfEveryOutcome)
{
    const std::string file = FreshTestDir() + "/report.json";
    const struct
    {
        const char* name;
        std::function<void(SReport&)> body;
        const char* output;  // where the standard output goes; null: a file read back
        int exit;
        const char* status;
    } cases[] = {
        {"ok", [](SReport&) {}, nullptr, 0, "ok"},
        {"refused", [](SReport& r) { r.Refuse("no"); }, nullptr, 1, "refused"},
        {"refusal thrown", [](SReport&) { throw CommandRefusal("no"); }, nullptr, 1, "refused"},
        {"not met", [](SReport& r) { r.NotMet("a promise failed"); }, nullptr, 1, "not met"},
        {"file error", [](SReport&) { throw std::runtime_error("x.png: disk full"); }, nullptr, 2,
         "error"},
        {"out of memory", [](SReport&) { throw std::bad_alloc(); }, nullptr, 2, "error"},
        {"ok, output unwritable", [](SReport&) {}, "/dev/full", 2, nullptr},
        {"not met, output unwritable", [](SReport& r) { r.NotMet("failed"); }, "/dev/full", 2,
         nullptr},
    };
    for (const auto& c : cases) {
        if (c.output != nullptr && access(c.output, W_OK) != 0)
            continue;  // no /dev/full here
        const int exit = WithStandardOutput(c.output != nullptr ? c.output : file, [&c] {
            return RunReported("mask", true, c.body);
        });
        EXPECT_EQ(exit, c.exit) << c.name;
        if (c.status != nullptr) {
            std::ifstream in(file);
            EXPECT_EQ(nlohmann::json::parse(in)["status"], c.status) << c.name;
        }
    }
    EXPECT_EQ(WithStandardOutput(file, [] { return ReportUsageError("mask", true, "bad"); }), 2);
    std::ifstream in(file);
    EXPECT_EQ(nlohmann::json::parse(in)["status"], "usage error");
}

// A mask the memory cannot hold is an error that says how much it needed: 16,384 nozzles at X x 4
// in 8 colours need 1.2 GB, here given 600 MB (the sanitizers reserve far more for themselves).
TEST(Report, MaskBeyondTheMemoryIsAnErrorWithItsSize)
{
    if (kSanitized)
        GTEST_SKIP() << "a sanitizer's own address space exceeds the limit";
    const SToolRun run = RunTool(
        {"mask", "--nozzle-count", "16384", "--x-res-pass", "4", "--color-count", "8"},
        {{}, "", 600000});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("not enough memory for the mask: 1212153856 bytes (8 colours x "
                           "151519232 bytes)"),
              std::string::npos)
        << run.err;
}

// The record as a C host writes it, fields in the record's order; a float in the fewest digits
// that read back as the same float, with a point before its suffix.
TEST(Report, RecordAsTheCInitialiserAHostPastes)
{
    alignas(4) SMaskParam feathered = MaskParam_Default();
    feathered.nozzleCount = 96;
    feathered.featherMode = 1;
    feathered.featherPercent = 6.95f;
    feathered.featherNozzleType = 3;
    feathered.smoothLevelPercent = 60;
    feathered.lessMaskPosition = 1;
    alignas(4) SMaskParam whole = MaskParam_Default();
    whole.featherPercent = 50.0f;
    whole.resSplitMode = 5;
    EXPECT_EQ(RecordAsCInitialiser(feathered),
              "SMaskParam_Test record = { .nozzleCount = 96, .basePass = 4, .xResPass = 1, "
              ".yResPass = 1, .colorCount = 2, .bitsPerPixel = 2, .featherMode = 1, "
              ".featherPercent = 6.95f, .featherNozzleType = 3, .colorTimes = 1, "
              ".smoothLevelPercent = 60, .resSplitMode = 0, .lessMaskPosition = 1 };");
    EXPECT_EQ(RecordAsCInitialiser(whole, "best_record"),
              "SMaskParam_Test best_record = { .nozzleCount = 544, .basePass = 4, .xResPass = 1, "
              ".yResPass = 1, .colorCount = 2, .bitsPerPixel = 2, .featherMode = 0, "
              ".featherPercent = 50.0f, .featherNozzleType = 1, .colorTimes = 1, "
              ".smoothLevelPercent = 100, .resSplitMode = 5, .lessMaskPosition = 0 };");
}
