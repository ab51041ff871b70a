#include <Rv_Halftone/MaskDataStorage.h>

#include <Rv_Halftone/MaskDataFactory.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <boost/thread/lock_types.hpp>
#include <boost/thread/recursive_mutex.hpp>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using Lock = boost::unique_lock<boost::recursive_mutex>;

// Byte for byte: two records with the same field values but different bits (0.0 and -0.0) are
// different parameter sets to a host, and a NaN must find its own mask again.
bool SameKey(const SMaskParam& a, const SMaskParam& b)
{
    return std::memcmp(&a, &b, sizeof(SMaskParam)) == 0;
}

// Builds the mask for `param` and appends it to `list`, which then owns it; null when it cannot
// be built. The mask is held until the list owns it: an append that throws releases it.
CMaskData_Base* BuildAndAppend(std::list<CMaskData_Base*>& list, const SMaskParam& param)
{
    std::unique_ptr<CMaskData_Base> built(CMaskDataFactory::MaskData_Create(param));
    if (built == nullptr)
        return nullptr;
    list.push_back(built.get());
    return built.release();
}

}  // namespace

CMaskDataStorage::CMaskDataStorage()
    : m_pMutex(new boost::recursive_mutex), m_maxCount(5), m_pList(new std::list<CMaskData_Base*>),
      m_pCurrent(nullptr)
{
}

CMaskDataStorage::~CMaskDataStorage()
{
    m_pMutex.reset();
    for (CMaskData_Base* mask : *m_pList)
        delete mask;
    m_pList.reset();
}

bool CMaskDataStorage::MaskData_Current_Init(const SMaskParam& param)
{
    Lock lock(*m_pMutex);
    const auto found = std::find_if(m_pList->begin(), m_pList->end(), [&param](CMaskData_Base* m) {
        return SameKey(m->MaskParam_Input(), param);
    });
    if (found != m_pList->end()) {
        // Moved to the back without an allocation: it becomes the most recently used.
        m_pList->splice(m_pList->end(), *m_pList, found);
        m_pCurrent = m_pList->back();
        return true;
    }
    m_pCurrent = nullptr;
    m_pCurrent = BuildAndAppend(*m_pList, param);
    if (m_pCurrent == nullptr) {
        ZEB_LOG_FAILURE();
        return false;
    }
    Release_One_FromFront_If_OutOfRange();
    return true;
}

CMaskData_Base* CMaskDataStorage::MaskData_Current_Get() const
{
    Lock lock(*m_pMutex);
    return m_pCurrent;
}

CMaskData_Base* CMaskDataStorage::MaskData_Apply(const SMaskParam& param)
{
    Lock lock(*m_pMutex);
    // Without a current mask there is no step to compare with; nothing is built.
    if (m_pCurrent == nullptr) {
        ZEB_LOG_FAILURE();
        return nullptr;
    }
    CMaskData_Base* mask = MaskData_Find(param);
    if (mask == nullptr) {
        mask = BuildAndAppend(*m_pList, param);
        if (mask == nullptr) {
            ZEB_LOG_FAILURE();
            return nullptr;
        }
        Release_One_FromFront_If_OutOfRange();
    }
    // Masks of one job must advance the paper alike; a refused mask stays kept for later use.
    if (mask->StepHeight_IncludeRes() != m_pCurrent->StepHeight_IncludeRes()) {
        ZEB_LOG_FAILURE();
        return nullptr;
    }
    return mask;
}

CMaskData_Base* CMaskDataStorage::MaskData_Find(const SMaskParam& param)
{
    for (CMaskData_Base* mask : *m_pList) {
        if (SameKey(mask->MaskParam_Input(), param))
            return mask;
    }
    return nullptr;
}

// Deletes the least recently used mask other than the current one, so that m_pCurrent never names
// a deleted mask. Every insertion adds one entry, so one removal keeps the list within the limit.
bool CMaskDataStorage::Release_One_FromFront_If_OutOfRange()
{
    if (static_cast<int>(m_pList->size()) <= m_maxCount)
        return true;
    for (auto it = m_pList->begin(); it != m_pList->end(); ++it) {
        if (*it != m_pCurrent) {
            CMaskData_Base* const evicted = *it;
            m_pList->erase(it);
            delete evicted;
            break;
        }
    }
    return true;
}
