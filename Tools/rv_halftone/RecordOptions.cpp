#include "RecordOptions.h"

#include <Rv_Halftone/RawMaskData.h>

#include <cctype>
#include <cstring>
#include <iostream>
#include <string>

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
        ->capture_default_str();
    command
        .add_option("--feather-mode", param.featherMode, "0 no nozzle feather, 1 nozzle feather")
        ->capture_default_str();
    command
        .add_option("--feather-percent", param.featherPercent,
                    "with --feather-mode 1: feather percentage, 0 to 100; the two-part feather "
                    "(type 1) needs at least one feathered row per step and no more than the "
                    "step holds, so its range depends on --nozzle-count and the passes (a "
                    "refusal names the range that works)")
        ->capture_default_str();
    command
        .add_option("--feather-nozzle-type", param.featherNozzleType,
                    "with --feather-mode 1: 1 two-part smoothing, 2 three-part smoothing, "
                    "3 three-part smoothing with the sine ripple")
        ->capture_default_str();
    command
        .add_option("--color-times", param.colorTimes,
                    "times each pixel is laid within the passes (1 to --base-pass)")
        ->capture_default_str();
    command
        .add_option("--smooth-level-percent", param.smoothLevelPercent,
                    "with three-part smoothing: share of the levels laid (1 to 100)")
        ->capture_default_str();
    command
        .add_option("--res-split-mode", param.resSplitMode,
                    "resolution split: 1 X/2, 2 Y/2, 3 Y/3, 4 Y/4, 5 X/2 and Y/2, "
                    "other values none")
        ->capture_default_str();
    // A byte: its default is given as text, since streamed it would be the character 0.
    command
        .add_option("--less-mask-position", param.lessMaskPosition,
                    "0 normal tile height, 1 to 255 the tile with the fewest mask positions")
        ->check(CLI::Range(0, 255))
        ->default_str("0");
}

namespace {

// The options that only a nozzle feather reads.
const char* const kFeatherOnlyOptions[] = {"--feather-percent", "--feather-nozzle-type",
                                           "--smooth-level-percent"};

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

void WarnUnreadFeatherOptions(const CLI::App& command, const SMaskParam& param)
{
    if (param.featherMode == FeatherMode_Nozzle)
        return;
    for (const char* name : kFeatherOnlyOptions)
        if (command.get_option(name)->count() > 0)
            std::cerr << "rv_halftone " << command.get_name() << ": warning: " << name
                      << " has no effect without --feather-mode 1\n";
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
