// CMaskData_Base: the cut-table members of the class interface. The tables themselves are built
// by the cut-table module (CutTables/); each member hands it this mask's working profile.
#include <Rv_Halftone/MaskData_Base.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "CutTables/CutTables.h"

namespace tables = rv_halftone::cut_tables;

namespace {

// The table of a mask of this profile, record and step, `rows` entries long.
tables::SPassMaskTable TableShape(EFeatherFamily family, const SMaskParam& p, int step, int rows,
                                  const STwoPartSplit& split)
{
    tables::SPassMaskTable shape;
    shape.family = family;
    shape.passCount = p.basePass;
    shape.step = step;
    shape.rows = rows;
    shape.colorTimes = p.colorTimes;
    shape.levelPercent = p.smoothLevelPercent;
    shape.split = split;
    return shape;
}

}  // namespace

bool CMaskData_Base::CreateCutTable(SCutTable* table, int rows)
{
    return tables::Build(TableShape(m_featherFamily, m_maskParam_Current, m_stepHeight_NoneRes,
                                    rows, m_twoPartSplit),
                         table);
}

bool CMaskData_Base::CutTable_Accepted() const
{
    return tables::Build_Accepts(TableShape(m_featherFamily, m_maskParam_Current,
                                            m_stepHeight_NoneRes, m_maskHeight_NoneRes,
                                            m_twoPartSplit));
}

bool CMaskData_Base::CreateCutTable_FeatherNone(SCutTable* table, int /*rows*/)
{
    if (m_maskParam_Current.colorTimes != 1)
        return CreateCutTable_FeatherNone_ColorMultipleTimes(table, m_maskHeight_NoneRes);
    return CreateCutTable_FeatherNone_ColorOneTimes(table, m_maskHeight_NoneRes);
}

bool CMaskData_Base::CreateCutTable_FeatherNone_ColorOneTimes(SCutTable* table, int rows)
{
    return CreateCutTable_FeatherNone_ColorOneTimes(table, rows, m_stepHeight_NoneRes,
                                                    m_maskParam_Current.basePass);
}

// Writes passCount x rowsPerPass entries whatever `rows` says: the caller sizes the table.
bool CMaskData_Base::CreateCutTable_FeatherNone_ColorOneTimes(SCutTable* table, int /*rows*/,
                                                              int rowsPerPass, int passCount)
{
    tables::Unfeathered_OneTime(table, rowsPerPass, passCount);
    return true;
}

// Serves colours laid more than once only.
bool CMaskData_Base::CreateCutTable_FeatherNone_ColorMultipleTimes(SCutTable* table, int /*rows*/)
{
    if (m_maskParam_Current.colorTimes <= 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return tables::Unfeathered_ColorTimes(table, m_maskParam_Current.basePass,
                                          m_maskParam_Current.colorTimes, m_stepHeight_NoneRes);
}

bool CMaskData_Base::CreateCutTable_Smooth_2(SCutTable* table, int /*rows*/)
{
    return tables::TwoPart(table, m_maskParam_Current.basePass, m_stepHeight_NoneRes,
                           m_maskParam_Current.colorTimes, m_twoPartSplit);
}

bool CMaskData_Base::CreateCutTable_Smooth_2_Pass(SCutTable* table, int /*rows*/)
{
    return tables::TwoPart_Plain(table, m_maskParam_Current.basePass,
                                 m_maskParam_Current.colorTimes, m_twoPartSplit.passRows);
}

bool CMaskData_Base::CreateCutTable_Smooth_2_Pass_ColorOneTimes(SCutTable* table, int /*rows*/)
{
    tables::Unfeathered_OneTime(table, m_twoPartSplit.passRows, m_maskParam_Current.basePass);
    return true;
}

bool CMaskData_Base::CreateCutTable_Smooth_2_Pass_ColorMultipleTimes(SCutTable* table, int /*rows*/)
{
    return tables::Unfeathered_ColorTimes(table, m_maskParam_Current.basePass,
                                          m_maskParam_Current.colorTimes, m_twoPartSplit.passRows);
}

bool CMaskData_Base::CreateCutTable_Smooth_2_Feather(SCutTable* table, int rows)
{
    return tables::TwoPart_Feather(table, rows, m_twoPartSplit.featherRows);
}

bool CMaskData_Base::CreateCutTable_Smooth_3(SCutTable* table, int rows)
{
    if (m_maskParam_Current.colorTimes != 1)
        return CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(table, rows);
    return CreateCutTable_Smooth_3_ColorOneTimes(table, rows);
}

bool CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes(SCutTable* table, int rows)
{
    return tables::ThreePart_Ramp(table, rows, m_stepHeight_NoneRes,
                                  m_maskParam_Current.smoothLevelPercent);
}

bool CMaskData_Base::CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1(SCutTable* table, int rows)
{
    return tables::ThreePart_GroupsThenRamp(
        table, rows, m_stepHeight_NoneRes, m_maskParam_Current.basePass,
        m_maskParam_Current.colorTimes, m_maskParam_Current.smoothLevelPercent);
}

bool CMaskData_Base::CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(SCutTable* table, int rows)
{
    return tables::ThreePart_Widened(table, rows, m_stepHeight_NoneRes,
                                     m_maskParam_Current.smoothLevelPercent,
                                     m_maskParam_Current.colorTimes);
}

bool CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes_Style_1(SCutTable* table, int rows,
                                                                   int rowsPerStep,
                                                                   int levelPercent)
{
    return tables::ThreePart_Ramp(table, rows, rowsPerStep, levelPercent);
}

bool CMaskData_Base::CreateCutTable_Smooth_3_ColorOneTimes_Style_2(SCutTable* table, int rows,
                                                                   int rowsPerStep)
{
    return tables::ThreePart_EqualCover(table, rows, rowsPerStep);
}
