// The check of a split page: its swaths laid back on the page as the print plan lays them (each
// row on the page line of its nozzle, each pixel on the page column of its head column), and
// every page pixel's count of passes held against the promise of the mask's mode (the promise
// `rv_halftone verify` checks on whole masks, CCoveragePromise).
//
// A pass lays a page pixel when its swath pixel equals the page pixel and is not blank. Two faults
// count in any mode, promise or not: a swath bit the page does not have (a bit the page pixel
// lacks, a pixel past the page width, a row off the page) is laid outside the page raster; a
// two-bit swath pixel that holds only part of the page pixel's level fires a drop the page does
// not ask for.
#pragma once

#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PrintSimulation.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rv_analysis {

struct SRecombinationVerdict
{
    std::string refusal;  // why the page or a swath could not be checked; empty when all could
    int colorIndex = 0;
    EPromise promise = EPromise::None;
    std::string expectation;   // the rule in words
    long long requested = 0;   // page pixels with ink
    long long laid = 0;        // page pixels laid by at least one pass
    bool checked = false;      // the mode has a promise to check
    long long mismatches = 0;  // page pixels laid other than the promised number of times
    long long outside = 0;     // pixels laid outside the page raster
    long long partial = 0;     // pixels laid at part of the page's level
    bool met = false;          // checked, and Clean()

    // Everything checked, nothing laid where or as the page does not ask, and a checked promise
    // kept.
    bool Clean() const
    {
        return refusal.empty() && outside == 0 && partial == 0 && (!checked || mismatches == 0);
    }
};

// Counts, for every pixel of one colour's page, the passes that lay it. The page must be one the
// splitter accepts (PageRefusal) and, like the plan, outlive the check.
//
// A streamed page (the splitter's streamed form) is checked as it streams: the host pushes each
// block of page lines here before it pushes them to the splitter, and lays every swath the
// splitter emits, in pass order. A line is checked and let go once no later pass reaches it, so
// the check keeps about one swath span of lines (plus the block being pushed), whatever the page
// length:
//
//   CRecombination check(plan, colour, layout);
//   CPageSplitter splitter(plan, colour, layout, [&](const SSwath& s) { check.Lay(s); });
//   check.PushLines(rows, count, stride);  splitter.PushLines(rows, count, stride);  ...
//   check.Verdict(); Counts are kept as bit
// planes, a word for 64 pixels of one bit or 32 of two, so a swath is counted a word at a time
// (a few dozen operations a word: far more than splitting it, far less than a loop per pixel).
class CRecombination
{
public:
    CRecombination(const CPrintPlan& plan, int colour, const SPageRaster& page);
    // A streamed page: lines through PushLines, swaths in pass order.
    CRecombination(const CPrintPlan& plan, int colour, const SPageLayout& layout);
    ~CRecombination();

    // Streamed page: its next `count` lines, packed rows `stride` bytes apart, before any swath
    // that lays them. False, with the reason in the verdict, for lines past the page's height,
    // rows closer than a packed row, no bytes, or a page in memory.
    bool PushLines(const unsigned char* lines, int count, size_t stride);
    // Bytes held at most for lines and their counts (a streamed page's figure that stays the same
    // whatever the page length).
    size_t PeakBytesHeld() const;

    // Lays one swath; for a page in memory any order, any number of times; for a streamed page
    // in pass order, after its lines. Its pass, first nozzle and row count say
    // where the plan lays it; a row the plan lays off the page, or not shaped as that pass's row,
    // is counted outside. A swath whose bytes cannot be read (rows but no bytes, a negative row
    // count) is not laid and makes the verdict say so.
    void Lay(const SSwath& swath);
    // A streamed page whose lines have not all arrived is refused.
    SRecombinationVerdict Verdict() const;

private:
    // Page pixels with ink, laid, and laid other than promised, on some lines.
    struct STally
    {
        long long requested = 0;
        long long laid = 0;
        long long mismatches = 0;
    };
    struct SStream;

    void Prepare();
    const unsigned char* PageRow(int line) const;
    bool Refuse(const std::string& reason);
    void RetireLinesBefore(int pass);
    void TallyLine(int line, bool checked, uint64_t* expected, STally& tally) const;
    uint64_t* CountPlanes(int line, size_t word);
    const uint64_t* CountPlanes(int line, size_t word) const;
    uint64_t PageWord(int line, size_t word) const;
    void LayRow(int line, const unsigned char* row);
    void LayPhaseRow(int line, int xPhase, int columns, const unsigned char* row);
    void CountOutside(const unsigned char* row, size_t bytes);
    void ExpectedPlanes(const CCoveragePromise& promise, int line, size_t word,
                        uint64_t* expected) const;

    const CPrintPlan& m_plan;
    int m_colour;
    SPageRaster m_page;
    size_t m_rowBytes = 0;
    size_t m_words = 0;  // 64-bit words of a packed page row
    uint64_t m_lastWordMask = 0;
    int m_planes = 0;  // bits of a pixel's count
    long long m_outside = 0;
    long long m_partial = 0;
    std::string m_refusal;
    CCoveragePromise m_promise;
    std::vector<unsigned char> m_scattered;  // a head row spread onto a page row
    // Per line, per word: m_planes planes, then an overflow word; a page in memory's every line.
    std::vector<uint64_t> m_counts;
    std::unique_ptr<SStream> m_stream;  // none for a page in memory
};

}  // namespace rv_analysis
