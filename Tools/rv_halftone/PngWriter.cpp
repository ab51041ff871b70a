#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxScale = 64;
// libpng refuses wider or taller images unless the limit is raised; no picture of ours comes near.
constexpr long long kMaxSide = 1000000;

// An image ready for libpng: rows of `rowBytes` bytes, one after another.
struct SPngImage
{
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_GRAY;
    size_t rowBytes = 0;
    std::vector<uint8_t> bytes;
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
    image.bytes.assign(image.rowBytes * image.height, 0);
    return image;
}

// Byte images (grey or RGB): every pixel of `channels` bytes repeated scale times across, every
// row scale times down.
SPngImage Image_ScaleBytes(const uint8_t* pixels, int width, int height, int rowBytes, int channels,
                           int colorType, const PngOptions& options)
{
    const int scale = options.scale;
    SPngImage image = Image_Sized(width, height, scale, 8, colorType, channels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels + static_cast<size_t>(y) * rowBytes;
        uint8_t* out = image.bytes.data() + static_cast<size_t>(y) * scale * image.rowBytes;
        uint8_t* write = out;
        for (int x = 0; x < width; ++x)
            for (int s = 0; s < scale; ++s)
                for (int c = 0; c < channels; ++c) {
                    const uint8_t value = source[x * channels + c];
                    *write++ = options.invert ? static_cast<uint8_t>(255 - value) : value;
                }
        for (int s = 1; s < scale; ++s)
            std::memcpy(out + s * image.rowBytes, out, image.rowBytes);
    }
    return image;
}

// Packed grey rows as they are, a byte at a time: pages and swaths are large and never scaled.
// Bits past the width stay clear, as libpng expects.
SPngImage Image_CopyPacked(const uint8_t* rows, int width, int height, int rowBytes, int bitDepth,
                           bool invert)
{
    SPngImage image = Image_Sized(width, height, 1, bitDepth, PNG_COLOR_TYPE_GRAY, 1);
    const int usedBits = (width * bitDepth) % 8;
    const auto lastByteMask = static_cast<uint8_t>(usedBits == 0 ? 0xFF : 0xFF << (8 - usedBits));
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = rows + static_cast<size_t>(y) * rowBytes;
        uint8_t* out = image.bytes.data() + static_cast<size_t>(y) * image.rowBytes;
        for (size_t b = 0; b < image.rowBytes; ++b)
            out[b] = invert ? static_cast<uint8_t>(~source[b]) : source[b];
        out[image.rowBytes - 1] &= lastByteMask;
    }
    return image;
}

// Packed grey rows, first pixel in the most significant bits, unpacked and packed again so that
// each pixel can be repeated.
SPngImage Image_ScalePacked(const uint8_t* rows, int width, int height, int rowBytes, int bitDepth,
                            const PngOptions& options)
{
    const int scale = options.scale;
    const int perByte = 8 / bitDepth;
    const unsigned maxValue = (1u << bitDepth) - 1;
    SPngImage image = Image_Sized(width, height, scale, bitDepth, PNG_COLOR_TYPE_GRAY, 1);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = rows + static_cast<size_t>(y) * rowBytes;
        uint8_t* out = image.bytes.data() + static_cast<size_t>(y) * scale * image.rowBytes;
        int target = 0;
        for (int x = 0; x < width; ++x) {
            const int sourceShift = 8 - bitDepth * (x % perByte + 1);
            unsigned value = (source[x / perByte] >> sourceShift) & maxValue;
            if (options.invert)
                value = maxValue - value;
            for (int s = 0; s < scale; ++s, ++target) {
                const int targetShift = 8 - bitDepth * (target % perByte + 1);
                out[target / perByte] =
                    static_cast<uint8_t>(out[target / perByte] | value << targetShift);
            }
        }
        for (int s = 1; s < scale; ++s)
            std::memcpy(out + s * image.rowBytes, out, image.rowBytes);
    }
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
// skipped when it does. False with `message` set on an error.
bool Image_Encode(std::FILE* file, const SPngImage& image, png_bytep* rowPointers, char* message)
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
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), image.bitDepth, image.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rowPointers);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void Image_Write(const std::string& path, SPngImage& image)
{
    std::vector<png_bytep> rowPointers(image.height);
    for (int y = 0; y < image.height; ++y)
        rowPointers[y] = image.bytes.data() + static_cast<size_t>(y) * image.rowBytes;

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw PngError(path + ": " + std::strerror(errno));
    char message[256] = "";
    const bool encoded = Image_Encode(file, image, rowPointers.data(), message);
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
    SPngImage image =
        Image_ScaleBytes(pixels, width, height, rowBytes, 1, PNG_COLOR_TYPE_GRAY, options);
    Image_Write(path, image);
}

void WritePngRgb8(const std::string& path, const uint8_t* pixels, int width, int height,
                  int rowBytes, const PngOptions& options)
{
    CheckSize(path, pixels, width, height, rowBytes, 3LL * width, options);
    Check(!options.invert, path, "inverting is for grey images only");
    SPngImage image =
        Image_ScaleBytes(pixels, width, height, rowBytes, 3, PNG_COLOR_TYPE_RGB, options);
    Image_Write(path, image);
}

void WritePngGreyPacked(const std::string& path, const uint8_t* rows, int width, int height,
                        int rowBytes, int bitDepth, const PngOptions& options)
{
    Check(bitDepth == 1 || bitDepth == 2, path, "packed grey needs 1 or 2 bits per pixel");
    CheckSize(path, rows, width, height, rowBytes,
              (static_cast<long long>(width) * bitDepth + 7) / 8, options);
    SPngImage image =
        options.scale == 1
            ? Image_CopyPacked(rows, width, height, rowBytes, bitDepth, options.invert)
            : Image_ScalePacked(rows, width, height, rowBytes, bitDepth, options);
    Image_Write(path, image);
}
