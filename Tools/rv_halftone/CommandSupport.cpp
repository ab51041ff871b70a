#include "CommandSupport.h"

#include "CommandLine.h"
#include "RecordOptions.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <regex>
#include <stdexcept>

PngOptions SOutputOptions::Png(bool invert) const
{
    PngOptions png;
    png.scale = scale;
    png.invert = invert;
    return png;
}

namespace {

bool ScaleFactor(double value) { return AtLeastOne(value) && value <= 16.0; }

}  // namespace

void AddOutputOptions(CLI::App& command, SOutputOptions& options, const std::string& outHelp,
                      const char* jsonHelp)
{
    if (jsonHelp != nullptr)
        command.add_flag("--json", options.json, jsonHelp);
    CLI::Option* out = command.add_option("--out", options.outDir, outHelp);
    if (!options.outDir.empty())
        out->capture_default_str();
    command
        .add_option("--scale", options.scale,
                    "enlarge pictures by this integer factor (1 to 16; a picture stays within " +
                        std::to_string(kMaxPicturePixels) + " pixels)")
        ->check(InSet(ScaleFactor, "must be a whole number from 1 to 16"))
        ->capture_default_str();
}

void WarnPictureOptionsWithoutOut(const CLI::App& command, const SOutputOptions& output,
                                  const std::vector<std::string>& options, SReport& report)
{
    if (!output.outDir.empty())
        return;
    for (const std::string& name : options)
        if (command.get_option(name)->count() > 0)
            report.Warn(name + " changes nothing without --out: it shapes the pictures");
}

void AddColorOption(CLI::App& command, int& color, const std::string& help)
{
    command.add_option("--color", color, help)->default_str("every colour");
}

std::vector<int> ChosenColors(int color, int colorCount)
{
    std::vector<int> colors;
    if (color >= 0 && color < colorCount)
        colors.push_back(color);
    else if (color == -1)
        for (int c = 0; c < colorCount; ++c)
            colors.push_back(c);
    else
        throw CommandRefusal("--color " + std::to_string(color) + ": the mode has colours 0 to " +
                             std::to_string(colorCount - 1) + " (--color-count " +
                             std::to_string(colorCount) + ")");
    return colors;
}

bool ParseLineRange(const std::string& text, SWideLineRange& lines)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    const auto whole = [](const char* from, const char* to, long long& value) {
        const auto [end, error] = std::from_chars(from, to, value);
        return error == std::errc() && end == to && from != to;
    };
    const char* begin = text.data();
    return whole(begin, begin + colon, lines.first) &&
           whole(begin + colon + 1, begin + text.size(), lines.end) && lines.first < lines.end;
}

namespace {

// The scale a picture gets, with a warning when it is less than asked.
int PictureScale(int scale, int askedScale, const std::string& kind, SReport& report)
{
    if (scale == 0)
        throw CommandRefusal(kind + " would have more than " + std::to_string(kMaxPicturePixels) +
                             " pixels even at scale 1, the most a picture may have (choose fewer "
                             "lines with --lines, or fewer resolution passes)");
    if (scale < askedScale)
        report.Warn(kind + " are drawn at scale " + std::to_string(scale) + ", not " +
                    std::to_string(askedScale) + ": larger, they would have more than " +
                    std::to_string(kMaxPicturePixels) + " pixels, the most a picture may have");
    return scale;
}

}  // namespace

void WriteFramedPicture(const std::string& path, const SRgbPicture& picture,
                        const SPictureFrame& frame, int askedScale, const std::string& kind,
                        SReport& report)
{
    const int scale = PictureScale(
        FramedPictureScale(picture.width, picture.height, askedScale, frame), askedScale, kind,
        report);
    FramedPicture(picture, scale, frame).WritePng(path);
}

void WriteMaskPicture(const std::string& path, const unsigned char* rows, int width, int height,
                      int lineBytes, int bitsPerPixel, int askedScale, const std::string& kind,
                      SReport& report)
{
    PngOptions png;
    png.scale = PictureScale(ScaleWithinCap(width, height, askedScale), askedScale, kind, report);
    png.invert = true;
    WritePngGreyPacked(path, rows, width, height, lineBytes, bitsPerPixel, png);
}

std::unique_ptr<CMaskData_Base> BuildMask(const SMaskParam& param, SReport& report)
{
    report.TakeRecord(param);
    const SMaskParam_Test record = MaskParam_Test_Of(param);
    char reason[1024];
    if (!rv_halftone_record_reason(&record, reason, sizeof reason)) {
        report.Refuse(InOptionNames(reason));
        return nullptr;
    }
    auto mask = std::make_unique<CMaskData_Base>();
    if (mask->Create(param))
        return mask;
    // The record was accepted, so what failed is the machine (memory, threads), not the record:
    // an error, whose reason the library's own records on standard error give with the sizes.
    throw std::runtime_error(
        "the library accepted the record but could not build the mask (see its records above)");
}

void PrepareOutDir(const std::string& dir, const std::vector<std::string>& ownNames)
{
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    std::vector<std::regex> patterns;
    for (const std::string& name : ownNames)
        patterns.emplace_back(name);
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const bool own = std::any_of(patterns.begin(), patterns.end(),
                                     [&name](const auto& p) { return std::regex_match(name, p); });
        if (own && entry.is_regular_file())
            fs::remove(entry.path());
    }
}

void WriteFileBytes(const std::string& path, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error(path + ": " + std::strerror(errno));
    const bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(path.c_str());
        throw std::runtime_error(path + ": " + std::strerror(written ? errno : writeErrno));
    }
}

std::vector<std::string> WriteRecordFiles(const SMaskParam& param, const std::string& dir,
                                          const std::string& stem)
{
    const std::string jsonPath = dir + "/" + stem + ".json";
    const std::string json = RecordToJson(param).dump(2) + "\n";
    WriteFileBytes(jsonPath, json.data(), json.size());
    const std::string headerPath = dir + "/" + stem + ".h";
    const std::string header =
        "/* A pass mask record written by rv_halftone, as a C or C++ host that includes\n"
        "   <Rv_Halftone/Rv_Halftone.h> gives it to halfton_mask_container_create. */\n" +
        RecordAsCInitialiser(param, stem) + "\n";
    WriteFileBytes(headerPath, header.data(), header.size());
    return {jsonPath, headerPath};
}
