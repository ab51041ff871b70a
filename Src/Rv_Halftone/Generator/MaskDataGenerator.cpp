// CMaskDataGenerator: the master's state machine, its workers and their pool of units.
#include <Rv_Halftone/MaskDataGenerator.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/SineMask.h>
#include <ZebCommon/ZebQueue.h>

#include "Common/Sizes.h"
#include "Generator/GeneratorRun.h"
#include "Generator/StateStep.h"

namespace {

using rv_halftone::kPartnerWaitMs;

bool HasUnits(const SMaskDataGenerate_Param& p)
{
    return p.colorCount >= 1 && p.positionCount >= 1;
}

// The workers read and write through the record without further checks, so a record whose sizes
// do not fit its buffers is refused here rather than rendered out of bounds.
bool Param_Fits(const SMaskDataGenerate_Param& p)
{
    if (p.maskBlock == nullptr || p.thresholdData == nullptr || p.cutTable == nullptr)
        return false;
    if (p.thresholdWidth < 1 || p.thresholdHeight < 1 || p.maskHeight < 0 || p.stepHeight < 1 ||
        p.xResPass < 1 || p.yResPass < 1 || p.bitsPerPixel < 1 || p.bitsPerPixel > 2 ||
        p.colorCount < 0 || p.positionCount < 0 || p.maskLineBytes < 0 ||
        p.maskBytesOnePosition < 0 || p.maskBytesOneColor < 0)
        return false;
    if (!HasUnits(p))
        return true;  // nothing will be read or written
    const long long rowBits =
        static_cast<long long>(p.thresholdWidth) * p.xResPass * p.bitsPerPixel;
    const long long positionBytes =
        static_cast<long long>(p.yResPass) * p.maskHeight * p.maskLineBytes;
    const long long colorBytes = static_cast<long long>(p.positionCount) * p.maskBytesOnePosition;
    const long long outputBytes = static_cast<long long>(p.colorCount) * p.maskBytesOneColor;
    return p.maskLineBytes >= (rowBits + 7) / 8 && p.maskBytesOnePosition >= positionBytes &&
           p.maskBytesOneColor >= colorBytes && outputBytes <= p.maskBlock->MaskDataBytesCount() &&
           p.cutTableCount >= p.maskHeight && p.thresholdData->Width() == p.thresholdWidth &&
           p.thresholdData->Height() >= p.thresholdHeight &&
           p.thresholdData->Count() >= p.colorCount && rv_halftone::GenerateSizes_Fit(p);
}

}  // namespace

CMaskDataGenerator::CMaskDataGenerator()
    : m_processState(0), m_maskDataGenerateParam(), m_colorIndex(0), m_positionIndex(0),
      m_yResIndex(0), m_subThreadCount(1), m_runCompleted(false)
{
}

// Every thread reads the queues, the sine mask and the parameter copy, so all of them are stopped
// and joined before any of that is released: after a Wait_Exit that timed out, or a Create that
// failed half way, they may still be running.
CMaskDataGenerator::~CMaskDataGenerator()
{
    CustomThreadBase::Stop();  // the master hands out no further unit
    Stop();                    // stops and waits for every worker
    // No unit comes back to the pool now: a master waiting for one gives up at once.
    if (m_queueBuffer != nullptr)
        m_queueBuffer->m_queue_Free->InputFinished_Set();
    Stop_And_Join();  // the master thread
    m_queueBuffer.reset();
    Release_AllSubThread();
    m_sineMask.reset();
}

bool CMaskDataGenerator::Create(const SMaskDataGenerate_Param& param, int threadCount)
{
    // A second Create would replace the queues under running workers.
    if (m_queueBuffer != nullptr || !m_subThreads.empty() || threadCount < 1 ||
        !rv_halftone::FitsInt(2LL * threadCount) || !Param_Fits(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_maskDataGenerateParam = param;
    m_subThreadCount = threadCount;
    if (!Init_Param()) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (!Start("CMaskDataGenerator")) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool CMaskDataGenerator::Wait_Exit(unsigned int milliseconds)
{
    if (!CustomThreadBase::Wait_Exit(milliseconds)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // The master has ended; only a run that rendered every unit counts as done.
    if (!m_runCompleted) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

void CMaskDataGenerator::Stop()
{
    for (const auto& worker : m_subThreads)
        if (worker != nullptr)
            worker->Stop();
    for (const auto& worker : m_subThreads)
        if (worker != nullptr)
            worker->Wait_Exit(kWaitInfinite);
    CustomThreadBase::Stop();
}

bool CMaskDataGenerator::Prepare()
{
    ZEB_LOG(SeverityLevel_Info, "Start");
    if (!CustomThreadBase::Prepare()) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_processState = MasterState_SetUp;
    return true;
}

void CMaskDataGenerator::Finally()
{
    CustomThreadBase::Finally();
    ZEB_LOG(SeverityLevel_Info, "End");
}

bool CMaskDataGenerator::OneLoop()
{
    const auto step = [this] {
        switch (m_processState) {
        case MasterState_SetUp: return Initialize();
        case MasterState_HandOutUnits: return AddSourceData();
        case MasterState_WaitForWorkers: return WaitCompleted();
        default: return false;
        }
    };
    return rv_halftone::RunStateStep(*this, m_processState, step);
}

// The sine mask exists before any worker starts, since the workers read it.
bool CMaskDataGenerator::Init_Param()
{
    if (Init_SinMask() && Create_AllSubThread())
        return true;
    ZEB_LOG_FAILURE();
    return false;
}

bool CMaskDataGenerator::Init_SinMask()
{
    const SMaskDataGenerate_Param& p = m_maskDataGenerateParam;
    if (!rv_halftone::RecordRipples(p))
        return true;
    // The feather band is what is left of the mask height after whole steps, or a whole step.
    const int remainder = p.maskHeight % p.stepHeight;
    const int featherHeight = remainder != 0 ? remainder : p.stepHeight;
    m_sineMask.reset(new CSineMask());
    if (!m_sineMask->Create(featherHeight, p.thresholdWidth, p.bitsPerPixel, SinMaskType_Ripple)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool CMaskDataGenerator::Create_AllSubThread()
{
    // Twice as many units as workers: one being rendered and one waiting, per worker.
    const int unitCount = 2 * m_subThreadCount;
    m_queueBuffer.reset(new CZebPtrQueueBuffer<SMaskDataGenerate_SubParam>());
    std::vector<SMaskDataGenerate_SubParam*> units;
    units.reserve(static_cast<size_t>(unitCount));
    for (int i = 0; i < unitCount; ++i)
        units.push_back(new SMaskDataGenerate_SubParam());
    if (!m_queueBuffer->Create(units, "CMaskDataGenerator", 0)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    m_subThreads.resize(static_cast<size_t>(m_subThreadCount));
    for (auto& slot : m_subThreads) {
        std::unique_ptr<CMaskDataGenerator_Sub> worker(new CMaskDataGenerator_Sub());
        if (!worker->Create(&m_maskDataGenerateParam, m_queueBuffer.get(), m_sineMask.get())) {
            ZEB_LOG_FAILURE();
            return false;
        }
        slot = std::move(worker);
    }
    return true;
}

bool CMaskDataGenerator::Initialize()
{
    m_colorIndex = 0;
    m_positionIndex = 0;
    m_yResIndex = 0;
    if (!HasUnits(m_maskDataGenerateParam)) {
        // No colour or no position: nothing to hand out, the workers may end at once.
        m_queueBuffer->m_queue_Input->InputFinished_Set();
        m_processState = MasterState_WaitForWorkers;
        return true;
    }
    m_processState = MasterState_HandOutUnits;
    return true;
}

// Hands out at most one unit: colour by colour, position by position, Y pass by Y pass.
bool CMaskDataGenerator::AddSourceData()
{
    const SMaskDataGenerate_Param& p = m_maskDataGenerateParam;
    CZebPtrQueue<SMaskDataGenerate_SubParam>& input = *m_queueBuffer->m_queue_Input;
    // A failed worker may hold a unit that never comes back: stop handing out at once.
    if (AnyWorkerFailed())
        return false;
    SMaskDataGenerate_SubParam* unit = nullptr;
    if (!m_queueBuffer->m_queue_Free->wait_pop(unit, kPartnerWaitMs))
        return true;  // every unit is out; try again on the next loop
    unit->colorIndex = m_colorIndex;
    unit->positionIndex = m_positionIndex;
    unit->yResIndex = m_yResIndex;
    ++m_yResIndex;
    if (!input.m_event_NotFull.WaitOne(kPartnerWaitMs) || !input.push(unit)) {
        delete unit;  // held by nobody else: the pool shrinks, but nothing leaks
        ZEB_LOG_FAILURE();
        return false;
    }

    if (m_yResIndex >= p.yResPass) {
        ++m_positionIndex;
        m_yResIndex = 0;
    }
    if (m_positionIndex >= p.positionCount) {
        ++m_colorIndex;
        m_positionIndex = 0;
    }
    if (m_colorIndex < p.colorCount)
        return true;
    input.InputFinished_Set();
    m_processState = MasterState_WaitForWorkers;
    return true;
}

// Waits on each worker's exit, so the end is noticed as soon as the last worker ends.
bool CMaskDataGenerator::WaitCompleted()
{
    if (AnyWorkerFailed())
        return false;
    for (const auto& worker : m_subThreads)
        if (worker != nullptr && !worker->Wait_Exit(kPartnerWaitMs))
            return true;  // still rendering; check again on the next loop
    // Every worker has ended; one may have failed after the check above.
    if (AnyWorkerFailed())
        return false;
    m_runCompleted = true;
    Stop();
    return true;
}

bool CMaskDataGenerator::AnyWorkerFailed() const
{
    for (const auto& worker : m_subThreads)
        if (worker != nullptr && worker->m_failed)
            return true;
    return false;
}

bool CMaskDataGenerator::Release_AllSubThread()
{
    m_subThreads.clear();  // each worker stops and joins its thread first
    m_subThreadCount = 0;
    return true;
}
