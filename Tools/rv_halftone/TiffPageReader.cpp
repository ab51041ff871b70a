// The TIFF back end of CPageReader, through libtiff: grey (MinIsWhite, MinIsBlack), separations
// (Separated: CMYK or N inks, one colour each, samples interleaved) and palettes of greys, of 1,
// 2, 4, 8 or 16 bits, stripped or tiled, with any compression this libtiff decodes. Stripped
// pages are read a row at a time, tiled ones a row of tiles at a time.
//
// libtiff seeks, so a page that is not a regular file (standard input, a pipe, a FIFO) is first
// copied to an unlinked temporary file in $TMPDIR (or /tmp). libtiff's errors and warnings go to
// this file's handlers, never to the standard error.
#include "PageFormats.h"

#include <tiffio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An open file descriptor, closed on every path.
class CDescriptor
{
public:
    explicit CDescriptor(int fd) : m_fd(fd) { }
    ~CDescriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }
    int* Handle() { return &m_fd; }

private:
    int m_fd;
};

// libtiff's I/O on a descriptor the reader owns: libtiff never closes or maps it.
tmsize_t OnTiffRead(thandle_t handle, void* buffer, tmsize_t size)
{
    const int fd = *static_cast<int*>(handle);
    tmsize_t total = 0;
    while (total < size) {
        const ssize_t got =
            read(fd, static_cast<char*>(buffer) + total, static_cast<size_t>(size - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

tmsize_t OnTiffWrite(thandle_t, void*, tmsize_t)
{
    errno = EBADF;
    return -1;
}

toff_t OnTiffSeek(thandle_t handle, toff_t offset, int whence)
{
    const off_t at = lseek(*static_cast<int*>(handle), static_cast<off_t>(offset), whence);
    return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}

int OnTiffClose(thandle_t) { return 0; }

toff_t OnTiffSize(thandle_t handle)
{
    struct stat status;
    return fstat(*static_cast<int*>(handle), &status) == 0 ? static_cast<toff_t>(status.st_size)
                                                           : 0;
}

int OnTiffMap(thandle_t, void**, toff_t*) { return 0; }
void OnTiffUnmap(thandle_t, void*, toff_t) { }

// Keeps libtiff's error messages for the reader's own; never throws into libtiff.
int OnTiffError(TIFF*, void* messages, const char* module, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    try {
        std::string& kept = *static_cast<std::string*>(messages);
        if (!kept.empty())
            kept += "; ";
        kept += (module != nullptr && module[0] != '\0') ? std::string(module) + ": " + text : text;
    } catch (...) {
    }
    return 1;  // handled: libtiff's global handler does not print it
}

// Warnings (an unknown tag, a nonstandard tile width) do not change the pixels split reads.
int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct STiffCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// A copy of a page that cannot seek, in an unlinked temporary file, read from its start.
int SpoolToTemporaryFile(std::FILE* file, const std::string& name, const unsigned char* head,
                         size_t headBytes)
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") +
                       "/rv_halftone-page-XXXXXX";
    CDescriptor spool(mkstemp(path.data()));
    if (spool.Get() < 0)
        throw PageError(name + ": a TIFF that cannot seek is copied to a temporary file, but " +
                        path + " cannot be made: " + std::strerror(errno));
    unlink(path.c_str());
    const auto spoolFailure = [&] {
        return PageError(name + ": a TIFF that cannot seek is copied to a temporary file in " +
                         path.substr(0, path.rfind('/')) +
                         ", which failed: " + std::strerror(errno));
    };
    if (write(spool.Get(), head, headBytes) != static_cast<ssize_t>(headBytes))
        throw spoolFailure();
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got > 0 && write(spool.Get(), buffer.data(), got) != static_cast<ssize_t>(got))
            throw spoolFailure();
        if (got < buffer.size())
            break;
    }
    if (std::ferror(file))
        throw PageError(name + ": cannot be read: " + std::strerror(errno));
    if (lseek(spool.Get(), 0, SEEK_SET) != 0)
        throw spoolFailure();
    const int fd = *spool.Handle();
    *spool.Handle() = -1;
    return fd;
}

// A descriptor of the page from its start: the file itself when it is regular, else a copy.
int SeekableDescriptor(std::FILE* file, const std::string& name, const unsigned char* head,
                       size_t headBytes)
{
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode)) {
        CDescriptor fd(dup(fileno(file)));
        if (fd.Get() < 0 || lseek(fd.Get(), 0, SEEK_SET) != 0)
            throw PageError(name + ": cannot be read from its start: " + std::strerror(errno));
        const int own = fd.Get();
        *fd.Handle() = -1;
        return own;
    }
    return SpoolToTemporaryFile(file, name, head, headBytes);
}

const char* PhotometricName(int photometric)
{
    switch (photometric) {
    case PHOTOMETRIC_RGB: return "RGB";
    case PHOTOMETRIC_YCBCR: return "YCbCr";
    case PHOTOMETRIC_CIELAB: return "CIE L*a*b*";
    case PHOTOMETRIC_ICCLAB: return "ICC L*a*b*";
    case PHOTOMETRIC_MASK: return "transparency mask";
    default: return "not grey";
    }
}

class CTiffPageReader : public CPageReader
{
public:
    CTiffPageReader(int fd, const std::string& name);

protected:
    void ReadStoredRow(int y, uint8_t* row) override;
    void RestartRows() override;

private:
    [[noreturn]] void Fail(const std::string& place, const std::string& fallback);
    void ReadHeader();
    void CheckLayout();
    void CheckPalette();
    void LoadTileRow(int tileRow);
    std::string Refused(const std::string& what) const;

    CDescriptor m_fd;
    std::string m_errors;  // libtiff's since the last failure
    std::unique_ptr<TIFF, STiffCloser> m_tiff;
    bool m_tiled = false;
    uint32_t m_tileWidth = 0;
    uint32_t m_tileLength = 0;
    size_t m_tilesAcross = 0;
    size_t m_tileRowBytes = 0;  // one row of one tile
    std::vector<uint8_t> m_tile;
    std::vector<uint8_t> m_tileRow;  // the rows of one row of tiles, side by side
    long long m_loadedTileRow = -1;
};

CTiffPageReader::CTiffPageReader(int fd, const std::string& name) : CPageReader(name), m_fd(fd)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        throw PageError(Name() + ": cannot start libtiff");
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &m_errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, nullptr);
    // libtiff's own buffers (a strip, a tile) stay within what the reader would hold.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxHeldRowBytes));
    // "r": read only; "m": no memory mapping, so a file shortened while read is an error, not a
    // signal.
    m_tiff.reset(TIFFClientOpenExt(Name().c_str(), "rm", m_fd.Handle(), OnTiffRead, OnTiffWrite,
                                   OnTiffSeek, OnTiffClose, OnTiffSize, OnTiffMap, OnTiffUnmap,
                                   options));
    TIFFOpenOptionsFree(options);
    if (!m_tiff)
        Fail("header", "not a TIFF libtiff can open");
    ReadHeader();
}

void CTiffPageReader::Fail(const std::string& place, const std::string& fallback)
{
    std::string reason = m_errors.empty() ? fallback : m_errors;
    m_errors.clear();
    // libtiff names the file in some of its messages; the message names it once, first.
    for (size_t at; (at = reason.find(Name() + ": ")) != std::string::npos;)
        reason.erase(at, Name().size() + 2);
    struct stat status;
    if (fstat(m_fd.Get(), &status) == 0)
        reason += " (the file ends at byte " + std::to_string(status.st_size) + ")";
    throw PageError(Name() + ": " + place + ": " + reason);
}

std::string CTiffPageReader::Refused(const std::string& what) const
{
    return Name() + " is a TIFF " + what;
}

void CTiffPageReader::ReadHeader()
{
    TIFF* tiff = m_tiff.get();
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = 0, format = SAMPLEFORMAT_UINT;
    if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) != 1)
        Fail("header", "no image width or length");
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1)
        throw PageRefusal(Refused("without a photometric interpretation: give MinIsWhite or "
                                  "MinIsBlack grey, Separated inks or a palette of greys"));
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    m_header.format = "TIFF";
    m_header.width = width > INT_MAX ? INT_MAX : static_cast<int>(width);
    m_header.height = height > INT_MAX ? INT_MAX : static_cast<int>(height);
    m_header.bitDepth = bits;
    m_header.channels = samples;
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE: m_header.ink = EInkSense::kHighIsInk; break;
    case PHOTOMETRIC_MINISBLACK: m_header.ink = EInkSense::kLowIsInk; break;
    case PHOTOMETRIC_SEPARATED: m_header.ink = EInkSense::kHighIsInk; break;
    case PHOTOMETRIC_PALETTE: m_header.palette = true; break;
    default:
        throw PageRefusal(Refused("of photometric interpretation " + std::to_string(photometric) +
                                  " (" + PhotometricName(photometric) +
                                  "): give MinIsWhite or MinIsBlack grey, Separated inks (CMYK or "
                                  "N inks, one colour each) or a palette of greys"));
    }
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
        throw PageRefusal(
            Refused("of " + std::to_string(bits) + "-bit samples: give 1, 2, 8 or 16 bits"));
    if (format != SAMPLEFORMAT_UINT)
        throw PageRefusal(Refused("of samples in format " + std::to_string(format) +
                                  " (not unsigned integers): give unsigned integer samples"));
    if (photometric != PHOTOMETRIC_SEPARATED && samples != 1)
        throw PageRefusal(Refused("of " + std::to_string(samples) +
                                  " samples a pixel that is not Separated (grey with alpha?): give "
                                  "grey of one sample, or Separated inks, one colour each"));
    CheckHeaderSizes();
    if (m_header.palette)
        CheckPalette();
    CheckLayout();
}

// The stored order and compression, and the buffers they need, checked before any is allocated.
void CTiffPageReader::CheckLayout()
{
    TIFF* tiff = m_tiff.get();
    uint16_t planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT;
    uint16_t compression = COMPRESSION_NONE, extraCount = 0;
    uint16_t* extras = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) == 1)
        for (uint16_t i = 0; i < extraCount; ++i)
            if (extras[i] != EXTRASAMPLE_UNSPECIFIED)
                throw PageRefusal(Refused("with an alpha channel: give inks only, one colour "
                                          "each"));
    if (planar != PLANARCONFIG_CONTIG && m_header.channels > 1)
        throw PageRefusal(Refused("with its channels in separate planes: save it with them "
                                  "interleaved (contiguous, chunky), or one file per colour"));
    if (orientation != ORIENTATION_TOPLEFT)
        throw PageRefusal(Refused("of orientation " + std::to_string(orientation) +
                                  ": give rows top down, left to right (TopLeft, 1)"));
    if (!TIFFIsCODECConfigured(compression))
        throw PageRefusal(Refused("of compression " + std::to_string(compression) +
                                  ", which this libtiff cannot decode: give none, LZW, Deflate "
                                  "or PackBits"));
    const size_t rowBytes = StoredRowBytes();
    m_tiled = TIFFIsTiled(tiff) != 0;
    if (!m_tiled) {
        if (static_cast<uint64_t>(TIFFScanlineSize64(tiff)) != rowBytes)
            Fail("header", "rows of " + std::to_string(TIFFScanlineSize64(tiff)) +
                               " bytes, not the " + std::to_string(rowBytes) + " its sizes give");
        return;
    }
    if (TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &m_tileWidth) != 1 ||
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &m_tileLength) != 1 || m_tileWidth == 0 ||
        m_tileLength == 0)
        Fail("header", "a tiled TIFF without tile sizes");
    const uint64_t tileBits = uint64_t{m_tileWidth} * m_header.channels * m_header.bitDepth;
    m_tilesAcross = (static_cast<size_t>(m_header.width) + m_tileWidth - 1) / m_tileWidth;
    m_tileRowBytes = static_cast<size_t>(tileBits / 8);
    const unsigned long long held =
        static_cast<unsigned long long>(m_tileLength) * m_tileRowBytes * (m_tilesAcross + 1);
    if (tileBits % 8 != 0 || held > kMaxHeldRowBytes ||
        static_cast<uint64_t>(TIFFTileRowSize64(tiff)) != m_tileRowBytes)
        throw PageRefusal(Refused("of " + std::to_string(m_tileWidth) + " x " +
                                  std::to_string(m_tileLength) +
                                  " tiles: a row of them is read at once, at most 256 MiB of "
                                  "whole bytes; save it with smaller tiles or in strips"));
}

// Palette entries are 16-bit red, green and blue; a palette of greys has them equal.
void CTiffPageReader::CheckPalette()
{
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (m_header.bitDepth > 8)
        throw PageRefusal(Refused("palette of " + std::to_string(m_header.bitDepth) +
                                  "-bit indices: give at most 8"));
    if (TIFFGetField(m_tiff.get(), TIFFTAG_COLORMAP, &red, &green, &blue) != 1)
        Fail("header", "a palette image without a colour map");
    const size_t entries = size_t{1} << m_header.bitDepth;
    for (size_t i = 0; i < entries; ++i) {
        if (red[i] != green[i] || green[i] != blue[i])
            throw PageRefusal(Name() + " has a colour palette (entry " + std::to_string(i) +
                              " is red " + std::to_string(red[i]) + ", green " +
                              std::to_string(green[i]) + ", blue " + std::to_string(blue[i]) +
                              " of 65535): give grey, Separated inks or a palette of greys");
        m_paletteGreys.push_back(red[i]);
    }
    m_paletteMaximum = 65535;
}

void CTiffPageReader::LoadTileRow(int tileRow)
{
    const size_t tileBytes = m_tileRowBytes * m_tileLength;
    const size_t acrossBytes = m_tileRowBytes * m_tilesAcross;
    m_tile.resize(tileBytes);
    m_tileRow.resize(acrossBytes * m_tileLength);
    const uint32_t y = static_cast<uint32_t>(tileRow) * m_tileLength;
    for (size_t column = 0; column < m_tilesAcross; ++column) {
        const uint32_t x = static_cast<uint32_t>(column) * m_tileWidth;
        const uint32_t tile = TIFFComputeTile(m_tiff.get(), x, y, 0, 0);
        if (TIFFReadEncodedTile(m_tiff.get(), tile, m_tile.data(),
                                static_cast<tmsize_t>(tileBytes)) < 0)
            Fail("row " + std::to_string(y) + ", tile " + std::to_string(tile),
                 "the tile cannot be read");
        for (uint32_t r = 0; r < m_tileLength; ++r)
            std::memcpy(m_tileRow.data() + r * acrossBytes + column * m_tileRowBytes,
                        m_tile.data() + r * m_tileRowBytes, m_tileRowBytes);
    }
    m_loadedTileRow = tileRow;
}

void CTiffPageReader::ReadStoredRow(int y, uint8_t* row)
{
    if (!m_tiled) {
        if (TIFFReadScanline(m_tiff.get(), row, static_cast<uint32_t>(y), 0) < 0)
            Fail("row " + std::to_string(y), "the row cannot be read");
        return;
    }
    const int tileRow = y / static_cast<int>(m_tileLength);
    if (tileRow != m_loadedTileRow)
        LoadTileRow(tileRow);
    const size_t inTile = static_cast<size_t>(y) % m_tileLength;
    std::memcpy(row, m_tileRow.data() + inTile * m_tileRowBytes * m_tilesAcross, StoredRowBytes());
}

// Strips restart by reading row 0 again, which libtiff decodes from the strip's start.
void CTiffPageReader::RestartRows() { m_loadedTileRow = -1; }

}  // namespace

std::unique_ptr<CPageReader> OpenTiffPage(UniquePageFile file, const std::string& name,
                                          const unsigned char* head, size_t headBytes)
{
    const int fd = SeekableDescriptor(file.get(), name, head, headBytes);
    file.reset();
    return std::make_unique<CTiffPageReader>(fd, name);
}
