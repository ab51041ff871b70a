// CMaskDataGenerator_Sub: the worker's state machine.
#include <Rv_Halftone/MaskDataGenerator_Sub.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>
#include <Rv_Halftone/SineMask.h>
#include <ZebCommon/ZebQueue.h>

#include "../Kernels/PixelKernels.h"
#include "../Rv_Halftone_Internal.h"
#include "StateStep.h"
#include "ThresholdAddress.h"

namespace {

using rv_halftone::kPartnerWaitMs;

// The worker's states, in the numbers its state record shows.
enum EWorkerState
{
    WorkerState_SetUp = 1,
    WorkerState_TakeUnit = 2,
    WorkerState_CheckInputFinished = 3,
    WorkerState_Cut = 4,  // cuts into blocks; without the ripple, cuts and packs in one step
    WorkerState_Ripple = 5,
    WorkerState_Pack = 6,
    WorkerState_ReturnUnit = 7,
    WorkerState_Finish = 8,
};

// Without a ripple nothing needs the byte-per-pixel blocks between cutting and packing, so a
// unit is cut and packed in one fused step (same bytes, written once).
bool CutsAndPacksFused(const SMaskDataGenerate_Param& p, const CSineMask* sineMask)
{
    return sineMask == nullptr && (p.bitsPerPixel == 1 || p.bitsPerPixel == 2);
}

int UnitRowStart(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit)
{
    return rv_halftone::ThresholdRowStart(unit.positionIndex, unit.yResIndex, p.stepHeight,
                                          p.yResPass);
}

unsigned char* UnitOutput(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit)
{
    return p.maskBlock->MaskData() + static_cast<long long>(unit.colorIndex) * p.maskBytesOneColor +
           static_cast<long long>(unit.positionIndex) * p.maskBytesOnePosition;
}

// The unit's rows: block row y to output row yResIndex + y x yResPass, X pass k from its column
// start, as the blocks and the pack would lay them.
void CutAndPackUnit(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit,
                    const int* columnStarts)
{
    const rv_halftone::kernels::CutPackJob job = {
        p.thresholdData->MaskData(unit.colorIndex),
        p.thresholdWidth,
        p.thresholdHeight,
        UnitRowStart(p, unit),
        columnStarts,
        p.xResPass,
        p.thresholdWidth,
        p.cutTable,
        p.maskHeight,
        p.bitsPerPixel,
        UnitOutput(p, unit) + static_cast<long long>(unit.yResIndex) * p.maskLineBytes,
        static_cast<long long>(p.yResPass) * p.maskLineBytes};
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
    m_processState = WorkerState_SetUp;
    return true;
}

void CMaskDataGenerator_Sub::Finally() { CustomThreadBase::Finally(); }

bool CMaskDataGenerator_Sub::OneLoop()
{
    const auto step = [this] {
        switch (m_processState) {
        case WorkerState_SetUp: return Initialize();
        case WorkerState_TakeUnit: return Input_Get();
        case WorkerState_CheckInputFinished: return Judge_Complete_Flag();
        case WorkerState_Cut: return GenerateMaskData();
        case WorkerState_Ripple: return MaskData_Ripple();
        case WorkerState_Pack: return MergeMaskData();
        case WorkerState_ReturnUnit: return Input_Release();
        case WorkerState_Finish: return Last_Procedure();
        default: return false;
        }
    };
    if (rv_halftone::RunStateStep(*this, m_processState, step))
        return true;
    m_failed = true;  // the master fails the run
    return false;
}

// Everything a unit needs beyond the record is made once per run, not per unit: the X passes'
// column starts, and the byte-per-pixel blocks where the cut and the pack are two steps (the
// fused path never reads them).
bool CMaskDataGenerator_Sub::Initialize()
{
    const int blockCount = m_param->xResPass;
    m_columnStarts.resize(static_cast<size_t>(blockCount));
    for (int k = 0; k < blockCount; ++k)
        m_columnStarts[k] =
            rv_halftone::ThresholdColumnStart(k, m_param->thresholdWidth, blockCount);
    if (CutsAndPacksFused(*m_param, m_sineMask)) {
        m_processState = WorkerState_TakeUnit;
        return true;
    }
    m_maskBlocks.reset(new CMaskBlock[static_cast<size_t>(blockCount)]);
    for (int k = 0; k < blockCount; ++k) {
        if (!m_maskBlocks[k].Create(m_param->thresholdWidth, m_param->maskHeight)) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    m_processState = WorkerState_TakeUnit;
    return true;
}

bool CMaskDataGenerator_Sub::Input_Get()
{
    SMaskDataGenerate_SubParam* unit = nullptr;
    if (m_queueBuffer->m_queue_Input->wait_pop(unit, kPartnerWaitMs)) {
        m_subParam.reset(unit);
        m_processState = WorkerState_Cut;
    } else {
        m_processState = WorkerState_CheckInputFinished;
    }
    return true;
}

// The end: the master has queued its last unit and nothing is left in the input queue.
bool CMaskDataGenerator_Sub::Judge_Complete_Flag()
{
    CZebPtrQueue<SMaskDataGenerate_SubParam>& input = *m_queueBuffer->m_queue_Input;
    const bool finished = input.InputFinished_Get();
    m_processState =
        finished && !input.m_event_NotEmpty.WaitOne(0) ? WorkerState_Finish : WorkerState_TakeUnit;
    return true;
}

bool CMaskDataGenerator_Sub::GenerateMaskData()
{
    const SMaskDataGenerate_Param& p = *m_param;
    const SMaskDataGenerate_SubParam& unit = *m_subParam;
    if (CutsAndPacksFused(p, m_sineMask)) {
        CutAndPackUnit(p, unit, m_columnStarts.data());
        m_processState = WorkerState_ReturnUnit;
        return true;
    }
    for (int k = 0; k < p.xResPass; ++k)
        m_maskBlocks[k].ClearMaskData();

    SGenerateMaskParam_In in{};
    in.cutTable = p.cutTable;
    in.cutTableCount = p.cutTableCount;
    in.thresholdLayer = p.thresholdData->MaskData(unit.colorIndex);
    in.thresholdRowStart = UnitRowStart(p, unit);
    in.thresholdHeight = p.thresholdHeight;
    in.thresholdWidth = p.thresholdWidth;
    in.bitsPerPixel = p.bitsPerPixel;
    for (int k = 0; k < p.xResPass; ++k) {
        in.thresholdColumnStart = m_columnStarts[k];
        if (!Halftone_Helper::GenerateMaskData_XRes(in, m_maskBlocks[k])) {
            ZEB_LOG_FAILURE();
            return false;
        }
    }
    m_processState = WorkerState_Ripple;
    return true;
}

bool CMaskDataGenerator_Sub::MaskData_Ripple()
{
    Run_MaskData_Ripple();
    m_processState = WorkerState_Pack;
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
    // The X passes' blocks side by side into every Y-th row from the unit's Y pass on.
    const SMergeMaskParam merge = {p.bitsPerPixel, m_maskBlocks.get(), p.xResPass,
                                   unit.yResIndex, p.yResPass,         UnitOutput(p, unit),
                                   p.maskLineBytes};
    if (!Halftone_Helper::MergeMaskData_YRes(merge)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_processState = WorkerState_ReturnUnit;
    return true;
}

// Gives the unit back to the pool. On failure the unit stays here and the destructor deletes it.
bool CMaskDataGenerator_Sub::Input_Release()
{
    CZebPtrQueue<SMaskDataGenerate_SubParam>& pool = *m_queueBuffer->m_queue_Free;
    if (!pool.m_event_NotFull.WaitOne(kPartnerWaitMs) || !pool.push(m_subParam.get())) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_subParam.release();  // now owned by the pool
    m_processState = WorkerState_TakeUnit;
    return true;
}

bool CMaskDataGenerator_Sub::Last_Procedure()
{
    Stop();
    return true;
}
