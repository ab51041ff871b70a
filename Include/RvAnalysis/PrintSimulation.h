// The print simulation: lays the passes of a print plan and counts how often every page pixel is
// fired, then judges the counts against what the mask's mode promises.
#pragma once

#include <RvAnalysis/PrintPlan.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rv_analysis {

// Fire counts of one colour over lineCount page lines from firstLine, one mask width across (the
// mask repeats across the page, so every other column repeats one of these).
struct SFireCounts
{
    std::string refusal;  // why nothing was simulated; empty when the counts are laid
    int firstLine = 0;    // page line of the first row; negative when the stretch shows the lead-in
    int lineCount = 0;
    int width = 0;
    std::vector<uint8_t> counts;    // line-major
    std::vector<int32_t> lastPass;  // print position t whose pass fired each pixel last; -1 none

    uint8_t At(int line, int x) const { return counts[static_cast<size_t>(line) * width + x]; }
};

// Fire counts a simulation may hold: 268,435,456 pixels, 1.25 GiB with their last passes.
constexpr long long kMaxSimulatedPixels = 1LL << 28;

// Why `plan` cannot simulate these lines of `colour`; empty when it can. The lines must lie from
// the top of the lead-in (-plan.LeadLines()) to kMaxPageLines and hold at most
// kMaxSimulatedPixels pixels.
std::string SimulationRefusal(const CPrintPlan& plan, int colour, int firstLine, int lineCount);
// Lays every physical pass that reaches page lines [firstLine, firstLine + lineCount). firstLine
// may reach back to -plan.LeadLines() to show the lead-in, whose lines get only the passes from 0
// on. Refused lines (SimulationRefusal) give no counts and the reason.
SFireCounts Simulate(const CPrintPlan& plan, int colour, int firstLine, int lineCount);
// One cycle of the plan from page line 0 (plan.CycleLines() lines): every mask position at every
// offset, as far down a page as it goes.
SFireCounts Simulate(const CPrintPlan& plan, int colour);

// What the mode of a mask promises a page pixel.
enum class EPromise
{
    Exact,       // every pixel fired exactly the expected count (which may vary per line)
    BelowLevel,  // exactly the pixels whose threshold lies below the smoothing level, once
    None,        // no exact promise (sine ripple, three-part smoothing with colorTimes > 1)
};

// The promise of a mask's mode, worked out once for all its pixels. Reads the plan's mask, so both
// must outlive it.
class CCoveragePromise
{
public:
    explicit CCoveragePromise(const CPrintPlan& plan);

    EPromise Kind() const { return m_kind; }
    const std::string& Text() const { return m_text; }  // the rule in words
    // The count page pixel (pageLine, x) of `colour` must receive; -1 without a promise, and for a
    // pixel off the plannable page (pageLine outside 0 to kMaxPageLines - 1, x < 0).
    int ExpectedCount(int colour, int pageLine, int x) const;
    // Whether pixels of one page line may be promised different counts; when not, the count of
    // any pixel stands for its whole line. The X phases of one line lie under different nozzles,
    // so where the count depends on the nozzle it varies along the line.
    bool VariesAlongLine() const
    {
        return m_kind == EPromise::BelowLevel || (m_linesDiffer && m_x > 1);
    }

private:
    int ThresholdOf(int colour, int paperLine, int x) const;
    int NozzleInStep(int paperLine, int x) const;

    const CPrintPlan& m_plan;
    EPromise m_kind = EPromise::None;
    std::string m_text;
    int m_colorTimes = 1;
    bool m_linesDiffer = false;  // two-part feather with colorTimes > 1: feathered lines get one
    int m_x = 1;                 // X and Y resolution passes
    int m_y = 1;
    int m_baseStep = 1;     // step in base rows
    int m_realStep = 1;     // fine lines between physical passes
    int m_featherRows = 0;  // feathered base rows per step
    int m_level = 0;        // smoothing level on the threshold scale
    int m_tileRows = 1;     // threshold tile height of the mask positions
};

// One colour of a simulated print against the promise. "met" is only ever said of a promise that
// was checked: without a promise, checked and met are false and nothing is counted as a mismatch.
struct SColorVerdict
{
    std::string refusal;  // why nothing was judged (the simulation's refusal); empty when judged
    int colorIndex = 0;
    EPromise promise = EPromise::None;
    std::string expectation;           // the rule in words
    std::vector<long long> histogram;  // histogram[k]: pixels fired k times
    long long pixels = 0;
    bool checked = false;
    long long mismatches = 0;  // pixels whose count differs from the promise
    bool met = false;          // checked, and no pixel differs
};

// Judges counts that Simulate made for `colour`; lines of the lead-in, which a page does not have,
// are left out.
SColorVerdict Judge(const CPrintPlan& plan, int colour, const SFireCounts& fired);
// Simulates one cycle of `colour` and judges it.
SColorVerdict Verify(const CPrintPlan& plan, int colour);

const char* PromiseName(EPromise promise);  // "exact", "below-level", "none"

}  // namespace rv_analysis
