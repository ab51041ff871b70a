// CMaskData_Base: cut tables of the two-part feather.
//
// Every step of S nozzle rows holds e feathered rows, whose paper lines lie under P + 1 nozzle
// rows, and S - e plain rows, whose lines lie under P. The plain rows share the scale among P
// passes like an unfeathered mask; the feathered rows share it among P + 1 passes with ranges
// that shift a little from row to row, so that the swath edge blends in. The table is
// P x S + e rows: e feathered rows, S - e plain rows, step after step, and e feathered rows last.
#include <Rv_Halftone/MaskData_Base.h>

#include "CutTable_Slices.h"
#include "Rv_Halftone_Internal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The interleaving reads e x (P + 1) feathered and (S - e) x P plain entries: the split members
// must describe exactly that, or the copy would run past a temporary table. A two-part profile
// whose feather exceeds its step (e > S) has no plain rows to give and is refused too.
bool Smooth2_SplitConsistent(int passCount, int step, int featherRows, int passRows,
                             int passNozzles, int featherNozzles)
{
    return passCount >= 1 && featherRows >= 0 && featherRows <= step &&
           passRows == step - featherRows &&
           static_cast<long long>(passRows) * passCount == passNozzles &&
           static_cast<long long>(featherRows) * (passCount + 1) == featherNozzles;
}

}  // namespace

// Writes P x S + e entries whatever `rows` says; the caller's table has m_maskHeight_NoneRes rows.
bool CMaskData_Base::CreateCutTable_Smooth_2(SCutTable* table, int /*rows*/)
{
    const int passCount = m_maskParam_Current.basePass;
    const int feather = m_featherRows;
    const int plain = m_stepHeight_NoneRes - m_featherRows;
    if (!Smooth2_SplitConsistent(passCount, m_stepHeight_NoneRes, m_featherRows, m_passRows,
                                 m_passNozzles, m_featherNozzles)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    std::vector<SCutTable> plainTable(static_cast<size_t>(m_passNozzles));
    const bool plainBuilt =
        m_maskParam_Current.colorTimes != 1
            ? CreateCutTable_Smooth_2_Pass_ColorMultipleTimes(plainTable.data(), m_passNozzles)
            : CreateCutTable_Smooth_2_Pass_ColorOneTimes(plainTable.data(), m_passNozzles);
    if (!plainBuilt) {
        ZEB_LOG_FAILURE();
        return false;
    }
    std::vector<SCutTable> featherTable(static_cast<size_t>(m_featherNozzles));
    if (!CreateCutTable_Smooth_2_Feather(featherTable.data(), m_featherNozzles)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    const SCutTable* featherNext = featherTable.data();
    const SCutTable* plainNext = plainTable.data();
    SCutTable* out = table;
    for (int step = 0; step < passCount; ++step) {
        out = std::copy(featherNext, featherNext + feather, out);
        featherNext += feather;
        out = std::copy(plainNext, plainNext + plain, out);
        plainNext += plain;
    }
    std::copy(featherNext, featherNext + feather, out);
    return true;
}

bool CMaskData_Base::CreateCutTable_Smooth_2_Pass(SCutTable* table, int rows)
{
    if (m_maskParam_Current.colorTimes != 1)
        return CreateCutTable_Smooth_2_Pass_ColorMultipleTimes(table, rows);
    return CreateCutTable_Smooth_2_Pass_ColorOneTimes(table, rows);
}

// The plain part, each pixel once: P slices of m_passRows rows.
bool CMaskData_Base::CreateCutTable_Smooth_2_Pass_ColorOneTimes(SCutTable* table, int rows)
{
    return CreateCutTable_FeatherNone_ColorOneTimes(table, rows, m_passRows,
                                                    m_maskParam_Current.basePass);
}

// The plain part, each pixel colorTimes times: the unfeathered groups with m_passRows rows.
bool CMaskData_Base::CreateCutTable_Smooth_2_Pass_ColorMultipleTimes(SCutTable* table, int /*rows*/)
{
    // colorTimes divides the passes into groups; 0 or less has no groups to form.
    if (m_maskParam_Current.colorTimes < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const rv_halftone::CutSliceList slices = rv_halftone::CutSlices_ColorGroups(
        m_maskParam_Current.basePass, m_maskParam_Current.colorTimes, m_passRows);
    rv_halftone::CutSlices_Expand(slices, table);
    return true;
}

// The feathered part, n = e x (P + 1) entries. Entry k covers [high of entry k + e, high of
// entry k), and the highs fall in equal steps from row e to row n - 1, so every e-th entry from
// j < e onwards gives P + 1 consecutive ranges covering the whole scale once.
bool CMaskData_Base::CreateCutTable_Smooth_2_Feather(SCutTable* table, int n)
{
    const int e = m_featherRows;
    if (e < 0) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // With e >= n every entry is the whole scale; never touch more than the n entries given.
    const int edge = std::min(e, n);
    for (int i = 0; i < edge; ++i) {
        table[i].high = static_cast<uint16_t>(rv_halftone::kLevelScale);
        table[n - 1 - i].low = 0;
    }
    if (e >= n)
        return true;
    // (n - i) x 65535 passes 32 bits on tables of more than 32,768 rows.
    const long long d = static_cast<long long>(n) - e + 1;
    for (int i = e; i < n; ++i) {
        const auto v =
            static_cast<uint16_t>((static_cast<long long>(n) - i) * rv_halftone::kLevelScale / d);
        table[i].high = v;
        table[i - e].low = v;
    }
    return true;
}
