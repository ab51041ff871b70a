// The overlap masks of a host: each distinct parameter record is built once and kept.
#pragma once

#include <Rv_Halftone/OverlapMask.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <memory>
#include <vector>

namespace boost {
class mutex;
}

// Masks are kept in the order they were made and never evicted: a mask handed out stays valid and
// unchanged until the storage is destroyed. The storage owns every mask; hosts must not delete
// them. OverlapMask_Create holds one mutex from start to end, including the build of a new mask,
// so host threads may call it at once; masks are read-only and may be read without the lock.
class RV_HALFTONE_API OverlapMaskStorage
{
public:
    OverlapMaskStorage();
    ~OverlapMaskStorage();  // takes no lock: no other call may run meanwhile
    OverlapMaskStorage(const OverlapMaskStorage&) = delete;
    OverlapMaskStorage& operator=(const OverlapMaskStorage&) = delete;

    // Sets `mask` to the kept mask whose record equals `param`, or to a new one built and kept.
    // False, with a failure record, when the mask cannot be built: `mask` and the storage are then
    // unchanged, and a later call with the same record tries again.
    bool OverlapMask_Create(const SOverlapMaskParam& param, const OverlapMask*& mask);

private:
    friend class OverlapMaskStorage_Peer;  // test-only access

    std::unique_ptr<boost::mutex> m_pMutex;
    std::unique_ptr<std::vector<OverlapMask*>> m_pList;
};
