// The storage tests' view of the kept masks, and small records that build fast.
#pragma once

#include <Rv_Halftone/MaskDataStorage.h>

#include "MaskParams.h"

#include <cstring>
#include <vector>

class CMaskDataStorage_Peer
{
public:
    // Least recently used first.
    static std::vector<CMaskData_Base*> List(const CMaskDataStorage& storage)
    {
        return std::vector<CMaskData_Base*>(storage.m_pList->begin(), storage.m_pList->end());
    }
};

// One colour, one bit, 96 nozzles in one pass, one mask position. Different keys give different
// records of the same step (smoothLevelPercent is not read without feathering).
inline SMaskParam SmallMaskParam(int key = 0)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.basePass = 1;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.lessMaskPosition = 1;
    p.smoothLevelPercent = 100 - key;
    return p;
}

inline bool SameBytes(const SMaskParam& a, const SMaskParam& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
