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
// splitter accepts (PageRefusal) and, like the plan, outlive the check. Counts are kept as bit
// planes, a word for 64 pixels of one bit or 32 of two, so a swath is counted a word at a time
// (a few dozen operations a word: far more than splitting it, far less than a loop per pixel).
class CRecombination
{
public:
    CRecombination(const CPrintPlan& plan, int colour, const SPageRaster& page);

    // Lays one swath; any order, any number of times. Its pass, first nozzle and row count say
    // where the plan lays it; a row the plan lays off the page, or not shaped as that pass's row,
    // is counted outside. A swath whose bytes cannot be read (rows but no bytes, a negative row
    // count) is not laid and makes the verdict say so.
    void Lay(const SSwath& swath);
    SRecombinationVerdict Verdict() const;

private:
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
    std::vector<unsigned char> m_scattered;  // a head row spread onto a page row
    std::vector<uint64_t> m_counts;  // per line, per word: m_planes planes, then an overflow word
};

}  // namespace rv_analysis
