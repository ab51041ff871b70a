// The splitter: one colour's halftoned page cut into what every physical pass of the head prints
// of it (CPrintPlan).
//
// Physical pass g fires the nozzles of its Y phase on the page lines the plan gives them, and the
// head columns of its X phase: its swath has one row per nozzle that falls on the page (nozzle
// firstNozzle + i in row i, on page line firstPageLine + i x linePitch) and one pixel per head
// column (pixel x is page column x x columnPitch + xPhase), packed at the head's resolution. A
// swath pixel is the page pixel AND the mask pixel the nozzle fires there, the mask repeated across
// the page (page column c uses mask pixel c mod Width()). Nozzles that fall in the lead-in or below
// the page print nothing and are left out of the swath.
//
// Pages have the mask's layout: BitsPerPixel() bits per pixel from the most significant bit down.
// With two bits a pixel holds its ink level (0 none, 3 full); the mask fires a pixel with all its
// bits set, so a swath pixel is either the page's level or 0.
//
// Two forms. A page already in memory (SPageRaster) gives any pass's swath on demand. A page of
// any length streams in: the host pushes its lines in order, in blocks of any size (a line at a
// time as a decoder gives them, or a RIP's band), and every swath goes to the host's callback as
// soon as the last page line it lays has arrived, in pass order. The streamed splitter keeps only
// the lines the next passes still need, about one swath span (NozzleCount() x YPasses() lines),
// whatever the page length:
//
//   CPageSplitter splitter(plan, colour, {width, height, bits}, [&](const SSwath& swath) {...});
//   while (reading)
//       if (!splitter.PushLines(rows, count, rowStride))
//           fail(splitter.Refusal());
//   // splitter.Finished(): every line given and every swath emitted
#pragma once

#include <RvAnalysis/PrintPlan.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rv_analysis {

// A page raster the caller owns: `height` rows, `rowStride` bytes apart, in `byteCount` bytes.
// Bits past `width` pixels in the last byte of a row are never printed, whatever they hold.
struct SPageRaster
{
    const unsigned char* bytes = nullptr;
    size_t byteCount = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    size_t rowStride = 0;
};

// A page whose lines come in a stream: its size is known before its first line.
struct SPageLayout
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};

// Pixels of the widest line a streamed page may have: 1,048,576, over 22 m at 1200 dpi. It bounds
// the lines the streamed forms hold (a swath span of them) before any is allocated.
constexpr int kMaxStreamedLineWidth = 1 << 20;

// Bytes of a packed row of `width` pixels.
size_t PackedRowBytes(int width, int bitsPerPixel);

// A page raster with its own bytes, rows packed without gaps.
struct SPackedPage
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<unsigned char> bytes;

    size_t RowBytes() const { return PackedRowBytes(width, bitsPerPixel); }
    unsigned char* Row(int y) { return bytes.data() + static_cast<size_t>(y) * RowBytes(); }
    SPageRaster Raster() const;
};

// What one physical pass prints of a page: `rows` rows of `rowBytes` bytes, `columns` pixels each.
// A pass that reaches no page line has no rows.
struct SSwath
{
    int pass = 0;      // physical pass g
    int print = 0;     // print position t it belongs to
    int position = 0;  // mask position laid
    int xPhase = 0;
    int yPhase = 0;
    int firstNozzle = 0;    // nozzle of row 0; row i is laid by nozzle firstNozzle + i
    int firstPageLine = 0;  // page line of row 0; row i lies on firstPageLine + i x linePitch
    int linePitch = 1;      // fine lines between nozzles: Y
    int columns = 0;        // pixels of a row; pixel x lies on page column x x columnPitch + xPhase
    int columnPitch = 1;    // page pixels between head columns: X
    int rows = 0;
    size_t rowBytes = 0;
    const unsigned char* bytes = nullptr;

    size_t ByteCount() const { return static_cast<size_t>(rows) * rowBytes; }
    const unsigned char* Row(int i) const { return bytes + static_cast<size_t>(i) * rowBytes; }
};

// Why `plan` cannot split `page` for `colour`; empty when it can.
std::string PageRefusal(const CPrintPlan& plan, int colour, const SPageRaster& page);
// Why `plan` cannot split a streamed page of `layout` for `colour`; empty when it can.
std::string PageLayoutRefusal(const CPrintPlan& plan, int colour, const SPageLayout& layout);

// Receives each swath of a streamed page; its bytes are valid during the call only.
using SwathSink = std::function<void(const SSwath&)>;

// Splits one colour's page physical pass by physical pass; only one swath is held at a time. The
// plan, and a page in memory, must outlive the splitter. A refused page (see Refusal()) has no
// passes.
class CPageSplitter
{
public:
    // A page in memory.
    CPageSplitter(const CPrintPlan& plan, int colour, const SPageRaster& page);
    // A streamed page: lines come through PushLines, swaths go to `onSwath`.
    CPageSplitter(const CPrintPlan& plan, int colour, const SPageLayout& layout, SwathSink onSwath);
    ~CPageSplitter();

    const std::string& Refusal() const { return m_refusal; }
    bool Accepted() const { return m_refusal.empty(); }
    int PassCount() const;
    // The swath of physical pass `pass` of a page in memory (0 to PassCount() - 1; any other pass,
    // and any pass of a streamed page, has no rows); its bytes stay valid until the next call.
    SSwath Swath(int pass);
    // Every swath of a page in memory in pass order.
    void ForEachSwath(const std::function<void(const SSwath&)>& onSwath);

    // Streamed page: the next `count` page lines, packed rows `stride` bytes apart (stride at
    // least the packed row's bytes). Emits every swath whose lines have all arrived. False, with
    // the reason in Refusal() and no further swath, for lines past the page's height, rows
    // closer than a packed row, no bytes, a page in memory, or lines that do not fit in memory.
    bool PushLines(const unsigned char* lines, int count, size_t stride);
    int LinesReceived() const;
    // Every line of a streamed page given and every swath emitted.
    bool Finished() const;
    // Bytes the splitter has held at most for lines and its swath: the figure that stays the
    // same whatever the page length.
    size_t PeakBytesHeld() const;

private:
    void Prepare();
    SSwath BuildSwath(int pass);
    const unsigned char* PageRow(int line) const;
    void EmitReadySwaths();
    bool RefusePush(const std::string& reason);
    const unsigned char* PeriodOfRow(const unsigned char* maskRow);
    void AndRow(const unsigned char* pageRow, const unsigned char* period,
                unsigned char* out) const;
    void GatherPhase(const unsigned char* row, int xPhase, int columns, unsigned char* out) const;

    const CPrintPlan& m_plan;
    int m_colour;
    SPageRaster m_page;  // a streamed page has its layout here and no bytes
    std::string m_refusal;
    struct SStream;                    // a streamed page's lines and where its passes stand
    std::unique_ptr<SStream> m_stream;  // none for a page in memory
    size_t m_rowBytes = 0;     // of a packed page row
    size_t m_periodBytes = 0;  // whole 64-bit words, each a whole number of mask rows
    unsigned char m_lastByteMask = 0xFF;
    std::vector<unsigned char> m_period;   // a mask row repeated up to m_periodBytes
    std::vector<unsigned char> m_pageRow;  // a page row ANDed whole, before its phase is taken
    struct SSwathRows;                     // the rows of the swath being handed out
    std::unique_ptr<SSwathRows> m_swath;
};

}  // namespace rv_analysis
