// Cut tables of three-part smoothing.
//
// The level window of each nozzle row slides down the scale by an equal step from one row to the
// next over the whole mask. Cut off at the top of the scale for the first rows and at 0 for the
// last, the windows make a nozzle's share of pixels rise over the first step of the head, stay
// level in the middle and fall over the last step, while every paper line still gets each level
// below the top exactly once.
#include "CutTables.h"

#include "Common/Refusal.h"
#include "Common/Sizes.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace rv_halftone {
namespace cut_tables {
namespace {

// Level halfway up the scale: ranges centred below it grow upwards from 0, the others grow
// downwards from the top, so that widening never pushes a range off the scale.
constexpr int kLevelMiddle = 32767;

// Widens one range to `width` levels about its centre, anchored at the end of the scale it
// would pass.
SCutTable Widen(SCutTable range, long long width)
{
    if (width >= kLevelScale)
        return {static_cast<uint16_t>(kLevelScale), 0};
    const long long centre = (static_cast<long long>(range.low) + range.high) / 2;
    const long long half = width / 2;
    long long low;
    long long high;
    if (centre < kLevelMiddle) {
        low = std::max(centre - half, 0LL);
        high = std::min(low + width, static_cast<long long>(kLevelScale));
    } else {
        high = std::min(centre + half, static_cast<long long>(kLevelScale));
        low = std::max(high - width, 0LL);
    }
    return {static_cast<uint16_t>(high), static_cast<uint16_t>(low)};
}

}  // namespace

// Entry k: high = L for k < s, else L x (n - k) / (m + 1); low = L x (m - k) / (m + 1) for
// k < m, else 0 (m = n - s). Each low is the high of the entry s rows further on, so the rows
// over one paper line cover [0, L) once.
bool ThreePart_RampAccepts(int n, int s, int levelPercent)
{
    // Every index of the ramp stays within [0, n) only for 0 <= s <= n.
    if (n < 0 || s < 0 || s > n) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (levelPercent < 1 || levelPercent > 100) {
        ZEB_LOG_FAILURE();
        return Refuse([&] {
            return Words("smoothLevelPercent ", levelPercent,
                         " must be from 1 to 100 (the share of the levels three-part feathering "
                         "lays)");
        });
    }
    return true;
}

bool ThreePart_Ramp(SCutTable* table, int n, int s, int levelPercent)
{
    if (table == nullptr) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (!ThreePart_RampAccepts(n, s, levelPercent))
        return false;  // its failure record is this level's
    const long long top = static_cast<long long>(levelPercent) * kLevelScale / 100;
    for (int i = 0; i < s; ++i) {
        table[i].high = static_cast<uint16_t>(top);
        table[n - 1 - i].low = 0;
    }
    // L x (t + 1) passes 32 bits once the ramp is longer than 32,768 rows.
    const int m = n - s;
    for (int t = 0; t < m; ++t) {
        const auto w = static_cast<uint16_t>(top * (t + 1) / (static_cast<long long>(m) + 1));
        table[n - 1 - t].high = w;
        table[m - 1 - t].low = w;
    }
    return true;
}

bool ThreePart_WidenedAccepts(int n, int s, int levelPercent, int colorTimes)
{
    // A factor below 1 would turn the ranges inside out; refused before the table is touched.
    if (colorTimes < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return ThreePart_RampAccepts(n, s, levelPercent);
}

bool ThreePart_Widened(SCutTable* table, int n, int s, int levelPercent, int colorTimes)
{
    if (colorTimes < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    if (!ThreePart_Ramp(table, n, s, levelPercent)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    for (int k = 0; k < n; ++k) {
        const long long width = (static_cast<long long>(table[k].high) - table[k].low) * colorTimes;
        table[k] = Widen(table[k], width);
    }
    return true;
}

bool ThreePart_GroupsThenRamp(SCutTable* table, int n, int s, int passCount, int colorTimes,
                              int levelPercent)
{
    // colorTimes divides the passes; the groups must fit in the n rows the caller gave.
    if (colorTimes < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int groupPasses = passCount / colorTimes;
    const long long groupRows = static_cast<long long>(s) * groupPasses;
    const long long rampRows = n - (colorTimes - 1) * groupRows;
    if (!FitsInt(groupRows) || !FitsInt(rampRows)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // Both parts are built before the output is touched, so a refusal leaves it as it was.
    std::vector<SCutTable> group(static_cast<size_t>(groupRows));
    Unfeathered_OneTime(group.data(), s, groupPasses);
    std::vector<SCutTable> ramp(static_cast<size_t>(rampRows));
    if (!ThreePart_Ramp(ramp.data(), static_cast<int>(rampRows), s, levelPercent)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    SCutTable* out = table;
    for (int g = 0; g + 1 < colorTimes; ++g)
        out = std::copy(group.begin(), group.end(), out);
    std::copy(ramp.begin(), ramp.end(), out);
    return true;
}

// q = n / s passes of s rows; when s does not divide n, the first r = n mod s rows of every step
// (and the r rows left at the end) are shared among q + 1 passes instead, so that every paper
// line is still covered exactly once.
bool ThreePart_EqualCover(SCutTable* table, int n, int s)
{
    if (table == nullptr || n < 0 || s < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int passes = n / s;
    const int rest = n % s;
    Unfeathered_OneTime(table, s, passes);
    if (rest == 0)
        return true;

    // (passes + 1) x rest never exceeds n, and is a multiple of rest: the inner call stops there.
    const int restRows = (passes + 1) * rest;
    std::vector<SCutTable> restTable(static_cast<size_t>(restRows));
    if (!ThreePart_EqualCover(restTable.data(), restRows, rest)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    for (int g = 0; g <= passes; ++g) {
        const SCutTable* from = restTable.data() + static_cast<size_t>(g) * rest;
        std::copy(from, from + rest, table + static_cast<size_t>(g) * s);
    }
    return true;
}

}  // namespace cut_tables
}  // namespace rv_halftone
