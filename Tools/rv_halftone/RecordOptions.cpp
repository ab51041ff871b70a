#include "RecordOptions.h"

#include <Rv_Halftone/RawMaskData.h>

#include <cstring>
#include <string>

namespace {

SMaskParam DefaultRecord()
{
    SMaskParam p;
    std::memset(&p, 0, sizeof p);
    p.nozzleCount = 544;
    p.basePass = 4;
    p.xResPass = 1;
    p.yResPass = 1;
    p.colorCount = 2;
    p.bitsPerPixel = 2;
    p.featherMode = 0;
    p.featherPercent = 0.0f;
    p.featherNozzleType = 1;
    p.colorTimes = 1;
    p.smoothLevelPercent = 100;
    p.resSplitMode = 0;
    p.lessMaskPosition = 0;
    return p;
}

}  // namespace

void AddRecordOptions(CLI::App& command, SMaskParam& param)
{
    param = DefaultRecord();
    command
        .add_option("--nozzle-count", param.nozzleCount,
                    "nozzle rows of the head the mask may use (>= 1)")
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
    command.add_option("--feather-percent", param.featherPercent, "feather percentage (0 to 100)")
        ->capture_default_str();
    command
        .add_option("--feather-nozzle-type", param.featherNozzleType,
                    "with feather mode 1: 1 two-part smoothing, 2 three-part smoothing, "
                    "3 three-part smoothing with the sine ripple")
        ->capture_default_str();
    command
        .add_option("--color-times", param.colorTimes,
                    "times each pixel is laid within the passes (1 to base-pass)")
        ->capture_default_str();
    command
        .add_option("--smooth-level-percent", param.smoothLevelPercent,
                    "share of the levels used by three-part smoothing (1 to 100)")
        ->capture_default_str();
    command
        .add_option("--res-split-mode", param.resSplitMode,
                    "resolution split: 1 X/2, 2 Y/2, 3 Y/3, 4 Y/4, 5 X/2 and Y/2, "
                    "other values none")
        ->capture_default_str();
    command
        .add_option("--less-mask-position", param.lessMaskPosition,
                    "0 normal tile height, non-zero (up to 255) the tile with the fewest mask "
                    "positions")
        ->capture_default_str();
}

nlohmann::json RecordToJson(const SMaskParam& p)
{
    return {
        {"nozzleCount", p.nozzleCount},
        {"basePass", p.basePass},
        {"xResPass", p.xResPass},
        {"yResPass", p.yResPass},
        {"colorCount", p.colorCount},
        {"bitsPerPixel", p.bitsPerPixel},
        {"featherMode", p.featherMode},
        {"featherPercent", p.featherPercent},
        {"featherNozzleType", p.featherNozzleType},
        {"colorTimes", p.colorTimes},
        {"smoothLevelPercent", p.smoothLevelPercent},
        {"resSplitMode", p.resSplitMode},
        {"lessMaskPosition", static_cast<int>(p.lessMaskPosition)},
    };
}
