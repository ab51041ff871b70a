// Quality figures of threshold planes: the numbers that show a plane of 16-bit levels is a usable
// dispersed-dot threshold matrix (complete histogram, no neighbours of close level, balanced rows,
// little low-frequency energy at every cut), and the floors every stored plane must reach.
//
// A plane has the size of the library's stored planes, CRawMaskData::Width() x Height(), row-major.
// Every figure is counted toroidally: the planes are tiled, so the cells across a tile edge are
// neighbours too.
#pragma once

#include <RvPlanes/PlaneDerive.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rv_analysis {

constexpr int kPlaneCount = rv_halftone::planes::kPlaneCount;  // planes the library stores
constexpr int kLevelBins = 1 << 16;           // histogram bins: one per 16-bit value
constexpr int kCloseDifference = 4096;        // neighbour pairs below this difference are "close"
constexpr int kRowLevel = 32768;              // rows are balanced at this cut
constexpr double kLowFrequency = 1.0 / 16.0;  // cycles per pixel
constexpr double kCutFractions[3] = {1.0 / 16.0, 1.0 / 4.0, 1.0 / 2.0};

// What every stored plane must reach. Planes 4 to 15 are planes 0 to 3 with their rows rotated and
// every figure counts across the tile edges, so plane n has the floors of plane n mod 4.
constexpr int kNeighbourFloor[4] = {947, 947, 1834, 1834};
constexpr int kClosePairsBelow = 800;
constexpr int kRowMin = 256;  // planes 0 mod 4: cells below 32,768 in every row
constexpr int kRowMax = 288;
constexpr double kLowFrequencyMax = 0.25;  // a quarter of white noise's low-frequency power
constexpr double kLowFrequencyAim = 0.1;   // what the committed planes are held to

// Cells per level, kLevelBins bins.
std::vector<uint32_t> Histogram_Count(const uint16_t* plane);

// True for the histogram of a base matrix: every level 0 to 65,534, 33,796 of them five times and
// 31,739 four times, levels 0 and 1 five times.
bool Histogram_IsBase(const std::vector<uint32_t>& histogram);

// True for the histogram of a complement plane (0 and 3): every level 1 to 65,534, 65,534 ten
// times, the others four or five times (33,794 five times), no level 0.
bool Histogram_IsComplement(const std::vector<uint32_t>& histogram);

// Smallest level difference of two horizontally or vertically neighbouring cells.
int Neighbour_MinDifference(const uint16_t* plane);

// Number of the 2 x Width() x Height() neighbour pairs whose levels differ by less than `below`.
int Neighbour_CloseCount(const uint16_t* plane, int below = kCloseDifference);

struct SRowRange
{
    int min = 0;
    int max = 0;
};

// Fewest and most cells below `level` in one row.
SRowRange Row_CountBelow(const uint16_t* plane, int level = kRowLevel);

// The cells a cut at cutFraction of the level scale takes (level < cutFraction x 65,535): 1 on,
// 0 off, row-major.
std::vector<uint8_t> Pattern_Cut(const uint16_t* plane, double cutFraction);

// Cut the plane at cutFraction (Pattern_Cut) and compare the power of that pattern below
// maxFrequency cycles per pixel (radial frequency, DC excluded) with white noise of the same
// density: 1 is white noise, blue noise is far below 1, clusters are above 1. A pattern with no
// cell on, or every cell on, gives 0.
double Spectrum_LowFrequencyRatio(const uint16_t* plane, double cutFraction,
                                  double maxFrequency = kLowFrequency);

// Power spectrum of the levels themselves, their mean removed (see Spectrum_Power).
std::vector<double> Spectrum_Levels(const uint16_t* plane);

struct SPlaneFigures
{
    bool histogramBase = false;
    bool histogramComplement = false;
    int neighbourMin = 0;
    int closePairs = 0;
    SRowRange rowsBelow;
    double lowFrequency[3] = {0.0, 0.0, 0.0};  // at kCutFractions
};

SPlaneFigures Figures_Measure(const uint16_t* plane);

// The floors that plane number `plane` misses with these figures, in the order "histogram",
// "neighbour minimum", "close pairs", "row balance", "low-frequency energy"; empty when it meets
// them all. Planes 1 and 2 mod 4 must have the base histogram, the others the complement one.
std::vector<std::string> Floors_Missed(int plane, const SPlaneFigures& figures);

// All sixteen planes as the derivation rules make them from the library's stored planes 1 and 2,
// plane n at sample n x Width() x Height(): a stored plane equal to its counterpart here follows
// the rules.
std::vector<uint16_t> StoredPlanes_Rederived();

}  // namespace rv_analysis
