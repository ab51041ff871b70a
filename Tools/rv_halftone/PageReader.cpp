#include "PageReader.h"

#include "PageFormats.h"

#include <RvAnalysis/PageSplitter.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr size_t kSignatureBytes = 8;

bool IsPng(const unsigned char* head, size_t bytes)
{
    static const unsigned char kPng[kSignatureBytes] = {0x89, 'P',  'N',  'G',
                                                        '\r', '\n', 0x1a, '\n'};
    return bytes == kSignatureBytes && std::memcmp(head, kPng, kSignatureBytes) == 0;
}

// Classic TIFF (42) and BigTIFF (43), either byte order.
bool IsTiff(const unsigned char* head, size_t bytes)
{
    if (bytes < 4)
        return false;
    const bool intel =
        head[0] == 'I' && head[1] == 'I' && head[3] == 0 && (head[2] == 42 || head[2] == 43);
    const bool motorola =
        head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
    return intel || motorola;
}

std::string HexBytes(const unsigned char* bytes, size_t count)
{
    std::string text;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%s%02x", i == 0 ? "" : " ", bytes[i]);
        text += hex;
    }
    return text;
}

// One stored sample: `bits` of 1, 2, 4 or 8 packed from the most significant bit down, or 16 in
// the machine's order.
unsigned Sample(const uint8_t* row, size_t index, int bits)
{
    if (bits == 8)
        return row[index];
    if (bits == 16) {
        uint16_t value;
        std::memcpy(&value, row + 2 * index, sizeof value);
        return value;
    }
    const size_t bit = index * static_cast<size_t>(bits);
    return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// round(ink x maxLevel / maximum), ink from 0 to maximum.
uint8_t Quantise(unsigned ink, unsigned maximum, int maxLevel)
{
    return static_cast<uint8_t>((static_cast<unsigned long long>(ink) * maxLevel + maximum / 2) /
                                maximum);
}

}  // namespace

std::unique_ptr<CPageReader> CPageReader::Open(const std::string& path)
{
    const bool standardInput = path == kStandardInput;
    const std::string name = standardInput ? "standard input" : path;
    UniquePageFile file(standardInput ? stdin : std::fopen(path.c_str(), "rb"));
    if (!file)
        throw PageError(name + ": " + std::strerror(errno));
    unsigned char head[kSignatureBytes];
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    if (std::ferror(file.get()))
        throw PageError(name + ": byte " + std::to_string(got) + ": " + std::strerror(errno));
    if (IsPng(head, got))
        return OpenPngPage(std::move(file), name, got);
    if (IsTiff(head, got))
        return OpenTiffPage(std::move(file), name, head, got);
    if (got < kSignatureBytes)
        throw PageError(name + ": truncated at byte " + std::to_string(got) +
                        ", before a PNG or TIFF signature");
    throw PageError(name + ": neither PNG nor TIFF (it starts with " + HexBytes(head, got) +
                    "): give a PNG or TIFF page");
}

size_t CPageReader::StoredRowBytes() const
{
    return (static_cast<size_t>(m_header.width) * m_header.channels * m_header.bitDepth + 7) / 8;
}

void CPageReader::CheckHeaderSizes() const
{
    const SPageHeader& h = m_header;
    const std::string size = std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels";
    if (h.width <= 0 || h.height <= 0)
        throw PageRefusal(m_name + " is " + size + ": a page has at least one pixel");
    if (h.width > rv_analysis::kMaxStreamedLineWidth)
        throw PageRefusal(m_name + " is " + size + ": lines of at most " +
                          std::to_string(rv_analysis::kMaxStreamedLineWidth) + " pixels");
    if (h.channels < 1 || h.channels > kMaxPageChannels)
        throw PageRefusal(m_name + " has " + std::to_string(h.channels) +
                          " channels: a page has 1 to " + std::to_string(kMaxPageChannels));
}

void CPageReader::ChooseLevels(int maskBits)
{
    const SPageHeader& h = m_header;
    const bool deeper = h.bitDepth == 8 || h.bitDepth == 16;
    if (!h.palette && h.bitDepth != maskBits && !deeper)
        throw PageRefusal(m_name + " has " + std::to_string(h.bitDepth) +
                          "-bit pixels, but the mode has " + std::to_string(maskBits) +
                          "-bit pixels: give " + std::to_string(maskBits) +
                          "-bit, 8-bit or 16-bit grey (or separations), or a palette of greys");
    m_maskBits = maskBits;
    m_quantized = h.palette || h.bitDepth != maskBits;
    const int maxLevel = (1 << maskBits) - 1;
    const unsigned values = 1u << h.bitDepth;
    const unsigned maximum = values - 1;
    m_levelOfValue.assign(values, static_cast<uint8_t>(maxLevel + 1));  // not in the palette
    for (unsigned value = 0; value < values; ++value) {
        if (h.palette) {
            if (value < m_paletteGreys.size())
                m_levelOfValue[value] =
                    Quantise(m_paletteMaximum - m_paletteGreys[value], m_paletteMaximum, maxLevel);
            continue;
        }
        const unsigned ink = h.ink == EInkSense::kLowIsInk ? maximum - value : value;
        m_levelOfValue[value] = Quantise(ink, maximum, maxLevel);
    }
}

void CPageReader::ReadLine(int channel, unsigned char* line, size_t size)
{
    if (m_maskBits == 0)
        throw PageError(m_name + ": its levels were not chosen");
    if (channel < 0 || channel >= m_header.channels)
        throw PageError(m_name + ": no channel " + std::to_string(channel) + " of its " +
                        std::to_string(m_header.channels));
    if (size < rv_analysis::PackedRowBytes(m_header.width, m_maskBits))
        throw PageError(m_name + ": a line of " + std::to_string(m_header.width) +
                        " pixels does not fit in " + std::to_string(size) + " bytes");
    if (m_nextRow >= m_header.height)
        throw PageError(m_name + ": all its " + std::to_string(m_header.height) +
                        " rows were read already");
    m_stored.resize(StoredRowBytes());
    ReadStoredRow(m_nextRow, m_stored.data());
    ConvertRow(channel, line);
    ++m_nextRow;
}

void CPageReader::Rewind()
{
    if (m_nextRow == 0)
        return;
    RestartRows();
    m_nextRow = 0;
}

void CPageReader::ConvertRow(int channel, unsigned char* line) const
{
    const SPageHeader& h = m_header;
    const size_t lineBytes = rv_analysis::PackedRowBytes(h.width, m_maskBits);
    // A page stored as the mask's pixels: a byte at a time, the bits past the last pixel clear.
    if (!h.palette && h.channels == 1 && h.bitDepth == m_maskBits) {
        const uint8_t flip = h.ink == EInkSense::kLowIsInk ? 0xff : 0x00;
        for (size_t b = 0; b < lineBytes; ++b)
            line[b] = static_cast<unsigned char>(m_stored[b] ^ flip);
        const size_t usedBits = static_cast<size_t>(h.width) * m_maskBits - (lineBytes - 1) * 8;
        line[lineBytes - 1] &= static_cast<unsigned char>(0xff00u >> usedBits);
        return;
    }
    std::memset(line, 0, lineBytes);
    const int maxLevel = (1 << m_maskBits) - 1;
    const int perByte = 8 / m_maskBits;
    for (int x = 0; x < h.width; ++x) {
        const unsigned value =
            Sample(m_stored.data(), static_cast<size_t>(x) * h.channels + channel, h.bitDepth);
        const int level = m_levelOfValue[value];
        if (level > maxLevel)
            throw PageError(m_name + ": row " + std::to_string(m_nextRow) + ", pixel " +
                            std::to_string(x) + ": palette index " + std::to_string(value) +
                            " beyond its " + std::to_string(m_paletteGreys.size()) + " colours");
        const int shift = 8 - m_maskBits * (x % perByte + 1);
        line[x / perByte] = static_cast<unsigned char>(line[x / perByte] | level << shift);
    }
}
