// The bytes of a pass mask must not depend on how many workers render it: the units of work land
// in disjoint rows whatever thread takes them, so 1, 2, 6 or 16 workers, and the single-threaded
// plain renderer where it applies, must give the same mask.
#include <Rv_Halftone/MaskData_Base.h>

#include "MaskParams.h"
#include "Modes.h"
#include "Peers.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const CMaskData_Base& mask)
{
    const CMaskBlock& block = CMaskData_Base_Peer::MaskBlock(mask);
    return std::vector<unsigned char>(block.MaskData_Const(),
                                      block.MaskData_Const() + block.MaskDataBytesCount());
}

// Index of the first differing byte, or -1.
long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return -1;
}

bool FiresSomething(const std::vector<unsigned char>& bytes)
{
    for (unsigned char b : bytes)
        if (b != 0)
            return true;
    return false;
}

class RenderDeterminism : public ::testing::TestWithParam<SModeCase>
{
};

}  // namespace

TEST_P(RenderDeterminism, SameBytesWhateverTheWorkerCount)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(RecordOf(GetParam())));
    const std::vector<unsigned char> built = Bytes(mask);  // rendered by the usual six workers
    ASSERT_TRUE(FiresSomething(built));

    // Each render starts from a zeroed block, so a unit that went missing or landed in another's
    // rows shows as a difference. 16 workers exceed the units of the smallest records.
    for (int workers : {1, 2, 6, 16}) {
        ASSERT_TRUE(CMaskData_Base_Peer::CreateMaskData_Workers(mask, workers)) << workers;
        EXPECT_EQ(FirstDifference(Bytes(mask), built), -1) << workers << " workers";
    }

    // The plain single-threaded renderer has no sine ripple; everything else must match it.
    const SMaskParam& current = mask.MaskParam_Current();
    if (current.featherMode == 1 && current.featherNozzleType == 3)
        return;
    ASSERT_TRUE(CMaskData_Base_Peer::CreateMaskData_Old(mask));
    EXPECT_EQ(FirstDifference(Bytes(mask), built), -1) << "plain renderer";
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderDeterminism, ::testing::ValuesIn(kModes),
                         [](const auto& test) { return std::string(test.param.name); });

// The kernel variant is chosen once per process from RV_HALFTONE_KERNEL, so each variant renders
// the sweep in a process of its own (rv_mask_digest) and every one must print the same digests
// as the plain byte-per-pixel loops.
namespace {

std::string RunDigest(const std::string& environment)
{
    const std::string command = "env " + environment + " " RV_MASK_DIGEST_PROGRAM;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "";
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    return pclose(pipe) == 0 ? output : "exit status not 0:\n" + output;
}

// The digests without their first line, which names the kernels in use.
std::string Digests(const std::string& output, std::string& kernel)
{
    const size_t end = output.find('\n');
    kernel = output.substr(0, end);
    return end == std::string::npos ? "" : output.substr(end + 1);
}

}  // namespace

TEST(KernelSwitch, EveryVariantRendersTheSameMasksAsThePlainLoops)
{
    std::string kernel;
    const std::string plain = Digests(RunDigest("RV_HALFTONE_KERNEL=plain"), kernel);
    ASSERT_EQ(kernel, "kernels plain");
    ASSERT_EQ(std::count(plain.begin(), plain.end(), '\n'),
              static_cast<long>(sizeof kModes / sizeof kModes[0]));
    ASSERT_EQ(plain.find("refused"), std::string::npos) << plain;

    std::string best;
    EXPECT_EQ(Digests(RunDigest("-u RV_HALFTONE_KERNEL"), best), plain) << "unset";
    EXPECT_NE(best, "kernels plain");
    // The best variant is avx2 wherever it runs; elsewhere asking for it falls back to the best.
    const std::map<std::string, std::string> runs = {
        {"RV_HALFTONE_KERNEL=portable", "kernels portable"},
        {"RV_HALFTONE_KERNEL=avx2", best},
        {"RV_HALFTONE_KERNEL=no-such-variant", best},
    };
    for (const auto& run : runs) {
        EXPECT_EQ(Digests(RunDigest(run.first), kernel), plain) << run.first;
        EXPECT_EQ(kernel, run.second) << run.first;
    }
}
