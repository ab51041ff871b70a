#include <RvAnalysis/PrintSimulation.h>

#include "PlaneDerive.h"

#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>

namespace rv_analysis {

std::string SimulationRefusal(const CPrintPlan& plan, int colour, int firstLine, int lineCount)
{
    if (!plan.Accepted())
        return plan.Refusal();
    if (colour < 0 || colour >= plan.ColorCount())
        return "colour " + std::to_string(colour) + " is not in the mask, which has colours 0 to " +
               std::to_string(plan.ColorCount() - 1);
    if (lineCount < 0)
        return std::to_string(lineCount) + " lines: a simulation lays 0 lines or more";
    if (firstLine < -plan.LeadLines())
        return "first line " + std::to_string(firstLine) + ": at least " +
               std::to_string(-plan.LeadLines()) +
               ", the top of the lead-in (no pass reaches above it)";
    if (static_cast<long long>(firstLine) + lineCount > kMaxPageLines)
        return "lines " + std::to_string(firstLine) + " and " + std::to_string(lineCount) +
               " more: the last simulated line must lie above page line " +
               std::to_string(kMaxPageLines);
    if (static_cast<long long>(lineCount) * plan.Width() > kMaxSimulatedPixels)
        return std::to_string(lineCount) + " lines of " + std::to_string(plan.Width()) +
               " pixels: at most " + std::to_string(kMaxSimulatedPixels) + " pixels a simulation";
    return {};
}

SFireCounts Simulate(const CPrintPlan& plan, int colour, int firstLine, int lineCount)
{
    SFireCounts result;
    result.refusal = SimulationRefusal(plan, colour, firstLine, lineCount);
    if (!result.refusal.empty())
        return result;
    result.firstLine = firstLine;
    result.lineCount = lineCount;
    result.width = plan.Width();
    result.counts.assign(static_cast<size_t>(lineCount) * result.width, 0);
    result.lastPass.assign(result.counts.size(), -1);

    const int endLine = firstLine + lineCount;
    const SIndexRange passes = plan.PassesOnLines(firstLine, endLine);
    const int headColumns = plan.Width() / plan.XPasses();
    for (int g = passes.first; g < passes.end; ++g) {
        const SPhysicalPass pass = plan.Pass(g);
        const SIndexRange nozzles = plan.NozzlesOnLines(pass, firstLine, endLine);
        for (int k = nozzles.first; k < nozzles.end; ++k) {
            const unsigned char* row = plan.RowOfNozzle(colour, pass, k);
            const size_t base =
                static_cast<size_t>(plan.NozzleLine(pass, k) - firstLine) * result.width;
            for (int x = 0; x < headColumns; ++x) {
                const int u = static_cast<int>(plan.PageColumn(pass.xPhase, x));
                if (PixelFired(row, u, plan.BitsPerPixel())) {
                    ++result.counts[base + u];
                    result.lastPass[base + u] = pass.print;
                }
            }
        }
    }
    return result;
}

SFireCounts Simulate(const CPrintPlan& plan, int colour)
{
    return Simulate(plan, colour, 0, plan.CycleLines());
}

CCoveragePromise::CCoveragePromise(const CPrintPlan& plan) : m_plan(plan)
{
    if (!plan.Accepted()) {
        m_text = "no promise: " + plan.Refusal();
        return;
    }
    const CMaskData_Base& mask = plan.Mask();
    const SMaskParam& p = mask.MaskParam_Current();
    m_colorTimes = p.colorTimes;
    m_x = plan.XPasses();
    m_y = plan.YPasses();
    m_baseStep = plan.StepHeight() / m_y;
    m_realStep = plan.RealStep();
    // The library decided the mask's feather family and two-part split once; they are read here,
    // not worked out again.
    const EFeatherFamily family = mask.FeatherFamily();
    m_featherRows = mask.TwoPartSplit().featherRows;
    m_level = p.smoothLevelPercent * rv_halftone::planes::kLevelScale / 100;
    m_tileRows = mask.ThresholdHeight();

    const std::string times = std::to_string(m_colorTimes);
    if (family == FeatherFamily_Unfeathered || family == FeatherFamily_TwoPart) {
        m_kind = EPromise::Exact;
        m_linesDiffer = family == FeatherFamily_TwoPart && m_colorTimes > 1;
        m_text = m_linesDiffer ? "plain lines fired " + times + " times, feathered lines once"
                               : "every pixel fired exactly " + times + " time(s)";
    } else if (family == FeatherFamily_ThreePart && m_colorTimes == 1) {
        m_kind = EPromise::BelowLevel;
        m_text = "exactly the pixels below the smoothing level, once";
    } else {
        m_kind = EPromise::None;
        m_text = "no exact promise for this mode";
    }
}

int CCoveragePromise::ExpectedCount(int colour, int pageLine, int x) const
{
    if (colour < 0 || colour >= m_plan.ColorCount() || pageLine < 0 || pageLine >= kMaxPageLines ||
        x < 0)
        return -1;
    const int paperLine = pageLine + m_plan.LeadLines();
    switch (m_kind) {
    case EPromise::Exact:
        if (!m_linesDiffer)
            return m_colorTimes;
        // The feathered nozzles are the first e of every step: what they lay is laid once.
        return NozzleInStep(paperLine, x) < m_featherRows ? 1 : m_colorTimes;
    case EPromise::BelowLevel: return ThresholdOf(colour, paperLine, x) < m_level ? 1 : 0;
    case EPromise::None: break;
    }
    return -1;
}

namespace {

int FloorMod(long long value, int divisor)
{
    const long long rest = value % divisor;
    return static_cast<int>(rest < 0 ? rest + divisor : rest);
}

}  // namespace

// Where page pixel (paperLine, x) lies under the head, as a nozzle within its step (0 to S - 1):
// the same in every pass that lays it, because the passes of one phase lie whole steps apart.
// Nozzle k of the pass of print t in phases (i, j) lays paper line
// t S Y + S j + R i + j + k Y, so k = (paperLine - j - R i) / Y - S j / Y - t S.
int CCoveragePromise::NozzleInStep(int paperLine, int x) const
{
    const int j = FloorMod(paperLine, m_y);
    const int i = FloorMod(x, m_x);
    const long long fine =
        static_cast<long long>(paperLine) - j - static_cast<long long>(m_realStep) * i;
    return FloorMod(fine / m_y - static_cast<long long>(m_baseStep / m_y) * j, m_baseStep);
}

// The threshold every pass cuts page pixel (paperLine, x) from. The pass of print t in phases
// (i, j) cuts nozzle k from tile row t S + j S / Y + k; with k as in NozzleInStep that is
// (paperLine - j - R i) / Y, whatever t, because N positions of S rows span whole tiles: the Y
// phases of one base row are its fine lines, and every X phase reads its own columns.
int CCoveragePromise::ThresholdOf(int colour, int paperLine, int x) const
{
    const int j = FloorMod(paperLine, m_y);
    const int u = m_plan.MaskColumn(x);
    const int i = u % m_x;
    const long long fine =
        static_cast<long long>(paperLine) - j - static_cast<long long>(m_realStep) * i;
    const int row = FloorMod(fine / m_y, m_tileRows);
    const int width = CRawMaskData::Width();
    const int column = ((width * i) / m_x + u / m_x) % width;
    return CRawMaskData::RawData(colour)[(row % CRawMaskData::Height()) * width + column];
}

namespace {

// Counts that Judge cannot read as a simulation of this plan's colour.
std::string FireCountsRefusal(const CPrintPlan& plan, int colour, const SFireCounts& fired)
{
    if (!fired.refusal.empty())
        return fired.refusal;
    const std::string refusal = SimulationRefusal(plan, colour, fired.firstLine, fired.lineCount);
    if (!refusal.empty())
        return refusal;
    if (fired.width != plan.Width() ||
        fired.counts.size() != static_cast<size_t>(fired.lineCount) * plan.Width())
        return "fire counts of " + std::to_string(fired.counts.size()) + " pixels, " +
               std::to_string(fired.width) + " across: a simulation of " +
               std::to_string(fired.lineCount) + " lines of " + std::to_string(plan.Width()) +
               " pixels has one count per pixel";
    return {};
}

}  // namespace

SColorVerdict Judge(const CPrintPlan& plan, int colour, const SFireCounts& fired)
{
    const CCoveragePromise promise(plan);
    SColorVerdict verdict;
    verdict.colorIndex = colour;
    verdict.refusal = FireCountsRefusal(plan, colour, fired);
    if (!verdict.refusal.empty())
        return verdict;
    verdict.promise = promise.Kind();
    verdict.expectation = promise.Text();
    verdict.checked = promise.Kind() != EPromise::None;
    for (int line = std::max(0, -fired.firstLine); line < fired.lineCount; ++line) {
        for (int x = 0; x < fired.width; ++x) {
            const int count = fired.At(line, x);
            if (static_cast<size_t>(count) >= verdict.histogram.size())
                verdict.histogram.resize(static_cast<size_t>(count) + 1, 0);
            ++verdict.histogram[count];
            ++verdict.pixels;
            if (verdict.checked &&
                count != promise.ExpectedCount(colour, fired.firstLine + line, x))
                ++verdict.mismatches;
        }
    }
    verdict.met = verdict.checked && verdict.mismatches == 0;
    return verdict;
}

SColorVerdict Verify(const CPrintPlan& plan, int colour)
{
    return Judge(plan, colour, Simulate(plan, colour));
}

const char* PromiseName(EPromise promise)
{
    switch (promise) {
    case EPromise::Exact: return "exact";
    case EPromise::BelowLevel: return "below-level";
    case EPromise::None: return "none";
    }
    return "none";
}

}  // namespace rv_analysis
