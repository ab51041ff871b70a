#include <RvAnalysis/PlaneQuality.h>
#include <RvAnalysis/Spectrum.h>

#include <RvPlanes/PlaneDerive.h>

#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rv_analysis {

namespace {

namespace planes = rv_halftone::planes;

constexpr int kMaxLevel = planes::kLevelScale - 1;

int Width() { return CRawMaskData::Width(); }

int Height() { return CRawMaskData::Height(); }

int Cells() { return Width() * Height(); }

const uint16_t* Row_Of(const uint16_t* plane, int y)
{
    return plane + static_cast<size_t>(y % Height()) * Width();
}

// Counts of levels seen exactly four and five times within [first, last].
void Count_FoursAndFives(const std::vector<uint32_t>& histogram, int first, int last, int& fours,
                         int& fives, bool& other)
{
    fours = 0;
    fives = 0;
    other = false;
    for (int level = first; level <= last; ++level) {
        if (histogram[level] == 4)
            ++fours;
        else if (histogram[level] == 5)
            ++fives;
        else
            other = true;
    }
}

bool IsBasePlane(int plane) { return plane % 4 == 1 || plane % 4 == 2; }

}  // namespace

std::vector<uint32_t> Histogram_Count(const uint16_t* plane)
{
    std::vector<uint32_t> histogram(kLevelBins, 0);
    for (int i = 0; i < Cells(); ++i)
        ++histogram[plane[i]];
    return histogram;
}

bool Histogram_IsBase(const std::vector<uint32_t>& histogram)
{
    int fours = 0;
    int fives = 0;
    bool other = false;
    Count_FoursAndFives(histogram, 0, kMaxLevel, fours, fives, other);
    return !other && fours == 31739 && fives == 33796 && histogram[0] == 5 && histogram[1] == 5 &&
           histogram[planes::kLevelScale] == 0;
}

bool Histogram_IsComplement(const std::vector<uint32_t>& histogram)
{
    int fours = 0;
    int fives = 0;
    bool other = false;
    Count_FoursAndFives(histogram, 1, kMaxLevel - 1, fours, fives, other);
    return !other && fours == 31739 && fives == 33794 && histogram[0] == 0 &&
           histogram[kMaxLevel] == 10 && histogram[planes::kLevelScale] == 0;
}

int Neighbour_MinDifference(const uint16_t* plane)
{
    int best = planes::kLevelScale;
    for (int y = 0; y < Height(); ++y) {
        const uint16_t* row = Row_Of(plane, y);
        const uint16_t* below = Row_Of(plane, y + 1);
        for (int x = 0; x < Width(); ++x) {
            best = std::min(best, std::abs(row[x] - row[(x + 1) % Width()]));
            best = std::min(best, std::abs(row[x] - below[x]));
        }
    }
    return best;
}

int Neighbour_CloseCount(const uint16_t* plane, int below)
{
    int count = 0;
    for (int y = 0; y < Height(); ++y) {
        const uint16_t* row = Row_Of(plane, y);
        const uint16_t* next = Row_Of(plane, y + 1);
        for (int x = 0; x < Width(); ++x) {
            count += std::abs(row[x] - row[(x + 1) % Width()]) < below;
            count += std::abs(row[x] - next[x]) < below;
        }
    }
    return count;
}

SRowRange Row_CountBelow(const uint16_t* plane, int level)
{
    SRowRange range{Width(), 0};
    for (int y = 0; y < Height(); ++y) {
        const uint16_t* row = Row_Of(plane, y);
        const int count = static_cast<int>(
            std::count_if(row, row + Width(), [level](uint16_t v) { return v < level; }));
        range.min = std::min(range.min, count);
        range.max = std::max(range.max, count);
    }
    return range;
}

std::vector<uint8_t> Pattern_Cut(const uint16_t* plane, double cutFraction)
{
    const double cut = cutFraction * planes::kLevelScale;
    std::vector<uint8_t> pattern(static_cast<size_t>(Cells()));
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = plane[i] < cut ? 1 : 0;
    return pattern;
}

double Spectrum_LowFrequencyRatio(const uint16_t* plane, double cutFraction, double maxFrequency)
{
    const std::vector<uint8_t> pattern = Pattern_Cut(plane, cutFraction);
    const long onCount = std::count(pattern.begin(), pattern.end(), uint8_t{1});
    // The low-frequency disc in frequency bins along each axis.
    const double radiusX = maxFrequency * Width();
    const double radiusY = maxFrequency * Height();
    if (onCount == 0 || onCount == Cells() || radiusX <= 1.0 || radiusY <= 1.0)
        return 0.0;

    const std::vector<double> power =
        Spectrum_Power(std::vector<double>(pattern.begin(), pattern.end()), Width(), Height());
    const int reachX = std::min(Width() / 2 - 1, static_cast<int>(std::ceil(radiusX)));
    const int reachY = std::min(Height() / 2 - 1, static_cast<int>(std::ceil(radiusY)));
    double sum = 0.0;
    int bins = 0;
    for (int ky = -reachY; ky <= reachY; ++ky)
        for (int kx = -reachX; kx <= reachX; ++kx) {
            // Inside the disc: (kx / radiusX)^2 + (ky / radiusY)^2 < 1, without a division.
            const double inside = kx * kx * radiusY * radiusY + ky * ky * radiusX * radiusX;
            if ((kx == 0 && ky == 0) || inside >= radiusX * radiusX * radiusY * radiusY)
                continue;
            const int u = (kx + Width()) % Width();
            const int v = (ky + Height()) % Height();
            sum += power[static_cast<size_t>(v) * Width() + u];
            ++bins;
        }
    // White noise of density d has the expected power cells x d x (1 - d) in every bin but DC.
    const double density = static_cast<double>(onCount) / Cells();
    return sum / bins / (Cells() * density * (1.0 - density));
}

std::vector<double> Spectrum_Levels(const uint16_t* plane)
{
    std::vector<double> samples(plane, plane + Cells());
    double mean = 0.0;
    for (double level : samples)
        mean += level;
    mean /= Cells();
    for (double& level : samples)
        level -= mean;
    return Spectrum_Power(samples, Width(), Height());
}

SPlaneFigures Figures_Measure(const uint16_t* plane)
{
    SPlaneFigures figures;
    const std::vector<uint32_t> histogram = Histogram_Count(plane);
    figures.histogramBase = Histogram_IsBase(histogram);
    figures.histogramComplement = Histogram_IsComplement(histogram);
    figures.neighbourMin = Neighbour_MinDifference(plane);
    figures.closePairs = Neighbour_CloseCount(plane);
    figures.rowsBelow = Row_CountBelow(plane);
    for (int i = 0; i < 3; ++i)
        figures.lowFrequency[i] = Spectrum_LowFrequencyRatio(plane, kCutFractions[i]);
    return figures;
}

std::vector<std::string> Floors_Missed(int plane, const SPlaneFigures& f)
{
    std::vector<std::string> misses;
    if (!(IsBasePlane(plane) ? f.histogramBase : f.histogramComplement))
        misses.push_back("histogram");
    if (f.neighbourMin < kNeighbourFloor[plane % 4])
        misses.push_back("neighbour minimum");
    if (f.closePairs >= kClosePairsBelow)
        misses.push_back("close pairs");
    if (plane % 4 == 0 && (f.rowsBelow.min < kRowMin || f.rowsBelow.max > kRowMax))
        misses.push_back("row balance");
    if (std::any_of(std::begin(f.lowFrequency), std::end(f.lowFrequency),
                    [](double ratio) { return ratio > kLowFrequencyMax; }))
        misses.push_back("low-frequency energy");
    return misses;
}

std::vector<uint16_t> StoredPlanes_Rederived()
{
    return planes::Planes_Derive(CRawMaskData::RawData(1), CRawMaskData::RawData(2));
}

}  // namespace rv_analysis
