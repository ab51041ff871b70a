#include "BandingPrint.h"

#include <RvPlanes/PlaneDerive.h>
#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>

namespace rv_analysis {

namespace {

constexpr int kStripLines = 32;  // lines laid at a time: their ink stays in the cache

// A random advance error is cut at this many standard deviations, so that the paper always moves
// forward (Banding_Refusal keeps the largest advance error below half a step).
constexpr double kJitterCut = 4.0;
constexpr double kMmPerInch = 25.4;
constexpr double kPi = 3.14159265358979323846;

enum class ENozzle : uint8_t
{
    Sound,
    Weak,
    Dead,
};

// The flat tint, dithered with a plane of the other base matrix than the colour's own plane, which
// the mask cuts from: the tint then has nothing in common with the mask's own thresholds.
class CTint
{
public:
    CTint(const CPrintPlan& plan, const SBandingSettings& settings)
        : m_plane(CRawMaskData::RawData(PlaneOf(plan.ColorCount(), settings.colour))),
          m_width(CRawMaskData::Width()), m_height(CRawMaskData::Height()),
          m_level(settings.coveragePercent / 100.0 * rv_halftone::planes::kLevelScale)
    {
    }

    // Paper pixel (paperLine, x) is in the tint.
    bool On(int paperLine, int x) const
    {
        return m_plane[static_cast<size_t>(paperLine % m_height) * m_width + x % m_width] < m_level;
    }

private:
    // Colour c cuts from plane c; planes 0, 1 (and 4 n + 0, 1) come from one base matrix, planes
    // 2, 3 (and 4 n + 2, 3) from the other.
    static int PlaneOf(int colourCount, int colour)
    {
        int plane = colourCount;
        while ((plane % 4) / 2 == (colour % 4) / 2)
            ++plane;
        return plane;
    }

    const unsigned short* m_plane;
    int m_width;
    int m_height;
    double m_level;
};

// The paper's advances before each physical pass, each the plan's advance plus the systematic
// error (rows and a share of the advance) and a random one of its own.
class CPaperFeed
{
public:
    explicit CPaperFeed(const SPrinterErrors& errors)
        : m_error(errors.advanceError), m_share(errors.advanceErrorPercent / 100.0),
          m_jitter(errors.advanceJitter), m_random(errors.seed)
    {
    }

    // How far the pass after an advance of `rows` lies from where the plan puts it: the errors of
    // every advance so far.
    double Advance(int rows)
    {
        m_offset += m_error + m_share * rows;
        if (m_jitter > 0) {
            m_offset += std::clamp(m_normal(m_random), -kJitterCut, kJitterCut) * m_jitter;
        }
        return m_offset;
    }

private:
    double m_error;
    double m_share;
    double m_jitter;
    std::mt19937_64 m_random;
    std::normal_distribution<double> m_normal{0.0, 1.0};
    double m_offset = 0.0;
};

// An eccentric roller: the paper lies off by a sine of how far it has travelled.
double EccentricityRows(const SPrinterErrors& errors, int paperLine, double dpi)
{
    if (errors.eccentricityRows == 0.0)
        return 0.0;
    const double travelledMm = paperLine * kMmPerInch / dpi;
    return errors.eccentricityRows * std::sin(2.0 * kPi * travelledMm / errors.eccentricityMm);
}

std::vector<ENozzle> NozzlesOf(const CPrintPlan& plan, const SPrinterErrors& errors)
{
    std::vector<ENozzle> nozzles(static_cast<size_t>(plan.HeadNozzles()), ENozzle::Sound);
    for (const int nozzle : errors.weakNozzles)
        nozzles[static_cast<size_t>(nozzle)] = ENozzle::Weak;
    for (const int nozzle : errors.deadNozzles)
        nozzles[static_cast<size_t>(nozzle)] = ENozzle::Dead;
    return nozzles;
}

// The dot diameter of every nozzle of the head: the drop-volume gradient rises linearly from
// nozzle 0 to the last round the set diameter, a weak nozzle fires its share of that, a dead one
// nothing (0).
std::vector<double> DotDiameters(const CPrintPlan& plan, const SPrinterErrors& errors,
                                 double diameter)
{
    const std::vector<ENozzle> nozzles = NozzlesOf(plan, errors);
    const double last = std::max(1, plan.HeadNozzles() - 1);
    std::vector<double> diameters(nozzles.size());
    for (size_t k = 0; k < nozzles.size(); ++k) {
        const double along = static_cast<double>(k) / last - 0.5;  // -1/2 to 1/2
        const double own = diameter * (1.0 + errors.dropGradientPercent / 100.0 * along);
        diameters[k] = nozzles[k] == ENozzle::Dead   ? 0.0
                       : nozzles[k] == ENozzle::Weak ? own * errors.weakFactor
                                                     : own;
    }
    return diameters;
}

// Where one physical pass lies: its nozzle 0 `top` lines below the first line of the stretch, the
// centres of that nozzle's dots in sample row `centreRow0` (counted the same way), and its dots,
// which depend on where the centres fall between sample rows (`within`, 0 to 1). Without a
// drop-volume gradient its dots come in two sizes, sound and weak, laid out once here.
struct SPassPlace
{
    SPhysicalPass pass;
    double top;
    int centreRow0;
    double within;
    std::vector<SDotRow> sound;
    std::vector<SDotRow> weak;
};

// Every physical pass that reaches the stretch, in order: the paper always moves forward, so the
// first pass that lies below it ends the list. The interleave's advance (to the next Y phase) is
// off by the sub-advance error and the advance to the next print position takes it back, so Y
// phase j lies j sub-advance errors lower and the error never accumulates.
std::vector<SPassPlace> PassPlaces(const CPrintPlan& plan, const SPrinterErrors& errors,
                                   const SBandingSettings& settings, SIndexRange stretch,
                                   double reach)
{
    const int subRows = settings.subRows;
    const double span = static_cast<double>(plan.NozzleCount() - 1) * plan.YPasses() + 1;
    CPaperFeed feed(errors);
    std::vector<SPassPlace> places;
    const bool graded = errors.dropGradientPercent != 0.0;
    double offset = 0.0;
    for (int g = 0;; ++g) {
        const SPhysicalPass pass = plan.Pass(g);
        if (pass.index < 0)
            return places;
        if (g > 0)
            offset = feed.Advance(pass.advanceBefore);
        const double top = pass.nozzle0Line - stretch.first + offset +
                           errors.subAdvanceError * pass.yPhase +
                           EccentricityRows(errors, pass.nozzle0Line, settings.dpi);
        if (top - reach > stretch.Count())
            return places;
        if (top + span + reach < 0)
            continue;
        const double centre = (top + 0.5) * subRows;
        const int centreRow0 = static_cast<int>(std::floor(centre));
        const double within = centre - centreRow0;
        if (graded) {
            places.push_back({pass, top, centreRow0, within, {}, {}});
            continue;
        }
        places.push_back({pass, top, centreRow0, within,
                          DotRows(settings.dotDiameter, within, subRows),
                          DotRows(settings.dotDiameter * errors.weakFactor, within, subRows)});
    }
}

// The straight line through the passes' displacements (each pass's place minus where the plan puts
// it) against their middle lines, by least squares: the print's drift, line by line.
SDrift Drift_Of(const std::vector<SPassPlace>& places, const CPrintPlan& plan, SIndexRange stretch)
{
    const double half = static_cast<double>(plan.NozzleCount() - 1) * plan.YPasses() / 2.0;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const SPassPlace& place : places) {
        const double nominal = place.pass.nozzle0Line - stretch.first;
        const double x = nominal + half, y = place.top - nominal;
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    if (n == 0)
        return {};
    const double spread = n * sxx - sx * sx;
    if (!(spread > 0))
        return {sy / n, 0.0};
    const double slope = (n * sxy - sx * sy) / spread;
    return {(sy - slope * sx) / n, slope};
}

// The rows of `dot` that fall on the sheet when its centre lies in sample row `centreRow`.
std::pair<const SDotRow*, const SDotRow*> RowsOnSheet(const std::vector<SDotRow>& dot,
                                                      int centreRow, int sheetRows)
{
    const SDotRow* first = dot.data();
    const SDotRow* end = dot.data() + dot.size();
    while (first < end && centreRow + first->row < 0)
        ++first;
    while (end > first && centreRow + (end - 1)->row >= sheetRows)
        --end;
    return {first, end};
}

// What the print needs to lay a pass on one strip of lines.
struct SStrip
{
    SIndexRange lines;  // of the stretch, counted from its first line
    double reach;       // lines a row's ink may spill over
    int subRows;
};

// The nozzles of the head: their dot diameters (0: dead), and whether they vary along the head
// (a drop-volume gradient), so that each nozzle's dot is laid out for itself.
struct SHeadDots
{
    std::vector<double> diameters;
    std::vector<ENozzle> nozzles;
    bool graded;
};

// Lays the nozzles of a physical pass whose ink reaches the strip; the sheet's sample row 0 is the
// first of the strip's first line.
void LayPass(const CPrintPlan& plan, const SPassPlace& place, const SHeadDots& head,
             const CTint& tint, int colour, const SStrip& strip, CInkSheet& sheet)
{
    const int pitch = plan.YPasses();
    const int firstNozzle = std::max(
        0, static_cast<int>(std::floor((strip.lines.first - place.top - strip.reach) / pitch)));
    const int endNozzle = std::min(
        plan.NozzleCount(),
        static_cast<int>(std::ceil((strip.lines.end - place.top + strip.reach) / pitch)) + 1);
    const int headColumns = plan.Width() / plan.XPasses();
    std::vector<SDotRow> own;
    for (int k = firstNozzle; k < endNozzle; ++k) {
        const ENozzle nozzle = head.nozzles[static_cast<size_t>(k)];
        if (nozzle == ENozzle::Dead)
            continue;
        const int centreRow = place.centreRow0 + (k * pitch - strip.lines.first) * strip.subRows;
        if (head.graded)
            own = DotRows(head.diameters[static_cast<size_t>(k)], place.within, strip.subRows);
        const std::vector<SDotRow>& nozzleDot = head.graded                 ? own
                                                : nozzle == ENozzle::Weak ? place.weak
                                                                          : place.sound;
        const auto [first, end] = RowsOnSheet(nozzleDot, centreRow, sheet.Rows());
        if (first == end)
            continue;
        const unsigned char* row = plan.RowOfNozzle(colour, place.pass, k);
        const int paperLine = plan.NozzleLine(place.pass, k) + plan.LeadLines();
        for (int x = 0; x < headColumns; ++x) {
            const int u = static_cast<int>(plan.PageColumn(place.pass.xPhase, x));
            if (!PixelFired(row, u, plan.BitsPerPixel()) || !tint.On(paperLine, u))
                continue;
            for (const SDotRow* dot = first; dot < end; ++dot)
                sheet.Lay(centreRow + dot->row, u, dot->window);
        }
    }
}

void Profile_Add(const CInkSheet& sheet, const SStrip& strip, std::vector<double>& profile)
{
    const double samples = static_cast<double>(strip.subRows) * sheet.Samples();
    for (int line = strip.lines.first; line < strip.lines.end; ++line) {
        long long inked = 0;
        for (int s = 0; s < strip.subRows; ++s)
            inked += sheet.InkedInRow((line - strip.lines.first) * strip.subRows + s);
        profile[static_cast<size_t>(line)] = static_cast<double>(inked) / samples;
    }
}

// The crop at kCropSamples samples per pitch each way: each picture sample gathers a block of ink
// samples. `lines` are the crop's lines of the stretch, counted from its first line.
void Crop_Add(const CInkSheet& sheet, const SStrip& strip, SIndexRange lines, SInkCrop& crop)
{
    const int down = strip.subRows / kCropSamples, across = kSubColumns / kCropSamples;
    const int first = std::max(lines.first, strip.lines.first);
    const int end = std::min(lines.end, strip.lines.end);
    for (int y = (first - lines.first) * kCropSamples; y < (end - lines.first) * kCropSamples;
         ++y) {
        const int sheetRow = (lines.first - strip.lines.first) * strip.subRows + y * down;
        for (int x = 0; x < crop.width; ++x) {
            int inked = 0;
            for (int dy = 0; dy < down; ++dy)
                for (int dx = 0; dx < across; ++dx)
                    inked += sheet.Inked(sheetRow + dy, x * across + dx);
            crop.ink[static_cast<size_t>(y) * crop.width + x] =
                static_cast<uint8_t>(255 * inked / (down * across));
        }
    }
}

}  // namespace

// A dot of `diameter` pitches whose centre lies `centre` (0 to 1) sample rows below the top of its
// sample row: a sample is inked when its own centre lies within the dot. The rows depend on where
// the centre falls between sample rows, so a pass moved by a fraction of a sample row lays
// slightly different dots rather than dots rounded to the grid.
std::vector<SDotRow> DotRows(double diameter, double centre, int subRows)
{
    const double radius = diameter / 2 * subRows;  // in sample rows
    const double scale = static_cast<double>(kSubColumns) / subRows;
    std::vector<SDotRow> rows;
    const int top = static_cast<int>(std::floor(centre - 0.5 - radius));
    const int bottom = static_cast<int>(std::ceil(centre - 0.5 + radius));
    for (int row = top; row <= bottom; ++row) {
        const double down = row + 0.5 - centre;
        const double squared = radius * radius - down * down;
        if (squared < 0)
            continue;
        const double half = std::sqrt(squared) * scale;  // in samples across
        // Samples from the first of the window, kWindowLead bytes before the pixel's first.
        const int lead = 8 * kWindowLead;
        const int first =
            std::max(0, static_cast<int>(std::ceil(lead + kSubColumns / 2.0 - 0.5 - half)));
        const int last = std::min(
            kWindowBits - 1, static_cast<int>(std::floor(lead + kSubColumns / 2.0 - 0.5 + half)));
        if (last < first)
            continue;
        const int count = last - first + 1;
        const uint64_t ones = count == kWindowBits ? ~0ULL : (1ULL << count) - 1;
        rows.push_back({row, ones << first});
    }
    return rows;
}

SLaidInk Ink_Lay(const CPrintPlan& plan, const SPrinterErrors& errors,
                 const SBandingSettings& settings, SIndexRange stretch)
{
    const SHeadDots head{DotDiameters(plan, errors, settings.dotDiameter), NozzlesOf(plan, errors),
                         errors.dropGradientPercent != 0.0};
    const double reach = *std::max_element(head.diameters.begin(), head.diameters.end()) / 2 + 1;
    const std::vector<SPassPlace> places = PassPlaces(plan, errors, settings, stretch, reach);
    const double span = static_cast<double>(plan.NozzleCount() - 1) * plan.YPasses() + 1;
    const CTint tint(plan, settings);
    const int lines = stretch.Count();
    SLaidInk ink;
    ink.profile.resize(static_cast<size_t>(lines));
    ink.drift = Drift_Of(places, plan, stretch);
    // The crop's lines, counted from the first line of the stretch.
    const SIndexRange cropLines = {settings.cropLines.first - stretch.first,
                                   settings.cropLines.end - stretch.first};
    ink.crop.lines = settings.cropLines;
    ink.crop.width = plan.Width() * kCropSamples;
    ink.crop.height = settings.cropLines.Count() * kCropSamples;
    ink.crop.ink.resize(static_cast<size_t>(ink.crop.width) * ink.crop.height);
    // Strip by strip, so that the ink being laid stays in the cache.
    CInkSheet sheet(kStripLines * settings.subRows, plan.Width());
    size_t firstPlace = 0;
    for (int line = 0; line < lines; line += kStripLines) {
        const SStrip strip{{line, std::min(lines, line + kStripLines)}, reach, settings.subRows};
        while (firstPlace < places.size() &&
               places[firstPlace].top + span + reach < strip.lines.first)
            ++firstPlace;
        sheet.Clear();
        for (size_t p = firstPlace; p < places.size() && places[p].top - reach < strip.lines.end;
             ++p)
            LayPass(plan, places[p], head, tint, settings.colour, strip, sheet);
        sheet.FoldEnds();
        Profile_Add(sheet, strip, ink.profile);
        Crop_Add(sheet, strip, cropLines, ink.crop);
    }
    return ink;
}

}  // namespace rv_analysis
