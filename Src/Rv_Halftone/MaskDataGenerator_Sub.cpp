// CMaskDataGenerator_Sub: the worker's state machine.
#include <Rv_Halftone/MaskDataGenerator_Sub.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskDataGenerator.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>
#include <Rv_Halftone/SineMask.h>
#include <ZebCommon/ZebQueue.h>

#include "Kernels/PixelKernels.h"
#include "Rv_Halftone_Internal.h"

#include <vector>

namespace {

// Longest wait on a busy partner; every wait is retried by the state machine.
constexpr unsigned int kPartnerWait = 100;

// Without a ripple nothing needs the byte-per-pixel blocks between cutting and packing, so a
// unit is cut and packed in one fused step at the merge (same bytes, written once).
bool CutsAndPacksFused(const SMaskDataGenerate_Param& p, const CSineMask* sineMask)
{
    return sineMask == nullptr && (p.bitsPerPixel == 1 || p.bitsPerPixel == 2);
}

// Y pass j of position p reads the tile from row p x S + (j x S) / Y.
int ThresholdRowStart(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit)
{
    return (unit.yResIndex * p.stepHeight) / p.yResPass + unit.positionIndex * p.stepHeight;
}

unsigned char* UnitOutput(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit)
{
    return p.maskBlock->MaskData() + static_cast<long long>(unit.colorIndex) * p.maskBytesOneColor +
           static_cast<long long>(unit.positionIndex) * p.maskBytesOnePosition;
}

// The unit's rows: block row y to output row yResIndex + y x yResPass, X pass k from column
// (width x k) / X, as the blocks and the merge would lay them.
void CutAndPackUnit(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit)
{
    std::vector<int> columns(static_cast<size_t>(p.xResPass));
    for (int k = 0; k < p.xResPass; ++k)
        columns[k] = (p.thresholdWidth * k) / p.xResPass;
    rv_halftone::kernels::CutPackJob job{};
    job.layer = p.thresholdData->MaskData(unit.colorIndex);
    job.layerWidth = p.thresholdWidth;
    job.layerHeight = p.thresholdHeight;
    job.layerRowStart = ThresholdRowStart(p, unit);
    job.columnStarts = columns.data();
    job.passCount = p.xResPass;
    job.width = p.thresholdWidth;
    job.cutTable = p.cutTable;
    job.rows = p.maskHeight;
    job.bitsPerPixel = p.bitsPerPixel;
    job.out = UnitOutput(p, unit) + static_cast<long long>(unit.yResIndex) * p.maskLineBytes;
    job.outRowStride = static_cast<long long>(p.yResPass) * p.maskLineBytes;
    rv_halftone::kernels::ActiveKernels().cutPackRows(job);
}

}  // namespace

CMaskDataGenerator_Sub::CMaskDataGenerator_Sub()
    : m_processState(0), m_param(nullptr), m_queueBuffer(nullptr), m_sineMask(nullptr),
      m_failed(false)
{
}

CMaskDataGenerator_Sub::~CMaskDataGenerator_Sub()
{
    // The thread reads the blocks and the unit: it must be gone before they are released.
    Stop_And_Join();
}

bool CMaskDataGenerator_Sub::Create(const SMaskDataGenerate_Param* param,
                                    CZebPtrQueueBuffer<SMaskDataGenerate_SubParam>* queueBuffer,
                                    const CSineMask* sineMask)
{
    // A running thread reads the stored pointers: they may only change while none runs.
    if (param == nullptr || queueBuffer == nullptr || !CustomThreadBase::Wait_Exit(0)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_param = param;
    m_queueBuffer = queueBuffer;
    m_sineMask = sineMask;
    m_failed = false;
    if (!Start("CMaskDataGenerator_Sub")) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool CMaskDataGenerator_Sub::Prepare()
{
    if (!CustomThreadBase::Prepare()) {
        ZEB_LOG_FAILURE();
        m_failed = true;
        return false;
    }
    m_processState = 1;
    return true;
}

void CMaskDataGenerator_Sub::Finally()
{
    CustomThreadBase::Finally();
}

bool CMaskDataGenerator_Sub::OneLoop()
{
    bool done = false;
    // An allocation failure is a failed step like any other: the host's process goes on.
    try {
        switch (m_processState) {
        case 1: done = Initialize(); break;
        case 2: done = Input_Get(); break;
        case 3: done = Judge_Complete_Flag(); break;
        case 4: done = GenerateMaskData(); break;
        case 5: done = MaskData_Ripple(); break;
        case 6: done = MergeMaskData(); break;
        case 7: done = Input_Release(); break;
        case 8: done = Last_Procedure(); break;
        default: break;
        }
    } catch (...) {
        done = false;
    }
    if (!done) {
        ZEB_LOG(SeverityLevel_Error, "m_processState = " << m_processState);
        m_failed = true;
        Stop();
        return false;
    }
    return true;
}

// Blocks are allocated once per run, not per unit, and only where the cut and the pack are two
// steps: the fused path never reads them.
bool CMaskDataGenerator_Sub::Initialize()
{
    if (CutsAndPacksFused(*m_param, m_sineMask)) {
        m_processState = 2;
        return true;
    }
    const int blockCount = m_param->xResPass;
    m_maskBlocks.reset(new CMaskBlock[static_cast<size_t>(blockCount)]);
    for (int k = 0; k < blockCount; ++k) {
        if (!m_maskBlocks[k].Create(m_param->thresholdWidth, m_param->maskHeight)) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    m_processState = 2;
    return true;
}

bool CMaskDataGenerator_Sub::Input_Get()
{
    SMaskDataGenerate_SubParam* unit = nullptr;
    if (m_queueBuffer->m_queue_Input->wait_pop(unit, kPartnerWait)) {
        m_subParam.reset(unit);
        m_processState = 4;
    } else {
        m_processState = 3;
    }
    return true;
}

// The end: the master has queued its last unit and nothing is left in the input queue.
bool CMaskDataGenerator_Sub::Judge_Complete_Flag()
{
    CZebPtrQueue<SMaskDataGenerate_SubParam>& input = *m_queueBuffer->m_queue_Input;
    const bool finished = input.InputFinished_Get();
    m_processState = finished && !input.m_event_NotEmpty.WaitOne(0) ? 8 : 2;
    return true;
}

bool CMaskDataGenerator_Sub::GenerateMaskData()
{
    const SMaskDataGenerate_Param& p = *m_param;
    const SMaskDataGenerate_SubParam& unit = *m_subParam;
    if (CutsAndPacksFused(p, m_sineMask)) {
        m_processState = 5;  // the merge step cuts and packs
        return true;
    }
    for (int k = 0; k < p.xResPass; ++k)
        m_maskBlocks[k].ClearMaskData();

    SGenerateMaskParam_In in{};
    in.cutTable = p.cutTable;
    in.cutTableCount = p.cutTableCount;
    in.thresholdLayer = p.thresholdData->MaskData(unit.colorIndex);
    in.thresholdRowStart = ThresholdRowStart(p, unit);
    in.thresholdHeight = p.thresholdHeight;
    in.thresholdWidth = p.thresholdWidth;
    in.bitsPerPixel = p.bitsPerPixel;
    for (int k = 0; k < p.xResPass; ++k) {
        // X pass k reads the tile from column (k x width) / X.
        in.thresholdColumnStart = (p.thresholdWidth * k) / p.xResPass;
        if (!Halftone_Helper::GenerateMaskData_XRes(in, m_maskBlocks[k])) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    m_processState = 5;
    return true;
}

bool CMaskDataGenerator_Sub::MaskData_Ripple()
{
    Run_MaskData_Ripple();
    m_processState = 6;
    return true;
}

// Splits the block's last h rows along the sine curve: the pixels the down mask covers stay, the
// others move to the same places in the last h rows of the first feather band. A block shorter
// than F + h rows has no two distinct bands (moving would overwrite the pixels it moves, and ink
// would be lost), so it is left as it is; so is a block of another width than the mask.
bool CMaskDataGenerator_Sub::Run_MaskData_Ripple()
{
    if (m_sineMask == nullptr)
        return true;
    const int width = m_sineMask->MaskWidth_Get();
    const int featherHeight = m_sineMask->FeatherHeight_Get();
    const int height = m_sineMask->MaskHeight_Get();
    const int size = m_sineMask->MaskSize_Get();
    const unsigned char* const up = m_sineMask->MaskBuffer_Up_Get();
    const unsigned char* const down = m_sineMask->MaskBuffer_Down_Get();
    if (size < 1 || size != width * height)
        return true;
    for (int k = 0; k < m_param->xResPass; ++k) {
        const CMaskBlock& block = m_maskBlocks[k];
        if (block.Width() != width || block.Height() < featherHeight + height)
            continue;
        unsigned char* const top = block.MaskData() + m_sineMask->SineMask_Offset_InFeather();
        unsigned char* const bottom = block.MaskData() +
                                      (block.MaskDataBytesCount() - width * featherHeight) +
                                      (featherHeight - height) * width;
        for (int i = 0; i < size; ++i)
            top[i] = static_cast<unsigned char>(top[i] | (up[i] & bottom[i]));
        for (int i = 0; i < size; ++i)
            bottom[i] = static_cast<unsigned char>(bottom[i] & down[i]);
    }
    return true;
}

bool CMaskDataGenerator_Sub::MergeMaskData()
{
    const SMaskDataGenerate_Param& p = *m_param;
    const SMaskDataGenerate_SubParam& unit = *m_subParam;
    if (CutsAndPacksFused(p, m_sineMask)) {
        CutAndPackUnit(p, unit);
        m_processState = 7;
        return true;
    }
    SMergeMaskParam merge{};
    merge.bitsPerPixel = p.bitsPerPixel;
    merge.maskBlocks = m_maskBlocks.get();
    merge.maskBlockCount = p.xResPass;
    merge.lineStart = unit.yResIndex;
    merge.lineStep = p.yResPass;
    merge.outBuffer = UnitOutput(p, unit);
    merge.maskLineBytes = p.maskLineBytes;
    if (!Halftone_Helper::MergeMaskData_YRes(merge)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_processState = 7;
    return true;
}

// Gives the unit back to the pool. On failure the unit stays here and the destructor deletes it.
bool CMaskDataGenerator_Sub::Input_Release()
{
    CZebPtrQueue<SMaskDataGenerate_SubParam>& pool = *m_queueBuffer->m_queue_Free;
    if (!pool.m_event_NotFull.WaitOne(kPartnerWait) || !pool.push(m_subParam.get())) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_subParam.release();  // now owned by the pool
    m_processState = 2;
    return true;
}

bool CMaskDataGenerator_Sub::Last_Procedure()
{
    Stop();
    return true;
}
