#include "Units/UnitRenderer.h"

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "Blocks/BlockRows.h"
#include "Units/ThresholdAddress.h"

namespace rv_halftone {
namespace units {

std::vector<int> ColumnStarts(const SMaskDataGenerate_Param& p)
{
    std::vector<int> starts(static_cast<size_t>(p.xResPass));
    for (int k = 0; k < p.xResPass; ++k)
        starts[k] = ThresholdColumnStart(k, p.thresholdWidth, p.xResPass);
    return starts;
}

SUnit UnitOf(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit,
             const int* columnStarts, uint64_t* scratch)
{
    unsigned char* const position =
        p.maskBlock->MaskData() + static_cast<long long>(unit.colorIndex) * p.maskBytesOneColor +
        static_cast<long long>(unit.positionIndex) * p.maskBytesOnePosition;
    SUnit rows;
    rows.layer = p.thresholdData->MaskData(unit.colorIndex);
    rows.layerWidth = p.thresholdWidth;
    rows.layerHeight = p.thresholdHeight;
    rows.layerRowStart =
        ThresholdRowStart(unit.positionIndex, unit.yResIndex, p.stepHeight, p.yResPass);
    rows.columnStarts = columnStarts;
    rows.passCount = p.xResPass;
    rows.width = p.thresholdWidth;
    rows.cutTable = p.cutTable;
    rows.rows = p.maskHeight;
    rows.bitsPerPixel = p.bitsPerPixel;
    rows.out = position + static_cast<long long>(unit.yResIndex) * p.maskLineBytes;
    rows.outRowStride = static_cast<long long>(p.yResPass) * p.maskLineBytes;
    rows.scratch = scratch;
    return rows;
}

void CutAndPack(const kernels::KernelTable& kernels, const SUnit& unit)
{
    kernels.cutPackRows(unit);
}

bool CutBlocks(const SUnit& unit, CMaskBlock* blocks)
{
    SGenerateMaskParam_In cut{};
    cut.cutTable = unit.cutTable;
    cut.cutTableCount = unit.rows;
    cut.thresholdLayer = unit.layer;
    cut.thresholdRowStart = unit.layerRowStart;
    cut.thresholdHeight = unit.layerHeight;
    cut.thresholdWidth = unit.layerWidth;
    cut.bitsPerPixel = unit.bitsPerPixel;
    for (int k = 0; k < unit.passCount; ++k) {
        blocks[k].ClearMaskData();
        cut.thresholdColumnStart = unit.columnStarts[k];
        if (!Halftone_Helper::GenerateMaskData_XRes(cut, blocks[k])) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    return true;
}

bool PackBlocks(const SUnit& unit, const CMaskBlock* blocks, const unsigned char** rowPointers)
{
    if (!PackBlockRows(blocks, unit.passCount, unit.bitsPerPixel, unit.out, unit.outRowStride,
                       rowPointers)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

}  // namespace units
}  // namespace rv_halftone
