// Halftoned pages for rv_halftone split, read a row at a time: PNG through libpng, TIFF through
// libtiff, told apart by their first bytes.
//
// Opening reads the header and checks its sizes, so a caller can refuse a page before any pixel
// is allocated. The rows then come as the mask's levels, one colour (channel) at a time, packed as
// the mask's rows (the first pixel in the most significant bits), ink high: this is the one place
// where a file's convention (dark is ink for grey, a value is ink for separations), its depth
// (quantised to the mode's levels) and its palette become levels.
//
// A file that cannot be read or is not well-formed throws PageError, one that is well-formed but
// not a page split takes throws PageRefusal; both say the file, the place and the reason. The
// libraries' own messages come back in these, never on the standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The page name that reads standard input.
constexpr const char* kStandardInput = "-";

// Channels a page may have: more than any mode has colours.
constexpr int kMaxPageChannels = 16;

// Bytes of rows a reader holds at once when a file's layout needs more than a row (an interlaced
// PNG is complete only at its end; a TIFF tile row spans several rows): about a 600 dpi A3 page as
// 8-bit grey; more is refused before it is allocated.
constexpr unsigned long long kMaxHeldRowBytes = 256ULL << 20;

// The file cannot be read, or is not a well-formed PNG or TIFF.
class PageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A well-formed file that is not a page split takes (a colour type, depth or size).
class PageRefusal : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// How a stored value relates to ink.
enum class EInkSense
{
    kLowIsInk,   // grey: 0 is black (PNG grey, TIFF MinIsBlack, a palette's greys)
    kHighIsInk,  // an amount of ink: 0 is none (TIFF MinIsWhite, Separated)
};

struct SPageHeader
{
    const char* format = "";  // "PNG", "TIFF"
    int width = 0;
    int height = 0;
    int bitDepth = 0;  // bits per stored sample (a palette image's: bits of its index)
    int channels = 1;  // samples per pixel, one colour each
    bool palette = false;
    EInkSense ink = EInkSense::kLowIsInk;
};

class CPageReader
{
public:
    // `path` "-" reads standard input, named "standard input" in messages.
    static std::unique_ptr<CPageReader> Open(const std::string& path);
    virtual ~CPageReader() = default;
    CPageReader(const CPageReader&) = delete;
    CPageReader& operator=(const CPageReader&) = delete;

    const SPageHeader& Header() const { return m_header; }
    const std::string& Name() const { return m_name; }

    // Sets the mode's bits a pixel for the lines to come: the file's own depth, or 8 or 16 bits
    // or a palette of greys, which are quantised (level = round(ink x (2^bits - 1) / maximum)).
    // Refused (PageRefusal) otherwise, naming what works.
    void ChooseLevels(int maskBits);
    // The stored values are brought to fewer levels than they have.
    bool Quantized() const { return m_quantized; }
    // The next line of `channel` in the mask's levels, packed, into `line`, which holds `size`
    // bytes (at least the packed row); Header().height times, then Rewind for another channel.
    void ReadLine(int channel, unsigned char* line, size_t size);
    // Back to the first line, for the next channel of a page of several.
    void Rewind();

protected:
    explicit CPageReader(std::string name) : m_name(std::move(name)) { }
    // Bytes of a row as stored: channels interleaved, samples packed from the most significant
    // bit down; 16-bit samples in the machine's order.
    size_t StoredRowBytes() const;
    // Refuses a header whose sizes no page may have, before anything is allocated.
    void CheckHeaderSizes() const;
    // The next stored row into `row` (StoredRowBytes() bytes), its index `y`.
    virtual void ReadStoredRow(int y, uint8_t* row) = 0;
    virtual void RestartRows() = 0;

    SPageHeader m_header;
    // A palette's greys by index, 0 to m_paletteMaximum (black to white).
    std::vector<unsigned> m_paletteGreys;
    unsigned m_paletteMaximum = 255;

private:
    void ConvertRow(int channel, unsigned char* line) const;

    std::string m_name;
    int m_maskBits = 0;
    bool m_quantized = false;
    std::vector<uint8_t>
        m_levelOfValue;  // a stored value's level; above the top: not in the palette
    std::vector<uint8_t> m_stored;
    int m_nextRow = 0;
};
