// CMaskData_Base: the working profile (the feather family, decided here once, and its
// base-resolution step, mask height, lead blank and two-part split) and the resolution step that
// turns it into the sizes a host sees.
//
// A paper row at offset r within its step of S rows lies under nozzle rows r, r + S, r + 2S, ...
// below N, so it is visited P + 1 times when r < N - S x P and P times otherwise:
// e = N - S x P is the number of feathered rows per step.
#include <Rv_Halftone/MaskData_Base.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "Common/Refusal.h"
#include "Common/Sizes.h"
#include "PassMask/ProfileRules.h"

#include <algorithm>
#include <climits>
#include <cmath>

using rv_halftone::FitsInt;
using rv_halftone::Refuse;
using rv_halftone::Words;

namespace {

// The rows of each step of S rows when e of them are feathered (lie under P + 1 nozzle rows).
STwoPartSplit TwoPartSplit_Of(long long step, long long feather, int passCount)
{
    STwoPartSplit split;
    split.featherRows = static_cast<int>(feather);
    split.passRows = static_cast<int>(step - feather);
    split.passNozzles = static_cast<int>((step - feather) * passCount);
    split.featherNozzles = static_cast<int>(feather * (passCount + 1LL));
    return split;
}

}  // namespace

bool CMaskData_Base::InitNoneRes()
{
    m_featherFamily = FeatherFamily_Unfeathered;
    m_twoPartSplit = STwoPartSplit{};
    switch (m_maskParam_Current.featherMode) {
    case FeatherMode_None: return InitNoneRes_FeatherNone();
    case FeatherMode_Nozzle: return InitNoneRes_FeatherNozzle();
    default:
        ZEB_LOG_FAILURE();
        return Refuse([&] {
            return Words("featherMode ", m_maskParam_Current.featherMode,
                         " must be 0 (no feather) or 1 (nozzle feather)");
        });
    }
}

bool CMaskData_Base::InitNoneRes_FeatherNozzle()
{
    const int type = m_maskParam_Current.featherNozzleType;
    if (type == FeatherNozzleType_TwoPart)
        return InitNoneRes_FeatherNozzle_Smooth_2();
    if (type == FeatherNozzleType_ThreePart || type == FeatherNozzleType_ThreePartRipple)
        return InitNoneRes_FeatherNozzle_Smooth_3();
    ZEB_LOG_FAILURE();
    return Refuse([&] {
        return Words("featherNozzleType ", type,
                     " must be 1 (two-part), 2 (three-part) or 3 (three-part with the "
                     "sine ripple) with featherMode 1");
    });
}

bool CMaskData_Base::InitNoneRes_FeatherNone()
{
    const SMaskParam& p = m_maskParam_Current;
    const int step = static_cast<int>(rv_halftone::UnfeatheredStep(p));
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return Refuse([&] { return rv_halftone::Reason_UnfeatheredStep(*this); });
    }
    m_stepHeight_NoneRes = step;
    const int leftOver = p.nozzleCount - step * p.basePass;
    if (leftOver < 1) {
        m_maskHeight_NoneRes = step * p.basePass;
        m_leadBlankHeight_NoneRes = (p.basePass - 1) * step;
        return true;
    }
    // The rows left over feather the swath: from here on the mask is a two-part feather, and the
    // working record says so for every later step and for hosts that read it.
    m_maskParam_Current.featherMode = FeatherMode_Nozzle;
    m_maskParam_Current.featherNozzleType = FeatherNozzleType_TwoPart;
    m_featherFamily = FeatherFamily_TwoPart;
    const int feather = std::min(leftOver, step);
    m_twoPartSplit = TwoPartSplit_Of(step, feather, p.basePass);
    m_maskHeight_NoneRes = m_twoPartSplit.passNozzles + m_twoPartSplit.featherNozzles;
    m_leadBlankHeight_NoneRes = m_maskHeight_NoneRes - feather;
    return true;
}

bool CMaskData_Base::InitNoneRes_FeatherNozzle_Smooth_2()
{
    const SMaskParam& p = m_maskParam_Current;
    const rv_halftone::STwoPartRows rows = rv_halftone::TwoPartRows(p);
    const long long step = rows.step;
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return Refuse([&] { return rv_halftone::Reason_TwoPartStep(*this); });
    }
    const long long feather = rows.feather;
    // More feathered rows than the step holds would make the plain part negative.
    if (feather > step) {
        ZEB_LOG_FAILURE();
        return Refuse([&] { return rv_halftone::Reason_TwoPartFeatherAboveStep(*this); });
    }
    m_stepHeight_NoneRes = static_cast<int>(step);
    m_featherFamily = FeatherFamily_TwoPart;
    m_twoPartSplit = TwoPartSplit_Of(step, feather, p.basePass);
    m_maskHeight_NoneRes = m_twoPartSplit.featherNozzles + m_twoPartSplit.passNozzles;
    m_leadBlankHeight_NoneRes = m_maskHeight_NoneRes - m_twoPartSplit.featherRows;
    return true;
}

bool CMaskData_Base::InitNoneRes_FeatherNozzle_Smooth_3()
{
    const SMaskParam& p = m_maskParam_Current;
    const int step = static_cast<int>(rv_halftone::ThreePartStep(p));
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return Refuse([&] { return rv_halftone::Reason_ThreePartStep(*this); });
    }
    m_stepHeight_NoneRes = step;
    m_featherFamily = p.featherNozzleType == FeatherNozzleType_ThreePartRipple
                          ? FeatherFamily_ThreePartRipple
                          : FeatherFamily_ThreePart;
    m_maskHeight_NoneRes = p.nozzleCount;
    const int rest = p.nozzleCount % step;
    m_leadBlankHeight_NoneRes = p.nozzleCount - (rest != 0 ? rest : step);
    return true;
}

bool CMaskData_Base::InitResParam()
{
    const int x = m_maskParam_Current.xResPass;
    const int y = m_maskParam_Current.yResPass;
    const int step = m_stepHeight_NoneRes;
    const bool feathered = m_featherFamily != FeatherFamily_Unfeathered;

    // Every size in 64 bits before the tables are allocated.
    const long long maskWidth = static_cast<long long>(m_thresholdWidth) * x;
    const long long stepHeight = static_cast<long long>(step) * y;
    const long long maskHeight = static_cast<long long>(m_maskHeight_NoneRes) * y;
    const long long lineBytes =
        (static_cast<long long>(m_thresholdWidth) * m_maskParam_Current.bitsPerPixel * x + 7) / 8;
    long long leadBlank = static_cast<long long>(m_leadBlankHeight_NoneRes) * y;
    if (!feathered)
        leadBlank +=
            static_cast<long long>(step / x) * (x - 1) + static_cast<long long>(step) * (y - 1);
    const struct
    {
        long long value;
        const char* what;
    } sizes[] = {
        {maskWidth, "pixels per mask row (544 x xResPass)"},
        {stepHeight, "rows per step (the step x yResPass)"},
        {maskHeight, "mask rows (the head's rows x yResPass)"},
        {lineBytes, "bytes per mask row"},
        {leadBlank, "rows of lead blank"},
    };
    for (const auto& size : sizes) {
        if (!FitsInt(size.value)) {
            ZEB_LOG_FAILURE();
            return Refuse([&] {
                return Words(size.value, " ", size.what, " exceed the largest int, ", INT_MAX,
                             "; lower nozzleCount, xResPass or yResPass");
            });
        }
    }

    m_yResStep.reset(new int[static_cast<size_t>(y)]);
    for (int i = 0; i < y; ++i)
        m_yResStep[i] = step * i;
    m_xResStep.reset(new int[static_cast<size_t>(x)]);
    for (int i = 0; i < x; ++i)
        m_xResStep[i] = (step / x) * i;

    m_maskWidth = static_cast<int>(maskWidth);
    m_stepHeight = static_cast<int>(stepHeight);
    m_realStepHeight = (m_stepHeight / x) / y;
    m_leadBlankHeight = static_cast<int>(leadBlank);
    m_maskHeight = static_cast<int>(maskHeight);
    // L only bounds the lead blank from below: the mask must reach past it. Past that test the
    // blank is one real step short of the mask's height, where the first paper line starts that
    // every pass covers.
    if (m_maskHeight > m_leadBlankHeight) {
        m_leadBlankHeight = m_maskHeight - m_realStepHeight;
        return true;
    }
    ZEB_LOG(SeverityLevel_Info,
            "m_maskHeight = " << m_maskHeight << ", m_leadBlankHeight = " << m_leadBlankHeight);
    // Only a two-part feather without a feathered row gets here: every other profile leads with
    // fewer blank rows than its mask has.
    return Refuse([&] {
        return m_featherFamily == FeatherFamily_TwoPart && m_twoPartSplit.featherRows == 0
                   ? rv_halftone::Reason_TwoPartNoFeatherRow(*this)
                   : Words("the mask's ", m_maskHeight,
                           " rows do not reach past its lead blank of ", m_leadBlankHeight,
                           " rows");
    });
}

// Every value outside EResSplitMode splits nothing.
int CMaskData_Base::SplitCount_XRes() const
{
    switch (m_maskParam_Current.resSplitMode) {
    case ResSplitMode_XHalf:
    case ResSplitMode_XYHalf: return 2;
    default: return 1;
    }
}

int CMaskData_Base::SplitCount_YRes() const
{
    switch (m_maskParam_Current.resSplitMode) {
    case ResSplitMode_YHalf:
    case ResSplitMode_XYHalf: return 2;
    case ResSplitMode_YThird: return 3;
    case ResSplitMode_YQuarter: return 4;
    default: return 1;
    }
}

// The formula holds for any finite percent (over 100 feathers more rows than the head has, below
// 0 fewer); 0 only where it has no int value: no pass, a percent that is not a number, or a
// result outside the int range.
int CMaskData_Base::StepHeadNozzle_Get(int nozzleCount, int passCount, float featherPercent)
{
    if (passCount < 1 || !std::isfinite(featherPercent))
        return 0;
    const float featherNozzles = rv_halftone::FeatheredRows(nozzleCount, featherPercent);
    // Beyond 2^53 the truncated value cannot give an int step anyway.
    if (!(std::fabs(featherNozzles) < 9.0e15f))
        return 0;
    const long long t = static_cast<long long>(featherNozzles);
    const long long step = (nozzleCount - t) / passCount;
    return step >= INT_MIN && step <= INT_MAX ? static_cast<int>(step) : 0;
}
