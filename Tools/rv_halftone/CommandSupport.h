// What the rv_halftone commands share: the output options, and building a pass mask.
#pragma once

#include "PngWriter.h"

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

// Where a command's report and pictures go.
struct SOutputOptions
{
    bool json = false;   // the report as JSON instead of text
    std::string outDir;  // pictures are written here; empty: none
    int scale = 1;       // each picture pixel becomes scale x scale pixels

    PngOptions Png(bool invert = false) const;
};

// Adds --out (helped by outHelp; a non-empty outDir is its default), --scale and, unless jsonHelp
// is null, --json.
void AddOutputOptions(CLI::App& command, SOutputOptions& options, const std::string& outHelp,
                      const char* jsonHelp);

// Builds the pass mask of `param` as a C++ host does. Null when the library refuses the record: its
// failure records then explain why, and "rv_halftone COMMAND: the library refused the record" goes
// to the standard error stream.
std::unique_ptr<CMaskData_Base> BuildMask(const SMaskParam& param, const char* command);
