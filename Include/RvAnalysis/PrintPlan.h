// The print plan: where a host lays every pass of a built pass mask. Everything that reasons about
// a print (the print simulation and its verdict, and whatever splits a page into passes or
// simulates banding) takes the rules from here, so that they are written once.
//
// Lines. The paper advances StepHeight() lines per pass; paper lines count from the first line
// pass 0 reaches. In pass t = 0, 1, 2, ...
//   - the host lays mask position t mod N (N = PositionCount()); each colour has its own rows;
//   - nozzle row r (0 <= r < NozzleRows()) lies on paper line t x StepHeight() + r.
// Page line 0 lies on paper line LeadLines() (the mask's lead blank). From there on every line is
// laid by all the passes that ever reach it, so the page starts fully covered; the lead-in above it
// (page lines -LeadLines() to -1) sees only some of its passes and a host leaves it blank.
// A page of L lines takes passes 0 to PassCount(L) - 1, ceil((L + LeadLines()) / StepHeight()),
// and each pass lays only its rows that fall on page lines 0 to L - 1 (RowsOnLines(t, 0, L)).
//
// Columns. The mask repeats across the page: page pixel x uses mask column x mod Width().
//
// Rows are the mask's own bytes (see MaskData_Base.h for their layout): LineBytes() bytes per row,
// BitsPerPixel() bits per pixel from the most significant bit down; a pixel is fired when all its
// bits are set (PixelFired).
//
// The plan copies the geometry when it is made and reads rows from the mask, which must be built
// (Create returned true) and outlive the plan. Every query is const and may run on any thread.
#pragma once

#include <Rv_Halftone/MaskData_Base.h>

namespace rv_analysis {

// The whole numbers first to end - 1; empty when end <= first.
struct SIndexRange
{
    int first = 0;
    int end = 0;

    int Count() const { return end > first ? end - first : 0; }
};

class CPrintPlan
{
public:
    explicit CPrintPlan(const CMaskData_Base& mask);

    const CMaskData_Base& Mask() const { return m_mask; }
    int PositionCount() const { return m_positions; }
    int StepHeight() const { return m_step; }  // paper lines per pass
    int NozzleRows() const { return m_rows; }  // rows each pass lays
    int LeadLines() const { return m_lead; }   // paper line of page line 0
    int Width() const { return m_width; }      // pixels of a mask row: the period across the page
    int LineBytes() const { return m_lineBytes; }
    int BitsPerPixel() const { return m_bits; }
    int ColorCount() const { return m_colors; }
    // Lines after which the pattern of passes repeats: PositionCount() x StepHeight(). Any stretch
    // of this many page lines shows every mask position at every offset once.
    int CycleLines() const { return m_positions * m_step; }

    // Passes that print a page of `pageLines` lines; 0 for an empty page.
    int PassCount(int pageLines) const;
    // Mask position laid in pass `pass` (>= 0).
    int PositionOfPass(int pass) const { return pass % m_positions; }
    // Page line under nozzle row 0 of pass `pass`: negative while the pass starts in the lead-in.
    int FirstPageLineOfPass(int pass) const { return pass * m_step - m_lead; }
    // The rows colour `colour` lays in pass `pass`: NozzleRows() rows of LineBytes() bytes, read
    // through CMaskData_Base::MaskData_Get; null for a colour the mask does not have.
    const unsigned char* RowsOfPass(int colour, int pass) const;
    // Nozzle rows of pass `pass` that fall on page lines [firstLine, endLine).
    SIndexRange RowsOnLines(int pass, int firstLine, int endLine) const;
    // Passes that lay page line `pageLine` (at least -LeadLines(); before that, none).
    SIndexRange PassesOfPageLine(int pageLine) const;
    // Mask column that page pixel x (>= 0) is cut from.
    int MaskColumn(int pageX) const { return pageX % m_width; }

private:
    const CMaskData_Base& m_mask;
    int m_positions;
    int m_step;
    int m_rows;
    int m_lead;
    int m_width;
    int m_lineBytes;
    int m_bits;
    int m_colors;
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
