// Grey PNG pages for rv_halftone split, read through libpng.
//
// The header is read when the reader opens, so that a caller can refuse a picture, or check its
// size, before any pixel is allocated; the rows are read, all at once or one at a time, as stored (grey of 1 or 2 bits packed from
// the most significant bit down, the mask's layout; 8 bits a byte per pixel). Files that cannot be
// opened or are not well-formed PNG throw PngError with the path and the reason. Any side PNG
// allows is read (libpng's default limit of 1,000,000 pixels a side is lifted): the caller caps a
// page by its header.
#pragma once

#include "PngWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The page name that reads standard input.
constexpr const char* kStandardInput = "-";

struct SPngInfo
{
    int width = 0;
    int height = 0;
    int bitDepth = 0;   // bits per sample
    int colorType = 0;  // PNG_COLOR_TYPE_GRAY (0), PNG_COLOR_TYPE_RGB (2), ...
    // Adam7: a row is complete only when the whole image has been read, so such an image is read
    // whole.
    bool interlaced = false;
    bool Grey() const { return colorType == 0; }
    size_t RowBytes() const { return (static_cast<size_t>(width) * bitDepth + 7) / 8; }
};

class CPngReader
{
public:
    // `path` "-" reads standard input, named "standard input" in errors.
    explicit CPngReader(const std::string& path);
    ~CPngReader();
    CPngReader(const CPngReader&) = delete;
    CPngReader& operator=(const CPngReader&) = delete;

    const SPngInfo& Info() const { return m_info; }
    // A grey image's rows as stored, Info().RowBytes() bytes each, into `bytes`, which holds `size`
    // bytes; once. Refused (PngError) before a byte is written when `size` is short of
    // Info().height rows, or when libpng's rows would be wider than the header said: nothing is
    // ever written past `size` bytes, whatever the file holds.
    void ReadGreyRows(uint8_t* bytes, size_t size);
    // The next row of a grey image that is not interlaced, Info().RowBytes() bytes, into `row`,
    // which holds `size` bytes; Info().height times. Refused (PngError) like ReadGreyRows, and
    // past the last row.
    void ReadGreyRow(uint8_t* row, size_t size);

private:
    void Close();
    void StartRows(size_t size, size_t rowsWanted);

    std::string m_path;
    std::FILE* m_file = nullptr;
    bool m_ownsFile = true;  // standard input stays open
    void* m_png = nullptr;      // png_structp
    void* m_pngInfo = nullptr;  // png_infop
    char m_message[256] = {};   // libpng's last error
    SPngInfo m_info;
    bool m_rowsStarted = false;  // libpng reads a stream's rows once
    int m_nextRow = 0;
};
