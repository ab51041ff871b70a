// CMaskData_Base: the working profile (the feather family, decided here once, and its
// base-resolution step, mask height, lead blank and two-part split) and the resolution step that
// turns it into the sizes a host sees.
//
// A paper row at offset r within its step of S rows lies under nozzle rows r, r + S, r + 2S, ...
// below N, so it is visited P + 1 times when r < N - S x P and P times otherwise:
// e = N - S x P is the number of feathered rows per step.
#include <Rv_Halftone/MaskData_Base.h>

#include "../Rv_Halftone_Internal.h"

#include <boost/math/special_functions/round.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

using rv_halftone::FitsInt;

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
    default: ZEB_LOG_FAILURE(); return false;
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
    return false;
}

bool CMaskData_Base::InitNoneRes_FeatherNone()
{
    const SMaskParam& p = m_maskParam_Current;
    const long long q = static_cast<long long>(p.xResPass) * p.yResPass;
    const int step = static_cast<int>(((p.nozzleCount / p.basePass) / q) * q);
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return false;
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
    // Single precision in this order: the step of existing print modes depends on it. At 100 %
    // three quarters of the head's rows feather; the rest always print plainly.
    const float share = p.featherPercent / 100.0f;
    const float featherNozzles = (static_cast<float>(p.nozzleCount) * 0.75f) * share;
    const long long t = static_cast<long long>(featherNozzles);
    const long long q = static_cast<long long>(p.xResPass) * p.yResPass;
    const long long step =
        (((p.nozzleCount - t / (static_cast<long long>(p.basePass) + 1)) / p.basePass) / q) * q;
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const long long feather = p.nozzleCount - step * p.basePass;
    // More feathered rows than the step holds would make the plain part negative.
    if (feather > step) {
        ZEB_LOG_FAILURE();
        return false;
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
    // Rounded half away from zero here, truncated in the two-part profile.
    const float share = p.featherPercent / 100.0f;
    const float featherNozzles = share * (static_cast<float>(p.nozzleCount) * 0.75f);
    const int r = static_cast<int>(boost::math::round(featherNozzles));
    const int q = (p.nozzleCount - r) / p.basePass;
    // Whole groups of four rows, as the three-part modes of existing heads step.
    const int q4 = q - (q % 4);
    const long long resolution = static_cast<long long>(p.xResPass) * p.yResPass;
    const int step = static_cast<int>((q4 / resolution) * resolution);
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return false;
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
    if (!FitsInt(maskWidth) || !FitsInt(stepHeight) || !FitsInt(maskHeight) ||
        !FitsInt(lineBytes) || !FitsInt(leadBlank)) {
        ZEB_LOG_FAILURE();
        return false;
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
    return false;
}

int CMaskData_Base::SplitCount_XRes() const
{
    const int mode = m_maskParam_Current.resSplitMode;
    return (mode == 1 || mode == 5) ? 2 : 1;
}

int CMaskData_Base::SplitCount_YRes() const
{
    switch (m_maskParam_Current.resSplitMode) {
    case 2:
    case 5: return 2;
    case 3: return 3;
    case 4: return 4;
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
    const float share = featherPercent / 100.0f;
    const float featherNozzles = (static_cast<float>(nozzleCount) * 0.75f) * share;
    // Beyond 2^53 the truncated value cannot give an int step anyway.
    if (!(std::fabs(featherNozzles) < 9.0e15f))
        return 0;
    const long long t = static_cast<long long>(featherNozzles);
    const long long step = (nozzleCount - t) / passCount;
    return step >= INT_MIN && step <= INT_MAX ? static_cast<int>(step) : 0;
}
