#include "PrintSimulation.h"

#include <Rv_Halftone/RawMaskData.h>

#include <algorithm>

namespace print_simulation {

namespace {

constexpr int kLevelScale = 65535;

struct Mode
{
    int featherMode;
    int featherType;
    int colorTimes;
    int y;
    int x;
    int stepNoneRes;   // S
    int featherRows;   // e of the two-part profile
};

Mode ModeOf(const CMaskData_Base& mask)
{
    const SMaskParam& p = mask.MaskParam_Current();
    Mode mode;
    mode.featherMode = p.featherMode;
    mode.featherType = p.featherNozzleType;
    mode.colorTimes = p.colorTimes;
    mode.y = mask.YResPass();
    mode.x = mask.XResPass();
    mode.stepNoneRes = mask.StepHeight_IncludeRes() / mode.y;
    // The two-part profile has S x P plain nozzle rows plus e feathered ones.
    mode.featherRows = mask.MaskHeight_IncludeRes() / mode.y - mode.stepNoneRes * mask.BasePass();
    return mode;
}

Promise PromiseOf(const Mode& mode)
{
    if (mode.featherMode == 0 || mode.featherType == 1)
        return Promise::Exact;
    if (mode.featherType == 2 && mode.colorTimes == 1)
        return Promise::BelowLevel;
    return Promise::None;
}

// Threshold level that paper pixel (line, x) is cut from in every pass: the layer row depends
// only on the paper line, because N positions of S rows span whole tiles.
int ThresholdOf(const CMaskData_Base& mask, int colorIndex, int line, int x)
{
    const int y = mask.YResPass();
    const int xRes = mask.XResPass();
    const int step = mask.StepHeight_IncludeRes() / y;
    const int j = line % y;
    const int tile = mask.ThresholdHeight();
    const int row = ((line - j) / y + (j * step) / y) % tile;
    const int width = CRawMaskData::Width();
    const int column = ((width * (x % xRes)) / xRes + x / xRes) % width;
    return CRawMaskData::RawData(colorIndex)[row * width + column];
}

}  // namespace

bool PixelFired(const unsigned char* row, int x, int bitsPerPixel)
{
    const int bit = x * bitsPerPixel;
    const int shift = 8 - bitsPerPixel - (bit % 8);
    const int mask = (1 << bitsPerPixel) - 1;
    return ((row[bit / 8] >> shift) & mask) == mask;
}

FireCounts Simulate(const CMaskData_Base& mask, int colorIndex)
{
    const int lines = mask.MaskPositionCount() * mask.StepHeight_IncludeRes();
    return Simulate(mask, colorIndex, mask.MaskHeight_IncludeRes(), lines);
}

FireCounts Simulate(const CMaskData_Base& mask, int colorIndex, int firstLine, int lineCount)
{
    FireCounts result;
    result.firstLine = firstLine;
    result.lineCount = lineCount;
    result.width = mask.MaskWidth();
    result.counts.assign(static_cast<size_t>(lineCount) * result.width, 0);
    result.lastPass.assign(result.counts.size(), -1);

    const int height = mask.MaskHeight_IncludeRes();
    const int step = mask.StepHeight_IncludeRes();
    const int bits = mask.BitsPerPixel();
    const int lineBytes = mask.MaskLineBytes_OneColor();
    const int lastLine = firstLine + lineCount;
    // Passes whose mask covers some line of the stretch: t x step + r in [firstLine, lastLine).
    const int firstPass = std::max(0, (firstLine - height) / step);
    const int lastPass = (lastLine - 1) / step;
    for (int t = firstPass; t <= lastPass; ++t) {
        int counter = t % mask.MaskPositionCount() - 1;  // the counter is advanced before use
        if (counter < 0)
            counter = -1;
        const unsigned char* rows = mask.MaskData_Get(colorIndex, counter);
        for (int r = 0; r < height; ++r) {
            const int line = t * step + r;
            if (line < firstLine || line >= lastLine)
                continue;
            const unsigned char* row = rows + static_cast<size_t>(r) * lineBytes;
            const size_t base = static_cast<size_t>(line - firstLine) * result.width;
            for (int x = 0; x < result.width; ++x) {
                if (PixelFired(row, x, bits)) {
                    ++result.counts[base + x];
                    result.lastPass[base + x] = t;
                }
            }
        }
    }
    return result;
}

int ExpectedCount(const CMaskData_Base& mask, int colorIndex, int line, int x)
{
    const Mode mode = ModeOf(mask);
    switch (PromiseOf(mode)) {
    case Promise::Exact: {
        if (mode.featherMode == 0 || mode.colorTimes == 1)
            return mode.colorTimes;
        // Two-part: nozzle rows at offsets below e within a step are feathered: laid once.
        const int baseRow = (line - line % mode.y) / mode.y;
        return baseRow % mode.stepNoneRes < mode.featherRows ? 1 : mode.colorTimes;
    }
    case Promise::BelowLevel: {
        const int level = mask.MaskParam_Current().smoothLevelPercent * kLevelScale / 100;
        return ThresholdOf(mask, colorIndex, line, x) < level ? 1 : 0;
    }
    case Promise::None:
        break;
    }
    return -1;
}

ColorVerdict Verify(const CMaskData_Base& mask, int colorIndex)
{
    const Mode mode = ModeOf(mask);
    ColorVerdict verdict;
    verdict.colorIndex = colorIndex;
    verdict.promise = PromiseOf(mode);
    switch (verdict.promise) {
    case Promise::Exact:
        verdict.expectation = mode.colorTimes == 1 || mode.featherMode == 0
                                  ? "every pixel fired exactly " + std::to_string(mode.colorTimes) + " time(s)"
                                  : "plain lines fired " + std::to_string(mode.colorTimes) +
                                        " times, feathered lines once";
        break;
    case Promise::BelowLevel:
        verdict.expectation = "exactly the pixels below the smoothing level, once";
        break;
    case Promise::None:
        verdict.expectation = "no exact promise for this mode";
        break;
    }
    const FireCounts fired = Simulate(mask, colorIndex);
    for (int line = 0; line < fired.lineCount; ++line) {
        for (int x = 0; x < fired.width; ++x) {
            const int count = fired.At(line, x);
            if (static_cast<size_t>(count) >= verdict.histogram.size())
                verdict.histogram.resize(count + 1, 0);
            ++verdict.histogram[count];
            ++verdict.pixels;
            if (verdict.promise != Promise::None &&
                count != ExpectedCount(mask, colorIndex, fired.firstLine + line, x))
                ++verdict.mismatches;
        }
    }
    verdict.met = verdict.mismatches == 0;
    return verdict;
}

}  // namespace print_simulation
