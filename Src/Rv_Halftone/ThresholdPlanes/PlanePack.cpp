// Build step: turns the two committed base matrices into the sixteen stored threshold planes.
//
//   plane 0      = min(65534, 65535 - A)           (complement of plane 1)
//   plane 1      = A
//   plane 2      = B
//   plane 3      = min(65534, 65535 - B moved up 188 rows)
//   planes 4..7  = planes 0..3 moved by 272 rows (half the tile)
//   planes 8..15 = planes 4..7
//
// Input: A then B, each 544 x 544 row-major uint16 little-endian. Output: the 16 planes in the same
// format, plane n at sample n x 295,936, embedded into the library as read-only data.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kSize = 544;
constexpr int kPlaneSamples = kSize * kSize;

using Plane = std::vector<uint16_t>;

uint16_t Complement(uint16_t level)
{
    const int value = 65535 - level;
    return static_cast<uint16_t>(value < 65534 ? value : 65534);
}

// Row y of the result is row (y + shift) mod 544 of the source.
Plane ShiftRows(const Plane& source, int shift)
{
    Plane result(kPlaneSamples);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            result[y * kSize + x] = source[((y + shift) % kSize) * kSize + x];
    return result;
}

Plane ComplementOf(const Plane& source)
{
    Plane result(kPlaneSamples);
    for (int i = 0; i < kPlaneSamples; ++i)
        result[i] = Complement(source[i]);
    return result;
}

bool ReadLittleEndian(std::ifstream& in, Plane& plane)
{
    std::vector<unsigned char> bytes(kPlaneSamples * 2);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return false;
    for (int i = 0; i < kPlaneSamples; ++i)
        plane[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return true;
}

void WriteLittleEndian(std::ofstream& out, const Plane& plane)
{
    std::vector<unsigned char> bytes(kPlaneSamples * 2);
    for (int i = 0; i < kPlaneSamples; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(plane[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(plane[i] >> 8);
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BASE_MATRICES OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    Plane a(kPlaneSamples), b(kPlaneSamples);
    if (!in || !ReadLittleEndian(in, a) || !ReadLittleEndian(in, b)) {
        std::fprintf(stderr, "%s: cannot read two %dx%d matrices\n", argv[1], kSize, kSize);
        return 1;
    }
    std::vector<Plane> planes(16);
    planes[0] = ComplementOf(a);
    planes[1] = a;
    planes[2] = b;
    planes[3] = ComplementOf(ShiftRows(b, 188));
    for (int k = 0; k < 4; ++k)
        planes[4 + k] = ShiftRows(planes[k], 272);
    for (int k = 8; k < 16; ++k)
        planes[k] = planes[4 + (k % 4)];

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (const Plane& plane : planes)
        WriteLittleEndian(out, plane);
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
