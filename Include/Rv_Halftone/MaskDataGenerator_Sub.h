// One worker thread of the mask generator: renders units of work into the shared output.
#pragma once

#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>
#include <ZebCommon/CustomThreadBase.h>

#include <atomic>
#include <memory>

class CSineMask;
struct SMaskDataGenerate_Param;
template <typename T>
class CZebPtrQueueBuffer;

// One unit of work: the rows of one Y pass of one mask position of one colour.
struct SMaskDataGenerate_SubParam
{
    int colorIndex;     // threshold layer and colour region of the output
    int positionIndex;  // mask position within the colour
    int yResIndex;      // Y pass: threshold row phase and output row phase
};

// Takes units from the input queue, cuts one byte-per-pixel block per X pass, applies the sine
// ripple, packs the blocks into every Y-th row of the unit's output region and gives the unit
// back to the pool; ends on its own once the input is finished and the input queue is empty.
// Units never share output rows, so workers write the output without a lock. A step that fails
// (an exception included) ends the thread with a "m_processState = " record, and the master then
// fails the run.
//
// States of OneLoop: 1 Initialize, 2 Input_Get, 3 Judge_Complete_Flag, 4 GenerateMaskData,
// 5 MaskData_Ripple, 6 MergeMaskData, 7 Input_Release, 8 Last_Procedure.
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
    std::unique_ptr<CMaskBlock[]> m_maskBlocks;  // one block per X pass, unless cut and packed fused
    const CSineMask* m_sineMask;
    std::atomic<bool> m_failed;  // a step failed: the run this worker belongs to has failed
};
