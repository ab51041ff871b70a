#include <RvBandData/BandData.h>
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(Diagnostics, Mask2BandRefusesMissingDataAndUnbuildableBands)
{
    const unsigned char line[4] = {1, 2, 3, 4};
    const struct
    {
        const unsigned char* data;
        int width;
    } cases[] = {{nullptr, 8}, {line, 0}};
    for (const auto& c : cases) {
        LogCapture log;
        CBandData band;
        EXPECT_FALSE(Halftone_Helper::Mask2Band_Debug(c.data, c.width, 1, 4, 2, band));
        EXPECT_EQ(log.Failures().size(), 1u);
    }
}

// Each line is cut to the band's stride, and a shorter line leaves the rest of the band line as
// Create cleared it.
TEST(Diagnostics, Mask2BandCopiesLinesUpToTheStride)
{
    const int height = 3;
    for (int lineBytes : {2, 16, 20}) {
        std::vector<unsigned char> data(static_cast<size_t>(lineBytes * height));
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<unsigned char>(i + 1);
        CBandData band;
        ASSERT_TRUE(Halftone_Helper::Mask2Band_Debug(data.data(), 8, height, lineBytes, 2, band));
        ASSERT_EQ(band.LineStride(), 16);  // 8 two-bit pixels, lines aligned to 16 bytes
        for (int y = 0; y < height; ++y) {
            for (int i = 0; i < 16; ++i) {
                const int expected =
                    i < lineBytes ? data[static_cast<size_t>(y * lineBytes + i)] : 0;
                EXPECT_EQ(band.Buffer()[y * 16 + i], expected)
                    << lineBytes << ": " << y << "," << i;
            }
        }
    }
}

// The hooks that write nothing succeed for any argument and leave no file behind, also when the
// usage example calls them with its own file names.
