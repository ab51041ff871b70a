// The test suite's access to CMaskData_Base's private steps and members (declared its friend).
#pragma once

#include <Rv_Halftone/MaskData_Base.h>

class CMaskData_Base_Peer
{
public:
    // Working record and geometry members, to set up a cut-table builder without a full Create.
    static SMaskParam& Current(CMaskData_Base& m) { return m.m_maskParam_Current; }
    static int& StepHeight_NoneRes(CMaskData_Base& m) { return m.m_stepHeight_NoneRes; }
    static int& MaskHeight_NoneRes(CMaskData_Base& m) { return m.m_maskHeight_NoneRes; }
    static int& LeadBlankHeight_NoneRes(CMaskData_Base& m) { return m.m_leadBlankHeight_NoneRes; }
    static EFeatherFamily& Family(CMaskData_Base& m) { return m.m_featherFamily; }
    static STwoPartSplit& Split(CMaskData_Base& m) { return m.m_twoPartSplit; }
    static const CMaskBlock& MaskBlock(const CMaskData_Base& m) { return m.m_maskBlock; }

    // Cut-table builders.
    static bool CreateCutTable(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable(t, rows);
    }
    static bool CreateCutTable_FeatherNone(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_FeatherNone(t, rows);
    }
    static bool CreateCutTable_FeatherNone_ColorOneTimes(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_FeatherNone_ColorOneTimes(t, rows);
    }
    static bool CreateCutTable_FeatherNone_ColorMultipleTimes(CMaskData_Base& m, SCutTable* t,
                                                              int rows)
    {
        return m.CreateCutTable_FeatherNone_ColorMultipleTimes(t, rows);
    }
    static bool CreateCutTable_Smooth_2(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_Smooth_2(t, rows);
    }
    static bool CreateCutTable_Smooth_2_Pass(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_Smooth_2_Pass(t, rows);
    }
    static bool CreateCutTable_Smooth_2_Feather(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_Smooth_2_Feather(t, rows);
    }
    static bool CreateCutTable_Smooth_3(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_Smooth_3(t, rows);
    }
    static bool CreateCutTable_Smooth_3_ColorOneTimes(CMaskData_Base& m, SCutTable* t, int rows)
    {
        return m.CreateCutTable_Smooth_3_ColorOneTimes(t, rows);
    }
    static bool CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1(CMaskData_Base& m, SCutTable* t,
                                                                   int rows)
    {
        return m.CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1(t, rows);
    }
    static bool CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(CMaskData_Base& m, SCutTable* t,
                                                                   int rows)
    {
        return m.CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(t, rows);
    }

    // Renderers: run on an object whose geometry Create has fixed.
    static bool CreateMaskData(CMaskData_Base& m) { return m.CreateMaskData(); }
    static bool CreateMaskData_Old(CMaskData_Base& m) { return m.CreateMaskData_Old(); }
    static bool CreateMaskData_Workers(CMaskData_Base& m, int workers)
    {
        return m.CreateMaskData_Workers(workers);
    }
};
