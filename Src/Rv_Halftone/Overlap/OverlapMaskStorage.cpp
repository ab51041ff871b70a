#include <Rv_Halftone/OverlapMaskStorage.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

OverlapMaskStorage::OverlapMaskStorage()
    : m_pMutex(new boost::mutex), m_pList(new std::vector<OverlapMask*>)
{
}

OverlapMaskStorage::~OverlapMaskStorage()
{
    m_pMutex.reset();
    for (OverlapMask* mask : *m_pList)
        delete mask;
    m_pList.reset();
}

bool OverlapMaskStorage::OverlapMask_Create(const SOverlapMaskParam& param,
                                            const OverlapMask*& mask)
{
    // Held across the build too: two callers asking for the same new record must not both build
    // it, and the list must not grow under a reader.
    boost::lock_guard<boost::mutex> lock(*m_pMutex);
    for (const OverlapMask* kept : *m_pList) {
        if (kept->OverlapMaskParam() == param) {
            mask = kept;
            return true;
        }
    }
    std::unique_ptr<OverlapMask> created(new OverlapMask);
    if (!created->Create(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // The list takes ownership only once the append has succeeded.
    m_pList->push_back(created.get());
    mask = created.release();
    return true;
}
