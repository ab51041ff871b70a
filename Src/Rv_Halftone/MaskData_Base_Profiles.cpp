// CMaskData_Base: nozzle feather profiles (base-resolution step, mask height, lead blank) and the
// resolution step that turns them into the sizes a host sees.
//
// A paper row at offset r within its step of S rows lies under nozzle rows r, r + S, r + 2S, ...
// below N, so it is visited P + 1 times when r < N - S x P and P times otherwise:
// e = N - S x P is the number of feathered rows per step.
#include <Rv_Halftone/MaskData_Base.h>

#include "Rv_Halftone_Internal.h"

#include <boost/math/special_functions/round.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

using rv_halftone::FitsInt;

bool CMaskData_Base::InitNoneRes()
{
    switch (m_maskParam_Current.featherMode) {
    case 0:
        return InitNoneRes_FeatherNone();
    case 1:
        return InitNoneRes_FeatherNozzle();
    default:
        ZEB_LOG_FAILURE();
        return false;
    }
}

bool CMaskData_Base::InitNoneRes_FeatherNozzle()
{
    switch (m_maskParam_Current.featherNozzleType) {
    case 1:
        return InitNoneRes_FeatherNozzle_Smooth_2();
    case 2:
    case 3:
        return InitNoneRes_FeatherNozzle_Smooth_3();
    default:
        ZEB_LOG_FAILURE();
        return false;
    }
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
    // The rows left over feather the swath: from here on the mask is a two-part feather.
    m_maskParam_Current.featherMode = 1;
    m_maskParam_Current.featherNozzleType = 1;
    const int feather = std::min(leftOver, step);
    m_passRows = step - feather;
    m_passNozzles = (step - feather) * p.basePass;
    m_featherNozzles = feather * (p.basePass + 1);
    m_featherRows = feather;
    m_maskHeight_NoneRes = m_passNozzles + m_featherNozzles;
    m_leadBlankHeight_NoneRes = m_maskHeight_NoneRes - feather;
    return true;
}

bool CMaskData_Base::InitNoneRes_FeatherNozzle_Smooth_2()
{
    const SMaskParam& p = m_maskParam_Current;
    // Single precision in this order: the step of existing print modes depends on it.
    const float share = p.featherPercent / 100.0f;
    const float featherNozzles = (static_cast<float>(p.nozzleCount) * 0.75f) * share;
    const long long t = static_cast<long long>(featherNozzles);
    const long long q = static_cast<long long>(p.xResPass) * p.yResPass;
    const long long step = (((p.nozzleCount - t / (static_cast<long long>(p.basePass) + 1)) /
                             p.basePass) / q) * q;
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
    m_featherRows = static_cast<int>(feather);
    m_featherNozzles = static_cast<int>(feather * (p.basePass + 1LL));
    m_passRows = static_cast<int>(step - feather);
    m_passNozzles = static_cast<int>((step - feather) * p.basePass);
    m_maskHeight_NoneRes = m_featherNozzles + m_passNozzles;
    m_leadBlankHeight_NoneRes = m_maskHeight_NoneRes - m_featherRows;
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
    const int q4 = q - (q % 4);
    const long long resolution = static_cast<long long>(p.xResPass) * p.yResPass;
    const int step = static_cast<int>((q4 / resolution) * resolution);
    if (step < 1) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_stepHeight_NoneRes = step;
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
    const bool feathered = m_maskParam_Current.featherMode == 1;

    // Every size in 64 bits before the tables are allocated.
    const long long maskWidth = static_cast<long long>(m_thresholdWidth) * x;
    const long long stepHeight = static_cast<long long>(step) * y;
    const long long maskHeight = static_cast<long long>(m_maskHeight_NoneRes) * y;
    const long long lineBytes =
        (static_cast<long long>(m_thresholdWidth) * m_maskParam_Current.bitsPerPixel * x + 7) / 8;
    long long leadBlank = static_cast<long long>(m_leadBlankHeight_NoneRes) * y;
    if (!feathered)
        leadBlank += static_cast<long long>(step / x) * (x - 1) + static_cast<long long>(step) * (y - 1);
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
    case 5:
        return 2;
    case 3:
        return 3;
    case 4:
        return 4;
    default:
        return 1;
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
