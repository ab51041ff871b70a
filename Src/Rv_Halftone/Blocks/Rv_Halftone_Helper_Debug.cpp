// Halftone_Helper: the hooks for inspecting masks while developing a host.
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <RvBandData/BandData.h>

#include "Common/Sizes.h"

#include <algorithm>
#include <cstring>

// No output format is fixed for a cut table, so the hook writes nothing.
bool Halftone_Helper::OutputCutTable_Debug(const SCutTable* /*table*/, int /*count*/,
                                           std::string /*fileName*/)
{
    return true;
}

bool Halftone_Helper::Mask2Band_Debug(const unsigned char* data, int width, int height,
                                      int lineBytes, int bitsPerPixel, CBandData& band)
{
    if (!band.Create(width, height, bitsPerPixel, rv_halftone::kBandLineAlign)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // A negative line length would read before the data.
    if (data == nullptr || lineBytes < 0) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // Lines are cut to the band's stride; a shorter line leaves the rest as Create cleared it.
    const int copied = std::min(band.LineStride(), lineBytes);
    for (int y = 0; y < height; ++y) {
        std::memcpy(band.Buffer() + static_cast<long long>(y) * band.LineStride(),
                    data + static_cast<long long>(y) * lineBytes, static_cast<size_t>(copied));
    }
    return true;
}
