#include <Rv_Halftone/RawMaskData.h>

#include "../Rv_Halftone_Internal.h"
#include "ThresholdPlanes.h"

int CRawMaskData::Width() { return rv_halftone::kThresholdSize; }

int CRawMaskData::Height() { return rv_halftone::kThresholdSize; }

unsigned short* CRawMaskData::RawData(int n)
{
    // The low four bits pick the plane, which is n mod 16 for n >= 0.
    const int plane = n & (rv_halftone::kPlaneCount - 1);
    // The planes are read-only data; the pointer is non-const only for the signature hosts know.
    return const_cast<unsigned short*>(rv_threshold_planes + plane * rv_halftone::kPlaneSamples);
}
