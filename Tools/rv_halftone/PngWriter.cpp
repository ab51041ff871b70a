#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxScale = 64;
// The largest side PNG allows. libpng refuses more than 1,000,000 pixels a side unless told
// otherwise; a page, a swath or a picture may be longer (a 1 x 1,048,576 page), and the callers
// cap what they write by its bytes or pixels.
constexpr long long kMaxSide = 0x7fffffff;

// An image as libpng is given it: its header, and a function that makes output row y (already
// scaled) into a buffer of rowBytes bytes. Rows are made one at a time as libpng takes them, so
// that a scaled picture never lies whole in memory.
struct SPngImage
{
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_GRAY;
    size_t rowBytes = 0;
    std::function<void(int y, uint8_t* row)> makeRow;
};

void Check(bool condition, const std::string& path, const char* what)
{
    if (!condition)
        throw PngError(path + ": " + what);
}

// The checks every writer makes before it touches the pixels.
void CheckSize(const std::string& path, const void* pixels, int width, int height, int rowBytes,
               long long neededRowBytes, const PngOptions& options)
{
    Check(pixels != nullptr, path, "no pixels");
    Check(width > 0 && height > 0, path, "empty image");
    Check(options.scale >= 1 && options.scale <= kMaxScale, path, "scale outside 1 to 64");
    Check(rowBytes >= neededRowBytes, path, "rows shorter than the width");
    Check(static_cast<long long>(width) * options.scale <= kMaxSide &&
              static_cast<long long>(height) * options.scale <= kMaxSide,
          path, "image too large");
}

SPngImage Image_Sized(int width, int height, int scale, int bitDepth, int colorType, int channels)
{
    SPngImage image;
    image.width = width * scale;
    image.height = height * scale;
    image.bitDepth = bitDepth;
    image.colorType = colorType;
    image.rowBytes = (static_cast<size_t>(image.width) * channels * bitDepth + 7) / 8;
    return image;
}

// Byte images (grey or RGB): every pixel of `channels` bytes repeated scale times across, every
// row scale times down.
SPngImage Image_ScaleBytes(const uint8_t* pixels, int width, int height, int rowBytes, int channels,
                           int colorType, const PngOptions& options)
{
    const int scale = options.scale;
    SPngImage image = Image_Sized(width, height, scale, 8, colorType, channels);
    image.makeRow = [=](int y, uint8_t* write) {
        const uint8_t* source = pixels + static_cast<size_t>(y / scale) * rowBytes;
        for (int x = 0; x < width; ++x)
            for (int s = 0; s < scale; ++s)
                for (int c = 0; c < channels; ++c) {
                    const uint8_t value = source[x * channels + c];
                    *write++ = options.invert ? static_cast<uint8_t>(255 - value) : value;
                }
    };
    return image;
}

// Packed grey rows, first pixel in the most significant bits; at scale 1 copied a byte at a time
// (pages and swaths are large), else unpacked and packed again so that each pixel can be
// repeated. Bits past the width stay clear, as libpng expects.
SPngImage Image_Packed(const uint8_t* rows, int width, int height, int rowBytes, int bitDepth,
                       const PngOptions& options)
{
    const int scale = options.scale;
    const bool invert = options.invert;
    SPngImage image = Image_Sized(width, height, scale, bitDepth, PNG_COLOR_TYPE_GRAY, 1);
    const size_t outBytes = image.rowBytes;
    if (scale == 1) {
        const int usedBits = static_cast<int>((static_cast<long long>(width) * bitDepth) % 8);
        const auto lastByteMask =
            static_cast<uint8_t>(usedBits == 0 ? 0xFF : 0xFF << (8 - usedBits));
        image.makeRow = [=](int y, uint8_t* out) {
            const uint8_t* source = rows + static_cast<size_t>(y) * rowBytes;
            for (size_t b = 0; b < outBytes; ++b)
                out[b] = invert ? static_cast<uint8_t>(~source[b]) : source[b];
            out[outBytes - 1] &= lastByteMask;
        };
        return image;
    }
    const int perByte = 8 / bitDepth;
    const unsigned maxValue = (1u << bitDepth) - 1;
    image.makeRow = [=](int y, uint8_t* out) {
        const uint8_t* source = rows + static_cast<size_t>(y / scale) * rowBytes;
        std::memset(out, 0, outBytes);
        long long target = 0;
        for (int x = 0; x < width; ++x) {
            const int sourceShift = 8 - bitDepth * (x % perByte + 1);
            unsigned value = (source[x / perByte] >> sourceShift) & maxValue;
            if (invert)
                value = maxValue - value;
            for (int s = 0; s < scale; ++s, ++target) {
                const int targetShift = 8 - bitDepth * static_cast<int>(target % perByte + 1);
                out[target / perByte] =
                    static_cast<uint8_t>(out[target / perByte] | value << targetShift);
            }
        }
    };
    return image;
}

// libpng reports an error by calling this, which must not return: keep the message and jump back
// to the setjmp in Image_Encode.
void OnPngError(png_structp png, png_const_charp message)
{
    char* keep = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(keep, 256, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) { }

// The part that libpng may leave by longjmp: it holds no object with a destructor, so nothing is
// skipped when it does (the row is made outside libpng, into `row`). False with `message` set on
// an error.
bool Image_Encode(std::FILE* file, const SPngImage& image, uint8_t* row, char* message)
{
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, message, OnPngError, OnPngWarning);
    if (png == nullptr) {
        std::snprintf(message, 256, "cannot start libpng");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(message, 256, "cannot start libpng");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxSide), static_cast<png_uint_32>(kMaxSide));
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), image.bitDepth, image.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        image.makeRow(y, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The picture on standard output: the stream stays open for whatever the process writes next.
void Image_WriteToStandardOutput(const SPngImage& image)
{
    std::vector<uint8_t> row(image.rowBytes);
    char message[256] = "";
    const bool encoded = Image_Encode(stdout, image, row.data(), message);
    if (!encoded || std::fflush(stdout) != 0 || std::ferror(stdout))
        throw PngError(std::string("standard output: ") +
                       (encoded ? "cannot write the picture" : message));
}

void Image_Write(const std::string& path, const SPngImage& image)
{
    if (path == kStandardOutput) {
        Image_WriteToStandardOutput(image);
        return;
    }
    std::vector<uint8_t> row(image.rowBytes);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw PngError(path + ": " + std::strerror(errno));
    char message[256] = "";
    const bool encoded = Image_Encode(file, image, row.data(), message);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        // No half-written picture is left behind; a device such as /dev/full stays.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(path, ignored))
            std::filesystem::remove(path, ignored);
        throw PngError(path + ": " + (encoded ? "cannot write the file" : message));
    }
}

}  // namespace

void WritePngGrey8(const std::string& path, const uint8_t* pixels, int width, int height,
                   int rowBytes, const PngOptions& options)
{
    CheckSize(path, pixels, width, height, rowBytes, width, options);
    Image_Write(path,
                Image_ScaleBytes(pixels, width, height, rowBytes, 1, PNG_COLOR_TYPE_GRAY, options));
}

void WritePngRgb8(const std::string& path, const uint8_t* pixels, int width, int height,
                  int rowBytes, const PngOptions& options)
{
    CheckSize(path, pixels, width, height, rowBytes, 3LL * width, options);
    Check(!options.invert, path, "inverting is for grey images only");
    Image_Write(path,
                Image_ScaleBytes(pixels, width, height, rowBytes, 3, PNG_COLOR_TYPE_RGB, options));
}

void WritePngGreyPacked(const std::string& path, const uint8_t* rows, int width, int height,
                        int rowBytes, int bitDepth, const PngOptions& options)
{
    Check(bitDepth == 1 || bitDepth == 2, path, "packed grey needs 1 or 2 bits per pixel");
    CheckSize(path, rows, width, height, rowBytes,
              (static_cast<long long>(width) * bitDepth + 7) / 8, options);
    Image_Write(path, Image_Packed(rows, width, height, rowBytes, bitDepth, options));
}
