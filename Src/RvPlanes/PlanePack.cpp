// Build step: the two committed base matrices in, the sixteen stored threshold planes out (see
// PlaneDerive.h), to be embedded into the library as read-only data.
#include <RvPlanes/PlaneDerive.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    namespace planes = rv_halftone::planes;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BASE_MATRICES OUTPUT\n", argv[0]);
        return 2;
    }
    std::vector<uint16_t> bases;
    if (!planes::Bases_Read(argv[1], bases)) {
        std::fprintf(stderr, "%s: not two %dx%d matrices of 16-bit levels\n", argv[1],
                     planes::kTileSize, planes::kTileSize);
        return 1;
    }
    const std::vector<uint16_t> derived =
        planes::Planes_Derive(bases.data(), bases.data() + planes::kTileCells);
    if (!planes::Planes_Write(argv[2], derived)) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
