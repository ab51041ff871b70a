#include <RvAnalysis/PageSplitter.h>

#include "LineBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <numeric>

namespace rv_analysis {

namespace {

constexpr size_t kWordBytes = sizeof(uint64_t);

// The word loop at the heart of the splitter: rows are not word-aligned in memory (a row of a
// 1-bit mask is 68 bytes), so every word goes through memcpy, which compiles to plain loads. The
// output is never a page or mask row, which lets the compiler take several words at a time.
void AndWords(const unsigned char* __restrict page, const unsigned char* __restrict mask,
              unsigned char* __restrict out, size_t words)
{
    for (size_t i = 0; i < words; ++i) {
        uint64_t a;
        uint64_t b;
        std::memcpy(&a, page + i * kWordBytes, kWordBytes);
        std::memcpy(&b, mask + i * kWordBytes, kWordBytes);
        a &= b;
        std::memcpy(out + i * kWordBytes, &a, kWordBytes);
    }
}

// Bytes of `count` rows `stride` apart whose last row has `rowBytes` bytes; 0 when that does not
// fit in a size_t.
size_t SpanBytes(size_t count, size_t stride, size_t rowBytes)
{
    if (count == 0)
        return 0;
    if (stride != 0 && count - 1 > (SIZE_MAX - rowBytes) / stride)
        return 0;
    return (count - 1) * stride + rowBytes;
}

std::string Bits(int bits) { return std::to_string(bits) + (bits == 1 ? " bit" : " bits"); }

}  // namespace

size_t PackedRowBytes(int width, int bitsPerPixel)
{
    return width > 0 && bitsPerPixel > 0 ? (static_cast<size_t>(width) * bitsPerPixel + 7) / 8 : 0;
}

SPageRaster SPackedPage::Raster() const
{
    SPageRaster raster;
    raster.bytes = bytes.data();
    raster.byteCount = bytes.size();
    raster.width = width;
    raster.height = height;
    raster.bitsPerPixel = bitsPerPixel;
    raster.rowStride = RowBytes();
    return raster;
}

namespace {

std::string LayoutRefusal(const CPrintPlan& plan, int colour, const SPageRaster& page)
{
    if (!plan.Accepted())
        return plan.Refusal();
    if (colour < 0 || colour >= plan.ColorCount())
        return "colour " + std::to_string(colour) + " is not in the mask, which has colours 0 to " +
               std::to_string(plan.ColorCount() - 1);
    if (page.bitsPerPixel != plan.BitsPerPixel())
        return "the page has " + Bits(page.bitsPerPixel) + " per pixel and the mask " +
               Bits(plan.BitsPerPixel()) + ": give a page of " + Bits(plan.BitsPerPixel()) +
               " per pixel";
    if (page.width < 1 || page.height < 1)
        return "the page is " + std::to_string(page.width) + " x " + std::to_string(page.height) +
               " pixels: it needs at least 1 line of at least 1 pixel";
    const std::string lines = plan.PageLinesRefusal(page.height);
    if (!lines.empty())
        return lines;
    // The mask repeats across the page in whole bytes; the library's widths (multiples of 544
    // pixels) always do.
    if (static_cast<long long>(plan.Width()) * plan.BitsPerPixel() != 8LL * plan.LineBytes())
        return "mask rows of " + std::to_string(plan.Width()) + " pixels do not fill whole bytes";
    return {};
}

SPageRaster RasterOfLayout(const SPageLayout& layout)
{
    SPageRaster raster;
    raster.width = layout.width;
    raster.height = layout.height;
    raster.bitsPerPixel = layout.bitsPerPixel;
    raster.rowStride = PackedRowBytes(layout.width, layout.bitsPerPixel);
    return raster;
}

}  // namespace

std::string PageLayoutRefusal(const CPrintPlan& plan, int colour, const SPageLayout& layout)
{
    const std::string refusal = LayoutRefusal(plan, colour, RasterOfLayout(layout));
    if (!refusal.empty())
        return refusal;
    if (layout.width > kMaxStreamedLineWidth)
        return "the page is " + std::to_string(layout.width) + " pixels wide: a streamed page " +
               "has lines of at most " + std::to_string(kMaxStreamedLineWidth) + " pixels";
    return {};
}

std::string PageRefusal(const CPrintPlan& plan, int colour, const SPageRaster& page)
{
    const std::string refusal = LayoutRefusal(plan, colour, page);
    if (!refusal.empty())
        return refusal;
    const size_t rowBytes = PackedRowBytes(page.width, page.bitsPerPixel);
    if (page.rowStride < rowBytes)
        return "page rows are " + std::to_string(page.rowStride) + " bytes apart, but " +
               std::to_string(page.width) + " pixels of " + Bits(page.bitsPerPixel) + " take " +
               std::to_string(rowBytes) + " bytes";
    const size_t needed = SpanBytes(static_cast<size_t>(page.height), page.rowStride, rowBytes);
    if (page.bytes == nullptr || needed == 0 || page.byteCount < needed)
        return "the page raster has " + std::to_string(page.bytes ? page.byteCount : 0) +
               " bytes, but " + std::to_string(page.height) + " rows of " +
               std::to_string(rowBytes) + " bytes, " + std::to_string(page.rowStride) +
               " apart, need " + (needed == 0 ? "more than memory holds" : std::to_string(needed));
    return {};
}

// Every row a swath reports is written whole before it is handed out, so its buffer is not
// cleared (see CLineBuffer).
struct CPageSplitter::SSwathRows
{
    CLineBuffer<unsigned char> bytes;
    size_t size = 0;
};

struct CPageSplitter::SStream
{
    SwathSink onSwath;
    CLineWindow<unsigned char> lines;  // the page lines the next passes need
    int nextPass = 0;                  // the first pass not yet emitted
    int linesForNextPass = 0;          // lines it needs received; checked once per pushed line
};

CPageSplitter::CPageSplitter(const CPrintPlan& plan, int colour, const SPageRaster& page)
    : m_plan(plan), m_colour(colour), m_page(page), m_refusal(PageRefusal(plan, colour, page))
{
    if (Accepted())
        Prepare();
}

CPageSplitter::CPageSplitter(const CPrintPlan& plan, int colour, const SPageLayout& layout,
                             SwathSink onSwath)
    : m_plan(plan), m_colour(colour), m_page(RasterOfLayout(layout)),
      m_refusal(PageLayoutRefusal(plan, colour, layout)), m_stream(std::make_unique<SStream>())
{
    m_stream->onSwath = std::move(onSwath);
    if (!Accepted())
        return;
    if (!m_stream->onSwath) {
        m_refusal = "a streamed page needs a callback to take its swaths";
        return;
    }
    // A pass's lines span (NozzleCount() - 1) x YPasses() + 1 page lines; while it waits for its
    // last line, the lines from its first one on are all that is kept. The line width is bounded
    // (kMaxStreamedLineWidth), so this product fits; whether memory gives it is another matter.
    const int spanLines = std::min(m_page.height, (plan.NozzleCount() - 1) * plan.YPasses() + 1);
    const size_t rowBytes = PackedRowBytes(m_page.width, m_page.bitsPerPixel);
    try {
        m_stream->lines.Reset(rowBytes, spanLines);
        Prepare();
    } catch (const std::bad_alloc&) {
        m_refusal = "a streamed page of " + std::to_string(m_page.width) + " pixels keeps " +
                    std::to_string(spanLines) + " lines of " + std::to_string(rowBytes) +
                    " bytes, and memory does not give them";
    }
}

CPageSplitter::~CPageSplitter() = default;

void CPageSplitter::Prepare()
{
    const CPrintPlan& plan = m_plan;
    const SPageRaster& page = m_page;
    m_rowBytes = PackedRowBytes(page.width, page.bitsPerPixel);
    const int usedBits =
        static_cast<int>((static_cast<size_t>(page.width) * page.bitsPerPixel) % 8);
    if (usedBits != 0)
        m_lastByteMask = static_cast<unsigned char>(0xFF << (8 - usedBits));
    // A period of whole words that is also whole mask rows lets every page word meet its mask word
    // without a modulo per pixel: lcm(mask row bytes, 8).
    const size_t lineBytes = static_cast<size_t>(plan.LineBytes());
    m_periodBytes = std::lcm(lineBytes, kWordBytes);
    if (m_periodBytes != lineBytes)
        m_period.resize(m_periodBytes);
    if (plan.XPasses() > 1)
        m_pageRow.resize(m_rowBytes);
    // A pass lays no more rows than it has nozzles, nor more than the page has lines of its phase;
    // X phase 0 has the most columns.
    const int rows =
        std::min(plan.NozzleCount(), (page.height + plan.YPasses() - 1) / plan.YPasses());
    const size_t rowBytes = PackedRowBytes(plan.HeadColumns(page.width, 0), page.bitsPerPixel);
    const size_t swathBytes = static_cast<size_t>(rows) * rowBytes;
    m_swath = std::make_unique<SSwathRows>();
    m_swath->bytes = CLineBuffer<unsigned char>(swathBytes);
    m_swath->size = swathBytes;
}

int CPageSplitter::PassCount() const { return Accepted() ? m_plan.PassCount(m_page.height) : 0; }

const unsigned char* CPageSplitter::PeriodOfRow(const unsigned char* maskRow)
{
    if (m_period.empty())
        return maskRow;
    const size_t lineBytes = static_cast<size_t>(m_plan.LineBytes());
    for (size_t offset = 0; offset < m_periodBytes; offset += lineBytes)
        std::memcpy(m_period.data() + offset, maskRow, lineBytes);
    return m_period.data();
}

void CPageSplitter::AndRow(const unsigned char* pageRow, const unsigned char* period,
                           unsigned char* out) const
{
    const size_t words = m_rowBytes / kWordBytes;
    const size_t periodWords = m_periodBytes / kWordBytes;
    for (size_t word = 0; word < words; word += periodWords) {
        const size_t offset = word * kWordBytes;
        AndWords(pageRow + offset, period, out + offset, std::min(periodWords, words - word));
    }
    // Fewer than eight bytes are left; they start on a word of the period.
    const size_t tail = words * kWordBytes;
    const unsigned char* periodTail = period + tail % m_periodBytes;
    for (size_t byte = tail; byte < m_rowBytes; ++byte)
        out[byte] = pageRow[byte] & periodTail[byte - tail];
    out[m_rowBytes - 1] &= m_lastByteMask;
}

// Packs pixels xPhase, xPhase + X, ... of a whole page row into `columns` pixels of the head.
void CPageSplitter::GatherPhase(const unsigned char* row, int xPhase, int columns,
                                unsigned char* out) const
{
    const int bits = m_page.bitsPerPixel;
    const int step = m_plan.XPasses();
    const int perByte = 8 / bits;
    const unsigned pixelMask = (1u << bits) - 1;
    std::memset(out, 0, PackedRowBytes(columns, bits));
    for (int x = 0; x < columns; ++x) {
        const size_t c = static_cast<size_t>(x) * step + xPhase;
        const unsigned value = (row[c / perByte] >> (8 - bits * (c % perByte + 1))) & pixelMask;
        out[x / perByte] =
            static_cast<unsigned char>(out[x / perByte] | value << (8 - bits * (x % perByte + 1)));
    }
}

SSwath CPageSplitter::Swath(int pass)
{
    SSwath swath;
    swath.pass = pass;
    swath.bytes = m_swath ? m_swath->bytes.get() : nullptr;
    if (m_stream || !Accepted() || pass < 0 || pass >= PassCount())
        return swath;
    return BuildSwath(pass);
}

SSwath CPageSplitter::BuildSwath(int pass)
{
    SSwath swath;
    swath.pass = pass;
    swath.bytes = m_swath ? m_swath->bytes.get() : nullptr;
    const SPhysicalPass physical = m_plan.Pass(pass);
    swath.print = physical.print;
    swath.position = physical.position;
    swath.xPhase = physical.xPhase;
    swath.yPhase = physical.yPhase;
    swath.linePitch = m_plan.YPasses();
    swath.columnPitch = m_plan.XPasses();
    swath.columns = m_plan.HeadColumns(m_page.width, physical.xPhase);
    swath.rowBytes = PackedRowBytes(swath.columns, m_page.bitsPerPixel);
    const SIndexRange nozzles = m_plan.NozzlesOnLines(physical, 0, m_page.height);
    swath.firstNozzle = nozzles.first;
    swath.firstPageLine = m_plan.NozzleLine(physical, nozzles.first);
    swath.rows = swath.columns > 0 ? nozzles.Count() : 0;
    // The position's rows are looked up once: asking the mask again for every row took 7 % of a
    // streamed split.
    const unsigned char* maskRows = m_plan.RowsOfPosition(m_colour, physical.position);
    const size_t lineBytes = static_cast<size_t>(m_plan.LineBytes());
    for (int i = 0; i < swath.rows; ++i) {
        const int nozzle = nozzles.first + i;
        const unsigned char* maskRow =
            maskRows + static_cast<size_t>(m_plan.MaskRowOfNozzle(physical, nozzle)) * lineBytes;
        const unsigned char* pageRow = PageRow(m_plan.NozzleLine(physical, nozzle));
        unsigned char* out = m_swath->bytes.get() + static_cast<size_t>(i) * swath.rowBytes;
        if (m_pageRow.empty()) {
            AndRow(pageRow, PeriodOfRow(maskRow), out);
            continue;
        }
        AndRow(pageRow, PeriodOfRow(maskRow), m_pageRow.data());
        GatherPhase(m_pageRow.data(), physical.xPhase, swath.columns, out);
    }
    return swath;
}

void CPageSplitter::ForEachSwath(const std::function<void(const SSwath&)>& onSwath)
{
    if (m_stream)
        return;
    for (int pass = 0; pass < PassCount(); ++pass)
        onSwath(Swath(pass));
}

const unsigned char* CPageSplitter::PageRow(int line) const
{
    if (m_stream)
        return m_stream->lines.Row(line);
    return m_page.bytes + static_cast<size_t>(line) * m_page.rowStride;
}

bool CPageSplitter::RefusePush(const std::string& reason)
{
    if (m_refusal.empty())
        m_refusal = reason;
    return false;
}

bool CPageSplitter::PushLines(const unsigned char* lines, int count, size_t stride)
{
    if (!m_stream)
        return RefusePush("the page is in memory: its swaths come from Swath and ForEachSwath");
    if (!Accepted())
        return false;
    const SLineBlock block{lines, count, stride};
    std::string refusal =
        LineBlockRefusal(block, {m_page.width, m_page.height, m_rowBytes, m_stream->lines.End()});
    if (refusal.empty())
        refusal = AppendLineBlock(m_stream->lines, block, m_rowBytes, "for passes still waiting",
                                  [this]() { EmitReadySwaths(); });
    return refusal.empty() || RefusePush(refusal);
}

// A pass is emitted when its last page line has arrived (a pass with no rows as soon as the one
// before it); nozzle 0 of each pass lies below that of the one before, so lines above the next
// pass's nozzle 0 are never needed again.
void CPageSplitter::EmitReadySwaths()
{
    SStream& stream = *m_stream;
    if (stream.lines.End() < stream.linesForNextPass)
        return;
    const int passes = PassCount();
    while (stream.nextPass < passes) {
        const SPhysicalPass pass = m_plan.Pass(stream.nextPass);
        const SIndexRange nozzles = m_plan.NozzlesOnLines(pass, 0, m_page.height);
        const bool hasRows =
            nozzles.Count() > 0 && m_plan.HeadColumns(m_page.width, pass.xPhase) > 0;
        const int lastLine = hasRows ? m_plan.NozzleLine(pass, nozzles.end - 1) : -1;
        if (lastLine >= stream.lines.End()) {
            stream.linesForNextPass = lastLine + 1;
            return;
        }
        stream.onSwath(BuildSwath(stream.nextPass));
        ++stream.nextPass;
        if (stream.nextPass < passes)
            stream.lines.DropBefore(m_plan.Pass(stream.nextPass).nozzle0Line);
    }
}

int CPageSplitter::LinesReceived() const { return m_stream ? m_stream->lines.End() : 0; }

bool CPageSplitter::Finished() const
{
    return m_stream && Accepted() && m_stream->lines.End() == m_page.height &&
           m_stream->nextPass == PassCount();
}

size_t CPageSplitter::PeakBytesHeld() const
{
    const size_t lines = m_stream ? m_stream->lines.PeakElements() : 0;
    return lines + (m_swath ? m_swath->size : 0) + m_period.size() + m_pageRow.size();
}

}  // namespace rv_analysis
