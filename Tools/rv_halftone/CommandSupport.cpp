#include "CommandSupport.h"

#include "RecordOptions.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <regex>
#include <stdexcept>

PngOptions SOutputOptions::Png(bool invert) const
{
    PngOptions png;
    png.scale = scale;
    png.invert = invert;
    return png;
}

void AddOutputOptions(CLI::App& command, SOutputOptions& options, const std::string& outHelp,
                      const char* jsonHelp)
{
    if (jsonHelp != nullptr)
        command.add_flag("--json", options.json, jsonHelp);
    CLI::Option* out = command.add_option("--out", options.outDir, outHelp);
    if (!options.outDir.empty())
        out->capture_default_str();
    command
        .add_option("--scale", options.scale, "enlarge pictures by this integer factor (1 to 16)")
        ->check(CLI::Range(1, 16))
        ->capture_default_str();
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
    report.Refuse("the library accepted the record but could not build the mask (see its records "
                  "above)");
    return nullptr;
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
