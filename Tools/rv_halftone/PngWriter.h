// PNG pictures for the rv_halftone commands, written through libpng.
//
// Every writer takes whole rows in memory and a file path; it throws PngError (with the path and
// the reason) when the file cannot be created or libpng refuses the image. An optional integer
// scale repeats each pixel scale x scale times to make single dots visible in an image viewer;
// the scaled rows are made one at a time as they are written, never the whole scaled picture.
// Sides up to PNG's largest (2^31 - 1) are written, beyond libpng's default limit of 1,000,000.
// The path kStandardOutput ("-") writes the picture to standard output, so that it can be piped
// into another command; a failed write leaves there what was written.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

constexpr const char* kStandardOutput = "-";

class PngError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct PngOptions
{
    int scale = 1;        // each pixel becomes scale x scale pixels (1 to 64)
    bool invert = false;  // grey images only: write (maximum - value), so set bits print dark
};

// 8-bit grey: `height` rows of `width` bytes, rows `rowBytes` apart.
void WritePngGrey8(const std::string& path, const uint8_t* pixels, int width, int height,
                   int rowBytes, const PngOptions& options = {});

// 8-bit RGB: `height` rows of `width` pixels of three bytes (red, green, blue), rows `rowBytes`
// apart.
void WritePngRgb8(const std::string& path, const uint8_t* pixels, int width, int height,
                  int rowBytes, const PngOptions& options = {});

// Grey of 1 or 2 bits per pixel from packed rows: `bitDepth` bits per pixel, the first pixel in
// the most significant bits of the first byte (the library's mask rows have this layout), rows
// `rowBytes` apart. Bits beyond `width` pixels in the last byte of a row are ignored.
void WritePngGreyPacked(const std::string& path, const uint8_t* rows, int width, int height,
                        int rowBytes, int bitDepth, const PngOptions& options = {});
