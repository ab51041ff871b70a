#include "PassMap.h"

std::vector<PassColour> PassPalette(int basePass)
{
    static const PassColour kColours[] = {
        {"red", 230, 25, 75},      {"green", 60, 180, 75},   {"blue", 0, 130, 200},
        {"orange", 245, 130, 48},  {"purple", 145, 30, 180}, {"cyan", 70, 240, 240},
        {"magenta", 240, 50, 230}, {"lime", 170, 200, 20},   {"brown", 170, 110, 40},
        {"navy", 0, 0, 128},       {"olive", 128, 128, 0},   {"teal", 0, 128, 128},
    };
    constexpr int kCount = sizeof kColours / sizeof kColours[0];
    std::vector<PassColour> palette;
    for (int i = 0; i < basePass + 1; ++i) {
        PassColour colour = kColours[i % kCount];
        if (i >= kCount) {  // beyond the named colours, repeat them darker
            colour.name = "dark " + colour.name;
            colour.red /= 2;
            colour.green /= 2;
            colour.blue /= 2;
        }
        palette.push_back(colour);
    }
    return palette;
}

void WritePassMap(const std::string& path, const rv_analysis::SFireCounts& fired, int basePass,
                  const PngOptions& options)
{
    const std::vector<PassColour> palette = PassPalette(basePass);
    std::vector<unsigned char> rgb(static_cast<size_t>(fired.lineCount) * fired.width * 3, 255);
    for (size_t i = 0; i < fired.lastPass.size(); ++i) {
        if (fired.lastPass[i] < 0)
            continue;
        const PassColour& colour = palette[static_cast<size_t>(fired.lastPass[i]) % palette.size()];
        rgb[3 * i] = colour.red;
        rgb[3 * i + 1] = colour.green;
        rgb[3 * i + 2] = colour.blue;
    }
    WritePngRgb8(path, rgb.data(), fired.width, fired.lineCount, fired.width * 3, options);
}

void WriteFireCounts(const std::string& path, const rv_analysis::SFireCounts& fired,
                     const PngOptions& options)
{
    std::vector<unsigned char> grey(fired.counts.size());
    for (size_t i = 0; i < grey.size(); ++i) {
        const int count = fired.counts[i];
        grey[i] = static_cast<unsigned char>(count == 0   ? 255
                                             : count == 1 ? 160
                                             : count == 2 ? 80
                                                          : 0);
    }
    WritePngGrey8(path, grey.data(), fired.width, fired.lineCount, fired.width, options);
}
