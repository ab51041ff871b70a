// CMaskDataGenerator_Sub: the worker's state machine.
#include <Rv_Halftone/MaskDataGenerator_Sub.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/SineMask.h>
#include <ZebCommon/ZebQueue.h>

#include "Common/Sizes.h"
#include "Generator/GeneratorRun.h"
#include "Generator/StateStep.h"
#include "Kernels/PixelKernels.h"
#include "Kernels/Ripple.h"
#include "Units/UnitRenderer.h"

#include <vector>

namespace units = rv_halftone::units;

namespace {

using rv_halftone::kPartnerWaitMs;

using rv_halftone::kernels::KernelTable;
using rv_halftone::kernels::RippleMask;

// The sine mask as the ripple reads it; none (no rows) without a mask, or for a buffer that is not
// the mask's width by its height.
RippleMask RippleMaskOf(const CSineMask* sineMask)
{
    if (sineMask == nullptr)
        return RippleMask{nullptr, nullptr, 0, 0, 0};
    const int width = sineMask->MaskWidth_Get();
    const int height = sineMask->MaskHeight_Get();
    const int size = sineMask->MaskSize_Get();
    if (size < 1 || size != static_cast<long long>(width) * height)
        return RippleMask{nullptr, nullptr, 0, 0, 0};
    return RippleMask{sineMask->MaskBuffer_Down_Get(), sineMask->MaskBuffer_Up_Get(), width, height,
                      sineMask->FeatherHeight_Get()};
}

}  // namespace

namespace rv_halftone {

// How a worker renders its units, decided once a run.
enum class EUnitPath
{
    Fused,   // cut and packed in one step, then rippled on the packed rows where the ripple runs
    Blocks,  // byte-per-pixel blocks, rippled and packed: ripple units with the plain kernels
};

// What a worker needs beyond the record, made when its thread starts, so that no unit allocates.
struct WorkerScratch
{
    const KernelTable* kernels = nullptr;  // one variant for the whole run
    EUnitPath path = EUnitPath::Fused;
    std::vector<uint64_t> cutPack;                // the fused kernel's scratch for one unit
    kernels::PackedRipple ripple;                 // empty where no ripple runs
    std::vector<const unsigned char*> blockRows;  // the block path's packing: a row per X pass
};

}  // namespace rv_halftone

namespace {

using rv_halftone::EUnitPath;
using rv_halftone::WorkerScratch;

// The plain kernels are the reference: with them a ripple unit takes the byte-per-pixel blocks
// the ripple is defined on. Every other unit is cut and packed in one step.
EUnitPath UnitPathOf(const KernelTable& kernels, const CSineMask* sineMask)
{
    return sineMask != nullptr && kernels.variant == rv_halftone::kernels::Variant::Plain
               ? EUnitPath::Blocks
               : EUnitPath::Fused;
}

bool SizeFusedScratch(const SMaskDataGenerate_Param& p, const CSineMask* sineMask,
                      WorkerScratch& scratch)
{
    const long long words =
        scratch.kernels->cutPackScratchWords(p.thresholdWidth, p.xResPass, p.thresholdWidth);
    if (!rv_halftone::FitsInt(words))
        return false;
    scratch.cutPack.resize(static_cast<size_t>(words));
    return scratch.ripple.Create(*scratch.kernels, RippleMaskOf(sineMask), p.thresholdWidth,
                                 p.maskHeight, p.xResPass, p.bitsPerPixel);
}

// The fused form, then the ripple on the packed rows where it runs.
void CutAndPackUnit(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit,
                    const int* columnStarts, WorkerScratch& scratch)
{
    const units::SUnit rows = units::UnitOf(p, unit, columnStarts, scratch.cutPack.data());
    units::CutAndPack(*scratch.kernels, rows);
    scratch.ripple.Apply(rows.out, rows.outRowStride);
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
// column starts, the kernels' scratch and the packed ripple, or the byte-per-pixel blocks where
// the cut and the pack are two steps.
bool CMaskDataGenerator_Sub::Initialize()
{
    const SMaskDataGenerate_Param& p = *m_param;
    const int blockCount = p.xResPass;
    m_columnStarts = units::ColumnStarts(p);
    m_scratch.reset(new WorkerScratch());
    WorkerScratch& scratch = *m_scratch;
    scratch.kernels = &rv_halftone::kernels::ActiveKernels();
    scratch.path = UnitPathOf(*scratch.kernels, m_sineMask);
    if (scratch.path == EUnitPath::Fused) {
        if (!SizeFusedScratch(p, m_sineMask, scratch)) {
            ZEB_LOG_FAILURE();
            return false;
        }
        m_processState = WorkerState_TakeUnit;
        return true;
    }
    scratch.blockRows.resize(static_cast<size_t>(blockCount));
    m_maskBlocks.reset(new CMaskBlock[static_cast<size_t>(blockCount)]);
    for (int k = 0; k < blockCount; ++k) {
        if (!m_maskBlocks[k].Create(p.thresholdWidth, p.maskHeight)) {
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
    if (m_scratch->path == EUnitPath::Fused) {
        CutAndPackUnit(p, unit, m_columnStarts.data(), *m_scratch);
        m_processState = WorkerState_ReturnUnit;
        return true;
    }
    const units::SUnit rows = units::UnitOf(p, unit, m_columnStarts.data(), nullptr);
    if (!units::CutBlocks(rows, m_maskBlocks.get())) {
        ZEB_LOG_FAILURE();
        return false;
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

// The ripple as the byte-per-pixel blocks define it (Kernels/Ripple.h); a block that is not the
// mask's width, or too short for two distinct bands, is left as it is.
bool CMaskDataGenerator_Sub::Run_MaskData_Ripple()
{
    const RippleMask mask = RippleMaskOf(m_sineMask);
    for (int k = 0; k < m_param->xResPass; ++k) {
        const CMaskBlock& block = m_maskBlocks[k];
        rv_halftone::kernels::RippleBands bands{};
        if (rv_halftone::kernels::RippleBandsOf(mask, block.Width(), block.Height(), bands))
            rv_halftone::kernels::RippleBytes(mask, bands, block.MaskData());
    }
    return true;
}

// The X passes' blocks side by side into every Y-th row from the unit's Y pass on.
bool CMaskDataGenerator_Sub::MergeMaskData()
{
    const units::SUnit rows = units::UnitOf(*m_param, *m_subParam, m_columnStarts.data(), nullptr);
    if (!units::PackBlocks(rows, m_maskBlocks.get(), m_scratch->blockRows.data())) {
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
