// The test suite's access to private steps and state of the exported classes: each class declares
// its <Class>_Peer a friend, and this is the only place that uses it.
#pragma once

#include <Rv_Halftone/MaskDataStorage.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/OverlapMaskStorage.h>

#include <vector>

// clang-format off
class CMaskData_Base_Peer
{
public:
    static int StepHeight_NoneRes(const CMaskData_Base& m) { return m.m_stepHeight_NoneRes; }
    static int MaskHeight_NoneRes(const CMaskData_Base& m) { return m.m_maskHeight_NoneRes; }
    static int LeadBlankHeight_NoneRes(const CMaskData_Base& m) { return m.m_leadBlankHeight_NoneRes; }
    static const CMaskBlock& MaskBlock(const CMaskData_Base& m) { return m.m_maskBlock; }
    static bool CreateCutTable(CMaskData_Base& m, SCutTable* t, int rows) { return m.CreateCutTable(t, rows); }
    // Renderers, on a mask whose geometry Create has fixed: the bytes must not depend on them.
    static bool CreateMaskData_Old(CMaskData_Base& m) { return m.CreateMaskData_Old(); }
    static bool CreateMaskData_Workers(CMaskData_Base& m, int workers) { return m.CreateMaskData_Workers(workers); }
};

class CMaskDataStorage_Peer
{
public:
    // The kept masks, least recently used first.
    static std::vector<CMaskData_Base*> List(const CMaskDataStorage& s) { return {s.m_pList->begin(), s.m_pList->end()}; }
};

class OverlapMaskStorage_Peer
{
public:
    static size_t Count(const OverlapMaskStorage& s) { return s.m_pList->size(); }
};
// clang-format on
