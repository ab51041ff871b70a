// One worker thread of the mask generator: renders units of work into the shared output.
#pragma once

#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/MaskDataGenerate_Param.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>
#include <ZebCommon/CustomThreadBase.h>

#include <atomic>
#include <memory>
#include <vector>

class CSineMask;
template <typename T> class CZebPtrQueueBuffer;
namespace rv_halftone {
struct WorkerScratch;  // internal to the library
}

// Takes units from the input queue and renders each into every Y-th row of the unit's output
// region, then gives the unit back to the pool; ends on its own once the input is finished and the
// input queue is empty. A unit is cut and packed in one fused step, and rippled on its packed
// rows where the sine ripple runs; with the plain kernels (RV_HALFTONE_KERNEL=plain) a ripple unit
// is cut into one byte-per-pixel block per X pass, rippled, then packed. Units never share output
// rows, so workers write the output without a lock. Everything a unit needs is made when the
// thread starts: no unit allocates. A step that fails (an exception included) ends the thread
// with a "m_processState = " record (the state's number, EWorkerState below), and the master
// then fails the run.
class RV_HALFTONE_API CMaskDataGenerator_Sub : public CustomThreadBase
{
public:
    CMaskDataGenerator_Sub();
    // Stops and joins the thread before anything it uses is released.
    ~CMaskDataGenerator_Sub() override;

    // Stores the master's parameters, queues and sine mask (may be null), none of them owned,
    // and starts the thread "CMaskDataGenerator_Sub". All three must outlive the thread.
    bool Create(const SMaskDataGenerate_Param* param,
                CZebPtrQueueBuffer<SMaskDataGenerate_SubParam>* queueBuffer,
                const CSineMask* sineMask);

protected:
    bool OneLoop() override;
    bool Prepare() override;
    void Finally() override;

private:
    friend class CMaskDataGenerator;  // reads m_failed once the thread has ended

    // The states of OneLoop, in the numbers the state record shows.
    enum EWorkerState
    {
        WorkerState_SetUp = 1,
        WorkerState_TakeUnit = 2,
        WorkerState_CheckInputFinished = 3,
        WorkerState_Cut = 4,  // into blocks; the fused path cuts, packs and ripples here, then 7
        WorkerState_Ripple = 5,
        WorkerState_Pack = 6,
        WorkerState_ReturnUnit = 7,
        WorkerState_Finish = 8,
    };

    bool Initialize();
    bool Input_Get();
    bool Judge_Complete_Flag();
    bool GenerateMaskData();
    bool MaskData_Ripple();
    bool Run_MaskData_Ripple();
    bool MergeMaskData();
    bool Input_Release();
    bool Last_Procedure();

    int m_processState;
    const SMaskDataGenerate_Param* m_param;
    std::unique_ptr<SMaskDataGenerate_SubParam> m_subParam;  // the unit being rendered, or null
    CZebPtrQueueBuffer<SMaskDataGenerate_SubParam>* m_queueBuffer;
    std::vector<int> m_columnStarts;  // first layer column of each X pass
    // One block per X pass, for ripple units with the plain kernels only.
    std::unique_ptr<CMaskBlock[]> m_maskBlocks;
    const CSineMask* m_sineMask;
    std::unique_ptr<rv_halftone::WorkerScratch> m_scratch;  // made when the thread starts
    std::atomic<bool> m_failed;  // a step failed: the run this worker belongs to has failed
};
