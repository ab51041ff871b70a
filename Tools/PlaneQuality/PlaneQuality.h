#pragma once
// Quality figures of threshold planes: the numbers that show a 544 x 544 plane of 16-bit levels is a
// usable dispersed-dot threshold matrix (complete histogram, no touching neighbours of close level,
// balanced rows, little low-frequency energy in every cut), and the derivation of all sixteen
// planes from the two base matrices.
//
// Every figure is counted toroidally: the planes are tiled, so the cells across a tile edge are
// neighbours too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace PlaneQuality
{

constexpr int kSize = 544;                   // rows and columns of a plane
constexpr int kCells = kSize * kSize;        // 295,936 levels per plane
constexpr int kPairs = 2 * kCells;           // horizontal plus vertical neighbour pairs
constexpr int kLevelCount = 65536;           // histogram bins (level 65,535 never occurs)
constexpr int kPlaneCount = 16;
constexpr int kCloseDifference = 4096;       // neighbour pairs below this difference are "close"
constexpr int kRowLevel = 32768;             // rows are balanced at this cut
constexpr double kLowFrequency = 1.0 / 16.0; // cycles per pixel
constexpr double kCutFractions[3] = {1.0 / 16.0, 1.0 / 4.0, 1.0 / 2.0};

// What every stored plane must reach. Planes 4 to 15 are planes 0 to 3 with their rows rotated and
// every figure counts across the tile edges, so plane n has the floors of plane n mod 4.
constexpr int kNeighbourFloor[4] = {947, 947, 1834, 1834};
constexpr int kClosePairsBelow = 800;
constexpr int kRowMin = 256;  // planes 0 mod 4: cells below 32,768 in every row
constexpr int kRowMax = 288;
constexpr double kLowFrequencyMax = 0.25;  // a quarter of white noise's low-frequency power
constexpr double kLowFrequencyAim = 0.1;   // what the committed planes are held to

// Cells per level, kLevelCount bins.
std::vector<uint32_t> Histogram_Count(const uint16_t* plane);

// True for the histogram of a base matrix: every level 0 to 65,534, 33,796 of them five times and
// 31,739 four times, levels 0 and 1 five times.
bool Histogram_IsBase(const std::vector<uint32_t>& histogram);

// True for the histogram of a complement plane (0 and 3): every level 1 to 65,534, 65,534 ten
// times, the others four or five times (33,794 five times), no level 0.
bool Histogram_IsComplement(const std::vector<uint32_t>& histogram);

// Smallest level difference of two horizontally or vertically neighbouring cells.
int Neighbour_MinDifference(const uint16_t* plane);

// Number of the kPairs neighbour pairs whose levels differ by less than `below`.
int Neighbour_CloseCount(const uint16_t* plane, int below = kCloseDifference);

struct SRowRange
{
    int min = 0;
    int max = 0;
};

// Fewest and most cells below `level` in one row.
SRowRange Row_CountBelow(const uint16_t* plane, int level = kRowLevel);

// Cut the plane at cutFraction of the scale (cells with level < cutFraction * 65,535 are on) and
// compare the power of that pattern below maxFrequency cycles per pixel (radial frequency, DC
// excluded) with white noise of the same density: 1 is white noise, blue noise is far below 1,
// clusters are above 1. A pattern with no cell on, or every cell on, gives 0.
double Spectrum_LowFrequencyRatio(const uint16_t* plane, double cutFraction,
                                  double maxFrequency = kLowFrequency);

// All sixteen planes, plane n beginning at sample n * kCells: plane 1 is baseA, plane 2 is baseB,
// planes 0 and 3 their complements (plane 3 taken 188 rows further down), planes 4 to 7 are planes
// 0 to 3 with the rows rotated by 272, and planes 8 to 11 and 12 to 15 repeat planes 4 to 7.
std::vector<uint16_t> Planes_Derive(const uint16_t* baseA, const uint16_t* baseB);

// The stored form of the two base matrices: matrix A then matrix B, kCells levels each, unsigned
// 16-bit little-endian. Reading fails unless the file holds exactly that many bytes, writing
// unless `bases` holds 2 * kCells levels.
bool Bases_Read(const std::string& path, std::vector<uint16_t>& bases);
bool Bases_Write(const std::string& path, const std::vector<uint16_t>& bases);

struct SPlaneFigures
{
    bool histogramBase = false;
    bool histogramComplement = false;
    int neighbourMin = 0;
    int closePairs = 0;
    SRowRange rowsBelow;
    double lowFrequency[3] = {0.0, 0.0, 0.0}; // at kCutFractions
};

SPlaneFigures Figures_Measure(const uint16_t* plane);

} // namespace PlaneQuality
