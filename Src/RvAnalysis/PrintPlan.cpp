#include <RvAnalysis/PrintPlan.h>

#include <algorithm>

namespace rv_analysis {

namespace {

// Rounds towards minus infinity, for lines of the lead-in.
long long FloorDiv(long long value, long long divisor)
{
    const long long quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

long long CeilDiv(long long value, long long divisor) { return -FloorDiv(-value, divisor); }

std::string Text(long long value) { return std::to_string(value); }

}  // namespace

CPrintPlan::CPrintPlan(const CMaskData_Base& mask) : m_mask(mask)
{
    m_refusal = PlanRefusal();
    if (!m_refusal.empty())
        return;
    m_x = mask.XResPass();
    m_y = mask.YResPass();
    m_positions = mask.MaskPositionCount();
    m_step = mask.StepHeight_IncludeRes();
    m_realStep = mask.RealStepHeight_IncludeRes();
    m_nozzles = mask.MaskHeight_IncludeRes() / m_y;
    m_headNozzles = mask.MaskParam_Current().nozzleCount;
    m_lead = mask.LeadBlankHeight_IncludeRes();
    m_width = mask.MaskWidth();
    m_lineBytes = mask.MaskLineBytes_OneColor();
    m_bits = mask.BitsPerPixel();
    m_colors = mask.MaskParam_Current().colorCount;
    m_maxPasses = PassCount(kMaxPageLines);
}

// The figures a head needs to lay the mask pass by pass. The library's own geometry always meets
// them; a mask that does not was not built (or not by this library's rules), and is not guessed at.
std::string CPrintPlan::PlanRefusal() const
{
    const CMaskData_Base& mask = m_mask;
    const SMaskParam& record = mask.MaskParam_Current();
    int counter = -1;
    if (mask.MaskPositionCount() < 1 || mask.MaskHeight_IncludeRes() < 1 || mask.MaskWidth() < 1 ||
        mask.MaskLineBytes_OneColor() < 1 || record.colorCount < 1 ||
        mask.MaskData_Get(0, counter) == nullptr)
        return "the mask is not built (its Create failed or never ran): it has " +
               Text(mask.MaskPositionCount()) + " positions of " +
               Text(mask.MaskHeight_IncludeRes()) + " rows";
    const int x = mask.XResPass(), y = mask.YResPass();
    if (x < 1 || y < 1 || mask.XResStep() == nullptr || mask.YResStep() == nullptr)
        return "xResPass " + Text(x) + ", yResPass " + Text(y) +
               ": a head needs at least 1 of each";
    const int step = mask.StepHeight_IncludeRes(), real = mask.RealStepHeight_IncludeRes();
    const int rows = mask.MaskHeight_IncludeRes(), lead = mask.LeadBlankHeight_IncludeRes();
    if (rows % y != 0)
        return "mask height " + Text(rows) + ": a multiple of yResPass " + Text(y) +
               ", one row per nozzle and Y phase";
    if (real < 1 || static_cast<long long>(real) * x * y != step)
        return "real step height " + Text(real) + ": the step height " + Text(step) +
               " divided by xResPass " + Text(x) + " and yResPass " + Text(y) +
               ", the advance between physical passes";
    // Frames lie whole nozzle pitches from one another and from page line 0, so that the shift of
    // one fine line per Y phase puts every phase on the fine lines of its own parity.
    if (real % y != 0)
        return "real step height " + Text(real) + ": a multiple of yResPass " + Text(y) +
               ", so that every Y phase keeps to its own fine lines";
    if (lead < 0 || lead % y != 0)
        return "lead blank " + Text(lead) + ": a multiple of yResPass " + Text(y) +
               ", so that every Y phase keeps to its own fine lines";
    for (int i = 0; i < x; ++i)
        if (mask.XResStep()[i] != real * i)
            return "X resolution step " + Text(i) + " is " + Text(mask.XResStep()[i]) +
                   ": the head lays X phase i a real step height (" + Text(real) + ") x i lower";
    for (int j = 0; j < y; ++j)
        if (mask.YResStep()[j] != step / y * j)
            return "Y resolution step " + Text(j) + " is " + Text(mask.YResStep()[j]) +
                   ": the head lays Y phase j a base step (" + Text(step / y) + ") x j lower";
    if (rows / y > record.nozzleCount)
        return "the mask fires " + Text(rows / y) + " nozzles per Y phase, but nozzleCount is " +
               Text(record.nozzleCount);
    return {};
}

long long CPrintPlan::Nozzle0Line(long long g) const
{
    const int perPosition = m_x * m_y;
    const long long yPhase = (g % perPosition) / m_x;
    return g * m_realStep - m_lead + yPhase * kYPhaseShift;
}

// Nozzle 0 of pass g lies between g x real - lead and Y - 1 lines below it, and moves down with g.
long long CPrintPlan::FirstPassFrom(long long line) const
{
    long long g = std::max(0LL, CeilDiv(line + m_lead - (m_y - 1) * kYPhaseShift, m_realStep));
    while (Nozzle0Line(g) < line)
        ++g;
    return g;
}

SPhysicalPass CPrintPlan::Pass(int g) const
{
    SPhysicalPass pass;
    if (!Accepted() || g < 0 || g >= m_maxPasses) {
        pass.index = -1;
        return pass;
    }
    const int perPosition = m_x * m_y;
    pass.index = g;
    pass.print = g / perPosition;
    pass.position = pass.print % m_positions;
    pass.xPhase = (g % perPosition) % m_x;
    pass.yPhase = (g % perPosition) / m_x;
    pass.frameLine = g * m_realStep - m_lead;
    pass.nozzle0Line = static_cast<int>(Nozzle0Line(g));
    pass.advanceBefore = g == 0 ? 0 : static_cast<int>(Nozzle0Line(g) - Nozzle0Line(g - 1));
    return pass;
}

std::string CPrintPlan::PageLinesRefusal(long long pageLines) const
{
    if (!Accepted())
        return m_refusal;
    if (pageLines < 0 || pageLines > kMaxPageLines)
        return "a page of " + Text(pageLines) + " lines: 0 to " + Text(kMaxPageLines) + " lines";
    return {};
}

int CPrintPlan::PassCount(int pageLines) const
{
    if (!PageLinesRefusal(pageLines).empty() || pageLines == 0)
        return 0;
    // Every pass down to the last whose nozzle 0 lies on the page: each from pass 0 on reaches
    // the page, since the head spans more than the lead blank.
    return static_cast<int>(FirstPassFrom(pageLines));
}

SIndexRange CPrintPlan::PassesOnLines(int firstLine, int endLine) const
{
    if (!Accepted() || endLine <= firstLine)
        return {};
    const long long span = static_cast<long long>(m_nozzles - 1) * m_y;
    const long long first = FirstPassFrom(static_cast<long long>(firstLine) - span);
    const long long end = FirstPassFrom(endLine);
    return {static_cast<int>(std::min<long long>(first, m_maxPasses)),
            static_cast<int>(std::min<long long>(end, m_maxPasses))};
}

SIndexRange CPrintPlan::NozzlesOnLines(const SPhysicalPass& pass, int firstLine, int endLine) const
{
    if (pass.index < 0 || endLine <= firstLine)
        return {};
    const long long top = pass.nozzle0Line;
    const long long first = std::max(0LL, CeilDiv(firstLine - top, m_y));
    const long long end = std::min<long long>(m_nozzles, CeilDiv(endLine - top, m_y));
    return first < end ? SIndexRange{static_cast<int>(first), static_cast<int>(end)}
                       : SIndexRange{};
}

int CPrintPlan::NozzleOfLine(const SPhysicalPass& pass, int line) const
{
    const long long down = static_cast<long long>(line) - pass.nozzle0Line;
    if (pass.index < 0 || down < 0 || down % m_y != 0 || down / m_y >= m_nozzles)
        return -1;
    return static_cast<int>(down / m_y);
}

const unsigned char* CPrintPlan::RowsOfPosition(int colour, int position) const
{
    if (!Accepted() || colour < 0 || colour >= m_colors || position < 0 || position >= m_positions)
        return nullptr;
    // The counter is advanced before use: position p is asked for with p - 1 (-1 for position 0).
    int counter = position - 1;
    return m_mask.MaskData_Get(colour, counter);
}

const unsigned char* CPrintPlan::RowOfNozzle(int colour, const SPhysicalPass& pass,
                                             int nozzle) const
{
    const unsigned char* rows = RowsOfPosition(colour, pass.position);
    if (rows == nullptr || pass.index < 0 || nozzle < 0 || nozzle >= m_nozzles)
        return nullptr;
    return rows + static_cast<size_t>(MaskRowOfNozzle(pass, nozzle)) * m_lineBytes;
}

int CPrintPlan::HeadColumns(int pageWidth, int xPhase) const
{
    if (!Accepted() || pageWidth <= xPhase || xPhase < 0 || xPhase >= m_x)
        return 0;
    return static_cast<int>(CeilDiv(pageWidth - xPhase, m_x));
}

}  // namespace rv_analysis
