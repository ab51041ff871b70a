// The bytes of a pass mask must not depend on how many workers render it: the units of work land
// in disjoint rows whatever thread takes them, so 1, 2, 6 or 16 workers, and the single-threaded
// legacy path where it applies, must give the same mask.
#include <Rv_Halftone/MaskData_Base.h>

#include "MaskDataPeer.h"
#include "MaskParams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SweepCase = SModeCase;

// Every feather mode (none, two-part, three-part, three-part with the sine ripple), colorTimes 1
// and more, X and Y resolution up to 3 and the resolution split, both bit depths. Records with the
// normal choice of tile height have many mask positions and so many units (up to 76) for the
// workers to share; the heads are small so that the sweep stays quick under ThreadSanitizer.
const SweepCase kSweep[] = {
    // name                  N    P  X  Y  col b fm ft  f%    C lvl split less
    {"None_1bit",            96,  2, 1, 1, 1, 1, 0, 0, 0.f,   1, 100, 0, true},
    {"None_2colours_Times2", 192, 4, 1, 1, 2, 2, 0, 0, 0.f,   2, 100, 0, true},
    {"None_NormalPositions", 128, 4, 1, 1, 1, 1, 0, 0, 0.f,   1, 100, 0, false},
    {"None_3colours_Y2",     96,  2, 1, 2, 3, 1, 0, 0, 0.f,   1, 100, 0, false},
    {"None_X2Y2",            160, 2, 2, 2, 1, 1, 0, 0, 0.f,   1, 100, 0, true},
    {"None_X3_2bit",         144, 3, 3, 1, 1, 2, 0, 0, 0.f,   1, 100, 0, true},
    {"None_Split5",          160, 2, 4, 4, 1, 1, 0, 0, 0.f,   1, 100, 5, true},
    {"None_SplitY3",         288, 2, 1, 3, 2, 1, 0, 0, 0.f,   1, 100, 3, true},
    {"Smooth2_NormalPos",    120, 3, 1, 1, 1, 1, 1, 1, 40.f,  1, 100, 0, false},
    {"Smooth2_X2_Times2",    96,  2, 2, 1, 2, 1, 1, 1, 40.f,  2, 100, 0, false},
    {"Smooth2_Times2_Y3",    240, 3, 1, 3, 1, 2, 1, 1, 30.f,  2, 100, 0, true},
    {"Smooth3_Level70_2col", 128, 4, 1, 1, 2, 1, 1, 2, 50.f,  1,  70, 0, false},
    {"Smooth3_Times2_X2",    192, 4, 2, 1, 1, 1, 1, 2, 50.f,  2, 100, 0, true},
    {"Sine_Y2_2bit",         300, 3, 1, 2, 1, 2, 1, 3, 30.f,  1,  80, 0, true},
    {"Sine_OnePass",         96,  1, 1, 1, 1, 1, 1, 3, 0.f,   1, 100, 0, true},
    {"Sine_NormalPositions", 120, 2, 1, 1, 1, 1, 1, 3, 50.f,  1, 100, 0, false},
    {"Sine_Y2_2colours",     96,  2, 1, 2, 2, 1, 1, 3, 50.f,  1, 100, 0, false},
};

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

class RenderDeterminism : public ::testing::TestWithParam<SweepCase> {};

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

    // The single-threaded legacy path has no sine ripple; everything else must match it.
    const SMaskParam& current = mask.MaskParam_Current();
    if (current.featherMode == 1 && current.featherNozzleType == 3)
        return;
    ASSERT_TRUE(CMaskData_Base_Peer::CreateMaskData_Old(mask));
    EXPECT_EQ(FirstDifference(Bytes(mask), built), -1) << "legacy path";
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderDeterminism, ::testing::ValuesIn(kSweep),
                         [](const auto& test) { return std::string(test.param.name); });
