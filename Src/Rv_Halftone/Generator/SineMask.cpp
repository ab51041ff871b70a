// CSineMask: one sine period across the width, as a byte-per-pixel mask and its complement.
#include <Rv_Halftone/SineMask.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "Common/Sizes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

CSineMask::CSineMask()
    : m_featherHeight(0), m_sinMaskType(SinMaskType_Ripple), m_maskHeight(0), m_maskWidth(0),
      m_bitsPerPixel(0), m_maskSize(0)
{
}

CSineMask::~CSineMask() = default;

bool CSineMask::Create(int featherHeight, int maskWidth, int bitsPerPixel, ESinMaskType type)
{
    if (featherHeight < 0 || maskWidth < 0 || bitsPerPixel < 0 ||
        bitsPerPixel >= Halftone_Helper::PixelValueTable_Count) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_sinMaskType = type;
    m_bitsPerPixel = bitsPerPixel;
    m_maskWidth = maskWidth;
    m_featherHeight = featherHeight;
    // At most half a feather band high, and flat enough (a tenth of the width) to stay a ripple.
    m_maskHeight = std::min(featherHeight / 2, maskWidth / 10);
    if (!GenerateMaskData_Down()) {
        ZEB_LOG_FAILURE();
        return false;
    }
    GenerateMaskData_Up_By_Down();
    return true;
}

int CSineMask::FeatherHeight_Get() const { return m_featherHeight; }

int CSineMask::MaskWidth_Get() const { return m_maskWidth; }

int CSineMask::MaskHeight_Get() const { return m_maskHeight; }

int CSineMask::MaskSize_Get() const { return m_maskSize; }

int CSineMask::FeatherMask_Size() const { return m_maskWidth * m_featherHeight; }

int CSineMask::SineMask_Offset_InFeather() const
{
    return (m_featherHeight - m_maskHeight) * m_maskWidth;
}

const unsigned char* CSineMask::MaskBuffer_Down_Get() const { return m_maskBuffer_Down.get(); }

const unsigned char* CSineMask::MaskBuffer_Up_Get() const { return m_maskBuffer_Up.get(); }

bool CSineMask::GenerateMaskData_Down()
{
    // m_maskHeight <= m_maskWidth / 10, so the product fits an int whenever m_maskWidth does
    // not exceed about 146,000; larger widths are refused instead of wrapping.
    const long long size = static_cast<long long>(m_maskWidth) * m_maskHeight;
    if (!rv_halftone::FitsInt(size)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    switch (m_sinMaskType) {
    case SinMaskType_Ripple:
        m_maskSize = static_cast<int>(size);
        m_maskBuffer_Down.reset(new unsigned char[static_cast<size_t>(m_maskSize)]);
        if (!GenerateMaskData_Byte_Down(m_maskBuffer_Down.get(), m_maskSize)) {
            ZEB_LOG_FAILURE();
            return false;
        }
        return true;
    case SinMaskType_Alternate: {
        // Computed and discarded: the object ends without a mask. A mask of an earlier Create is
        // dropped too, so that the sizes never describe a buffer of another shape.
        std::unique_ptr<unsigned char[]> scratch(new unsigned char[static_cast<size_t>(size)]);
        if (!GenerateMaskData_Byte_Down(scratch.get(), static_cast<int>(size))) {
            ZEB_LOG_FAILURE();
            return false;
        }
        m_maskBuffer_Down.reset();
        m_maskSize = 0;
        return true;
    }
    }
    return false;
}

bool CSineMask::GenerateMaskData_Byte_Down(unsigned char* buffer, int size)
{
    if (size > 0)
        std::memset(buffer, 0, static_cast<size_t>(size));
    const unsigned char pixelValue = Halftone_Helper::PixelValueTable[m_bitsPerPixel];
    for (int x = 0; x < m_maskWidth; ++x) {
        // The constants and the order of the operations fix which rows each column gets: some
        // columns land exactly on a whole level, where any other rounding moves the curve.
        const double s = std::sin(x * 6.2831852 / m_maskWidth - 1.5707963);
        const int level = static_cast<int>(((s + 1.0) * 0.5) * m_maskHeight + 0.5);
        for (int y = 0; y < m_maskHeight; ++y) {
            if (y <= level)
                buffer[y * m_maskWidth + x] = pixelValue;
        }
    }
    return true;
}

bool CSineMask::GenerateMaskData_Up_By_Down()
{
    m_maskBuffer_Up.reset(new unsigned char[static_cast<size_t>(m_maskSize)]);
    for (int i = 0; i < m_maskSize; ++i)
        m_maskBuffer_Up[i] = static_cast<unsigned char>(~m_maskBuffer_Down[i]);
    return true;
}
