// What the rv_halftone commands share: the output options, building a pass mask, and writing files.
#pragma once

#include "PngWriter.h"
#include "Report.h"

#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/MaskParam.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

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

// Builds the pass mask of `param` as a C++ host does, after asking the library whether it accepts
// the record, which goes into the report. Null when it does not, with the report refused and the
// library's reason in it.
std::unique_ptr<CMaskData_Base> BuildMask(const SMaskParam& param, SReport& report);

// Makes the folder of a command's pictures and removes the command's own pictures of an earlier
// run from it: the regular files whose whole name matches one of `ownNames` (regular
// expressions). Other files are left alone.
void PrepareOutDir(const std::string& dir, const std::vector<std::string>& ownNames);

// Writes `size` bytes to a new file at `path`; throws std::runtime_error naming the file, which
// is removed again when it could not be written whole.
void WriteFileBytes(const std::string& path, const void* bytes, size_t size);
