#pragma once
// The two dispersed-dot base threshold matrices of the library, built by a void-and-cluster
// ranking with two additions: a hard rule that keeps 4-neighbours far apart in rank, and a small
// row term that evens out the rows at the middle cut.

#include <RvPlanes/PlaneDerive.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ThresholdGen {

// The matrices are base planes of the stored form.
constexpr int kSize = rv_halftone::planes::kTileSize;
constexpr int kCells = rv_halftone::planes::kTileCells;

struct SMatrixSettings
{
    uint64_t seed;     // of the random initial pattern
    int initialCount;  // "on" cells of the initial pattern
    int minRankGap;  // 4-neighbours (across the tile edges too) are at least this many ranks apart
    int32_t rowWeight;  // energy per "on" cell of a row while the rows are balanced
    int rowStartRank;   // the row term acts from this rank up to the middle cut
};

extern const SMatrixSettings kMatrixA;  // plane 1
extern const SMatrixSettings kMatrixB;  // plane 2

struct SRankReport
{
    int initialSwaps = 0;  // swaps until the initial pattern settled
    int forcedPicks = 0;   // ranks where every candidate broke the neighbour gap
};

// Rank 0 to kCells - 1 of every cell, row-major.
std::vector<int32_t> Ranks_Generate(const SMatrixSettings& settings, SRankReport* report = nullptr);

// The level of a rank: floor(rank * 65,535 / kCells) (65,535: the level scale). This monotone map
// gives every level 0 to 65,534 four or five times, the five-count levels spread evenly and levels
// 0 and 1 among them.
uint16_t Level_OfRank(int32_t rank);

// The smallest rank whose level is at least `level`.
int32_t Rank_OfLevel(int level);

std::vector<uint16_t> Matrix_Generate(const SMatrixSettings& settings,
                                      SRankReport* report = nullptr);

}  // namespace ThresholdGen
