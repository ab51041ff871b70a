#include "PlaneQuality.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>

namespace PlaneQuality
{
namespace
{

constexpr int kMaxLevel = 65534;
constexpr int kComplementRowOffset = 188; // plane 3 reads plane 2 this many rows further down
constexpr int kHalfRotation = kSize / 2;  // planes 4 to 7 are planes 0 to 3 moved by half a tile

const uint16_t* Row_Of(const uint16_t* plane, int y)
{
    return plane + static_cast<long>(y % kSize) * kSize;
}

uint16_t Complement(uint16_t level)
{
    // Levels 0 and 1 both become 65,534, so the complement never reaches 65,535.
    return static_cast<uint16_t>(std::min(kMaxLevel, 65535 - level));
}

// i modulo kSize in [0, kSize), for the twiddle table.
int Index_Wrapped(int i)
{
    return (i % kSize + kSize) % kSize;
}

// Counts of levels seen exactly four and five times within [first, last].
void Count_FoursAndFives(const std::vector<uint32_t>& histogram, int first, int last, int& fours,
                         int& fives, bool& other)
{
    fours = 0;
    fives = 0;
    other = false;
    for (int level = first; level <= last; ++level)
    {
        if (histogram[level] == 4)
            ++fours;
        else if (histogram[level] == 5)
            ++fives;
        else
            other = true;
    }
}

} // namespace

std::vector<uint32_t> Histogram_Count(const uint16_t* plane)
{
    std::vector<uint32_t> histogram(kLevelCount, 0);
    for (int i = 0; i < kCells; ++i)
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
           histogram[65535] == 0;
}

bool Histogram_IsComplement(const std::vector<uint32_t>& histogram)
{
    int fours = 0;
    int fives = 0;
    bool other = false;
    Count_FoursAndFives(histogram, 1, kMaxLevel - 1, fours, fives, other);
    return !other && fours == 31739 && fives == 33794 && histogram[0] == 0 &&
           histogram[kMaxLevel] == 10 && histogram[65535] == 0;
}

int Neighbour_MinDifference(const uint16_t* plane)
{
    int best = 65535;
    for (int y = 0; y < kSize; ++y)
    {
        const uint16_t* row = Row_Of(plane, y);
        const uint16_t* below = Row_Of(plane, y + 1);
        for (int x = 0; x < kSize; ++x)
        {
            const int right = row[(x + 1) % kSize];
            best = std::min(best, std::abs(row[x] - right));
            best = std::min(best, std::abs(row[x] - below[x]));
        }
    }
    return best;
}

int Neighbour_CloseCount(const uint16_t* plane, int below)
{
    int count = 0;
    for (int y = 0; y < kSize; ++y)
    {
        const uint16_t* row = Row_Of(plane, y);
        const uint16_t* next = Row_Of(plane, y + 1);
        for (int x = 0; x < kSize; ++x)
        {
            count += std::abs(row[x] - row[(x + 1) % kSize]) < below;
            count += std::abs(row[x] - next[x]) < below;
        }
    }
    return count;
}

SRowRange Row_CountBelow(const uint16_t* plane, int level)
{
    SRowRange range{kSize, 0};
    for (int y = 0; y < kSize; ++y)
    {
        const uint16_t* row = Row_Of(plane, y);
        const int count = static_cast<int>(
            std::count_if(row, row + kSize, [level](uint16_t v) { return v < level; }));
        range.min = std::min(range.min, count);
        range.max = std::max(range.max, count);
    }
    return range;
}

double Spectrum_LowFrequencyRatio(const uint16_t* plane, double cutFraction, double maxFrequency)
{
    const double cut = cutFraction * 65535.0;
    const double radius = maxFrequency * kSize; // in frequency bins
    const int reach = std::min(kSize / 2 - 1, static_cast<int>(std::ceil(radius)));
    const int span = 2 * reach + 1;

    std::vector<std::complex<double>> twiddle(kSize);
    const double pi = std::acos(-1.0);
    for (int i = 0; i < kSize; ++i)
        twiddle[i] = std::polar(1.0, -2.0 * pi * i / kSize);

    // Only the frequencies inside the low-frequency square are needed, so a direct DFT over the
    // "on" cells of each row, then over the rows, is cheaper than a full transform.
    std::vector<std::complex<double>> rows(static_cast<size_t>(kSize) * span);
    long onCount = 0;
    for (int y = 0; y < kSize; ++y)
    {
        const uint16_t* row = Row_Of(plane, y);
        std::complex<double>* out = &rows[static_cast<size_t>(y) * span];
        for (int x = 0; x < kSize; ++x)
        {
            if (!(row[x] < cut))
                continue;
            ++onCount;
            int phase = Index_Wrapped(-reach * x);
            for (int k = 0; k < span; ++k)
            {
                out[k] += twiddle[phase];
                phase += x;
                if (phase >= kSize)
                    phase -= kSize;
            }
        }
    }
    if (onCount == 0 || onCount == kCells || radius <= 1.0)
        return 0.0;

    double power = 0.0;
    int bins = 0;
    for (int ky = -reach; ky <= reach; ++ky)
    {
        for (int kx = -reach; kx <= reach; ++kx)
        {
            const int r2 = kx * kx + ky * ky;
            if (r2 == 0 || r2 >= radius * radius)
                continue;
            std::complex<double> sum = 0.0;
            const int step = Index_Wrapped(ky);
            int phase = 0;
            for (int y = 0; y < kSize; ++y)
            {
                sum += rows[static_cast<size_t>(y) * span + (kx + reach)] * twiddle[phase];
                phase += step;
                if (phase >= kSize)
                    phase -= kSize;
            }
            power += std::norm(sum);
            ++bins;
        }
    }
    // White noise of density d has the expected power kCells * d * (1 - d) in every bin but DC.
    const double density = static_cast<double>(onCount) / kCells;
    return power / bins / (kCells * density * (1.0 - density));
}

std::vector<uint16_t> Planes_Derive(const uint16_t* baseA, const uint16_t* baseB)
{
    std::vector<uint16_t> planes(static_cast<size_t>(kPlaneCount) * kCells);
    auto plane = [&planes](int n) { return planes.data() + static_cast<size_t>(n) * kCells; };

    std::copy(baseA, baseA + kCells, plane(1));
    std::copy(baseB, baseB + kCells, plane(2));
    for (int y = 0; y < kSize; ++y)
    {
        const uint16_t* a = Row_Of(baseA, y);
        const uint16_t* b = Row_Of(baseB, y + kComplementRowOffset);
        uint16_t* p0 = plane(0) + static_cast<long>(y) * kSize;
        uint16_t* p3 = plane(3) + static_cast<long>(y) * kSize;
        std::transform(a, a + kSize, p0, Complement);
        std::transform(b, b + kSize, p3, Complement);
    }
    for (int k = 0; k < 4; ++k)
    {
        for (int y = 0; y < kSize; ++y)
        {
            const uint16_t* source = Row_Of(plane(k), y + kHalfRotation);
            std::copy(source, source + kSize, plane(k + 4) + static_cast<long>(y) * kSize);
        }
    }
    std::copy(plane(4), plane(8), plane(8));
    std::copy(plane(4), plane(8), plane(12));
    return planes;
}

bool Bases_Read(const std::string& path, std::vector<uint16_t>& bases)
{
    constexpr std::streamsize kBytes = 2 * 2 * static_cast<std::streamsize>(kCells);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(kBytes + 1);
    in.read(bytes.data(), kBytes + 1);
    if (in.gcount() != kBytes)
        return false;
    bases.resize(2 * static_cast<size_t>(kCells));
    for (size_t i = 0; i < bases.size(); ++i)
        bases[i] = static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                         static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return true;
}

bool Bases_Write(const std::string& path, const std::vector<uint16_t>& bases)
{
    if (bases.size() != 2 * static_cast<size_t>(kCells))
        return false;
    std::vector<char> bytes(bases.size() * 2);
    for (size_t i = 0; i < bases.size(); ++i)
    {
        bytes[2 * i] = static_cast<char>(bases[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(bases[i] >> 8);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
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

} // namespace PlaneQuality
