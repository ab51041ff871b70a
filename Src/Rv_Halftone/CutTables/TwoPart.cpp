// Cut tables of two-part smoothing.
//
// Every step of S nozzle rows holds e feathered rows, whose paper lines lie under P + 1 nozzle
// rows, and S - e plain rows, whose lines lie under P. The plain rows share the scale among P
// passes like an unfeathered mask; the feathered rows share it among P + 1 passes with ranges
// that shift a little from row to row, so that the swath edge blends in.
#include "CutTables.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace rv_halftone {
namespace cut_tables {
// The interleaving reads e x (P + 1) feathered and (S - e) x P plain entries: the split must
// describe exactly that, or the copy would run past a temporary table. A split whose feather
// exceeds its step (e > S) has no plain rows to give and is refused too.
bool TwoPart_Accepts(int passCount, int step, const STwoPartSplit& split)
{
    const bool consistent =
        passCount >= 1 && split.featherRows >= 0 && split.featherRows <= step &&
        split.passRows == step - split.featherRows &&
        static_cast<long long>(split.passRows) * passCount == split.passNozzles &&
        static_cast<long long>(split.featherRows) * (passCount + 1) == split.featherNozzles;
    if (!consistent)
        ZEB_LOG_FAILURE();
    return consistent;
}

bool TwoPart(SCutTable* table, int passCount, int step, int colorTimes, const STwoPartSplit& split)
{
    if (!TwoPart_Accepts(passCount, step, split))
        return false;  // its failure record is this level's
    std::vector<SCutTable> plainTable(static_cast<size_t>(split.passNozzles));
    if (!TwoPart_Plain(plainTable.data(), passCount, colorTimes, split.passRows)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    std::vector<SCutTable> featherTable(static_cast<size_t>(split.featherNozzles));
    if (!TwoPart_Feather(featherTable.data(), split.featherNozzles, split.featherRows)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    const int feather = split.featherRows;
    const int plain = split.passRows;
    const SCutTable* featherNext = featherTable.data();
    const SCutTable* plainNext = plainTable.data();
    SCutTable* out = table;
    for (int pass = 0; pass < passCount; ++pass) {
        out = std::copy(featherNext, featherNext + feather, out);
        featherNext += feather;
        out = std::copy(plainNext, plainNext + plain, out);
        plainNext += plain;
    }
    std::copy(featherNext, featherNext + feather, out);
    return true;
}

bool TwoPart_Plain(SCutTable* table, int passCount, int colorTimes, int passRows)
{
    if (colorTimes == 1) {
        Unfeathered_OneTime(table, passRows, passCount);
        return true;
    }
    return Unfeathered_ColorTimes(table, passCount, colorTimes, passRows);
}

// Entry k covers [high of entry k + e, high of entry k), and the highs fall in equal steps from
// row e to row n - 1.
bool TwoPart_Feather(SCutTable* table, int n, int featherRows)
{
    const int e = featherRows;
    if (e < 0) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // With e >= n every entry is the whole scale; never touch more than the n entries given.
    const int edge = std::min(e, n);
    for (int i = 0; i < edge; ++i) {
        table[i].high = static_cast<uint16_t>(kLevelScale);
        table[n - 1 - i].low = 0;
    }
    if (e >= n)
        return true;
    // (n - i) x 65535 passes 32 bits on tables of more than 32,768 rows.
    const long long d = static_cast<long long>(n) - e + 1;
    for (int i = e; i < n; ++i) {
        const auto v = static_cast<uint16_t>((static_cast<long long>(n) - i) * kLevelScale / d);
        table[i].high = v;
        table[i - e].low = v;
    }
    return true;
}

}  // namespace cut_tables
}  // namespace rv_halftone
