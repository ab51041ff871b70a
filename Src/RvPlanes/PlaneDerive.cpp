#include <RvPlanes/PlaneDerive.h>

#include <algorithm>
#include <fstream>

namespace rv_halftone::planes {

namespace {

constexpr int kComplementRowOffset = 188;  // plane 3 reads plane 2 this many rows further down
constexpr int kHalfTile = kTileSize / 2;   // planes 4 to 7 are planes 0 to 3 moved by half a tile
constexpr size_t kBaseLevels = 2 * static_cast<size_t>(kTileCells);
constexpr size_t kPlaneLevels = static_cast<size_t>(kPlaneCount) * kTileCells;

uint16_t Complement(uint16_t level)
{
    return static_cast<uint16_t>(std::min(kLevelScale - 1, kLevelScale - level));
}

// Row y of `plane`, the rows wrapping as the planes tile.
const uint16_t* Row(const uint16_t* plane, int y)
{
    return plane + static_cast<size_t>(y % kTileSize) * kTileSize;
}

bool Levels_Write(const std::string& path, const std::vector<uint16_t>& levels)
{
    std::vector<char> bytes(levels.size() * 2);
    for (size_t i = 0; i < levels.size(); ++i) {
        bytes[2 * i] = static_cast<char>(levels[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(levels[i] >> 8);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

std::vector<uint16_t> Planes_Derive(const uint16_t* baseA, const uint16_t* baseB)
{
    std::vector<uint16_t> planes(kPlaneLevels);
    const auto plane = [&planes](int n) {
        return planes.data() + static_cast<size_t>(n) * kTileCells;
    };

    std::copy(baseA, baseA + kTileCells, plane(1));
    std::copy(baseB, baseB + kTileCells, plane(2));
    for (int y = 0; y < kTileSize; ++y) {
        const uint16_t* a = Row(baseA, y);
        const uint16_t* b = Row(baseB, y + kComplementRowOffset);
        std::transform(a, a + kTileSize, plane(0) + static_cast<size_t>(y) * kTileSize, Complement);
        std::transform(b, b + kTileSize, plane(3) + static_cast<size_t>(y) * kTileSize, Complement);
    }
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < kTileSize; ++y) {
            const uint16_t* source = Row(plane(k), y + kHalfTile);
            std::copy(source, source + kTileSize,
                      plane(k + 4) + static_cast<size_t>(y) * kTileSize);
        }
    std::copy(plane(4), plane(8), plane(8));
    std::copy(plane(4), plane(8), plane(12));
    return planes;
}

bool Bases_Read(const std::string& path, std::vector<uint16_t>& bases)
{
    constexpr std::streamsize kBytes = 2 * static_cast<std::streamsize>(kBaseLevels);
    std::ifstream in(path, std::ios::binary);
    // One byte more than expected is asked for, so that a longer file is refused too.
    std::vector<char> bytes(static_cast<size_t>(kBytes) + 1);
    in.read(bytes.data(), kBytes + 1);
    if (in.gcount() != kBytes)
        return false;
    bases.resize(kBaseLevels);
    for (size_t i = 0; i < bases.size(); ++i)
        bases[i] = static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                         static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return true;
}

bool Bases_Write(const std::string& path, const std::vector<uint16_t>& bases)
{
    return bases.size() == kBaseLevels && Levels_Write(path, bases);
}

bool Planes_Write(const std::string& path, const std::vector<uint16_t>& planes)
{
    return planes.size() == kPlaneLevels && Levels_Write(path, planes);
}

}  // namespace rv_halftone::planes
