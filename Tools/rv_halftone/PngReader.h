// Grey PNG pages for rv_halftone split, read through libpng.
//
// The header is read when the reader opens, so that a caller can refuse a picture, or check its
// size, before any pixel is allocated; the rows are read as stored (grey of 1 or 2 bits packed from
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

struct SPngInfo
{
    int width = 0;
    int height = 0;
    int bitDepth = 0;   // bits per sample
    int colorType = 0;  // PNG_COLOR_TYPE_GRAY (0), PNG_COLOR_TYPE_RGB (2), ...
    bool Grey() const { return colorType == 0; }
    size_t RowBytes() const { return (static_cast<size_t>(width) * bitDepth + 7) / 8; }
};

class CPngReader
{
public:
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

private:
    void Close();

    std::string m_path;
    std::FILE* m_file = nullptr;
    void* m_png = nullptr;      // png_structp
    void* m_pngInfo = nullptr;  // png_infop
    char m_message[256] = {};   // libpng's last error
    SPngInfo m_info;
    bool m_rowsRead = false;  // libpng reads a stream's rows once
};
