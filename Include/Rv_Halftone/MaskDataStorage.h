// The pass masks of a print job: a cache of up to five masks with a current one.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <list>
#include <memory>

namespace boost {
class recursive_mutex;
}

// Keys are the 49 bytes of the record as passed (featherPercent 0.0 and -0.0 are different keys).
// Masks are kept least recently used first; when a new one would exceed the limit, the least
// recently used mask other than the current one is deleted. The current mask is therefore never
// deleted while it is current; other masks handed out stay valid until they are evicted or the
// storage is destroyed. The storage owns every mask; hosts must not delete them.
//
// Every public operation but the destructor holds one recursive mutex from start to end, including
// the build of a new mask, so host threads may call them at once. Masks are read-only and may be
// read without the lock.
class RV_HALFTONE_API CMaskDataStorage
{
public:
    CMaskDataStorage();
    ~CMaskDataStorage();  // takes no lock: no other call may run meanwhile
    CMaskDataStorage(const CMaskDataStorage&) = delete;
    CMaskDataStorage& operator=(const CMaskDataStorage&) = delete;

    // Makes the mask for `param` (kept or newly built) current and most recently used. False, with
    // a failure record, when it cannot be built: then there is no current mask.
    bool MaskData_Current_Init(const SMaskParam& param);
    CMaskData_Base* MaskData_Current_Get() const;
    // The mask for `param` (kept, or built and kept) when it advances the paper by the current
    // mask's step; null with a failure record otherwise, or when there is no current mask. A kept
    // mask keeps its place in the order.
    CMaskData_Base* MaskData_Apply(const SMaskParam& param);

private:
    friend class CMaskDataStorage_Peer;  // test-only access

    CMaskData_Base* MaskData_Find(const SMaskParam& param);
    bool Release_One_FromFront_If_OutOfRange();

    std::unique_ptr<boost::recursive_mutex> m_pMutex;
    int m_maxCount;
    std::unique_ptr<std::list<CMaskData_Base*>> m_pList;
    CMaskData_Base* m_pCurrent;
};
