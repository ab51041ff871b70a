// The print plan: where a host's head lays every row of a built pass mask. Everything that reasons
// about a print (the print simulation and its verdict, the page splitter and its check, the
// banding simulation) takes the rules from here, so that they are written once.
//
// Words. A fine line is one page line at the mask's full vertical resolution. The head has
// nozzles 0, 1, 2, ... from the top, Y fine lines apart (Y = the mask's YResPass()); a head column
// is one pixel at the head's own horizontal resolution, X page pixels apart (X = XResPass()).
//
// Two views of one print.
//
// The mask-position view: the print is a sequence of print positions t = 0, 1, 2, ...; position
// t uses the rows of mask position t mod N (N = PositionCount()), MaskRows() rows of Width()
// pixels, as the mask hands them out (RowsOfPosition). The paper advances StepHeight() fine lines
// from one position to the next. Mask row r = k x Y + j is nozzle k's row in Y phase j, and mask
// pixel u = x x X + i is head column x in X phase i.
//
// The physical view: a head cannot lay a mask position at once. Print position t is laid by
// X x Y physical passes g = t x X x Y + q, q = j x X + i (the X phase inner, the Y phase outer).
// Physical pass g (SPhysicalPass) fires only the mask rows of its Y phase j (row k x Y + j under
// nozzle k, so at most NozzleCount() nozzles) and only the pixels of its X phase i (head column x
// fires mask pixel x x X + i, page column x x X + i + a multiple of Width()). Its lines:
//   - its frame, the page line where mask row 0 of its position would lie, is
//       t x StepHeight() + YResStep[j] + XResStep[i] - LeadLines() = g x RealStep() - LeadLines(),
//     so consecutive physical passes lie RealStep() fine lines apart;
//   - nozzle k lays page line frame + j x YPhaseShift() + k x Y: nozzle 0 lies j fine lines below
//     the frame. Every frame is a multiple of Y from page line 0 (RealStep() and LeadLines() are),
//     so without that shift every Y phase would lay the same fine lines; with it, phase j lays the
//     fine lines j, j + Y, j + 2 Y, ... and the Y phases interleave.
// The paper therefore advances RealStep() fine lines before a physical pass in the same Y phase
// as the one before it, RealStep() + 1 when the Y phase steps up, and RealStep() - (Y - 1) when a
// new print position starts over at phase 0: X x Y advances that add up to StepHeight().
//
// Both views lay every mask pixel on the same page pixel, read through the same threshold: all the
// passes that reach a page pixel cut it from one threshold, which is what lets a mode promise exact
// coverage (CCoveragePromise).
//
// Page lines. Page line 0 lies LeadLines() fine lines below the top nozzle of physical pass 0 (the
// mask's lead blank). From page line 0 on every line is laid by all the passes that ever reach it,
// so the page starts fully covered; the lead-in above it (page lines -LeadLines() to -1) sees only
// some of its passes and a host leaves it blank. A page of L lines takes physical passes 0 to
// PassCount(L) - 1, and each lays only its nozzles that fall on page lines 0 to L - 1.
//
// Columns. The mask repeats across the page: page pixel c uses mask pixel c mod Width(); its X
// phase is c mod X.
//
// Rows are the mask's own bytes (see MaskData_Base.h for their layout): LineBytes() bytes per row,
// BitsPerPixel() bits per pixel from the most significant bit down; a pixel is fired when all its
// bits are set (PixelFired).
//
// The plan copies the geometry when it is made and reads rows from the mask, which must outlive
// the plan. A mask that cannot be planned (its Create failed or never ran; figures a head cannot
// lay) gives a plan with a Refusal(): it has no passes and no rows. Queries outside their stated
// ranges give empty answers (no passes, no nozzles, null rows), never undefined ones. Every query
// is const and may run on any thread.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>

#include <string>

namespace rv_analysis {

// The whole numbers first to end - 1; empty when end <= first.
struct SIndexRange
{
    int first = 0;
    int end = 0;

    int Count() const { return end > first ? end - first : 0; }
};

// Pages of at most this many lines are planned: 67,108,864 fine lines, over 2.8 km at 600 dpi.
// Every line and pass number of such a page, lead-in and head included, fits an int.
constexpr int kMaxPageLines = 1 << 26;

// Fine lines between nozzle 0 of Y phase j and the frame of its pass, per phase: the offset that
// puts Y phase j on the fine lines of its own parity.
constexpr int kYPhaseShift = 1;

// One physical pass of the head.
struct SPhysicalPass
{
    int index = 0;          // g: physical passes count from 0 in print order
    int print = 0;          // t = g / (X x Y): the print position it belongs to
    int position = 0;       // mask position t mod N whose rows it fires
    int xPhase = 0;         // i: fires mask pixels x x X + i, head column x
    int yPhase = 0;         // j: fires mask rows k x Y + j, nozzle k
    int frameLine = 0;      // page line where mask row 0 of its position would lie
    int nozzle0Line = 0;    // page line of nozzle 0: frameLine + j x kYPhaseShift
    int advanceBefore = 0;  // fine lines the paper moved since the previous pass; 0 for pass 0
};

class CPrintPlan
{
public:
    explicit CPrintPlan(const CMaskData_Base& mask);

    // Why the mask cannot be planned, with the figure and the rule; empty when it can.
    const std::string& Refusal() const { return m_refusal; }
    bool Accepted() const { return m_refusal.empty(); }

    const CMaskData_Base& Mask() const { return m_mask; }
    int Width() const { return m_width; }  // pixels of a mask row: the period across the page
    int LineBytes() const { return m_lineBytes; }
    int BitsPerPixel() const { return m_bits; }
    int ColorCount() const { return m_colors; }
    int LeadLines() const
    {
        return m_lead;
    }  // fine lines from physical pass 0's frame to page line 0

    // --- The mask-position view ---
    int PositionCount() const { return m_positions; }
    int StepHeight() const { return m_step; }  // fine lines from one print position to the next
    int MaskRows() const { return m_nozzles * m_y; }  // rows of a mask position
    // Lines after which the pattern of passes repeats: PositionCount() x StepHeight(). Any stretch
    // of this many page lines shows every mask position at every offset once.
    int CycleLines() const { return m_positions * m_step; }
    int PositionOfPrint(int print) const
    {
        return print >= 0 && m_positions > 0 ? print % m_positions : 0;
    }
    // The MaskRows() rows of LineBytes() bytes of `colour` at mask position `position`, read
    // through CMaskData_Base::MaskData_Get; null for a colour or position the mask does not have.
    const unsigned char* RowsOfPosition(int colour, int position) const;

    // --- The physical view ---
    int XPasses() const { return m_x; }  // X: X phases, page pixels between head columns
    int YPasses() const { return m_y; }  // Y: Y phases, fine lines between nozzles
    int PassesPerPosition() const { return m_x * m_y; }
    int RealStep() const { return m_realStep; }  // fine lines from one frame to the next
    // Nozzles a physical pass fires, from nozzle 0: the mask's rows per Y phase. At most the
    // record's nozzleCount (HeadNozzles()); a feathered mode may leave the last few unused.
    int NozzleCount() const { return m_nozzles; }
    int HeadNozzles() const { return m_headNozzles; }  // the record's nozzleCount

    // Physical pass g, for 0 <= g < PassCount(kMaxPageLines); any other g (and any g of a refused
    // plan) gives a pass with index -1 and no nozzles.
    SPhysicalPass Pass(int g) const;
    // Physical passes that lay a page of `pageLines` lines, 0 to kMaxPageLines; 0 for any other
    // length (PageLinesRefusal says why).
    int PassCount(int pageLines) const;
    // Why a page of `pageLines` lines cannot be planned; empty when it can.
    std::string PageLinesRefusal(long long pageLines) const;
    // Physical passes that lay any nozzle on page lines [firstLine, endLine), of any phase.
    SIndexRange PassesOnLines(int firstLine, int endLine) const;
    // Nozzles of `pass` that lie on page lines [firstLine, endLine).
    SIndexRange NozzlesOnLines(const SPhysicalPass& pass, int firstLine, int endLine) const;
    // Page line nozzle k of `pass` lays.
    int NozzleLine(const SPhysicalPass& pass, int nozzle) const
    {
        return pass.nozzle0Line + nozzle * m_y;
    }
    // The nozzle of `pass` that lays page line `line`; -1 when none does.
    int NozzleOfLine(const SPhysicalPass& pass, int line) const;
    // Mask row nozzle k of `pass` fires: k x Y + j.
    int MaskRowOfNozzle(const SPhysicalPass& pass, int nozzle) const
    {
        return nozzle * m_y + pass.yPhase;
    }
    // The mask row nozzle k of `pass` fires for `colour`; null for a colour the mask does not have
    // or a nozzle outside 0 to NozzleCount() - 1.
    const unsigned char* RowOfNozzle(int colour, const SPhysicalPass& pass, int nozzle) const;
    // Head columns of X phase `xPhase` on a page `pageWidth` pixels wide: page columns xPhase,
    // xPhase + X, ... below pageWidth.
    int HeadColumns(int pageWidth, int xPhase) const;
    // Page column of head column x in X phase i.
    long long PageColumn(int xPhase, int headColumn) const
    {
        return static_cast<long long>(headColumn) * m_x + xPhase;
    }
    // Mask pixel that page pixel c (>= 0) is cut from.
    int MaskColumn(long long pageX) const
    {
        return m_width > 0 ? static_cast<int>(pageX % m_width) : 0;
    }

private:
    // Page line of nozzle 0 of physical pass g >= 0.
    long long Nozzle0Line(long long g) const;
    // The first physical pass whose nozzle 0 lies on `line` or below it.
    long long FirstPassFrom(long long line) const;
    std::string PlanRefusal() const;
    int m_maxPasses = 0;  // PassCount(kMaxPageLines)

    const CMaskData_Base& m_mask;
    int m_positions = 0;
    int m_step = 0;
    int m_nozzles = 0;
    int m_headNozzles = 0;
    int m_lead = 0;
    int m_width = 0;
    int m_lineBytes = 0;
    int m_bits = 0;
    int m_colors = 0;
    int m_x = 1;
    int m_y = 1;
    int m_realStep = 0;
    std::string m_refusal;
};

// Pixel x of a packed mask row: fired when all its bitsPerPixel bits are set. Inline: the print
// simulations ask it of every pixel of every row they lay.
inline bool PixelFired(const unsigned char* row, int x, int bitsPerPixel)
{
    const int bit = x * bitsPerPixel;
    const int shift = 8 - bitsPerPixel - (bit % 8);
    const int mask = (1 << bitsPerPixel) - 1;
    return ((row[bit / 8] >> shift) & mask) == mask;
}

}  // namespace rv_analysis
