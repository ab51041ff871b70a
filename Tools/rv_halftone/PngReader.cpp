#include "PngReader.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kMessageSize = 256;
constexpr png_uint_32 kMaxSide = 0x7fffffff;  // the largest side PNG allows

// libpng reports an error by calling this, which must not return: keep the message and jump back
// to the setjmp of the step that called libpng.
void OnPngError(png_structp png, png_const_charp message)
{
    std::snprintf(static_cast<char*>(png_get_error_ptr(png)), kMessageSize, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) { }

// The steps libpng may leave by longjmp hold no object with a destructor. False on an error, the
// message then in libpng's error pointer.
bool Step_ReadInfo(png_structp png, png_infop info, SPngInfo& out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.bitDepth = png_get_bit_depth(png, info);
    out.colorType = png_get_color_type(png, info);
    out.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    return true;
}

// Sets up row reading; then png_get_rowbytes says how wide a row libpng will write.
bool Step_StartRows(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
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

}  // namespace

CPngReader::CPngReader(const std::string& path)
    : m_path(path == kStandardInput ? "standard input" : path)
{
    m_ownsFile = path != kStandardInput;
    m_file = m_ownsFile ? std::fopen(path.c_str(), "rb") : stdin;
    if (m_file == nullptr)
        throw PngError(m_path + ": " + std::strerror(errno));
    static_assert(sizeof m_message == kMessageSize, "the error handler's buffer");
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, m_message, OnPngError, OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    m_png = png;
    m_pngInfo = info;
    if (info == nullptr) {
        Close();
        throw PngError(m_path + ": cannot start libpng");
    }
    png_init_io(png, m_file);
    // Sides up to PNG's largest rather than libpng's default 1,000,000: a 1 x 1,048,576 page is a
    // page like any other. What a page may hold is the caller's cap, checked on its header before
    // any row is read; libpng's limits on chunks stay.
    png_set_user_limits(png, kMaxSide, kMaxSide);
    if (!Step_ReadInfo(png, info, m_info)) {
        Close();
        throw PngError(m_path + ": " + m_message);
    }
}

CPngReader::~CPngReader() { Close(); }

void CPngReader::Close()
{
    png_structp png = static_cast<png_structp>(m_png);
    png_infop info = static_cast<png_infop>(m_pngInfo);
    if (png != nullptr)
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    if (m_file != nullptr && m_ownsFile)
        std::fclose(m_file);
    m_png = nullptr;
    m_pngInfo = nullptr;
    m_file = nullptr;
}

// Checks that `size` bytes hold `rowsWanted` rows and that libpng will write rows as wide as the
// header says, before any row is read.
void CPngReader::StartRows(size_t size, size_t rowsWanted)
{
    if (!m_info.Grey() || m_info.bitDepth > 8)
        throw PngError(m_path + ": not grey of at most 8 bits");
    const size_t rowBytes = m_info.RowBytes();
    if (rowBytes != 0 && size / rowBytes < rowsWanted)
        throw PngError(m_path + ": " + std::to_string(rowsWanted) + " rows of " +
                       std::to_string(rowBytes) + " bytes do not fit in " + std::to_string(size) +
                       " bytes");
    if (m_rowsStarted)
        return;
    m_rowsStarted = true;
    png_structp png = static_cast<png_structp>(m_png);
    png_infop info = static_cast<png_infop>(m_pngInfo);
    if (!Step_StartRows(png, info))
        throw PngError(m_path + ": " + m_message);
    // libpng writes rows as wide as its own count says; a count other than the header's is refused
    // rather than trusted with the caller's buffer.
    if (png_get_rowbytes(png, info) != rowBytes ||
        png_get_image_height(png, info) != static_cast<png_uint_32>(m_info.height))
        throw PngError(m_path + ": rows of " + std::to_string(png_get_rowbytes(png, info)) +
                       " bytes, not the " + std::to_string(rowBytes) + " its header gives");
}

void CPngReader::ReadGreyRows(uint8_t* bytes, size_t size)
{
    if (m_rowsStarted)
        throw PngError(m_path + ": its rows were read already");
    const size_t height = static_cast<size_t>(m_info.height);
    StartRows(size, height);
    const size_t rowBytes = m_info.RowBytes();
    std::vector<png_bytep> rows(height);
    for (size_t y = 0; y < height; ++y)
        rows[y] = bytes + y * rowBytes;
    m_nextRow = m_info.height;
    if (!Step_ReadRows(static_cast<png_structp>(m_png), rows.data()))
        throw PngError(m_path + ": " + m_message);
}

void CPngReader::ReadGreyRow(uint8_t* row, size_t size)
{
    if (m_info.interlaced)
        throw PngError(m_path + ": interlaced, so its rows are read whole");
    if (m_nextRow >= m_info.height)
        throw PngError(m_path + ": all its " + std::to_string(m_info.height) +
                       " rows were read already");
    StartRows(size, 1);
    ++m_nextRow;
    if (!Step_ReadRow(static_cast<png_structp>(m_png), row))
        throw PngError(m_path + ": " + m_message);
}
