// The sixteen threshold planes and the file of the two base matrices they are derived from, written
// once for everything that makes or reads them: the build step that embeds the planes in the
// library (rv_plane_pack), the analysis library, the threshold generator and the tests.
//
//   plane 0      = min(65534, 65535 - A)           (complement of plane 1)
//   plane 1      = A
//   plane 2      = B
//   plane 3      = min(65534, 65535 - B moved up 188 rows)
//   planes 4..7  = planes 0..3 moved up by 272 rows (half the tile)
//   planes 8..15 = planes 4..7
//
// "Moved up by k rows": row y of the result is row (y + k) mod kTileSize of the source. Both
// complements map levels 0 and 1 to 65,534, so no plane holds the top of the scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rv_halftone::planes {

constexpr int kTileSize = 544;                     // rows and columns of every plane
constexpr int kTileCells = kTileSize * kTileSize;  // 295,936 levels per plane
constexpr int kPlaneCount = 16;
// Top of the level scale: levels lie below it, and a cut range [0, kLevelScale) takes every cell.
constexpr int kLevelScale = 65535;

// All sixteen planes, plane n beginning at sample n x kTileCells, from the two base matrices of
// kTileCells levels each.
std::vector<uint16_t> Planes_Derive(const uint16_t* baseA, const uint16_t* baseB);

// The stored form of levels: unsigned 16-bit little-endian, row after row, plane after plane. The
// base file holds matrix A then matrix B. Reading fails unless the file holds exactly two matrices;
// writing fails unless `bases` holds two matrices (Bases_Write) or `planes` sixteen planes
// (Planes_Write), or the file cannot be written.
bool Bases_Read(const std::string& path, std::vector<uint16_t>& bases);
bool Bases_Write(const std::string& path, const std::vector<uint16_t>& bases);
bool Planes_Write(const std::string& path, const std::vector<uint16_t>& planes);

}  // namespace rv_halftone::planes
