#include <Rv_Halftone/BaseMaskData.h>

#include <Rv_Halftone/RawMaskData.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "Common/Refusal.h"
#include "Common/Sizes.h"
#include "ThresholdPlanes.h"

#include <algorithm>
#include <cstring>

bool rv_halftone::ThresholdLayers_Fit(int width, int height, int count)
{
    // Each product is checked before the next one can wrap 64 bits.
    const long long layerSamples = static_cast<long long>(width) * height;
    const bool fits = width >= 0 && height >= 0 && count >= 0 && FitsInt(layerSamples) &&
                      FitsInt(layerSamples * count) && FitsInt(layerSamples * count * 2);
    if (fits || width < 0 || height < 0 || count < 0)
        return fits;
    // Here the layers of one colour hold samples: the division below has a divisor.
    return Refuse([&] {
        if (!FitsInt(layerSamples))  // then no colour count fits, and the bytes would overflow too
            return Words("the threshold layers of ", width, " x ", height,
                         " samples per colour exceed the largest int, ", INT_MAX);
        return Words("colorCount ", count, ": the threshold layers of ", width, " x ", height,
                     " two-byte samples per colour would take ", layerSamples * count * 2,
                     " bytes, more than ", INT_MAX, "; colorCount can be at most ",
                     INT_MAX / (layerSamples * 2));
    });
}

CBaseMaskData::CBaseMaskData() : m_width(0), m_height(0), m_count(0) { }

CBaseMaskData::~CBaseMaskData() = default;

bool CBaseMaskData::Create(int width, int height, int count)
{
    if (!rv_halftone::ThresholdLayers_Fit(width, height, count)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // Every sample is written below, so the storage is not cleared.
    const long long samples = static_cast<long long>(width) * height * count;
    std::unique_ptr<unsigned short[]> data(new unsigned short[static_cast<size_t>(samples)]);
    const int tile = rv_halftone::planes::kTileSize;
    for (int k = 0; k < count; ++k) {
        const unsigned short* plane = CRawMaskData::RawData(k);
        unsigned short* layer = data.get() + static_cast<long long>(width) * height * k;
        for (int y = 0; y < height; ++y) {
            const unsigned short* source = plane + (y % tile) * tile;
            unsigned short* row = layer + static_cast<long long>(width) * y;
            // Runs of at most one tile row: the row repeats across the width.
            for (int x = 0; x < width; x += tile)
                std::memcpy(row + x, source, sizeof(unsigned short) * std::min(tile, width - x));
        }
    }
    m_data = std::move(data);
    m_width = width;
    m_height = height;
    m_count = count;
    return true;
}

unsigned short* CBaseMaskData::MaskData(int k) const
{
    return m_data.get() + static_cast<long long>(m_width) * m_height * k;
}

int CBaseMaskData::Width() const { return m_width; }
int CBaseMaskData::Height() const { return m_height; }
int CBaseMaskData::Count() const { return m_count; }
