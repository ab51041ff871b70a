// CMaskData_Base: turning the fixed geometry into mask bytes, on the generator's threads or (the
// plain single-threaded path, CreateMaskData_Old) on the caller's thread alone.
#include <Rv_Halftone/MaskData_Base.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "../Generator/GeneratorRun.h"
#include "../Generator/ThresholdAddress.h"
#include "../Refusal.h"
#include "../Rv_Halftone_Internal.h"
#include "../ThresholdPlanes/ThresholdPlanes.h"

#include <vector>

// Sizes m_maskBlock to one block row of all mask bytes per colour, every byte 0: the renderers
// only OR bits in, so the zero fill is what leaves unfired pixels clear.
bool CMaskData_Base::MaskBlock_Size()
{
    const long long oneColor = static_cast<long long>(m_maskPositionCount) *
                               m_maskParam_Current.yResPass * m_maskHeight_NoneRes *
                               m_maskLineBytes;
    if (!rv_halftone::FitsInt(oneColor)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (rv_halftone::CheckingOnly())
        return true;
    if (!m_maskBlock.Create(static_cast<int>(oneColor), m_maskParam_Current.colorCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

// What both renderers need first: one threshold layer per colour, the cut table, and the output
// sized and cleared. Each step writes its own failure record. A check only sizes the layers and
// the output (together they may take gigabytes) but builds the cut table, whose builders refuse
// what they cannot serve.
bool CMaskData_Base::Render_Prepare(CBaseMaskData& thresholds, std::vector<SCutTable>& cutTable)
{
    const int colours = m_maskParam_Current.colorCount;
    const bool layers =
        rv_halftone::CheckingOnly()
            ? rv_halftone::ThresholdLayers_Fit(m_thresholdWidth, m_thresholdHeight, colours)
            : thresholds.Create(m_thresholdWidth, m_thresholdHeight, colours);
    if (!layers)
        return false;
    cutTable.assign(static_cast<size_t>(m_maskHeight_NoneRes), SCutTable{0, 0});
    return CreateCutTable(cutTable.data(), m_maskHeight_NoneRes) && MaskBlock_Size();
}

bool CMaskData_Base::CreateMaskData()
{
    return CreateMaskData_Workers(rv_halftone::kPassMaskWorkerCount);
}

bool CMaskData_Base::CreateMaskData_Workers(int workerCount)
{
    // The layers and the cut table outlive the generator, whose threads read both.
    CBaseMaskData thresholds;
    std::vector<SCutTable> cutTable;
    if (!Render_Prepare(thresholds, cutTable)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const SMaskParam& p = m_maskParam_Current;
    const rv_halftone::SRenderJob job = {&m_maskBlock,
                                         &thresholds,
                                         m_thresholdHeight,
                                         cutTable.data(),
                                         m_maskHeight_NoneRes,
                                         p.colorCount,
                                         m_maskPositionCount,
                                         m_stepHeight_NoneRes,
                                         p.xResPass,
                                         p.yResPass,
                                         p.bitsPerPixel,
                                         m_maskLineBytes,
                                         m_featherFamily == FeatherFamily_ThreePartRipple};
    if (rv_halftone::CheckingOnly())
        return rv_halftone::RenderJob_Fits(job, m_thresholdWidth);
    if (!rv_halftone::RenderOnGenerator(job, workerCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

// The same bytes one unit after another on this thread, through byte-per-pixel blocks; there is
// no sine ripple on this path.
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
                cut.thresholdRowStart =
                    rv_halftone::ThresholdRowStart(p, j, m_stepHeight_NoneRes, yRes);
                cut.thresholdHeight = m_thresholdHeight;
                cut.thresholdWidth = m_thresholdWidth;
                cut.bitsPerPixel = m_maskParam_Current.bitsPerPixel;
                for (int i = 0; i < xRes; ++i) {
                    blocks[i].ClearMaskData();
                    cut.thresholdColumnStart =
                        rv_halftone::ThresholdColumnStart(i, m_thresholdWidth, xRes);
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
