#include <Rv_Halftone/RawMaskData.h>

#include "ThresholdPlanes.h"

namespace planes = rv_halftone::planes;

int CRawMaskData::Width() { return planes::kTileSize; }

int CRawMaskData::Height() { return planes::kTileSize; }

unsigned short* CRawMaskData::RawData(int n)
{
    // The low four bits pick the plane, which is n mod 16 for n >= 0.
    static_assert(planes::kPlaneCount == 16, "a plane is picked by the low four bits");
    const int plane = n & (planes::kPlaneCount - 1);
    // The planes are read-only data; the pointer is non-const only for the signature hosts know.
    return const_cast<unsigned short*>(rv_threshold_planes + plane * planes::kTileCells);
}
