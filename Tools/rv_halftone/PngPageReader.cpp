// The PNG back end of CPageReader, through libpng: grey of 1, 2, 4, 8 or 16 bits and palettes
// of greys, a row at a time (an interlaced PNG whole, as its rows are complete only at its end).
// Any side PNG allows is read (libpng's default limit of 1,000,000 pixels a side is lifted): the
// page's own checks cap it by its header.
#include "PageFormats.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kMessageSize = 256;
constexpr png_uint_32 kMaxSide = 0x7fffffff;  // the largest side PNG allows

// What libpng's callbacks share with the reader: the file, how far it was read, and the reason
// of the last error.
struct SPngStream
{
    std::FILE* file = nullptr;
    size_t bytesRead = 0;
    char message[kMessageSize] = {};
    char readFailure[kMessageSize] = {};
    char warning[kMessageSize] = {};  // the last; libpng warns of each fault of a header it refuses
};

// libpng reports an error by calling this, which must not return: keep the message and jump back
// to the setjmp of the step that called libpng.
void OnPngError(png_structp png, png_const_charp message)
{
    SPngStream* stream = static_cast<SPngStream*>(png_get_error_ptr(png));
    std::snprintf(stream->message, kMessageSize, "%s", message);
    png_longjmp(png, 1);
}

// Warnings (an ancillary chunk with a bad checksum, a known-bad colour profile) do not change the
// pixels split reads; they are not printed behind the tool's back, but a header's last one says
// why libpng refuses it.
void OnPngWarning(png_structp png, png_const_charp message)
{
    SPngStream* stream = static_cast<SPngStream*>(png_get_error_ptr(png));
    std::snprintf(stream->warning, kMessageSize, "%s", message);
}

// Reads through stdio, counting the bytes, so that a short file says where it ends.
void OnPngRead(png_structp png, png_bytep data, size_t length)
{
    SPngStream* stream = static_cast<SPngStream*>(png_get_io_ptr(png));
    const size_t got = std::fread(data, 1, length, stream->file);
    stream->bytesRead += got;
    if (got == length)
        return;
    if (std::ferror(stream->file))
        std::snprintf(stream->readFailure, kMessageSize, "read error at byte %zu: %s",
                      stream->bytesRead, std::strerror(errno));
    else
        std::snprintf(stream->readFailure, kMessageSize, "truncated at byte %zu",
                      stream->bytesRead);
    png_error(png, stream->readFailure);
}

// The steps libpng may leave by longjmp hold no object with a destructor. False on an error, the
// message then in the stream.
bool Step_ReadInfo(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    return true;
}

// Sets up row reading; then png_get_rowbytes says how wide a row libpng will write.
bool Step_StartRows(png_structp png, png_infop info, bool swapSixteen)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (swapSixteen)
        png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool Step_ReadRows(png_structp png, png_bytep* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

bool Step_ReadRow(png_structp png, png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_row(png, row, nullptr);
    return true;
}

bool LittleEndian()
{
    const uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// libpng's read state, released on every path (also when the reader's constructor throws).
struct SPngReadState
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    SPngReadState() = default;
    SPngReadState(const SPngReadState&) = delete;
    SPngReadState& operator=(const SPngReadState&) = delete;
    ~SPngReadState()
    {
        if (png != nullptr)
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
};

class CPngPageReader : public CPageReader
{
public:
    CPngPageReader(UniquePageFile file, const std::string& name, size_t signatureBytes);

protected:
    void ReadStoredRow(int y, uint8_t* row) override;
    void RestartRows() override;

private:
    [[noreturn]] void Fail(const std::string& place) const;
    void ReadHeader();
    void CheckPalette();

    UniquePageFile m_file;
    SPngStream m_stream;
    SPngReadState m_state;
    bool m_interlaced = false;
    std::vector<uint8_t> m_whole;  // an interlaced image, read whole at its first row
};

CPngPageReader::CPngPageReader(UniquePageFile file, const std::string& name, size_t signatureBytes)
    : CPageReader(name), m_file(std::move(file))
{
    m_stream.file = m_file.get();
    m_stream.bytesRead = signatureBytes;
    m_state.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_stream, OnPngError, OnPngWarning);
    m_state.info = m_state.png != nullptr ? png_create_info_struct(m_state.png) : nullptr;
    if (m_state.info == nullptr)
        throw PageError(Name() + ": cannot start libpng");
    png_set_read_fn(m_state.png, &m_stream, OnPngRead);
    png_set_sig_bytes(m_state.png, static_cast<int>(signatureBytes));
    // Sides up to PNG's largest rather than libpng's default 1,000,000: a 1 x 1,048,576 page is a
    // page like any other. What a page may hold is checked on its header before any row is read;
    // libpng's limits on chunks stay.
    png_set_user_limits(m_state.png, kMaxSide, kMaxSide);
    ReadHeader();
}

void CPngPageReader::Fail(const std::string& place) const
{
    const bool whereSaid =
        m_stream.message[0] != '\0' && std::strcmp(m_stream.message, m_stream.readFailure) == 0;
    const bool header = place == "header" && m_stream.warning[0] != '\0';
    throw PageError(Name() + ": " + place + ": " + m_stream.message +
                    (header ? std::string(": ") + m_stream.warning : "") +
                    (whereSaid ? "" : " (after byte " + std::to_string(m_stream.bytesRead) + ")"));
}

void CPngPageReader::ReadHeader()
{
    if (!Step_ReadInfo(m_state.png, m_state.info))
        Fail("header");
    m_header.format = "PNG";
    m_header.width = static_cast<int>(png_get_image_width(m_state.png, m_state.info));
    m_header.height = static_cast<int>(png_get_image_height(m_state.png, m_state.info));
    m_header.bitDepth = png_get_bit_depth(m_state.png, m_state.info);
    m_header.ink = EInkSense::kLowIsInk;
    m_interlaced = png_get_interlace_type(m_state.png, m_state.info) != PNG_INTERLACE_NONE;
    const int colourType = png_get_color_type(m_state.png, m_state.info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        m_header.palette = true;
        CheckPalette();
    } else if (colourType != PNG_COLOR_TYPE_GRAY) {
        const char* kind = colourType == PNG_COLOR_TYPE_RGB          ? "RGB"
                           : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? "grey with alpha"
                           : colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? "RGB with alpha"
                                                                     : "unknown";
        throw PageRefusal(Name() + " is not a grey PNG (colour type " + std::to_string(colourType) +
                          ", " + kind +
                          "): give grey of 1, 2, 8 or 16 bits or a palette of greys, ink dark");
    }
    CheckHeaderSizes();
    const size_t rowBytes = StoredRowBytes();
    if (m_interlaced &&
        static_cast<unsigned long long>(m_header.height) * rowBytes > kMaxHeldRowBytes)
        throw PageRefusal(Name() + " is " + std::to_string(m_header.width) + " x " +
                          std::to_string(m_header.height) + " pixels of " +
                          std::to_string(m_header.bitDepth) +
                          " bits, interlaced: an interlaced page is read whole, at most 256 MiB "
                          "of pixels; save it without interlacing to stream it");
    if (!Step_StartRows(m_state.png, m_state.info, m_header.bitDepth == 16 && LittleEndian()))
        Fail("header");
    // libpng writes rows as wide as its own count says; a count other than the header's is refused
    // rather than trusted with the reader's buffer.
    if (png_get_rowbytes(m_state.png, m_state.info) != rowBytes)
        throw PageError(Name() + ": header: rows of " +
                        std::to_string(png_get_rowbytes(m_state.png, m_state.info)) +
                        " bytes, not the " + std::to_string(rowBytes) + " its sizes give");
}

// A palette is taken when every entry is grey (red = green = blue): its greys are the levels.
void CPngPageReader::CheckPalette()
{
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(m_state.png, m_state.info, &palette, &entries) == 0 || entries <= 0)
        throw PageError(Name() + ": header: a palette image without a palette");
    for (int i = 0; i < entries; ++i) {
        const png_color& c = palette[i];
        if (c.red != c.green || c.green != c.blue)
            throw PageRefusal(Name() + " has a colour palette (entry " + std::to_string(i) +
                              " is red " + std::to_string(c.red) + ", green " +
                              std::to_string(c.green) + ", blue " + std::to_string(c.blue) +
                              "): give grey of 1, 2, 8 or 16 bits or a palette of greys");
        m_paletteGreys.push_back(c.red);
    }
    m_paletteMaximum = 255;
}

void CPngPageReader::ReadStoredRow(int y, uint8_t* row)
{
    const size_t rowBytes = StoredRowBytes();
    const std::string place = "row " + std::to_string(y);
    if (!m_interlaced) {
        if (!Step_ReadRow(m_state.png, row))
            Fail(place);
        return;
    }
    if (m_whole.empty()) {
        m_whole.resize(rowBytes * static_cast<size_t>(m_header.height));
        std::vector<png_bytep> rows(static_cast<size_t>(m_header.height));
        for (size_t r = 0; r < rows.size(); ++r)
            rows[r] = m_whole.data() + r * rowBytes;
        if (!Step_ReadRows(m_state.png, rows.data()))
            Fail("interlaced rows");
    }
    std::memcpy(row, m_whole.data() + static_cast<size_t>(y) * rowBytes, rowBytes);
}

// A PNG page has one channel, so its rows are read once.
void CPngPageReader::RestartRows() { throw PageError(Name() + ": a PNG's rows are read once"); }

}  // namespace

std::unique_ptr<CPageReader> OpenPngPage(UniquePageFile file, const std::string& name,
                                         size_t signatureBytes)
{
    return std::make_unique<CPngPageReader>(std::move(file), name, signatureBytes);
}
