// The ink on the paper of a banding simulation: the passes laid with the printer's errors, every
// fired pixel a round dot sampled on the fine paper grid (see Banding.h for the geometry).
#pragma once

#include <RvAnalysis/Banding.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace rv_analysis {

constexpr int kPixelBytes = kSubColumns / 8;
// A dot is laid as one 64-bit window per sample row, starting this many bytes before its pixel:
// wide enough for the largest dot Banding_Refusal lets through.
constexpr int kWindowLead = 3;
constexpr int kWindowBits = 64;
static_assert(kSubColumns % 8 == 0, "a pixel is whole bytes of samples");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a window's bit b lies in byte b / 8");

// The ink samples of the stretch, one bit each (sample s of a row is bit s % 8 of byte s / 8):
// subRows rows of samples per line, kSubColumns samples per pixel of the mask's width across. A
// row has room for the windows that stick out at either end; since the page repeats across, what
// they lay there is folded back onto the other end once every pass is laid.
class CInkSheet
{
public:
    CInkSheet(int sampleRows, int width)
        : m_rows(sampleRows), m_bytes(width * kPixelBytes), m_stride(m_bytes + kWindowBits / 8),
          m_ink(static_cast<size_t>(m_rows) * m_stride, 0)
    {
    }

    // ORs a dot's window into sample row `row` at pixel x.
    void Lay(int row, int x, uint64_t window)
    {
        uint8_t* at = &m_ink[static_cast<size_t>(row) * m_stride + x * kPixelBytes];
        uint64_t ink;
        std::memcpy(&ink, at, sizeof ink);
        ink |= window;
        std::memcpy(at, &ink, sizeof ink);
    }

    void Clear() { std::fill(m_ink.begin(), m_ink.end(), 0); }

    void FoldEnds()
    {
        const int tail = m_stride - kWindowLead - m_bytes;
        for (int row = 0; row < m_rows; ++row) {
            uint8_t* ink = &m_ink[static_cast<size_t>(row) * m_stride];
            for (int i = 0; i < kWindowLead; ++i)
                ink[kWindowLead + m_bytes - kWindowLead + i] |= std::exchange(ink[i], 0);
            for (int i = 0; i < tail; ++i)
                ink[kWindowLead + i] |= std::exchange(ink[kWindowLead + m_bytes + i], 0);
        }
    }

    int InkedInRow(int row) const
    {
        const uint8_t* ink = &m_ink[static_cast<size_t>(row) * m_stride + kWindowLead];
        int inked = 0;
        int i = 0;
        for (; i + 8 <= m_bytes; i += 8) {
            uint64_t word;
            std::memcpy(&word, ink + i, sizeof word);
            inked += __builtin_popcountll(word);
        }
        for (; i < m_bytes; ++i)
            inked += __builtin_popcount(ink[i]);
        return inked;
    }

    bool Inked(int row, int sample) const
    {
        const uint8_t byte = m_ink[static_cast<size_t>(row) * m_stride + kWindowLead + sample / 8];
        return ((byte >> (sample % 8)) & 1) != 0;
    }

    int Rows() const { return m_rows; }
    int Samples() const { return m_bytes * 8; }

private:
    int m_rows;
    int m_bytes;   // of a row's samples
    int m_stride;  // bytes from one row to the next: the samples and the room round them
    std::vector<uint8_t> m_ink;
};

// One sample row of a dot: the samples it inks, as the window laid `row` sample rows below the
// sample row its centre lies in.
struct SDotRow
{
    int row;
    uint64_t window;
};
// A dot of `diameter` pitches whose centre lies `centre` (0 to 1) sample rows below the top of its
// sample row: a sample is inked when its own centre lies within the dot. The rows depend on where
// the centre falls between sample rows, so a pass moved by a fraction of a sample row lays
// slightly different dots rather than dots rounded to the grid.
std::vector<SDotRow> DotRows(double diameter, double centre, int subRows);

// Where the print lies along the feed against the plan, as a straight line: a systematic feed error
// stretches the whole print, which the eye does not see as a band, so the error-free print it is
// measured against is stretched alike (see Banding.cpp). Rows at line i of the stretch:
// atFirstLine + perLine x i.
struct SDrift
{
    double atFirstLine = 0.0;
    double perLine = 0.0;
};

struct SLaidInk
{
    std::vector<double> profile;  // inked share of each line of the stretch
    SDrift drift;                 // fitted over the passes that reach the stretch
    SInkCrop crop;
};

// Bytes the ink samples of the stretch take.
long long Ink_Bytes(const CPrintPlan& plan, const SBandingSettings& settings, SIndexRange stretch);

// Lays every pass that reaches the stretch; the inputs must pass Banding_Refusal.
SLaidInk Ink_Lay(const CPrintPlan& plan, const SPrinterErrors& errors,
                 const SBandingSettings& settings, SIndexRange stretch);

}  // namespace rv_analysis
