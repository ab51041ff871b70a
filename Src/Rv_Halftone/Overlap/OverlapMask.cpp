// OverlapMask: the record, the split of the zone into plain lines and a feathered band, and the
// layout of the head and tail parts.
#include <Rv_Halftone/OverlapMask.h>

#include <Rv_Halftone/MaskBlock.h>

#include "Common/Sizes.h"

#include <BoostLogWrapper/CustomBoostLog.h>
#include <boost/math/special_functions/round.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Pixels of every overlap line.
constexpr int kOverlapWidth = 512;

// One part of the zone, in the order it is laid out: plain, band, plain.
struct SZoneSplit
{
    int plainLines;  // on each side of the band
    int bandLines;
};

// The band takes featherPercent % of the lines (rounded half away from zero, in single precision),
// widened by one line when needed so that the plain lines split evenly between both sides.
SZoneSplit Zone_Split(int overlapHeight, float featherPercent)
{
    const int rounded = static_cast<int>(
        boost::math::round((static_cast<float>(overlapHeight) * featherPercent) / 100.0f));
    // From about 5.4 million lines on, the single-precision product can round one line past the
    // zone near 100 %: the band never takes more than the whole zone.
    const int bandShare = std::min(rounded, overlapHeight);
    const int evenPlain = (overlapHeight - bandShare) / 2 * 2;
    SZoneSplit split;
    split.bandLines = overlapHeight - evenPlain;
    split.plainLines = evenPlain / 2;
    return split;
}

}  // namespace

OverlapMask::OverlapMask()
    : m_overlapMaskParam(), m_maskHeight(0), m_maskWidth(0), m_maskLineBytes(0),
      m_maskBytesOneColor(0), m_maskBytes(0), m_maskColorCount(0)
{
}

OverlapMask::~OverlapMask() = default;

OverlapMask::OverlapMask(const OverlapMask& other) = default;

OverlapMask& OverlapMask::operator=(const OverlapMask& other)
{
    if (this != &other) {
        // The bytes first: if the copy throws, this object is left as it was.
        m_maskBuffer = other.m_maskBuffer;
        m_overlapMaskParam = other.m_overlapMaskParam;
        m_maskHeight = other.m_maskHeight;
        m_maskWidth = other.m_maskWidth;
        m_maskLineBytes = other.m_maskLineBytes;
        m_maskBytesOneColor = other.m_maskBytesOneColor;
        m_maskBytes = other.m_maskBytes;
        m_maskColorCount = other.m_maskColorCount;
    }
    return *this;
}

bool OverlapMask::Create(const SOverlapMaskParam& param)
{
    if (!Init_Param(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const bool created = m_overlapMaskParam.inkPercent == 100 ? Create_InkPercent_100()
                                                              : Create_InkPercent_Variable();
    if (!created) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool OverlapMask::Init_Param(const SOverlapMaskParam& param)
{
    // Everything is checked before anything changes, so a refused record leaves the mask intact.
    // A featherPercent that is not a number from 0 to 100 would make the band wider than the zone
    // (or its rounding undefined), and a NaN would make a record that no kept mask ever equals.
    const bool percentValid = std::isfinite(param.featherPercent) && param.featherPercent >= 0.0f &&
                              param.featherPercent <= 100.0f;
    if (param.overlapHeight <= 0 || (param.bitsPerPixel != 1 && param.bitsPerPixel != 2) ||
        !percentValid) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int lineBytes = kOverlapWidth / 8 * param.bitsPerPixel;
    const long long maskBytes = 2LL * param.overlapHeight * lineBytes;
    if (!rv_halftone::FitsInt(maskBytes)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    m_overlapMaskParam = param;
    m_maskLineBytes = lineBytes;
    m_maskHeight = 2 * param.overlapHeight;
    m_maskWidth = kOverlapWidth;
    m_maskColorCount = 1;
    m_maskBytesOneColor = static_cast<int>(maskBytes);
    m_maskBytes = m_maskBytesOneColor;
    m_maskBuffer.buffer_valid_len(m_maskBytes, true, false);
    std::memset(m_maskBuffer.m_buffer, 0, static_cast<size_t>(m_maskBytes));
    return true;
}

bool OverlapMask::Create_InkPercent_100()
{
    const int lines = m_overlapMaskParam.overlapHeight;
    if (m_overlapMaskParam.featherEnable == 0) {
        Fill_Lines(0, lines, 0xFF);
    } else {
        const SZoneSplit split = Zone_Split(lines, m_overlapMaskParam.featherPercent);
        const int h = split.plainLines;
        const int f = split.bandLines;
        if (f >= 1) {
            CMaskBlock block;
            if (!MaskBlock_Create(f, 100, m_maskWidth, m_maskLineBytes,
                                  m_overlapMaskParam.bitsPerPixel, block)) {
                ZEB_LOG_FAILURE();
                return false;
            }
            // Only the head lines of the block are used: the tail is the head's complement.
            std::memcpy(Line(h), block.MaskData_Const(),
                        static_cast<size_t>(f) * static_cast<size_t>(m_maskLineBytes));
        }
        Fill_Lines(0, h, 0x00);
        Fill_Lines(h + f, lines - h - f, 0xFF);
    }
    if (!Upate_TailData_By_HeadData()) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

bool OverlapMask::Create_InkPercent_Variable()
{
    const int lines = m_overlapMaskParam.overlapHeight;
    if (m_overlapMaskParam.featherEnable == 0) {
        Fill_Lines(0, lines, 0xFF);
        Fill_Lines(lines, lines, 0x00);
        return true;
    }
    const SZoneSplit split = Zone_Split(lines, m_overlapMaskParam.featherPercent);
    const int h = split.plainLines;
    const int f = split.bandLines;
    if (f >= 1) {
        CMaskBlock block;
        if (!MaskBlock_Create(f, m_overlapMaskParam.inkPercent, m_maskWidth, m_maskLineBytes,
                              m_overlapMaskParam.bitsPerPixel, block)) {
            ZEB_LOG_FAILURE();
            return false;
        }
        // The block holds f head lines, then the f tail lines that share their threshold rows.
        const size_t bandBytes = static_cast<size_t>(f) * static_cast<size_t>(m_maskLineBytes);
        std::memcpy(Line(h), block.MaskData_Const(), bandBytes);
        std::memcpy(Line(lines + h), block.MaskData_Const() + bandBytes, bandBytes);
    }
    Fill_Lines(0, h, 0x00);
    Fill_Lines(h + f, lines - h - f, 0xFF);
    Fill_Lines(lines, h, 0xFF);
    Fill_Lines(lines + h + f, lines - h - f, 0x00);
    return true;
}

bool OverlapMask::Upate_TailData_By_HeadData()
{
    const size_t partBytes = static_cast<size_t>(m_overlapMaskParam.overlapHeight) *
                             static_cast<size_t>(m_maskLineBytes);
    const unsigned char* head = Mask_head();
    unsigned char* tail = Line(m_overlapMaskParam.overlapHeight);
    for (size_t i = 0; i < partBytes; ++i)
        tail[i] = static_cast<unsigned char>(~head[i]);
    return true;
}

unsigned char* OverlapMask::Line(int line) const
{
    return m_maskBuffer.m_buffer + static_cast<size_t>(line) * static_cast<size_t>(m_maskLineBytes);
}

void OverlapMask::Fill_Lines(int firstLine, int count, unsigned char value)
{
    if (count > 0)
        std::memset(Line(firstLine), value,
                    static_cast<size_t>(count) * static_cast<size_t>(m_maskLineBytes));
}

const SOverlapMaskParam& OverlapMask::OverlapMaskParam() const { return m_overlapMaskParam; }

int OverlapMask::MaskHeight() const { return m_maskHeight; }

int OverlapMask::MaskLineBytes() const { return m_maskLineBytes; }

int OverlapMask::MaskBytes_OneColor() const { return m_maskBytesOneColor; }

const unsigned char* OverlapMask::MaskData() const { return m_maskBuffer.m_buffer; }

const unsigned char* OverlapMask::Mask_head() const { return m_maskBuffer.m_buffer; }

const unsigned char* OverlapMask::Mask_tail() const
{
    return Line(m_overlapMaskParam.overlapHeight);
}

bool OverlapMask::Output2Tiff_Debug(const CMaskBlock&, int, int, int, int) const { return true; }
