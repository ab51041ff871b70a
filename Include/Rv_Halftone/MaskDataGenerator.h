// The mask generator: renders a whole pass mask on one master and several worker threads.
#pragma once

#include <Rv_Halftone/MaskDataGenerate_Param.h>
#include <Rv_Halftone/MaskDataGenerator_Sub.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>
#include <ZebCommon/CustomThreadBase.h>

#include <atomic>
#include <memory>
#include <vector>

class CSineMask;

// Usage: construct, Create(param, N), Wait_Exit(limit), read the output, destroy. Create starts N
// workers and then the master thread "CMaskDataGenerator", which hands out one unit per colour,
// mask position and Y pass (in that nesting) through a pool of 2 x N units. When every unit is
// queued and every worker has ended, the master stops; that is what Wait_Exit waits for.
// Destroying the generator at any point stops and joins all its threads first.
class RV_HALFTONE_API CMaskDataGenerator : public CustomThreadBase
{
public:
    CMaskDataGenerator();
    ~CMaskDataGenerator() override;

    // Once per object. False, with a failure record, for a thread count below 1, a record whose
    // sizes do not fit its buffers, or when the sine mask, the queues or a thread cannot be
    // made; threads already started are stopped by the destructor.
    bool Create(const SMaskDataGenerate_Param& param, int threadCount);
    // True once the run has ended with every unit rendered. False, with a failure record, when
    // the time ran out (the run goes on and may be waited for again), or when the run ended
    // without completing: a worker or the master failed, or the run was stopped.
    bool Wait_Exit(unsigned int milliseconds) override;
    // Stops every worker and waits for each, then asks the master loop to end.
    void Stop() override;

protected:
    bool OneLoop() override;
    bool Prepare() override;
    void Finally() override;

private:
    // The states of the master's OneLoop, in the numbers its state record shows.
    enum EMasterState
    {
        MasterState_SetUp = 1,
        MasterState_HandOutUnits = 2,
        MasterState_WaitForWorkers = 3,
    };

    bool Init_Param();
    bool Init_SinMask();
    bool Create_AllSubThread();
    bool Initialize();
    bool AddSourceData();
    bool WaitCompleted();
    bool Release_AllSubThread();
    bool AnyWorkerFailed() const;

    int m_processState;
    SMaskDataGenerate_Param m_maskDataGenerateParam;  // the workers read it through a pointer
    int m_colorIndex;                                 // the next unit to hand out
    int m_positionIndex;
    int m_yResIndex;
    std::vector<std::unique_ptr<CMaskDataGenerator_Sub>> m_subThreads;  // null where none started
    int m_subThreadCount;
    std::unique_ptr<CZebPtrQueueBuffer<SMaskDataGenerate_SubParam>> m_queueBuffer;
    std::unique_ptr<CSineMask> m_sineMask;  // null unless the ripple is on
    std::atomic<bool> m_runCompleted;       // every unit rendered and every worker ended well
};
