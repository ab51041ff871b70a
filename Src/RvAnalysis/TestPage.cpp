#include <RvAnalysis/TestPage.h>

#include <RvPlanes/PlaneDerive.h>
#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace rv_analysis {

namespace {

constexpr long long kMaxSide = 1000000;
constexpr unsigned long long kMaxBytes = 256ULL << 20;

// The bands of the page, by their share of the height from the top.
enum class EBand
{
    Gradient,  // ink rising from left to right
    Solids,    // blocks of full, half, quarter and no ink
    Lines,     // single-pixel lines: vertical, horizontal, diagonal
    Text,      // glyph-sized groups of strokes, in words and lines
    Ramp,      // ink rising towards the bottom right
};

EBand BandOf(double fy)
{
    if (fy < 0.2)
        return EBand::Gradient;
    if (fy < 0.35)
        return EBand::Solids;
    if (fy < 0.55)
        return EBand::Lines;
    if (fy < 0.8)
        return EBand::Text;
    return EBand::Ramp;
}

uint32_t Hash(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

double SolidInk(double fx)
{
    static const double kBlocks[] = {1.0, 0.0, 0.5, 1.0, 0.25, 0.0, 0.75, 1.0};
    return kBlocks[static_cast<int>(fx * 8) % 8];
}

double LineInk(int x, int y, double fx)
{
    if (fx < 1.0 / 3)
        return x % 4 == 0 ? 1 : 0;
    if (fx < 2.0 / 3)
        return y % 3 == 0 ? 1 : 0;
    return (x + y) % 6 == 0 || (x - y + 8 * 1000000) % 8 == 0 ? 1 : 0;
}

// Glyphs of 8 x 12 pixels in cells of 10 x 16; each is drawn from seven strokes, chosen by a hash
// of its cell, and about one cell in six is a space between words.
double TextInk(int x, int y)
{
    constexpr int kCellWidth = 10;
    constexpr int kCellHeight = 16;
    const int cx = x / kCellWidth;
    const int cy = y / kCellHeight;
    const int gx = x % kCellWidth;
    const int gy = y % kCellHeight;
    if (gx >= 8 || gy >= 12)
        return 0;
    const uint32_t strokes = Hash(static_cast<uint32_t>(cx), static_cast<uint32_t>(cy));
    if (strokes % 6 == 0)
        return 0;
    const bool on[] = {
        (strokes >> 3 & 1) != 0 && gx < 2,                         // left stem
        (strokes >> 4 & 1) != 0 && gx >= 6,                        // right stem
        (strokes >> 5 & 1) != 0 && gx >= 3 && gx < 5,              // middle stem
        (strokes >> 6 & 1) != 0 && gy < 2,                         // top bar
        (strokes >> 7 & 1) != 0 && gy >= 5 && gy < 7,              // middle bar
        (strokes >> 8 & 1) != 0 && gy >= 10,                       // bottom bar
        (strokes >> 9 & 1) != 0 && std::abs(gx * 3 - gy * 2) < 2,  // diagonal
    };
    for (bool stroke : on)
        if (stroke)
            return 1;
    return 0;
}

// Ink of page pixel (x, y), 0 (paper) to 1 (full).
double InkAt(int x, int y, int width, int height)
{
    const double fx = (x + 0.5) / width;
    const double fy = (y + 0.5) / height;
    switch (BandOf(fy)) {
    case EBand::Gradient: return fx;
    case EBand::Solids: return SolidInk(fx);
    case EBand::Lines: return LineInk(x, y, fx);
    case EBand::Text: return TextInk(x, y);
    case EBand::Ramp: return std::min(1.0, (fx + (fy - 0.8) / 0.2) / 2);
    }
    return 0;
}

// Ordered dither between the two levels around the ink, thresholds from stored plane 0.
int LevelAt(double ink, int x, int y, int maxLevel)
{
    const int side = CRawMaskData::Width();
    const unsigned short threshold =
        CRawMaskData::RawData(0)[(y % CRawMaskData::Height()) * side + x % side];
    const double scaled = ink * maxLevel;
    const int below = static_cast<int>(scaled);
    const double fraction = scaled - below;
    const bool up = below < maxLevel && fraction * rv_halftone::planes::kLevelScale > threshold;
    return below + (up ? 1 : 0);
}

}  // namespace

std::string TestPageRefusal(int width, int height, int bitsPerPixel)
{
    if (bitsPerPixel != 1 && bitsPerPixel != 2)
        return "--bits-per-pixel is " + std::to_string(bitsPerPixel) + ": it must be 1 or 2";
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return "the page is " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels: each side must be 1 to " + std::to_string(kMaxSide);
    const unsigned long long bytes = PackedRowBytes(width, bitsPerPixel) * height;
    if (bytes > kMaxBytes)
        return "the page would take " + std::to_string(bytes) + " bytes: at most " +
               std::to_string(kMaxBytes) + " (256 MiB)";
    return {};
}

SPackedPage MakeTestPage(int width, int height, int bitsPerPixel)
{
    SPackedPage page;
    if (!TestPageRefusal(width, height, bitsPerPixel).empty())
        return page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = bitsPerPixel;
    page.bytes.assign(page.RowBytes() * height, 0);
    const int maxLevel = (1 << bitsPerPixel) - 1;
    const int perByte = 8 / bitsPerPixel;
    for (int y = 0; y < height; ++y) {
        unsigned char* row = page.Row(y);
        for (int x = 0; x < width; ++x) {
            const int level = LevelAt(InkAt(x, y, width, height), x, y, maxLevel);
            const int shift = 8 - bitsPerPixel * (x % perByte + 1);
            row[x / perByte] = static_cast<unsigned char>(row[x / perByte] | level << shift);
        }
    }
    return page;
}

}  // namespace rv_analysis
