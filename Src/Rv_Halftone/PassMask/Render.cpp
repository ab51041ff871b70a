// CMaskData_Base: turning the fixed geometry into mask bytes, on the generator's threads or (the
// plain single-threaded path, CreateMaskData_Old) on the caller's thread alone. Rendering is
// checked before anything is allocated for it (Render_Check), so that a record is refused or
// accepted for the same reasons whether it is rendered or only checked.
#include <Rv_Halftone/MaskData_Base.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/BaseMaskData.h>

#include "Common/Sizes.h"
#include "Generator/GeneratorRun.h"
#include "ThresholdPlanes/ThresholdPlanes.h"
#include "Units/UnitRenderer.h"

#include <vector>

rv_halftone::SRenderJob CMaskData_Base::RenderJob_Of(const CBaseMaskData* thresholds,
                                                     const SCutTable* cutTable)
{
    const SMaskParam& p = m_maskParam_Current;
    rv_halftone::SRenderJob job;
    job.output = &m_maskBlock;
    job.thresholds = thresholds;
    job.thresholdHeight = m_thresholdHeight;
    job.cutTable = cutTable;
    job.rows = m_maskHeight_NoneRes;
    job.colours = p.colorCount;
    job.positions = m_maskPositionCount;
    job.step = m_stepHeight_NoneRes;
    job.xPasses = p.xResPass;
    job.yPasses = p.yResPass;
    job.bitsPerPixel = p.bitsPerPixel;
    job.lineBytes = m_maskLineBytes;
    job.ripple = m_featherFamily == FeatherFamily_ThreePartRipple;
    return job;
}

// What the run will allocate (the threshold layers, the output, the generator's blocks) must be
// int-addressable, and the cut table's builders must accept the profile; nothing is built.
bool CMaskData_Base::Render_Check()
{
    const int colours = m_maskParam_Current.colorCount;
    if (!rv_halftone::ThresholdLayers_Fit(m_thresholdWidth, m_thresholdHeight, colours) ||
        !CutTable_Accepted() ||
        !rv_halftone::RenderJob_Fits(RenderJob_Of(nullptr, nullptr), m_thresholdWidth)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

// Sizes m_maskBlock to one block row of all mask bytes per colour, every byte 0: the renderers
// only OR bits in, so the zero fill is what leaves unfired pixels clear.
bool CMaskData_Base::MaskBlock_Size()
{
    const long long oneColor = static_cast<long long>(m_maskPositionCount) *
                               m_maskParam_Current.yResPass * m_maskHeight_NoneRes *
                               m_maskLineBytes;
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
    return CreateMaskData_Workers(rv_halftone::WorkerCount(rv_halftone::ERenderKind::PassMask));
}

bool CMaskData_Base::CreateMaskData_Workers(int workerCount)
{
    // The layers and the cut table outlive the generator, whose threads read both.
    CBaseMaskData thresholds;
    std::vector<SCutTable> cutTable;
    if (!Render_Prepare(thresholds, cutTable) ||
        !rv_halftone::RenderOnGenerator(RenderJob_Of(&thresholds, cutTable.data()), workerCount)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

// The same bytes one unit after another on this thread, in the unit renderer's block form, with
// the units addressed as the generator addresses them; there is no sine ripple on this path.
bool CMaskData_Base::CreateMaskData_Old()
{
    namespace units = rv_halftone::units;
    CBaseMaskData thresholds;
    std::vector<SCutTable> cutTable;
    if (!Render_Prepare(thresholds, cutTable)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const SMaskDataGenerate_Param run =
        rv_halftone::GenerateParam_Of(RenderJob_Of(&thresholds, cutTable.data()), m_thresholdWidth);
    // The X passes' blocks are made once and reused by every unit.
    std::vector<CMaskBlock> blocks(static_cast<size_t>(run.xResPass));
    for (CMaskBlock& block : blocks) {
        if (!block.Create(run.thresholdWidth, run.maskHeight)) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    const std::vector<int> columnStarts = units::ColumnStarts(run);
    std::vector<const unsigned char*> rowPointers(blocks.size());
    SMaskDataGenerate_SubParam unit{};
    for (unit.colorIndex = 0; unit.colorIndex < run.colorCount; ++unit.colorIndex) {
        for (unit.positionIndex = 0; unit.positionIndex < run.positionCount; ++unit.positionIndex) {
            for (unit.yResIndex = 0; unit.yResIndex < run.yResPass; ++unit.yResIndex) {
                const units::SUnit rows = units::UnitOf(run, unit, columnStarts.data(), nullptr);
                if (!units::CutBlocks(rows, blocks.data()) ||
                    !units::PackBlocks(rows, blocks.data(), rowPointers.data())) {
                    ZEB_LOG_FAILURE();
                    return false;
                }
            }
        }
    }
    return true;
}
