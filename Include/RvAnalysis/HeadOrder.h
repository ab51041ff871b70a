// A swath as a head takes it, and each colour's page where its head lays it.
//
// Head order. A swath (PageSplitter.h) holds the nozzles that reach the page, top down. A back end
// that feeds a head wants every pass as one block of the head's nozzles in the head's numbering:
// HeadNozzles() rows of the swath's rowBytes, row r holding nozzle NozzleOfHeadRow(r), nozzle 0
// first when the nozzles count down the page (nozzle 0 at the top of the swath) and the last nozzle
// first when they count up. Nozzles that lay no page line in the pass, and the head's nozzles the
// mode leaves unused, are blank rows: every pass gives a block of the same height.
//
// The print frame. Each colour has a head of its own, mounted a few lines and columns from where
// the plan puts the head (its offset, SHeadOffset: `lines` down the page, `columns` to the right).
// What a colour's nozzle fires in a pass is the pixel of its page under that nozzle, so the
// colour's page is split as if it lay `lines` lines higher and `columns` columns further left.
// The passes are planned over a frame that holds every colour's page so placed, in full: no page
// pixel is lost at an edge, and frame pixels outside a colour's page are blank. Without offsets
// the frame is the page. Colour c's page line 0 lies on frame line FirstLine(c), its column 0 on
// frame column FirstColumn(c).
#pragma once

#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PrintPlan.h>

#include <string>
#include <vector>

namespace rv_analysis {

// Which way the head numbers its nozzles along the page.
enum class ENozzleDirection
{
    Down,  // nozzle 0 at the top of the swath, on its first page line
    Up,    // nozzle 0 at the bottom
};

// "down" or "up".
const char* NozzleDirectionName(ENozzleDirection direction);

// The nozzle in row `row` (0 to headNozzles - 1) of a head-order block.
inline int NozzleOfHeadRow(int headNozzles, ENozzleDirection direction, int row)
{
    return direction == ENozzleDirection::Down ? row : headNozzles - 1 - row;
}

// `swath` in head order: plan.HeadNozzles() rows of swath.rowBytes bytes into `block` (resized).
void SwathInHeadOrder(const CPrintPlan& plan, const SSwath& swath, ENozzleDirection direction,
                      std::vector<unsigned char>& block);

// Where a colour's head is mounted: page lines down and columns to the right of the plan's head.
struct SHeadOffset
{
    int lines = 0;
    int columns = 0;
};

// Heads are mounted within centimetres of each other; an offset of more lines or columns than
// this (over 2.7 m at 600 dpi) is a mistyped figure.
constexpr int kMaxHeadOffset = 1 << 16;

// Why an offset of `lines` and `columns` cannot be a head's; empty when it can.
std::string HeadOffsetRefusal(long long lines, long long columns);

// The frame every colour's page of `page`'s size is placed in, one offset per colour.
class CPrintFrame
{
public:
    CPrintFrame(const SPageLayout& page, const std::vector<SHeadOffset>& offsets);

    // Why the frame cannot be split (an offset out of range, a frame wider than a streamed line
    // or longer than a plan's page); empty when it can.
    const std::string& Refusal() const { return m_refusal; }
    bool Accepted() const { return m_refusal.empty(); }

    const SPageLayout& Page() const { return m_page; }
    const SPageLayout& Frame() const { return m_frame; }
    SHeadOffset Offset(int colour) const;
    int FirstLine(int colour) const;    // frame line of the colour's page line 0
    int FirstColumn(int colour) const;  // frame column of its page column 0
    // Blank frame lines above and below the colour's page.
    int LinesBefore(int colour) const { return FirstLine(colour); }
    int LinesAfter(int colour) const { return m_frame.height - m_page.height - FirstLine(colour); }

    // Frame row (PackedRowBytes(Frame().width) bytes) of the colour's packed page row: the page's
    // pixels at FirstColumn(colour) on, blank around them.
    void PlaceRow(int colour, const unsigned char* pageRow, unsigned char* frameRow) const;

private:
    SPageLayout m_page;
    SPageLayout m_frame;
    std::vector<SHeadOffset> m_offsets;
    int m_top = 0;   // the largest offset down: the frame's lines above an unshifted page
    int m_left = 0;  // the largest offset to the right
    std::string m_refusal;
};

}  // namespace rv_analysis
