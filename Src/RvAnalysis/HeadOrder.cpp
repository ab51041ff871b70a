#include <RvAnalysis/HeadOrder.h>

#include <algorithm>
#include <cstring>

namespace rv_analysis {

const char* NozzleDirectionName(ENozzleDirection direction)
{
    return direction == ENozzleDirection::Down ? "down" : "up";
}

void SwathInHeadOrder(const CPrintPlan& plan, const SSwath& swath, ENozzleDirection direction,
                      std::vector<unsigned char>& block)
{
    const int headNozzles = plan.HeadNozzles();
    block.assign(static_cast<size_t>(headNozzles) * swath.rowBytes, 0);
    for (int row = 0; row < headNozzles; ++row) {
        const int swathRow = NozzleOfHeadRow(headNozzles, direction, row) - swath.firstNozzle;
        if (swathRow >= 0 && swathRow < swath.rows)
            std::memcpy(block.data() + static_cast<size_t>(row) * swath.rowBytes,
                        swath.Row(swathRow), swath.rowBytes);
    }
}

std::string HeadOffsetRefusal(long long lines, long long columns)
{
    const auto outside = [](long long value) {
        return value < -kMaxHeadOffset || value > kMaxHeadOffset;
    };
    if (outside(lines) || outside(columns))
        return "a head offset of " + std::to_string(lines) + " lines and " +
               std::to_string(columns) + " columns: offsets lie within -" +
               std::to_string(kMaxHeadOffset) + " to " + std::to_string(kMaxHeadOffset) +
               " lines and columns";
    return {};
}

CPrintFrame::CPrintFrame(const SPageLayout& page, const std::vector<SHeadOffset>& offsets)
    : m_page(page), m_frame(page), m_offsets(offsets)
{
    int bottom = 0;  // the largest offset up, as a negative number of lines
    int right = 0;
    for (const SHeadOffset& offset : m_offsets) {
        m_refusal = HeadOffsetRefusal(offset.lines, offset.columns);
        if (!m_refusal.empty())
            return;
        m_top = std::max(m_top, offset.lines);
        bottom = std::min(bottom, offset.lines);
        m_left = std::max(m_left, offset.columns);
        right = std::min(right, offset.columns);
    }
    // Within the offsets' range these sums fit an int; the limits below say whether they fit a
    // split.
    const long long height = static_cast<long long>(page.height) + m_top - bottom;
    const long long width = static_cast<long long>(page.width) + m_left - right;
    if (height > kMaxPageLines)
        m_refusal = "the head offsets make the page " + std::to_string(height) +
                    " lines long: at most " + std::to_string(kMaxPageLines);
    else if (width > kMaxStreamedLineWidth)
        m_refusal = "the head offsets make the page " + std::to_string(width) +
                    " pixels wide: at most " + std::to_string(kMaxStreamedLineWidth);
    if (!m_refusal.empty())
        return;
    m_frame.height = static_cast<int>(height);
    m_frame.width = static_cast<int>(width);
}

SHeadOffset CPrintFrame::Offset(int colour) const
{
    return colour >= 0 && colour < static_cast<int>(m_offsets.size())
               ? m_offsets[static_cast<size_t>(colour)]
               : SHeadOffset{};
}

int CPrintFrame::FirstLine(int colour) const { return m_top - Offset(colour).lines; }

int CPrintFrame::FirstColumn(int colour) const { return m_left - Offset(colour).columns; }

void CPrintFrame::PlaceRow(int colour, const unsigned char* pageRow, unsigned char* frameRow) const
{
    const int bits = m_page.bitsPerPixel;
    const size_t pageBytes = PackedRowBytes(m_page.width, bits);
    const size_t frameBytes = PackedRowBytes(m_frame.width, bits);
    std::memset(frameRow, 0, frameBytes);
    const long long bitOffset = static_cast<long long>(FirstColumn(colour)) * bits;
    const size_t byteShift = static_cast<size_t>(bitOffset / 8);
    const int shift = static_cast<int>(bitOffset % 8);
    // Bits past the page's width are never printed: they must not land on frame pixels.
    const int tailBits = static_cast<int>(static_cast<long long>(m_page.width) * bits % 8);
    const unsigned char lastMask =
        tailBits == 0 ? 0xFF : static_cast<unsigned char>(0xFF << (8 - tailBits));
    for (size_t b = 0; b < pageBytes; ++b) {
        const unsigned byte = b + 1 == pageBytes ? pageRow[b] & lastMask : pageRow[b];
        frameRow[byteShift + b] |= static_cast<unsigned char>(byte >> shift);
        if (shift != 0 && byteShift + b + 1 < frameBytes)
            frameRow[byteShift + b + 1] |= static_cast<unsigned char>(byte << (8 - shift));
    }
}

}  // namespace rv_analysis
