// Helpers for the tests of the rv_halftone tool: run it as a user would and read back what it
// wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SToolRun
{
    int status = -1;  // exit status; 128 + signal number when a signal ended it
    std::string out;  // standard output
    std::string err;  // standard error
};

// Where and how the tool runs, when not as the test itself does.
struct SToolSetting
{
    std::vector<std::string> environment;  // "NAME=value" added to the test's own environment
    std::string standardOutput;            // a path the standard output goes to instead
    long long memoryLimitKiB = 0;          // the address space the tool may use (0: no limit)
    std::string standardInput = {};        // a path the standard input reads (else /dev/null)
};

// Runs the built rv_halftone with `args` (without the program name), no shell involved, and
// waits for it; a run that has not ended after two minutes is killed (status 128 + 9), so that a
// tool that hangs fails its test.
SToolRun RunTool(const std::vector<std::string>& args, const SToolSetting& setting = {});

// A new empty directory under the test temporary directory, named after the running test and
// removed when the test program ends.
std::string FreshTestDir();

struct SPngHeader
{
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colorType = -1;  // PNG_COLOR_TYPE_GRAY (0), PNG_COLOR_TYPE_RGB (2), ...
};

// The image header of a PNG file, read with libpng; false with `error` set when the file is
// missing or not a PNG.
bool ReadPngHeader(const std::string& path, SPngHeader& header, std::string& error);

struct SPngPixels
{
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 for grey, 3 for RGB
    std::vector<uint8_t>
        samples;  // 8 bits per sample, row after row; 1- and 2-bit grey scaled to 0..255

    uint8_t At(int x, int y, int channel = 0) const
    {
        return samples[(static_cast<size_t>(y) * width + x) * channels + channel];
    }
};

// The pixels of a grey or RGB PNG file as 8-bit samples; false with `error` set otherwise.
bool ReadPngPixels(const std::string& path, SPngPixels& pixels, std::string& error);
