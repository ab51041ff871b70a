// A host that creates, fails and deletes masks: the library never writes to the standard output.
// With no logging configured a failure reaches the standard error stream and progress nowhere;
// with the log callback, with the host's own Boost.Log sink, or with the core's logging disabled,
// both streams stay empty and the records go where the host chose. Each case runs in a child
// process of its own, whose two streams are files read back.
#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/Rv_Halftone.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include "MaskParams.h"

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/make_shared.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The library's records the host's own route saw, counted in the child and reported through its
// exit status.
int g_recordsSeen = 0;

void CountRecord(int, const char*, const char*, void*) { ++g_recordsSeen; }

struct SCountingBackend
    : public boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding>
{
    void consume(const boost::log::record_view& record)
    {
        if (boost::log::extract<ESeverityLevel>("Severity", record))
            ++g_recordsSeen;
    }
};

// Builds a mask, has a record refused and deletes the mask; returns whether both went as they
// should.
bool CreateFailAndDelete()
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.colorCount = 1;
    const SMaskParam_Test good = ToTestParam(p);
    p.colorTimes = 0;
    const SMaskParam_Test bad = ToTestParam(p);
    void* mask = nullptr;
    const bool built = halfton_mask_container_create(good, mask);
    void* refused = nullptr;
    const bool failed = !halfton_mask_container_create(bad, refused);
    rv_halftone_mask_delete(&mask);
    return built && failed && mask == nullptr && refused == nullptr;
}

struct SStreams
{
    int records = -1;  // records the host's own route saw; -1 when the child did not end well
    std::string out;
    std::string err;
};

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `configure` then CreateFailAndDelete in a child process whose standard output and error
// go to files.
SStreams RunHost(const std::string& name, const std::function<void()>& configure)
{
    const std::string base = ::testing::TempDir() + "/quiet_host_" + std::to_string(getpid()) +
                             "_" + name;
    const std::string outPath = base + ".out", errPath = base + ".err";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        configure();
        const bool ok = CreateFailAndDelete();
        std::fflush(nullptr);
        _exit(ok ? std::min(g_recordsSeen, 100) : 255);
    }
    SStreams streams;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
        WEXITSTATUS(status) != 255)
        streams.records = WEXITSTATUS(status);
    streams.out = FileText(outPath);
    streams.err = FileText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return streams;
}

}  // namespace

TEST(QuietHost, NothingOnTheStandardOutputWhateverTheHostConfigured)
{
    const struct
    {
        const char* name;
        std::function<void()> configure;
        bool failureOnStandardError;
        bool recordsToTheHost;
    } cases[] = {
        {"nothing configured", [] {}, true, false},
        {"callback", [] { rv_halftone_set_log_callback(CountRecord, nullptr); }, false, true},
        {"own sink",
         [] {
             boost::log::core::get()->add_sink(
                 boost::make_shared<boost::log::sinks::synchronous_sink<SCountingBackend>>());
         },
         false, true},
        {"logging disabled", [] { boost::log::core::get()->set_logging_enabled(false); }, false,
         false},
    };
    for (const auto& c : cases) {
        const SStreams streams = RunHost(c.name, c.configure);
        ASSERT_GE(streams.records, 0) << c.name << ": " << streams.err;
        EXPECT_EQ(streams.out, "") << c.name;
        if (c.failureOnStandardError) {
            // The failures, each at its severity, saying where the reason is; no progress record.
            EXPECT_NE(streams.err.find("error"), std::string::npos) << streams.err;
            EXPECT_NE(streams.err.find("failure (a refused record's reason: "
                                       "rv_halftone_record_reason"),
                      std::string::npos)
                << streams.err;
            EXPECT_EQ(streams.err.find("Start"), std::string::npos) << streams.err;
        } else {
            EXPECT_EQ(streams.err, "") << c.name;
        }
        // Start, End and the failures reach a host that asked for them.
        EXPECT_EQ(streams.records >= 3, c.recordsToTheHost) << c.name << ": " << streams.records;
    }
}
