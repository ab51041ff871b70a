#include <RvAnalysis/PrintSimulation.h>

#include <RvPlanes/PlaneDerive.h>

#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>

namespace rv_analysis {

SFireCounts Simulate(const CPrintPlan& plan, int colour, int firstLine, int lineCount)
{
    SFireCounts result;
    result.firstLine = firstLine;
    result.lineCount = lineCount;
    result.width = plan.Width();
    result.counts.assign(static_cast<size_t>(lineCount) * result.width, 0);
    result.lastPass.assign(result.counts.size(), -1);
    if (lineCount <= 0)
        return result;

    const int endLine = firstLine + lineCount;
    const int firstPass = plan.PassesOfPageLine(firstLine).first;
    const int endPass = plan.PassesOfPageLine(endLine - 1).end;
    for (int t = firstPass; t < endPass; ++t) {
        const unsigned char* rows = plan.RowsOfPass(colour, t);
        const SIndexRange onLines = plan.RowsOnLines(t, firstLine, endLine);
        for (int r = onLines.first; r < onLines.end; ++r) {
            const unsigned char* row = rows + static_cast<size_t>(r) * plan.LineBytes();
            const int line = plan.FirstPageLineOfPass(t) + r;
            const size_t base = static_cast<size_t>(line - firstLine) * result.width;
            for (int x = 0; x < result.width; ++x) {
                if (PixelFired(row, x, plan.BitsPerPixel())) {
                    ++result.counts[base + x];
                    result.lastPass[base + x] = t;
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
    const CMaskData_Base& mask = plan.Mask();
    const SMaskParam& p = mask.MaskParam_Current();
    m_colorTimes = p.colorTimes;
    m_x = mask.XResPass();
    m_y = mask.YResPass();
    m_baseStep = plan.StepHeight() / m_y;
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
    const int paperLine = pageLine + m_plan.LeadLines();
    switch (m_kind) {
    case EPromise::Exact: {
        if (!m_linesDiffer)
            return m_colorTimes;
        // Base rows at offsets below e within a step lie under the feathered nozzles: laid once.
        const int baseRow = paperLine / m_y;
        return baseRow % m_baseStep < m_featherRows ? 1 : m_colorTimes;
    }
    case EPromise::BelowLevel:
        return ThresholdOf(colour, paperLine, m_plan.MaskColumn(x)) < m_level ? 1 : 0;
    case EPromise::None: break;
    }
    return -1;
}

// The threshold every pass cuts paper pixel (paperLine, x) from: the tile row depends only on the
// paper line, because N positions of S rows span whole tiles.
int CCoveragePromise::ThresholdOf(int colour, int paperLine, int x) const
{
    const int j = paperLine % m_y;
    const int row = (paperLine / m_y + (j * m_baseStep) / m_y) % m_tileRows;
    const int width = CRawMaskData::Width();
    const int column = ((width * (x % m_x)) / m_x + x / m_x) % width;
    return CRawMaskData::RawData(colour)[(row % CRawMaskData::Height()) * width + column];
}

SColorVerdict Judge(const CPrintPlan& plan, int colour, const SFireCounts& fired)
{
    const CCoveragePromise promise(plan);
    SColorVerdict verdict;
    verdict.colorIndex = colour;
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
