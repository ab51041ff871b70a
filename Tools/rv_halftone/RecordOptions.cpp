#include "RecordOptions.h"

#include <Rv_Halftone/RawMaskData.h>

#include "CommandLine.h"
#include "Report.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool LevelPercent(double v) { return v >= 1.0 && v <= 100.0 && v == std::floor(v); }
bool FeatherMode(double v) { return v == FeatherMode_None || v == FeatherMode_Nozzle; }
bool FeatherNozzleType(double v)
{
    return v == FeatherNozzleType_TwoPart || v == FeatherNozzleType_ThreePart ||
           v == FeatherNozzleType_ThreePartRipple;
}
bool ResSplitMode(double v)
{
    return v >= ResSplitMode_None && v <= ResSplitMode_XYHalf && v == std::floor(v);
}
bool Byte(double v) { return v >= 0.0 && v <= 255.0 && v == std::floor(v); }

bool Given(const CLI::App& command, const char* option)
{
    return command.get_option(option)->count() > 0;
}

// Options given that the record's other fields leave unread: a nozzle feather's options without
// one, and the smoothing level without three-part smoothing.
std::vector<std::string> UnreadRecordOptions(const CLI::App& command, const SMaskParam& param)
{
    std::vector<std::string> warnings;
    if (param.featherMode != FeatherMode_Nozzle) {
        for (const char* name :
             {"--feather-percent", "--feather-nozzle-type", "--smooth-level-percent"})
            if (Given(command, name))
                warnings.push_back(std::string(name) +
                                   " changes nothing without --feather-mode 1");
    } else if (param.featherNozzleType == FeatherNozzleType_TwoPart &&
               Given(command, "--smooth-level-percent")) {
        warnings.push_back("--smooth-level-percent changes nothing with two-part smoothing "
                           "(--feather-nozzle-type 1): only three-part smoothing lays part of "
                           "the levels");
    }
    return warnings;
}

// "featherPercent" -> "--feather-percent"
std::string OptionOfField(const std::string& field)
{
    std::string option = "--";
    for (const char c : field) {
        if (c >= 'A' && c <= 'Z')
            option += std::string("-") + static_cast<char>(c - 'A' + 'a');
        else
            option += c;
    }
    return option;
}

}  // namespace

void AddRecordOptions(CLI::App& command, SMaskParam& param)
{
    param = MaskParam_Default();
    command
        .add_option("--nozzle-count", param.nozzleCount,
                    "nozzle rows of the head the mask may use (at least base-pass x x-res-pass x "
                    "y-res-pass; feathering needs more)")
        ->capture_default_str();
    command
        .add_option("--base-pass", param.basePass,
                    "passes over each paper row at base resolution (>= 1)")
        ->capture_default_str();
    command
        .add_option("--x-res-pass", param.xResPass,
                    "horizontal resolution passes: the mask is this many times " +
                        std::to_string(CRawMaskData::Width()) +
                        " pixels wide (>= 1 after the split)")
        ->capture_default_str();
    command
        .add_option("--y-res-pass", param.yResPass,
                    "vertical resolution passes: each base row becomes this many mask rows "
                    "(>= 1 after the split)")
        ->capture_default_str();
    command.add_option("--color-count", param.colorCount, "colour planes in the mask (>= 1)")
        ->capture_default_str();
    command.add_option("--bits-per-pixel", param.bitsPerPixel, "bits per mask pixel (1 or 2)")
        ->check(InSet(OneOrTwoBits, "must be 1 or 2"))
        ->capture_default_str();
    command
        .add_option("--feather-mode", param.featherMode, "0 no nozzle feather, 1 nozzle feather")
        ->check(InSet(FeatherMode, "must be 0 (no feather) or 1 (nozzle feather)"))
        ->capture_default_str();
    command
        .add_option("--feather-percent", param.featherPercent,
                    "with --feather-mode 1: feather percentage, 0 to 100; the two-part feather "
                    "(type 1) needs at least one feathered row per step and no more than the "
                    "step holds, so its range depends on --nozzle-count and the passes (a "
                    "refusal names the range that works)")
        ->check(InSet(Percent, "must be from 0 to 100"))
        ->capture_default_str();
    command
        .add_option("--feather-nozzle-type", param.featherNozzleType,
                    "with --feather-mode 1: 1 two-part smoothing, 2 three-part smoothing, "
                    "3 three-part smoothing with the sine ripple")
        ->check(InSet(FeatherNozzleType, "must be 1 (two-part smoothing), 2 (three-part "
                                         "smoothing) or 3 (three-part smoothing with the sine "
                                         "ripple)"))
        ->capture_default_str();
    command
        .add_option("--color-times", param.colorTimes,
                    "times each pixel is laid within the passes (1 to --base-pass)")
        ->capture_default_str();
    command
        .add_option("--smooth-level-percent", param.smoothLevelPercent,
                    "with three-part smoothing: share of the levels laid (1 to 100)")
        ->check(InSet(LevelPercent, "must be a whole number from 1 to 100"))
        ->capture_default_str();
    command
        .add_option("--res-split-mode", param.resSplitMode,
                    "resolution split: 0 none, 1 X/2, 2 Y/2, 3 Y/3, 4 Y/4, 5 X/2 and Y/2")
        ->check(InSet(ResSplitMode, "must be 0 (none), 1 (X/2), 2 (Y/2), 3 (Y/3), 4 (Y/4) or 5 "
                                    "(X/2 and Y/2)"))
        ->capture_default_str();
    // A byte: its default is given as text, since streamed it would be the character 0.
    command
        .add_option("--less-mask-position", param.lessMaskPosition,
                    "0 normal tile height, 1 to 255 the tile with the fewest mask positions")
        ->check(InSet(Byte, "must be from 0 to 255"))
        ->default_str("0");
    // Once the command line is read, before the command runs.
    command.parse_complete_callback([&command, &param] {
        for (const std::string& warning : UnreadRecordOptions(command, param))
            NoteWarning(warning);
    });
}

std::string InOptionNames(const std::string& text)
{
    std::string result = text;
    alignas(4) const SMaskParam any{};  // only its field names are read
    const nlohmann::ordered_json fields = RecordToJson(any);
    for (const auto& [field, value] : fields.items()) {
        static_cast<void>(value);
        const std::string option = OptionOfField(field);
        size_t at = result.find(field);
        while (at != std::string::npos) {
            const size_t end = at + field.size();
            const bool whole =
                (at == 0 || !std::isalnum(static_cast<unsigned char>(result[at - 1]))) &&
                (end == result.size() || !std::isalnum(static_cast<unsigned char>(result[end])));
            if (whole)
                result.replace(at, field.size(), option);
            at = result.find(field, whole ? at + option.size() : end);
        }
    }
    return result;
}

nlohmann::ordered_json RecordToJson(const SMaskParam& p)
{
    // Each field is read by value: the JSON constructor binds a reference to what it is given,
    // and a field of a packed record need not be aligned.
    return {
        {"nozzleCount", static_cast<int>(p.nozzleCount)},
        {"basePass", static_cast<int>(p.basePass)},
        {"xResPass", static_cast<int>(p.xResPass)},
        {"yResPass", static_cast<int>(p.yResPass)},
        {"colorCount", static_cast<int>(p.colorCount)},
        {"bitsPerPixel", static_cast<int>(p.bitsPerPixel)},
        {"featherMode", static_cast<int>(p.featherMode)},
        {"featherPercent", static_cast<float>(p.featherPercent)},
        {"featherNozzleType", static_cast<int>(p.featherNozzleType)},
        {"colorTimes", static_cast<int>(p.colorTimes)},
        {"smoothLevelPercent", static_cast<int>(p.smoothLevelPercent)},
        {"resSplitMode", static_cast<int>(p.resSplitMode)},
        {"lessMaskPosition", static_cast<int>(p.lessMaskPosition)},
    };
}
