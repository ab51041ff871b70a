#include <RvAnalysis/PrintPlan.h>

#include <algorithm>

namespace rv_analysis {

namespace {

// Rounds towards minus infinity, for lines of the lead-in.
int FloorDiv(int value, int divisor)
{
    const int quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

}  // namespace

CPrintPlan::CPrintPlan(const CMaskData_Base& mask)
    : m_mask(mask), m_positions(mask.MaskPositionCount()), m_step(mask.StepHeight_IncludeRes()),
      m_rows(mask.MaskHeight_IncludeRes()), m_lead(mask.LeadBlankHeight_IncludeRes()),
      m_width(mask.MaskWidth()), m_lineBytes(mask.MaskLineBytes_OneColor()),
      m_bits(mask.BitsPerPixel()), m_colors(mask.MaskParam_Current().colorCount)
{
}

int CPrintPlan::PassCount(int pageLines) const
{
    return pageLines > 0 ? (pageLines + m_lead + m_step - 1) / m_step : 0;
}

const unsigned char* CPrintPlan::RowsOfPass(int colour, int pass) const
{
    // The counter is advanced before use: position p is asked for with p - 1 (-1 for position 0).
    int counter = PositionOfPass(pass) - 1;
    return m_mask.MaskData_Get(colour, counter);
}

SIndexRange CPrintPlan::RowsOnLines(int pass, int firstLine, int endLine) const
{
    const int top = FirstPageLineOfPass(pass);
    return {std::max(0, firstLine - top), std::min(m_rows, endLine - top)};
}

SIndexRange CPrintPlan::PassesOfPageLine(int pageLine) const
{
    const int paperLine = pageLine + m_lead;
    if (paperLine < 0)
        return {};
    // Pass t reaches paper lines t x step to t x step + rows - 1.
    return {std::max(0, FloorDiv(paperLine - m_rows, m_step) + 1), paperLine / m_step + 1};
}

}  // namespace rv_analysis
