// Slices, the unfeathered family, and the choice of a pass mask's builder.
#include "CutTables.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <cstdint>

namespace rv_halftone {
namespace cut_tables {

void AppendEqualSplit(CutSliceList& slices, int count, int rowsPerSlice)
{
    // j x 65535 passes 32 bits once there are more than 32,768 slices.
    for (int j = 0; j < count; ++j) {
        const long long low = static_cast<long long>(j) * kLevelScale / count;
        const long long high = static_cast<long long>(j + 1) * kLevelScale / count;
        slices.push_back({static_cast<int>(high), static_cast<int>(low), rowsPerSlice});
    }
}

CutSliceList ColorGroups(int passCount, int colorTimes, int rowsPerSlice)
{
    const int perGroup = passCount / colorTimes;
    const int lastGroup = passCount - (colorTimes - 1) * perGroup;  // at least perGroup
    CutSliceList slices;
    for (int g = 0; g + 1 < colorTimes; ++g)
        AppendEqualSplit(slices, perGroup, rowsPerSlice);
    AppendEqualSplit(slices, lastGroup, rowsPerSlice);
    return slices;
}

void Expand(const CutSliceList& slices, SCutTable* table)
{
    SCutTable* out = table;
    for (const SCutSlice& slice : slices) {
        const SCutTable entry = {static_cast<uint16_t>(slice.high),
                                 static_cast<uint16_t>(slice.low)};
        for (int k = 0; k < slice.rows; ++k)
            *out++ = entry;
    }
}

void Unfeathered_OneTime(SCutTable* table, int rowsPerPass, int passCount)
{
    CutSliceList slices;
    AppendEqualSplit(slices, passCount, rowsPerPass);
    Expand(slices, table);
}

bool Unfeathered_ColorTimesAccepts(int colorTimes)
{
    // colorTimes divides the passes into groups; 0 or less has no groups to form.
    if (colorTimes >= 1)
        return true;
    ZEB_LOG_FAILURE();
    return false;
}

bool Unfeathered_ColorTimes(SCutTable* table, int passCount, int colorTimes, int rowsPerPass)
{
    if (!Unfeathered_ColorTimesAccepts(colorTimes))
        return false;  // its failure record is this level's
    Expand(ColorGroups(passCount, colorTimes, rowsPerPass), table);
    return true;
}

bool Build_Accepts(const SPassMaskTable& shape)
{
    switch (shape.family) {
    case FeatherFamily_Unfeathered:
        return shape.colorTimes == 1 || Unfeathered_ColorTimesAccepts(shape.colorTimes);
    case FeatherFamily_TwoPart: return TwoPart_Accepts(shape.passCount, shape.step, shape.split);
    case FeatherFamily_ThreePart:
    case FeatherFamily_ThreePartRipple:
        if (shape.colorTimes == 1)
            return ThreePart_RampAccepts(shape.rows, shape.step, shape.levelPercent);
        return ThreePart_WidenedAccepts(shape.rows, shape.step, shape.levelPercent,
                                        shape.colorTimes);
    }
    ZEB_LOG_FAILURE();
    return false;
}

bool Build(const SPassMaskTable& shape, SCutTable* table)
{
    switch (shape.family) {
    case FeatherFamily_Unfeathered:
        if (shape.colorTimes == 1) {
            Unfeathered_OneTime(table, shape.step, shape.passCount);
            return true;
        }
        return Unfeathered_ColorTimes(table, shape.passCount, shape.colorTimes, shape.step);
    case FeatherFamily_TwoPart:
        return TwoPart(table, shape.passCount, shape.step, shape.colorTimes, shape.split);
    case FeatherFamily_ThreePart:
    case FeatherFamily_ThreePartRipple:
        if (shape.colorTimes == 1)
            return ThreePart_Ramp(table, shape.rows, shape.step, shape.levelPercent);
        return ThreePart_Widened(table, shape.rows, shape.step, shape.levelPercent,
                                 shape.colorTimes);
    }
    ZEB_LOG_FAILURE();
    return false;
}

}  // namespace cut_tables
}  // namespace rv_halftone
