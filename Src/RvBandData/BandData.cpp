#include <RvBandData/BandData.h>

#include <climits>
#include <cstddef>

namespace {

bool FitsInt(long long value) { return value >= 0 && value <= INT_MAX; }

bool BitsPerPixel_Valid(int bitsPerPixel)
{
    return bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

}  // namespace

CBandData::CBandData() : m_width(0), m_height(0), m_bitsPerPixel(0), m_lineAlign(0), m_lineStride(0)
{
}

CBandData::~CBandData() = default;

bool CBandData::Create(int width, int height, int bitsPerPixel, int lineAlign)
{
    if (width < 1 || height < 1 || !BitsPerPixel_Valid(bitsPerPixel) || lineAlign < 1)
        return false;
    const long long lineBits = static_cast<long long>(width) * bitsPerPixel;
    const long long stride = ((lineBits + 7) / 8 + lineAlign - 1) / lineAlign * lineAlign;
    if (!FitsInt(lineBits) || !FitsInt(stride) || !FitsInt(stride * height))
        return false;
    // Built aside first so that a refused or failed allocation leaves the band as it was.
    std::vector<unsigned char> buffer(static_cast<size_t>(stride * height), 0);
    m_buffer.swap(buffer);
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_lineAlign = lineAlign;
    m_lineStride = static_cast<int>(stride);
    return true;
}

CBandData* CBandData::Rotate_Clockwise90_2Bit_To_2Bit() const { return Rotate(true); }

CBandData* CBandData::Rotate_Anticlockwise90_2Bit_To_2Bit() const { return Rotate(false); }

// Clockwise, pixel (x, y) goes to column H - 1 - y of line x; anticlockwise, to column y of line
// W - 1 - x. A turned band whose bytes would not fit an int stays empty rather than null.
CBandData* CBandData::Rotate(bool clockwise) const
{
    CBandData* turned = new CBandData;
    if (m_buffer.empty() || !turned->Create(m_height, m_width, m_bitsPerPixel, m_lineAlign))
        return turned;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int value = PixelValue(x, y);
            if (clockwise)
                turned->PixelValue_Set(m_height - 1 - y, x, value);
            else
                turned->PixelValue_Set(y, m_width - 1 - x, value);
        }
    }
    return turned;
}

bool CBandData::Clone(CBandData& target) const
{
    if (&target == this)
        return true;
    target.m_buffer = m_buffer;
    target.m_width = m_width;
    target.m_height = m_height;
    target.m_bitsPerPixel = m_bitsPerPixel;
    target.m_lineAlign = m_lineAlign;
    target.m_lineStride = m_lineStride;
    return true;
}

bool CBandData::ConvertBuffer_Negative()
{
    if (m_buffer.empty())
        return false;
    const int bits = LineBits();
    const int fullBytes = bits / 8;
    const int restBits = bits % 8;
    for (int y = 0; y < m_height; ++y) {
        unsigned char* line = m_buffer.data() + static_cast<size_t>(y) * m_lineStride;
        for (int i = 0; i < fullBytes; ++i)
            line[i] = static_cast<unsigned char>(~line[i]);
        // Only the pixel bits of a partly used last byte: the padding stays 0.
        if (restBits > 0)
            line[fullBytes] = static_cast<unsigned char>(line[fullBytes] ^ (0xFF00 >> restBits));
    }
    return true;
}

unsigned char* CBandData::Buffer() { return m_buffer.empty() ? nullptr : m_buffer.data(); }

const unsigned char* CBandData::Buffer() const
{
    return m_buffer.empty() ? nullptr : m_buffer.data();
}

int CBandData::LineStride() const { return m_lineStride; }
int CBandData::Width() const { return m_width; }
int CBandData::Height() const { return m_height; }
int CBandData::BitsPerPixel() const { return m_bitsPerPixel; }

// Pixel bits of one line; Create has checked that they fit an int.
int CBandData::LineBits() const { return m_width * m_bitsPerPixel; }

int CBandData::PixelValue(int x, int y) const
{
    const int bit = x * m_bitsPerPixel;
    const unsigned char byte = m_buffer[static_cast<size_t>(y) * m_lineStride + bit / 8];
    const int shift = 8 - m_bitsPerPixel - bit % 8;
    return (byte >> shift) & ((1 << m_bitsPerPixel) - 1);
}

void CBandData::PixelValue_Set(int x, int y, int value)
{
    const int bit = x * m_bitsPerPixel;
    unsigned char& byte = m_buffer[static_cast<size_t>(y) * m_lineStride + bit / 8];
    const int shift = 8 - m_bitsPerPixel - bit % 8;
    const int mask = ((1 << m_bitsPerPixel) - 1) << shift;
    byte = static_cast<unsigned char>((byte & ~mask) | ((value << shift) & mask));
}
