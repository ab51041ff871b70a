#include <RvAnalysis/Recombination.h>

#include "LineBlock.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace rv_analysis {

namespace {

constexpr size_t kWordBytes = sizeof(uint64_t);
constexpr int kWordBits = 64;
constexpr uint64_t kLowBitOfPairs = 0x5555555555555555ULL;

// Loaded in memory order: pixel 0 of a byte lies in its top bits, so with two bits a pixel's bits
// are a pair at an even position and the one above it.
uint64_t LoadWord(const unsigned char* row, size_t rowBytes, size_t word)
{
    uint64_t value = 0;
    const size_t offset = word * kWordBytes;
    // A whole word is one load; only the end of a row takes a copy of variable length.
    if (offset + kWordBytes <= rowBytes)
        std::memcpy(&value, row + offset, kWordBytes);
    else
        std::memcpy(&value, row + offset, rowBytes - offset);
    return value;
}

// One bit per pixel that has any bit set, at the lowest bit of the pixel.
uint64_t AnyBitOfPixel(uint64_t value, int bitsPerPixel)
{
    return bitsPerPixel == 1 ? value : (value | (value >> 1)) & kLowBitOfPairs;
}

// One bit per pixel whose bits are the same in both words, at the lowest bit of the pixel.
uint64_t SamePixels(uint64_t a, uint64_t b, int bitsPerPixel)
{
    const uint64_t same = ~(a ^ b);
    return bitsPerPixel == 1 ? same : (same & (same >> 1)) & kLowBitOfPairs;
}

uint64_t PixelMarks(int bitsPerPixel) { return bitsPerPixel == 1 ? ~0ULL : kLowBitOfPairs; }

// Counted in registers: built for any x86-64, the compiler's own popcount is a library call.
int Popcount(uint64_t value)
{
    value -= (value >> 1) & 0x5555555555555555ULL;
    value = (value & 0x3333333333333333ULL) + ((value >> 2) & 0x3333333333333333ULL);
    value = (value + (value >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((value * 0x0101010101010101ULL) >> 56);
}

int BitWidth(int value)
{
    int bits = 1;
    while ((value >> bits) != 0)
        ++bits;
    return bits;
}

}  // namespace

struct CRecombination::SStream
{
    CLineWindow<unsigned char> lines;  // page lines some pass may still lay
    CLineWindow<uint64_t> counts;      // their counts, as m_counts holds them
    int lastPass = 0;                  // the latest pass laid
    STally retired;                    // the lines let go
};

CRecombination::CRecombination(const CPrintPlan& plan, int colour, const SPageRaster& page)
    : m_plan(plan), m_colour(colour), m_page(page), m_refusal(PageRefusal(plan, colour, page)),
      m_promise(plan)
{
    if (!m_refusal.empty())
        return;
    Prepare();
    m_counts.assign(static_cast<size_t>(page.height) * m_words * (m_planes + 1), 0);
}

CRecombination::CRecombination(const CPrintPlan& plan, int colour, const SPageLayout& layout)
    : m_plan(plan), m_colour(colour), m_refusal(PageLayoutRefusal(plan, colour, layout)),
      m_promise(plan), m_stream(std::make_unique<SStream>())
{
    m_page.width = layout.width;
    m_page.height = layout.height;
    m_page.bitsPerPixel = layout.bitsPerPixel;
    if (!m_refusal.empty())
        return;
    Prepare();
    // A line is let go when the passes past it start: a swath span of lines, as the splitter
    // keeps (the line width is bounded, so the sizes fit).
    const int spanLines = std::min(layout.height, (plan.NozzleCount() - 1) * plan.YPasses() + 1);
    try {
        m_stream->lines.Reset(m_rowBytes, spanLines);
        m_stream->counts.Reset(m_words * (m_planes + 1), spanLines);
    } catch (const std::bad_alloc&) {
        m_refusal = "a streamed check of " + std::to_string(layout.width) + " pixels keeps " +
                    std::to_string(spanLines) + " lines and their counts, and memory does " +
                    "not give them";
    }
}

CRecombination::~CRecombination() = default;

void CRecombination::Prepare()
{
    const CPrintPlan& plan = m_plan;
    const SPageRaster& page = m_page;
    m_rowBytes = PackedRowBytes(page.width, page.bitsPerPixel);
    m_words = (m_rowBytes + kWordBytes - 1) / kWordBytes;
    // The page's bits in its last word: whatever lies past the width is not the page's.
    const size_t lastBits =
        static_cast<size_t>(page.width) * page.bitsPerPixel - (m_words - 1) * kWordBits;
    unsigned char keep[kWordBytes] = {};
    for (size_t bit = 0; bit < lastBits; ++bit)
        keep[bit / 8] = static_cast<unsigned char>(keep[bit / 8] | 0x80 >> (bit % 8));
    std::memcpy(&m_lastWordMask, keep, kWordBytes);
    // A page pixel is laid by the passes of its phases, one per print position, whose nozzles
    // reach it: no more than a head of NozzleCount() nozzles advancing a base step per position
    // reaches. A count beyond the planes is kept in the overflow word.
    const int baseStep = plan.StepHeight() / plan.YPasses();
    const int passesPerPixel = (plan.NozzleCount() + baseStep - 1) / baseStep;
    m_planes = BitWidth(passesPerPixel);
    if (plan.XPasses() > 1)
        m_scattered.resize(m_rowBytes);
}

uint64_t* CRecombination::CountPlanes(int line, size_t word)
{
    const size_t planes = static_cast<size_t>(m_planes) + 1;
    if (m_stream)
        return m_stream->counts.Row(line) + word * planes;
    return m_counts.data() + (static_cast<size_t>(line) * m_words + word) * planes;
}

const uint64_t* CRecombination::CountPlanes(int line, size_t word) const
{
    const size_t planes = static_cast<size_t>(m_planes) + 1;
    if (m_stream)
        return m_stream->counts.Row(line) + word * planes;
    return m_counts.data() + (static_cast<size_t>(line) * m_words + word) * planes;
}

const unsigned char* CRecombination::PageRow(int line) const
{
    if (m_stream)
        return m_stream->lines.Row(line);
    return m_page.bytes + static_cast<size_t>(line) * m_page.rowStride;
}

uint64_t CRecombination::PageWord(int line, size_t word) const
{
    const unsigned char* row = PageRow(line);
    const uint64_t value = LoadWord(row, m_rowBytes, word);
    return word + 1 == m_words ? value & m_lastWordMask : value;
}

void CRecombination::LayRow(int line, const unsigned char* row)
{
    const int bits = m_page.bitsPerPixel;
    for (size_t word = 0; word < m_words; ++word) {
        const uint64_t swath = LoadWord(row, m_rowBytes, word);
        const uint64_t page = PageWord(line, word);
        const uint64_t outside = AnyBitOfPixel(swath & ~page, bits);
        const uint64_t same = SamePixels(swath, page, bits);
        const uint64_t partial = AnyBitOfPixel(swath, bits) & ~same & ~outside;
        // Faults are rare: count them only when there are some.
        if ((outside | partial) != 0) {
            m_outside += Popcount(outside);
            m_partial += Popcount(partial);
        }
        uint64_t carry = same & AnyBitOfPixel(page, bits);
        uint64_t* planes = CountPlanes(line, word);
        for (int k = 0; k < m_planes; ++k) {
            const uint64_t next = planes[k] & carry;
            planes[k] ^= carry;
            carry = next;
        }
        planes[m_planes] |= carry;
    }
}

void CRecombination::CountOutside(const unsigned char* row, size_t bytes)
{
    for (size_t byte = 0; byte < bytes; ++byte)
        m_outside += Popcount(AnyBitOfPixel(row[byte], m_page.bitsPerPixel));
}

// A head row of X phase i spread onto a page row (head column x on page column x X + i, the other
// columns blank) and laid as a page row: blank pixels lay nothing.
void CRecombination::LayPhaseRow(int line, int xPhase, int columns, const unsigned char* row)
{
    const int bits = m_page.bitsPerPixel;
    const int perByte = 8 / bits;
    const unsigned pixelMask = (1u << bits) - 1;
    std::fill(m_scattered.begin(), m_scattered.end(), 0);
    for (int x = 0; x < columns; ++x) {
        const unsigned value = (row[x / perByte] >> (8 - bits * (x % perByte + 1))) & pixelMask;
        const size_t c = static_cast<size_t>(x) * m_plan.XPasses() + xPhase;
        m_scattered[c / perByte] = static_cast<unsigned char>(
            m_scattered[c / perByte] | value << (8 - bits * (c % perByte + 1)));
    }
    // Bits of the last byte past the row's columns are not the page's.
    const int usedBits = (columns * bits) % 8;
    if (usedBits != 0)
        m_outside += Popcount(AnyBitOfPixel(row[columns / perByte] & (0xFFu >> usedBits), bits));
    LayRow(line, m_scattered.data());
}

bool CRecombination::Refuse(const std::string& reason)
{
    if (m_refusal.empty())
        m_refusal = reason;
    return false;
}

bool CRecombination::PushLines(const unsigned char* lines, int count, size_t stride)
{
    if (!m_stream)
        return Refuse("the page is in memory: its lines are not pushed");
    if (!m_refusal.empty())
        return false;
    SStream& stream = *m_stream;
    const SLineBlock block{lines, count, stride};
    std::string refusal =
        LineBlockRefusal(block, {m_page.width, m_page.height, m_rowBytes, stream.lines.End()});
    if (refusal.empty())
        refusal = AppendLineBlock(stream.lines, block, m_rowBytes, "that passes may still lay",
                                  [&stream]() { stream.counts.Append(); });
    return refusal.empty() || Refuse(refusal);
}

// Lines that no pass from `pass` on reaches are final: they are tallied and let go.
void CRecombination::RetireLinesBefore(int pass)
{
    SStream& stream = *m_stream;
    std::vector<uint64_t> expected(static_cast<size_t>(m_planes));
    const bool checked = m_promise.Kind() != EPromise::None;
    int line = stream.lines.First();
    for (; line < stream.lines.End() && m_plan.PassesOnLines(line, line + 1).end <= pass; ++line)
        TallyLine(line, checked, expected.data(), stream.retired);
    stream.lines.DropBefore(line);
    stream.counts.DropBefore(line);
}

size_t CRecombination::PeakBytesHeld() const
{
    size_t bytes = m_counts.size() * sizeof(uint64_t) + m_scattered.size();
    if (m_stream)
        bytes += m_stream->lines.PeakElements() +
                 m_stream->counts.PeakElements() * sizeof(uint64_t);
    return bytes;
}

void CRecombination::Lay(const SSwath& swath)
{
    if (m_stream ? !m_refusal.empty() : m_counts.empty())
        return;
    if (swath.rows < 0 || (swath.rows > 0 && swath.bytes == nullptr && swath.rowBytes > 0)) {
        Refuse("the swath of pass " + std::to_string(swath.pass) + " has " +
               std::to_string(swath.rows) + " rows and " +
               (swath.bytes == nullptr ? "no bytes" : "bytes") +
               ": a swath has 0 rows or more, and bytes for them");
        return;
    }
    if (m_stream) {
        if (swath.pass < m_stream->lastPass) {
            Refuse("the swath of pass " + std::to_string(swath.pass) + " came after pass " +
                   std::to_string(m_stream->lastPass) +
                   ": a streamed page is checked in pass order");
            return;
        }
        m_stream->lastPass = swath.pass;
        RetireLinesBefore(swath.pass);
    }
    const SPhysicalPass pass = m_plan.Pass(swath.pass);
    const int columns = m_plan.HeadColumns(m_page.width, pass.xPhase);
    const bool shaped =
        pass.index >= 0 && swath.rowBytes == PackedRowBytes(columns, m_page.bitsPerPixel);
    for (int i = 0; i < swath.rows; ++i) {
        const unsigned char* row = swath.Row(i);
        const long long nozzle = static_cast<long long>(swath.firstNozzle) + i;
        const long long line = shaped && nozzle >= 0 && nozzle < m_plan.NozzleCount()
                                   ? m_plan.NozzleLine(pass, static_cast<int>(nozzle))
                                   : -1;
        // A row off the page, or not shaped like a row of its pass: all it sets is outside.
        if (line < 0 || line >= m_page.height) {
            CountOutside(row, swath.rowBytes);
            continue;
        }
        if (m_stream && !m_stream->lines.Holds(static_cast<int>(line))) {
            Refuse("the swath of pass " + std::to_string(swath.pass) + " lays page line " +
                   std::to_string(line) +
                   (line < m_stream->lines.First() ? ", checked already" : ", not yet pushed") +
                   ": a streamed page's lines come before the swaths that lay them");
            return;
        }
        if (m_scattered.empty())
            LayRow(static_cast<int>(line), row);
        else
            LayPhaseRow(static_cast<int>(line), pass.xPhase, columns, row);
    }
}

// The promised count of every pixel of a word as bit planes, like the counts.
void CRecombination::ExpectedPlanes(const CCoveragePromise& promise, int line, size_t word,
                                    uint64_t* expected) const
{
    const int bits = m_page.bitsPerPixel;
    std::fill(expected, expected + m_planes, 0);
    if (!promise.VariesAlongLine()) {
        const int count = promise.ExpectedCount(m_colour, line, 0);
        for (int k = 0; k < m_planes; ++k)
            expected[k] = (count >> k & 1) != 0 ? PixelMarks(bits) : 0;
        return;
    }
    const int pixelsPerWord = kWordBits / bits;
    const int pixelsPerByte = 8 / bits;
    for (int i = 0; i < pixelsPerWord; ++i) {
        const long long x = static_cast<long long>(word) * pixelsPerWord + i;
        if (x >= m_page.width)
            break;
        const int count = promise.ExpectedCount(m_colour, line, static_cast<int>(x));
        const int lowBit = (i / pixelsPerByte) * 8 + 8 - bits * (i % pixelsPerByte + 1);
        for (int k = 0; k < m_planes; ++k)
            expected[k] |= static_cast<uint64_t>(count >> k & 1) << lowBit;
    }
}

// Adds what one line shows to `tally`; `expected` has room for the count planes.
void CRecombination::TallyLine(int line, bool checked, uint64_t* expected, STally& tally) const
{
    for (size_t word = 0; word < m_words; ++word) {
        const uint64_t requested = AnyBitOfPixel(PageWord(line, word), m_page.bitsPerPixel);
        const uint64_t* planes = CountPlanes(line, word);
        uint64_t laid = planes[m_planes];
        for (int k = 0; k < m_planes; ++k)
            laid |= planes[k];
        tally.requested += Popcount(requested);
        tally.laid += Popcount(laid & requested);
        if (!checked)
            continue;
        if (word == 0 || m_promise.VariesAlongLine())
            ExpectedPlanes(m_promise, line, word, expected);
        uint64_t differs = planes[m_planes];
        for (int k = 0; k < m_planes; ++k)
            differs |= planes[k] ^ expected[k];
        tally.mismatches += Popcount(differs & requested);
    }
}

SRecombinationVerdict CRecombination::Verdict() const
{
    SRecombinationVerdict verdict;
    verdict.refusal = m_refusal;
    if (m_stream && verdict.refusal.empty() && m_stream->lines.End() < m_page.height)
        verdict.refusal = "only " + std::to_string(m_stream->lines.End()) + " of the page's " +
                          std::to_string(m_page.height) + " lines arrived";
    verdict.colorIndex = m_colour;
    verdict.promise = m_promise.Kind();
    verdict.expectation = m_promise.Text();
    verdict.checked = m_promise.Kind() != EPromise::None && verdict.refusal.empty();
    verdict.outside = m_outside;
    verdict.partial = m_partial;
    std::vector<uint64_t> expected(static_cast<size_t>(m_planes));
    STally tally = m_stream ? m_stream->retired : STally{};
    const bool counted = m_stream ? m_refusal.empty() : !m_counts.empty();
    const int first = m_stream ? m_stream->lines.First() : 0;
    const int end = m_stream ? m_stream->lines.End() : m_page.height;
    for (int line = first; line < end && counted; ++line)
        TallyLine(line, verdict.checked, expected.data(), tally);
    verdict.requested = tally.requested;
    verdict.laid = tally.laid;
    verdict.mismatches = tally.mismatches;
    verdict.met = verdict.checked && verdict.Clean();
    return verdict;
}

}  // namespace rv_analysis
