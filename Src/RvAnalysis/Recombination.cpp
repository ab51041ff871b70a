#include <RvAnalysis/Recombination.h>

#include <algorithm>
#include <cstring>

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

CRecombination::CRecombination(const CPrintPlan& plan, int colour, const SPageRaster& page)
    : m_plan(plan), m_colour(colour), m_page(page)
{
    m_refusal = PageRefusal(plan, colour, page);
    if (!m_refusal.empty())
        return;
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
    m_counts.assign(static_cast<size_t>(page.height) * m_words * (m_planes + 1), 0);
}

uint64_t* CRecombination::CountPlanes(int line, size_t word)
{
    return m_counts.data() + (static_cast<size_t>(line) * m_words + word) * (m_planes + 1);
}

const uint64_t* CRecombination::CountPlanes(int line, size_t word) const
{
    return m_counts.data() + (static_cast<size_t>(line) * m_words + word) * (m_planes + 1);
}

uint64_t CRecombination::PageWord(int line, size_t word) const
{
    const unsigned char* row = m_page.bytes + static_cast<size_t>(line) * m_page.rowStride;
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

void CRecombination::Lay(const SSwath& swath)
{
    if (m_counts.empty())
        return;
    if (swath.rows < 0 || (swath.rows > 0 && swath.bytes == nullptr && swath.rowBytes > 0)) {
        if (m_refusal.empty())
            m_refusal = "the swath of pass " + std::to_string(swath.pass) + " has " +
                        std::to_string(swath.rows) + " rows and " +
                        (swath.bytes == nullptr ? "no bytes" : "bytes") +
                        ": a swath has 0 rows or more, and bytes for them";
        return;
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

SRecombinationVerdict CRecombination::Verdict() const
{
    const CCoveragePromise promise(m_plan);
    SRecombinationVerdict verdict;
    verdict.refusal = m_refusal;
    verdict.colorIndex = m_colour;
    verdict.promise = promise.Kind();
    verdict.expectation = promise.Text();
    verdict.checked = promise.Kind() != EPromise::None && m_refusal.empty();
    verdict.outside = m_outside;
    verdict.partial = m_partial;
    std::vector<uint64_t> expected(static_cast<size_t>(m_planes));
    for (int line = 0; line < m_page.height && !m_counts.empty(); ++line) {
        for (size_t word = 0; word < m_words; ++word) {
            const uint64_t requested = AnyBitOfPixel(PageWord(line, word), m_page.bitsPerPixel);
            const uint64_t* planes = CountPlanes(line, word);
            uint64_t laid = planes[m_planes];
            for (int k = 0; k < m_planes; ++k)
                laid |= planes[k];
            verdict.requested += Popcount(requested);
            verdict.laid += Popcount(laid & requested);
            if (!verdict.checked)
                continue;
            if (word == 0 || promise.VariesAlongLine())
                ExpectedPlanes(promise, line, word, expected.data());
            uint64_t differs = planes[m_planes];
            for (int k = 0; k < m_planes; ++k)
                differs |= planes[k] ^ expected[k];
            verdict.mismatches += Popcount(differs & requested);
        }
    }
    verdict.met = verdict.checked && verdict.Clean();
    return verdict;
}

}  // namespace rv_analysis
