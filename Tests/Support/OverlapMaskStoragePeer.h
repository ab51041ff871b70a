// The test suite's access to OverlapMaskStorage's cache (declared its friend).
#pragma once

#include <Rv_Halftone/OverlapMaskStorage.h>

class OverlapMaskStorage_Peer
{
public:
    static size_t Count(const OverlapMaskStorage& storage) { return storage.m_pList->size(); }
};
