// CMaskData_Base: construction, the build pipeline, the choice of tile height and the accessors.
#include <Rv_Halftone/MaskData_Base.h>

#include <RvPlanes/PlaneDerive.h>

#include "Common/Refusal.h"
#include "Common/Sizes.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <climits>
#include <cmath>
#include <new>
#include <numeric>
#include <string>

using rv_halftone::FitsInt;

namespace {

// A tile whose mask repeats within this many positions is tall enough: the search stops there.
constexpr long long kEnoughMaskPositions = 20;

}  // namespace

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

// The pipeline of a build, one step after the other; a step that fails stops the build, and the
// caller writes the failure record. Each refusing step states why; a step's own words below are
// kept only where it said nothing (a failure that no rule of the record explains). A check stops
// before the last step, which alone allocates the mask's bytes and starts threads.
CMaskData_Base::EBuildResult CMaskData_Base::Build(const SMaskParam& param, EBuildEnd end)
{
    m_maskParam_Input = param;
    m_maskParam_Current = param;
    m_thresholdHeight = rv_halftone::planes::kTileSize;
    m_thresholdWidth = rv_halftone::planes::kTileSize;
    const struct
    {
        bool (*run)(CMaskData_Base&);
        const char* failure;
    } checks[] = {
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
        // What rendering will allocate and compute, checked without allocating it.
        {[](CMaskData_Base& m) { return m.Render_Check(); },
         "the mask's rendering refused the record"},
    };
    for (const auto& check : checks) {
        if (!check.run(*this)) {
            rv_halftone::Refuse([&] { return std::string(check.failure); });
            return EBuildResult::Refused;
        }
    }
    if (end == EBuildEnd::Checked)
        return EBuildResult::Done;
    // Threshold layers, cut table and the generator's run.
    if (!CreateMaskData()) {
        rv_halftone::Refuse([] {
            return std::string("the mask could not be rendered: memory, threads or time ran out "
                               "(the record itself breaks no rule)");
        });
        return EBuildResult::NotRendered;
    }
    return EBuildResult::Done;
}

// Memory that runs out fails the build like any other step, with a record of what it had asked
// for: no exception reaches the caller. A refused record leaves the failure records alone (their
// kinds and texts are what hosts match); where its reason is told, the standard error line of a
// failure says (CustomBoostLog.cpp).
bool CMaskData_Base::Create(const SMaskParam& param)
{
    EBuildResult result = EBuildResult::NotRendered;
    try {
        result = Build(param, EBuildEnd::Rendered);
    } catch (const std::bad_alloc&) {
        const std::string asked = MemoryAskedFor();
        ZEB_LOG(SeverityLevel_Error, asked);
        rv_halftone::Refuse([&] { return asked; });
    }
    if (result == EBuildResult::Done)
        return true;
    ZEB_LOG_FAILURE();
    return false;
}

bool CMaskData_Base::Check(const SMaskParam& param)
{
    return Build(param, EBuildEnd::Checked) == EBuildResult::Done;
}

// Before the mask positions are known only the step tables have been asked for; after, the
// rendering's two large blocks: the mask and the threshold layers it is cut from.
std::string CMaskData_Base::MemoryAskedFor() const
{
    using rv_halftone::Words;
    const SMaskParam& p = m_maskParam_Current;
    if (m_maskPositionCount < 1)
        return Words("not enough memory for the step tables of ", p.xResPass, " X and ", p.yResPass,
                     " Y passes");
    const long long maskBytes = static_cast<long long>(MaskBytes_OneColor()) * p.colorCount;
    const long long layerBytes =
        static_cast<long long>(m_thresholdWidth) * m_thresholdHeight * p.colorCount * 2;
    return Words("not enough memory for the mask: ", maskBytes, " bytes (", p.colorCount,
                 " colours x ", MaskBytes_OneColor(), " bytes), and ", layerBytes,
                 " bytes of threshold layers to cut it from");
}

// Refuses what the later steps would divide by, index with, or overflow on.
bool CMaskData_Base::RangeTest() const
{
    using rv_halftone::Refuse;
    using rv_halftone::Words;
    const SMaskParam& p = m_maskParam_Current;
    const struct
    {
        const char* field;
        int value;
    } counts[] = {{"nozzleCount", p.nozzleCount},
                  {"basePass", p.basePass},
                  {"colorCount", p.colorCount}};
    for (const auto& count : counts)
        if (count.value < 1)
            return Refuse(
                [&] { return Words(count.field, " ", count.value, " must be at least 1"); });
    if (p.colorTimes < 1 || p.colorTimes > p.basePass)
        return Refuse([&] {
            return Words("colorTimes ", p.colorTimes, " must be from 1 to basePass (", p.basePass,
                         ")");
        });
    if (p.bitsPerPixel != 1 && p.bitsPerPixel != 2)
        return Refuse([&] { return Words("bitsPerPixel ", p.bitsPerPixel, " must be 1 or 2"); });
    // The percent is read only by the feathered profiles: an unfeathered record may carry any.
    if (p.featherMode == FeatherMode_Nozzle &&
        (!std::isfinite(p.featherPercent) || p.featherPercent < 0.0f || p.featherPercent > 100.0f))
        return Refuse([&] {
            return Words("featherPercent ", p.featherPercent,
                         " must be a number from 0 to 100 with featherMode 1");
        });
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
        return Refuse([&] {
            if (r.divisor == 1)
                return Words(r.field, " ", r.value, " must be at least 1");
            return Words(r.field, " ", r.value, " divided by ", r.divisor, " (resSplitMode ",
                         p.resSplitMode, ") leaves no pass; ", r.field, " must be at least ",
                         r.divisor, " with this split");
        });
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
    using rv_halftone::Refuse;
    using rv_halftone::Words;
    const long long oneColor =
        static_cast<long long>(m_maskHeight) * m_maskLineBytes * m_maskPositionCount;
    const int colours = m_maskParam_Current.colorCount;
    if (!FitsInt(oneColor))
        return Refuse([&] {
            return Words("one colour's mask would take ", oneColor, " bytes (", m_maskHeight,
                         " rows x ", m_maskLineBytes, " bytes x ", m_maskPositionCount,
                         " mask positions), more than ", INT_MAX,
                         "; lower nozzleCount, xResPass, yResPass or bitsPerPixel");
        });
    if (!FitsInt(oneColor * colours))
        return Refuse([&] {
            return Words("colorCount ", colours, ": the mask would take ", oneColor * colours,
                         " bytes (", oneColor, " per colour), more than ", INT_MAX,
                         "; colorCount can be at most ", INT_MAX / oneColor);
        });
    return true;
}

bool CMaskData_Base::InitMaskSize()
{
    if (m_maskParam_Current.lessMaskPosition != 0)
        return InitMaskSize_LessMaskPositon();
    return InitMaskSize_Normal();
}

// The tile of n rows repeats under a head that advances S rows per pass after lcm(n, S) / S
// passes: that is the number of mask positions. Prefer the tallest tile with at most
// kEnoughMaskPositions; only tiles of at least a third of the stored height are tried, since
// shorter ones would repeat the same threshold rows ever more often within one mask position.
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
            if (bestLcm / step <= kEnoughMaskPositions)
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
