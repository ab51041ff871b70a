// What the rv_halftone commands share: the output options, building a pass mask, and writing files.
#pragma once

#include "Canvas.h"
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

// Warns about each of `options` given when no --out is: they only shape pictures.
void WarnPictureOptionsWithoutOut(const CLI::App& command, const SOutputOptions& output,
                                  const std::vector<std::string>& options, SReport& report);

// Adds --color C (-1, its default: every colour), helped by `help`.
void AddColorOption(CLI::App& command, int& color, const std::string& help);

// The colours --color chooses from a mode of colorCount colours; refuses (CommandRefusal) a
// colour the mode does not have.
std::vector<int> ChosenColors(int color, int colorCount);

// "FIRST:END" page lines, END excluded, as --lines takes them: false when the text is not two
// whole numbers with FIRST < END. The numbers are kept wide, so that a range at the edge of int
// can be cut or refused rather than wrapping.
struct SWideLineRange
{
    long long first = 0;
    long long end = 0;
};
bool ParseLineRange(const std::string& text, SWideLineRange& lines);

// Builds the pass mask of `param` as a C++ host does, after asking the library whether it accepts
// the record, which goes into the report. Null when it does not, with the report refused and the
// library's reason in it.
std::unique_ptr<CMaskData_Base> BuildMask(const SMaskParam& param, SReport& report);

// Makes the folder of a command's pictures and removes the command's own pictures of an earlier
// run from it: the regular files whose whole name matches one of `ownNames` (regular
// expressions). Other files are left alone.
void PrepareOutDir(const std::string& dir, const std::vector<std::string>& ownNames);

// Writes a picture in its frame (FramedPicture) at the asked scale or, when that would make more
// than kMaxPicturePixels, at the largest scale that does not, with a warning in the report that
// names `kind` ("the pass maps"); refuses (CommandRefusal) a picture too large even at scale 1.
void WriteFramedPicture(const std::string& path, const SRgbPicture& picture,
                        const SPictureFrame& frame, int askedScale, const std::string& kind,
                        SReport& report);

// Writes packed mask rows as a grey picture, set bits dark, scaled as WriteFramedPicture scales.
void WriteMaskPicture(const std::string& path, const unsigned char* rows, int width, int height,
                      int lineBytes, int bitsPerPixel, int askedScale, const std::string& kind,
                      SReport& report);

// Writes `size` bytes to a new file at `path`; throws std::runtime_error naming the file, which
// is removed again when it could not be written whole.
void WriteFileBytes(const std::string& path, const void* bytes, size_t size);

// Writes the record as DIR/STEM.json (RecordToJson: what --record reads back) and DIR/STEM.h (its C
// initialiser, the variable named STEM); returns both paths. Throws std::runtime_error naming the
// file that could not be written.
std::vector<std::string> WriteRecordFiles(const SMaskParam& param, const std::string& dir,
                                          const std::string& stem);
