// CMaskData_Base: construction, the build pipeline, the choice of tile height and the accessors.
#include <Rv_Halftone/MaskData_Base.h>

#include "../Refusal.h"
#include "../Rv_Halftone_Internal.h"

#include <climits>
#include <cmath>
#include <numeric>

using rv_halftone::FitsInt;

// Everything starts at zero, whoever allocated the object.
CMaskData_Base::CMaskData_Base()
    : m_maskParam_Input(), m_maskParam_Current(), m_maskLineBytes(0), m_leadBlankHeight(0),
      m_leadBlankHeight_NoneRes(0), m_maskPositionCount(0), m_maskHeight(0),
      m_maskHeight_NoneRes(0), m_maskWidth(0), m_stepHeight_NoneRes(0), m_stepHeight(0),
      m_realStepHeight(0), m_thresholdHeight(0), m_thresholdWidth(0),
      m_featherFamily(FeatherFamily_Unfeathered), m_twoPartSplit()
{
}

CMaskData_Base::~CMaskData_Base() = default;

// The pipeline of a build, one step after the other; a step that fails writes this function's
// failure record after its own, and the build stops. Each refusing step states why; a step's own
// words below are kept only where it said nothing (a failure that no rule of the record explains).
// While a record is only checked (rv_halftone::CheckingOnly), the last step sizes what it would
// render and stops there.
bool CMaskData_Base::Create(const SMaskParam& param)
{
    m_maskParam_Input = param;
    m_maskParam_Current = param;
    m_thresholdHeight = rv_halftone::kThresholdSize;
    m_thresholdWidth = rv_halftone::kThresholdSize;
    const struct
    {
        bool (*run)(CMaskData_Base&);
        const char* failure;
    } steps[] = {
        // Refuse what the later steps cannot serve, then divide the resolution passes.
        {[](CMaskData_Base& m) { return m.RangeTest() && (m.SplitResolution(), true); },
         "the range test refused the record"},
        // The working profile: feather family, step, mask height, lead blank (base rows).
        {[](CMaskData_Base& m) { return m.InitNoneRes(); },
         "the working profile refused the record"},
        // The sizes with the resolution passes.
        {[](CMaskData_Base& m) { return m.InitResParam(); },
         "the sizes with the resolution passes refused the record"},
        // The tile height, hence the mask positions; the bytes must be int-addressable.
        {[](CMaskData_Base& m) { return m.InitMaskSize() && m.MaskBytes_Fit(); },
         "the mask positions refused the record"},
        // Threshold layers, cut table and the generator's run.
        {[](CMaskData_Base& m) { return m.CreateMaskData(); },
         "the mask could not be rendered: memory, threads or time ran out (the record itself "
         "breaks no rule)"},
    };
    for (const auto& step : steps) {
        if (!step.run(*this)) {
            RV_REFUSE(std::string(step.failure));
            return false;
        }
    }
    return true;
}

// Refuses what the later steps would divide by, index with, or overflow on.
bool CMaskData_Base::RangeTest() const
{
    using rv_halftone::Words;
    const SMaskParam& p = m_maskParam_Current;
    const auto refuse = [](const std::string& reason) {
        rv_halftone::StateRefusal(reason);
        return false;
    };
    const struct
    {
        const char* field;
        int value;
    } counts[] = {{"nozzleCount", p.nozzleCount},
                  {"basePass", p.basePass},
                  {"colorCount", p.colorCount}};
    for (const auto& count : counts)
        if (count.value < 1)
            return refuse(Words(count.field, " ", count.value, " must be at least 1"));
    if (p.colorTimes < 1 || p.colorTimes > p.basePass)
        return refuse(
            Words("colorTimes ", p.colorTimes, " must be from 1 to basePass (", p.basePass, ")"));
    if (p.bitsPerPixel != 1 && p.bitsPerPixel != 2)
        return refuse(Words("bitsPerPixel ", p.bitsPerPixel, " must be 1 or 2"));
    // The percent is read only by the feathered profiles: an unfeathered record may carry any.
    if (p.featherMode == 1 &&
        (!std::isfinite(p.featherPercent) || p.featherPercent < 0.0f || p.featherPercent > 100.0f))
        return refuse(Words("featherPercent ", p.featherPercent,
                            " must be a number from 0 to 100 with featherMode 1"));
    // The split divides these; the result must still be a pass.
    const struct
    {
        const char* field;
        int value;
        int divisor;
    } resolutions[] = {{"xResPass", p.xResPass, SplitCount_XRes()},
                       {"yResPass", p.yResPass, SplitCount_YRes()}};
    for (const auto& r : resolutions) {
        if (r.value / r.divisor >= 1)
            continue;
        if (r.divisor == 1)
            return refuse(Words(r.field, " ", r.value, " must be at least 1"));
        return refuse(Words(r.field, " ", r.value, " divided by ", r.divisor, " (resSplitMode ",
                            p.resSplitMode, ") leaves no pass; ", r.field, " must be at least ",
                            r.divisor, " with this split"));
    }
    return true;
}

void CMaskData_Base::SplitResolution()
{
    m_maskParam_Current.xResPass /= SplitCount_XRes();
    m_maskParam_Current.yResPass /= SplitCount_YRes();
}

// The whole mask must be addressable with int offsets.
bool CMaskData_Base::MaskBytes_Fit() const
{
    const long long oneColor =
        static_cast<long long>(m_maskHeight) * m_maskLineBytes * m_maskPositionCount;
    const int colours = m_maskParam_Current.colorCount;
    if (!FitsInt(oneColor)) {
        rv_halftone::StateRefusal(rv_halftone::Words(
            "one colour's mask would take ", oneColor, " bytes (", m_maskHeight, " rows x ",
            m_maskLineBytes, " bytes x ", m_maskPositionCount, " mask positions), more than ",
            INT_MAX, "; lower nozzleCount, xResPass, yResPass or bitsPerPixel"));
        return false;
    }
    if (!FitsInt(oneColor * colours)) {
        rv_halftone::StateRefusal(
            rv_halftone::Words("colorCount ", colours, ": the mask would take ", oneColor * colours,
                               " bytes (", oneColor, " per colour), more than ", INT_MAX,
                               "; colorCount can be at most ", INT_MAX / oneColor));
        return false;
    }
    return true;
}

bool CMaskData_Base::InitMaskSize()
{
    if (m_maskParam_Current.lessMaskPosition != 0)
        return InitMaskSize_LessMaskPositon();
    return InitMaskSize_Normal();
}

// The tile of n rows repeats under a head that advances S rows per pass after lcm(n, S) / S
// passes: that is the number of mask positions. Prefer the tallest tile with at most 20 positions;
// only tiles of at least a third of the stored height are tried, since shorter ones would repeat
// the same threshold rows ever more often within one mask position.
bool CMaskData_Base::InitMaskSize_Normal()
{
    const int h0 = m_thresholdHeight;
    const long long step = m_stepHeight_NoneRes;
    long long bestLcm = LLONG_MAX;
    int bestHeight = h0;
    const int candidates = (2 * h0) / 3;
    for (int i = 0; i < candidates; ++i) {
        const int n = h0 - i;
        const long long lcm = n / std::gcd(static_cast<long long>(n), step) * step;
        if (lcm < bestLcm) {
            bestLcm = lcm;
            bestHeight = n;
            if (bestLcm / step <= 20)
                break;
        }
    }
    InitMaskSize_Apply(bestHeight, bestLcm);
    return true;
}

// The tile height with the fewest mask positions, the taller tile winning ties.
bool CMaskData_Base::InitMaskSize_LessMaskPositon()
{
    const int h0 = m_thresholdHeight;
    const long long step = m_stepHeight_NoneRes;
    long long bestLcm = LLONG_MAX;
    int bestHeight = h0;
    for (int n = h0; n >= 1; --n) {
        const long long lcm = n / std::gcd(static_cast<long long>(n), step) * step;
        if (lcm < bestLcm) {
            bestLcm = lcm;
            bestHeight = n;
        }
    }
    InitMaskSize_Apply(bestHeight, bestLcm);
    return true;
}

void CMaskData_Base::InitMaskSize_Apply(int thresholdHeight, long long lcm)
{
    m_thresholdHeight = thresholdHeight;
    m_maskPositionCount = static_cast<int>(lcm / m_stepHeight_NoneRes);
    // Checked to fit an int before the step tables were allocated.
    m_maskLineBytes =
        (m_thresholdWidth * m_maskParam_Current.bitsPerPixel * m_maskParam_Current.xResPass + 7) /
        8;
}

const unsigned char* CMaskData_Base::MaskData_Get(int colorIndex, int& positionCounter) const
{
    if (colorIndex < 0 || colorIndex >= m_maskParam_Current.colorCount || m_maskPositionCount < 1)
        return nullptr;
    // Wider arithmetic: a counter at INT_MAX wraps as the mathematics says, not as int overflow.
    const int counter = positionCounter;
    const int position =
        counter < 0 ? 0
                    : static_cast<int>((static_cast<long long>(counter) + 1) % m_maskPositionCount);
    positionCounter = position;
    return m_maskBlock.MaskData() + static_cast<long long>(colorIndex) * MaskBytes_OneColor() +
           static_cast<long long>(position) * MaskBytes_OnePosition();
}

int CMaskData_Base::BitsPerPixel() const { return m_maskParam_Current.bitsPerPixel; }
int CMaskData_Base::MaskHeight_IncludeRes() const { return m_maskHeight; }
int CMaskData_Base::MaskWidth() const { return m_maskWidth; }
int CMaskData_Base::StepHeight_IncludeRes() const { return m_stepHeight; }
int CMaskData_Base::RealStepHeight_IncludeRes() const { return m_realStepHeight; }
const int* CMaskData_Base::XResStep() const { return m_xResStep.get(); }
const int* CMaskData_Base::YResStep() const { return m_yResStep.get(); }
int CMaskData_Base::MaskLineBytes_OneColor() const { return m_maskLineBytes; }

int CMaskData_Base::MaskBytes_OneColor() const
{
    return m_maskHeight_NoneRes * m_maskPositionCount * m_maskLineBytes *
           m_maskParam_Current.yResPass;
}

int CMaskData_Base::MaskBytes_OnePosition() const
{
    return m_maskHeight_NoneRes * m_maskLineBytes * m_maskParam_Current.yResPass;
}

const SMaskParam& CMaskData_Base::MaskParam_Input() const { return m_maskParam_Input; }
const SMaskParam& CMaskData_Base::MaskParam_Current() const { return m_maskParam_Current; }
int CMaskData_Base::LeadBlankHeight_IncludeRes() const { return m_leadBlankHeight; }
int CMaskData_Base::XResPass() const { return m_maskParam_Current.xResPass; }
int CMaskData_Base::YResPass() const { return m_maskParam_Current.yResPass; }
int CMaskData_Base::BasePass() const { return m_maskParam_Current.basePass; }
int CMaskData_Base::MaskPositionCount() const { return m_maskPositionCount; }
int CMaskData_Base::ThresholdHeight() const { return m_thresholdHeight; }
