// The step arithmetic of the feather families and the refusals of the profile step in words, with
// the nearest values that work.
#include "PassMask/ProfileRules.h"

#include <Rv_Halftone/MaskData_Base.h>

#include "Common/Refusal.h"

#include <boost/math/special_functions/round.hpp>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace rv_halftone {

long long UnfeatheredStep(const SMaskParam& p)
{
    const long long q = static_cast<long long>(p.xResPass) * p.yResPass;
    return ((p.nozzleCount / p.basePass) / q) * q;
}

float FeatheredRows(int nozzleCount, float featherPercent)
{
    // Single precision in this order: the step of existing print modes depends on it.
    const float share = featherPercent / 100.0f;
    return (static_cast<float>(nozzleCount) * kFeatheredShareAtFull) * share;
}

STwoPartRows TwoPartRows(const SMaskParam& p)
{
    const float featherNozzles = FeatheredRows(p.nozzleCount, p.featherPercent);
    const long long t = static_cast<long long>(featherNozzles);
    const long long q = static_cast<long long>(p.xResPass) * p.yResPass;
    const long long step =
        (((p.nozzleCount - t / (static_cast<long long>(p.basePass) + 1)) / p.basePass) / q) * q;
    return {step, p.nozzleCount - step * p.basePass};
}

long long ThreePartStep(const SMaskParam& p)
{
    // Rounded half away from zero here, truncated in the two-part profile.
    const float featherNozzles = FeatheredRows(p.nozzleCount, p.featherPercent);
    const int r = static_cast<int>(boost::math::round(featherNozzles));
    const int q = (p.nozzleCount - r) / p.basePass;
    // Whole groups of four rows, as the three-part modes of existing heads step.
    const int q4 = q - (q % 4);
    const long long resolution = static_cast<long long>(p.xResPass) * p.yResPass;
    return (q4 / resolution) * resolution;
}

namespace {

constexpr int kHundredths = 10000;  // 100 % in hundredths of a percent
// How far past the record's nozzle count a working count is looked for.
constexpr long long kNozzleSearch = 1 << 20;

// A two-part feather works where it has a feathered row and no more of them than its step holds.
// As the percent grows, the step shrinks and the feathered rows grow: the first rule holds from
// some percent on, the second up to some percent.
bool TwoPartHasFeatherRow(const SMaskParam& p) { return TwoPartRows(p).feather >= 1; }

bool TwoPartFitsStep(const SMaskParam& p)
{
    const STwoPartRows rows = TwoPartRows(p);
    return rows.step >= 1 && rows.feather <= rows.step;
}

bool TwoPartWorks(const SMaskParam& p) { return TwoPartHasFeatherRow(p) && TwoPartFitsStep(p); }

bool ThreePartWorks(const SMaskParam& p) { return ThreePartStep(p) >= 1; }

SMaskParam WithPercent(SMaskParam p, int hundredths)
{
    p.featherPercent = static_cast<float>(hundredths) / 100.0f;
    return p;
}

// The least hundredth of a percent for which `works` holds, where it fails below some point and
// holds from there to 100 %; -1 when it never holds.
int LeastPercent(const SMaskParam& p, bool (*works)(const SMaskParam&))
{
    if (!works(WithPercent(p, kHundredths)))
        return -1;
    int fails = -1, holds = kHundredths;
    while (holds - fails > 1) {
        const int middle = (fails + holds) / 2;
        (works(WithPercent(p, middle)) ? holds : fails) = middle;
    }
    return holds;
}

// The greatest hundredth for which `works` holds, where it holds from 0 up to some point and
// fails beyond; -1 when it never holds.
int GreatestPercent(const SMaskParam& p, bool (*works)(const SMaskParam&))
{
    if (!works(WithPercent(p, 0)))
        return -1;
    int holds = 0, fails = kHundredths + 1;
    while (fails - holds > 1) {
        const int middle = (fails + holds) / 2;
        (works(WithPercent(p, middle)) ? holds : fails) = middle;
    }
    return holds;
}

// The least nozzle count above the record's for which `works` holds, within a bounded search;
// 0 when none is found.
long long NextNozzleCount(SMaskParam p, bool (*works)(const SMaskParam&))
{
    const long long last = std::min<long long>(INT_MAX, p.nozzleCount + kNozzleSearch);
    for (long long n = static_cast<long long>(p.nozzleCount) + 1; n <= last; ++n) {
        p.nozzleCount = static_cast<int32_t>(n);
        if (works(p))
            return n;
    }
    return 0;
}

std::string PercentText(int hundredths)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
    std::string result = text;
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return result;
}

// "basePass 4 x xResPass 1 x yResPass 1", saying so when the split divided the resolution passes.
std::string PassesText(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    const bool split = mask.SplitCount_XRes() > 1 || mask.SplitCount_YRes() > 1;
    return Words("basePass ", p.basePass, " x xResPass ", p.xResPass, " x yResPass ", p.yResPass,
                 split ? Words(" (after resSplitMode ", p.resSplitMode, ")") : std::string());
}

// "from A to B" where both rules of the two-part feather hold, or empty when no percent works.
std::string TwoPartPercents(const SMaskParam& p)
{
    const int least = LeastPercent(p, TwoPartHasFeatherRow);
    const int most = GreatestPercent(p, TwoPartFitsStep);
    if (least < 0 || most < least)
        return "";
    return Words("from ", PercentText(least), " to ", PercentText(most));
}

// "; raise nozzleCount to N (it works at featherPercent P)" or nothing when no count is in reach.
std::string NozzleHint(const SMaskParam& p, bool (*works)(const SMaskParam&), const char* lead)
{
    const long long n = NextNozzleCount(p, works);
    if (n == 0)
        return "";
    return Words(lead, "nozzleCount ", n, " works at featherPercent ", p.featherPercent);
}

}  // namespace

std::string Reason_UnfeatheredStep(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    const long long rows = static_cast<long long>(p.basePass) * p.xResPass * p.yResPass;
    return Words("nozzleCount ", p.nozzleCount,
                 " is too few for one step of whole rows: ", PassesText(mask), " need at least ",
                 rows, " nozzle rows; raise nozzleCount to at least ", rows,
                 " or lower the passes");
}

std::string Reason_TwoPartStep(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    return Words("two-part feather (featherNozzleType 1): nozzleCount ", p.nozzleCount,
                 " at featherPercent ", p.featherPercent, " leaves no step of whole rows for ",
                 PassesText(mask), NozzleHint(p, TwoPartWorks, "; "));
}

std::string Reason_TwoPartFeatherAboveStep(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    const STwoPartRows rows = TwoPartRows(p);
    std::string reason =
        Words("two-part feather (featherNozzleType 1): featherPercent ", p.featherPercent,
              " gives ", rows.feather, " feathered rows per step, more than the step of ",
              rows.step, " rows (nozzleCount ", p.nozzleCount, ", ", PassesText(mask), ")");
    const std::string percents = TwoPartPercents(p);
    if (!percents.empty())
        return reason + Words("; lower featherPercent (", percents, " works)",
                              NozzleHint(p, TwoPartWorks, ", or "));
    return reason + "; no featherPercent works for this head and these passes" +
           NozzleHint(p, TwoPartWorks, "; ");
}

std::string Reason_TwoPartNoFeatherRow(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    const STwoPartRows rows = TwoPartRows(p);
    std::string reason =
        Words("two-part feather (featherNozzleType 1): featherPercent ", p.featherPercent,
              " leaves no feathered row: the ", p.nozzleCount, " nozzle rows make ", p.basePass,
              " whole steps of ", rows.step, " rows (", PassesText(mask), ")");
    const std::string percents = TwoPartPercents(p);
    if (!percents.empty())
        reason += Words("; raise featherPercent (", percents, " works)");
    else
        reason += "; no featherPercent works for this head and these passes";
    return reason + NozzleHint(p, TwoPartWorks, ", or ") + ", or use featherMode 0 (no feather)";
}

std::string Reason_ThreePartStep(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    std::string reason =
        Words("three-part feather (featherNozzleType ", p.featherNozzleType, "): nozzleCount ",
              p.nozzleCount, " at featherPercent ", p.featherPercent,
              " leaves no step of whole groups of 4 rows for ", PassesText(mask));
    const int most = GreatestPercent(p, ThreePartWorks);
    if (most >= 0)
        reason += Words("; lower featherPercent to at most ", PercentText(most));
    return reason + NozzleHint(p, ThreePartWorks, most >= 0 ? ", or " : "; ");
}

}  // namespace rv_halftone
