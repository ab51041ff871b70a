// The rendered pass masks: every pixel is its threshold cut by its row's range of the cut table,
// and the print that a host lays from them fires every paper pixel the intended number of times.
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/RawMaskData.h>
#include <Rv_Halftone/SineMask.h>

#include "Modes.h"
#include "Peers.h"

#include <RvAnalysis/PrintSimulation.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One Y pass of one position before packing: H0 rows of X x 544 pixels (output pixel order),
// cut from the thresholds pixel by pixel, written here independently of the library's kernels.
std::vector<uint8_t> CutBlock(const CMaskData_Base& mask, const CBaseMaskData& layers,
                              const std::vector<SCutTable>& table, int colour, int position, int j)
{
    const int x = mask.XResPass(), y = mask.YResPass();
    const int width = mask.MaskWidth();
    const int rows = mask.MaskHeight_IncludeRes() / y;
    const int step = mask.StepHeight_IncludeRes() / y;
    const int tileWidth = layers.Width(), tileHeight = layers.Height();
    const unsigned short* layer = layers.MaskData(colour);
    std::vector<uint8_t> block(static_cast<size_t>(rows) * width, 0);
    for (int k = 0; k < rows; ++k) {
        const int row = (position * step + (j * step) / y + k) % tileHeight;
        for (int u = 0; u < width; ++u) {
            const int i = u % x, column = ((tileWidth * i) / x + u / x) % tileWidth;
            const unsigned t = layer[row * tileWidth + column];
            block[static_cast<size_t>(k) * width + u] = table[k].low <= t && t < table[k].high;
        }
    }
    return block;
}

// The sine ripple on one block in output pixel order: the last h rows keep what the down curve
// covers and hand the rest to the same places of the first feather band's last h rows.
void Ripple(std::vector<uint8_t>& block, const CMaskData_Base& mask, int featherHeight)
{
    const int width = mask.MaskWidth();
    const int x = mask.XResPass();
    const int rows = static_cast<int>(block.size()) / width;
    CSineMask sine;
    ASSERT_TRUE(sine.Create(featherHeight, width / x, 1, SinMaskType_Ripple));
    const int h = sine.MaskHeight_Get();
    if (rows < featherHeight + h)
        return;  // no room for two bands: nothing moves
    const unsigned char* down = sine.MaskBuffer_Down_Get();
    for (int r = 0; r < h; ++r) {
        uint8_t* top = block.data() + static_cast<size_t>(featherHeight - h + r) * width;
        uint8_t* bottom = block.data() + static_cast<size_t>(rows - h + r) * width;
        for (int u = 0; u < width; ++u) {
            // Each X pass is its own block of 544 columns with the same curve.
            const bool covered = down[r * (width / x) + u / x] != 0;
            if (!covered && bottom[u]) {
                top[u] = 1;
                bottom[u] = 0;
            }
        }
    }
}

class RenderedMask : public ::testing::TestWithParam<SModeCase>
{
};

}  // namespace

TEST_P(RenderedMask, EveryPixelMeansWhatTheContractSays)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(RecordOf(GetParam())));
    const int rows = mask.MaskHeight_IncludeRes() / mask.YResPass();
    std::vector<SCutTable> table(static_cast<size_t>(rows));
    ASSERT_TRUE(CMaskData_Base_Peer::CreateCutTable(mask, table.data(), rows));
    CBaseMaskData layers;
    const SMaskParam& current = mask.MaskParam_Current();
    ASSERT_TRUE(layers.Create(CRawMaskData::Width(), mask.ThresholdHeight(), current.colorCount));
    const bool sine = current.featherMode == 1 && current.featherNozzleType == 3;
    const int step = mask.StepHeight_IncludeRes() / mask.YResPass();
    const int featherHeight = rows % step != 0 ? rows % step : step;

    const int y = mask.YResPass(), width = mask.MaskWidth();
    for (int c = 0; c < current.colorCount; ++c) {
        for (int p = 0; p < mask.MaskPositionCount(); ++p) {
            int counter = p - 1;
            const unsigned char* data = mask.MaskData_Get(c, counter);
            for (int j = 0; j < y; ++j) {
                std::vector<uint8_t> block = CutBlock(mask, layers, table, c, p, j);
                if (sine)
                    Ripple(block, mask, featherHeight);
                long long wrong = 0;
                for (int k = 0; k < rows; ++k) {
                    const unsigned char* row =
                        data + static_cast<size_t>(k * y + j) * mask.MaskLineBytes_OneColor();
                    for (int u = 0; u < width; ++u)
                        wrong += rv_analysis::PixelFired(row, u, mask.BitsPerPixel()) !=
                                 (block[static_cast<size_t>(k) * width + u] != 0);
                    // Bits past the last pixel of a row stay clear.
                    const int usedBits = width * mask.BitsPerPixel();
                    if (usedBits % 8 != 0)
                        wrong += (row[usedBits / 8] & (0xFF >> (usedBits % 8))) != 0;
                }
                ASSERT_EQ(wrong, 0) << "colour " << c << " position " << p << " Y pass " << j;
            }
        }
    }
}

TEST_P(RenderedMask, ThePrintKeepsTheModesPromise)
{
    CMaskData_Base mask;
    ASSERT_TRUE(mask.Create(RecordOf(GetParam())));
    const rv_analysis::CPrintPlan plan(mask);
    const SMaskParam& current = mask.MaskParam_Current();
    const bool promised =
        !(current.featherMode == 1 && (current.featherNozzleType == 3 ||
                                       (current.featherNozzleType == 2 && current.colorTimes > 1)));
    for (int c = 0; c < current.colorCount; ++c) {
        const rv_analysis::SColorVerdict verdict = rv_analysis::Verify(plan, c);
        EXPECT_EQ(verdict.checked, promised);
        // Met where a promise was checked, and never said of one that was not.
        EXPECT_EQ(verdict.met, promised)
            << verdict.expectation << ": " << verdict.mismatches << " of " << verdict.pixels
            << " pixels differ (colour " << c << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RenderedMask, ::testing::ValuesIn(kModes),
                         [](const auto& test) { return std::string(test.param.name); });
