// CMaskData_Base: turning the fixed geometry into mask bytes, on the generator's threads or (the
// legacy path) on the caller's thread alone.
#include <Rv_Halftone/MaskData_Base.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskDataGenerator.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "Rv_Halftone_Internal.h"

#include <vector>

namespace {

// Workers of a mask build, fixed whatever the processor count.
constexpr int kWorkerCount = 6;
// A mask that takes longer than this to render fails.
constexpr unsigned int kRenderTimeoutMs = 60000;

}  // namespace

// Sizes m_maskBlock to one block row of all mask bytes per colour, every byte 0: the renderers
// only OR bits in, so the zero fill is what leaves unfired pixels clear.
bool CMaskData_Base::MaskBlock_Size()
{
    const long long oneColor = static_cast<long long>(m_maskPositionCount) *
                               m_maskParam_Current.yResPass * m_maskHeight_NoneRes * m_maskLineBytes;
    if (!rv_halftone::FitsInt(oneColor) ||
        !m_maskBlock.Create(static_cast<int>(oneColor), m_maskParam_Current.colorCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

// What both renderers need first: one threshold layer per colour, the cut table, and the output
// sized and cleared. Each step writes its own failure record.
bool CMaskData_Base::Render_Prepare(CBaseMaskData& thresholds, std::vector<SCutTable>& cutTable)
{
    if (!thresholds.Create(m_thresholdWidth, m_thresholdHeight, m_maskParam_Current.colorCount))
        return false;
    cutTable.assign(static_cast<size_t>(m_maskHeight_NoneRes), SCutTable{0, 0});
    return CreateCutTable(cutTable.data(), m_maskHeight_NoneRes) && MaskBlock_Size();
}

bool CMaskData_Base::CreateMaskData()
{
    return CreateMaskData_Workers(kWorkerCount);
}

bool CMaskData_Base::CreateMaskData_Workers(int workerCount)
{
    // The layers and the cut table outlive the generator, whose threads read both: they are
    // declared first so that they are destroyed last.
    CBaseMaskData thresholds;
    std::vector<SCutTable> cutTable;
    if (!Render_Prepare(thresholds, cutTable)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    SMaskDataGenerate_Param param;
    param.maskBlock = &m_maskBlock;
    param.maskBytesOneColor = MaskBytes_OneColor();
    param.maskBytesOnePosition = MaskBytes_OnePosition();
    param.maskLineBytes = m_maskLineBytes;
    param.thresholdData = &thresholds;
    param.thresholdHeight = m_thresholdHeight;
    param.thresholdWidth = m_thresholdWidth;
    param.colorCount = m_maskParam_Current.colorCount;
    param.positionCount = m_maskPositionCount;
    param.cutTable = cutTable.data();
    param.cutTableCount = m_maskHeight_NoneRes;
    param.maskHeight = m_maskHeight_NoneRes;
    param.stepHeight = m_stepHeight_NoneRes;
    param.xResPass = m_maskParam_Current.xResPass;
    param.yResPass = m_maskParam_Current.yResPass;
    param.bitsPerPixel = m_maskParam_Current.bitsPerPixel;
    // The sine ripple belongs to the three-part feather only: an unfeathered record that happens
    // to carry type 3 keeps its exact coverage.
    param.featherNozzleType =
        m_maskParam_Current.featherMode == 1 ? m_maskParam_Current.featherNozzleType : 0;

    CMaskDataGenerator generator;
    if (!generator.Create(param, workerCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (!generator.Wait_Exit(kRenderTimeoutMs)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool CMaskData_Base::CreateMaskData_Old()
{
    CBaseMaskData thresholds;
    std::vector<SCutTable> cutTable;
    if (!Render_Prepare(thresholds, cutTable)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int xRes = m_maskParam_Current.xResPass;
    const int yRes = m_maskParam_Current.yResPass;
    std::vector<CMaskBlock> blocks(static_cast<size_t>(xRes));
    for (CMaskBlock& block : blocks) {
        if (!block.Create(m_thresholdWidth, m_maskHeight_NoneRes)) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }

    const int oneColor = MaskBytes_OneColor();
    const int onePosition = MaskBytes_OnePosition();
    for (int c = 0; c < m_maskParam_Current.colorCount; ++c) {
        unsigned char* colour = m_maskBlock.MaskData() + static_cast<long long>(c) * oneColor;
        for (int p = 0; p < m_maskPositionCount; ++p) {
            for (int j = 0; j < yRes; ++j) {
                SGenerateMaskParam_In cut;
                cut.cutTable = cutTable.data();
                cut.cutTableCount = m_maskHeight_NoneRes;
                cut.thresholdLayer = thresholds.MaskData(c);
                cut.thresholdRowStart = (m_stepHeight_NoneRes * j) / yRes + m_stepHeight_NoneRes * p;
                cut.thresholdHeight = m_thresholdHeight;
                cut.thresholdWidth = m_thresholdWidth;
                cut.bitsPerPixel = m_maskParam_Current.bitsPerPixel;
                for (int i = 0; i < xRes; ++i) {
                    blocks[i].ClearMaskData();
                    cut.thresholdColumnStart = (m_thresholdWidth * i) / xRes;
                    if (!Halftone_Helper::GenerateMaskData_XRes(cut, blocks[i])) {
                        ZEB_LOG_FAILURE();
                        return false;
                    }
                }
                SMergeMaskParam merge;
                merge.bitsPerPixel = m_maskParam_Current.bitsPerPixel;
                merge.maskBlocks = blocks.data();
                merge.maskBlockCount = xRes;
                merge.lineStart = j;
                merge.lineStep = yRes;
                merge.outBuffer = colour + static_cast<long long>(p) * onePosition;
                merge.maskLineBytes = m_maskLineBytes;
                if (!Halftone_Helper::MergeMaskData_YRes(merge)) {
                    ZEB_LOG_FAILURE();
                    return false;
                }
            }
        }
    }
    return true;
}
