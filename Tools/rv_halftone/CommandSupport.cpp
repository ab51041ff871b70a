#include "CommandSupport.h"

#include <iostream>

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

std::unique_ptr<CMaskData_Base> BuildMask(const SMaskParam& param, const char* command)
{
    auto mask = std::make_unique<CMaskData_Base>();
    if (mask->Create(param))
        return mask;
    std::cerr << "rv_halftone " << command
              << ": the library refused the record (see the records above)\n";
    return nullptr;
}
