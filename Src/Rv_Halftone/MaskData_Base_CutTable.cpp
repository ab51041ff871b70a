// CMaskData_Base: the cut-table dispatcher and the tables of masks without feathering.
//
// A cut table gives every nozzle row of the mask one range of threshold levels. A paper line at
// offset r within its step of S rows lies under the rows r, r + S, r + 2S, ...; the line is
// printed right when the ranges of those rows cover the levels exactly as often as the colour is
// to be laid (once, or colorTimes times).
#include <Rv_Halftone/MaskData_Base.h>

#include "CutTable_Slices.h"
#include "Rv_Halftone_Internal.h"

#include <cstdint>

namespace rv_halftone {

void CutSlices_AppendEqualSplit(CutSliceList& slices, int count, int rowsPerSlice)
{
    // j x 65535 passes 32 bits once there are more than 32,768 slices.
    for (int j = 0; j < count; ++j) {
        const long long low = static_cast<long long>(j) * kLevelScale / count;
        const long long high = static_cast<long long>(j + 1) * kLevelScale / count;
        slices.push_back({static_cast<int>(high), static_cast<int>(low), rowsPerSlice});
    }
}

CutSliceList CutSlices_ColorGroups(int passCount, int colorTimes, int rowsPerSlice)
{
    const int perGroup = passCount / colorTimes;
    const int lastGroup = passCount - (colorTimes - 1) * perGroup;  // at least perGroup
    CutSliceList slices;
    for (int g = 0; g + 1 < colorTimes; ++g)
        CutSlices_AppendEqualSplit(slices, perGroup, rowsPerSlice);
    CutSlices_AppendEqualSplit(slices, lastGroup, rowsPerSlice);
    return slices;
}

void CutSlices_Expand(const CutSliceList& slices, SCutTable* table)
{
    SCutTable* out = table;
    for (const SCutSlice& slice : slices) {
        const SCutTable entry = {static_cast<uint16_t>(slice.high),
                                 static_cast<uint16_t>(slice.low)};
        for (int k = 0; k < slice.rows; ++k)
            *out++ = entry;
    }
}

}  // namespace rv_halftone

bool CMaskData_Base::CreateCutTable(SCutTable* table, int rows)
{
    const SMaskParam& p = m_maskParam_Current;
    switch (p.featherMode) {
    case 0:
        if (p.colorTimes == 1) {
            return CreateCutTable_FeatherNone_ColorOneTimes(table, m_maskHeight_NoneRes,
                                                            m_stepHeight_NoneRes, p.basePass);
        }
        return CreateCutTable_FeatherNone_ColorMultipleTimes(table, m_maskHeight_NoneRes);
    case 1:
        switch (p.featherNozzleType) {
        case 1:
            return CreateCutTable_Smooth_2(table, rows);
        case 2:
        case 3:
            if (p.colorTimes == 1) {
                return CreateCutTable_Smooth_3_ColorOneTimes_Style_1(
                    table, rows, m_stepHeight_NoneRes, p.smoothLevelPercent);
            }
            return CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(table, rows);
        case 4:
            // Type 4 has no table: false without a record here; the caller writes the failure.
            return false;
        default:
            ZEB_LOG(SeverityLevel_Error,
                    "m_maskParam_Current.featherNozzleType = " << p.featherNozzleType);
            return false;
        }
    default:
        ZEB_LOG(SeverityLevel_Error, "m_maskParam_Current.featherMode = " << p.featherMode);
        return false;
    }
}

// The dispatcher's unfeathered branch on its own; the table always has m_maskHeight_NoneRes rows.
bool CMaskData_Base::CreateCutTable_FeatherNone(SCutTable* table, int /*rows*/)
{
    const SMaskParam& p = m_maskParam_Current;
    if (p.colorTimes != 1)
        return CreateCutTable_FeatherNone_ColorMultipleTimes(table, m_maskHeight_NoneRes);
    return CreateCutTable_FeatherNone_ColorOneTimes(table, m_maskHeight_NoneRes,
                                                    m_stepHeight_NoneRes, p.basePass);
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
    rv_halftone::CutSliceList slices;
    rv_halftone::CutSlices_AppendEqualSplit(slices, passCount, rowsPerPass);
    rv_halftone::CutSlices_Expand(slices, table);
    return true;
}

// P x S entries: the passes form colorTimes groups, and each group prints every level once.
bool CMaskData_Base::CreateCutTable_FeatherNone_ColorMultipleTimes(SCutTable* table, int /*rows*/)
{
    const SMaskParam& p = m_maskParam_Current;
    if (p.colorTimes <= 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const rv_halftone::CutSliceList slices =
        rv_halftone::CutSlices_ColorGroups(p.basePass, p.colorTimes, m_stepHeight_NoneRes);
    rv_halftone::CutSlices_Expand(slices, table);
    return true;
}
