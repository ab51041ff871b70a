// Fuzz target: the ramp band decoder with arbitrary sizes and bit depths, created up to twice on
// one object. Input: per call, rampWidth, bandHeight and bitsPerPixel as raw 32-bit values.
#include <Rv_Halftone/DecryptMask.h>
#include <Rv_Halftone/RawMaskData.h>

#include "FuzzCheck.h"
#include "FuzzInput.h"

namespace {

// Larger bands repeat the same work on more pixels: the fuzzer should explore, not allocate.
constexpr int kMaxSide = 1024;

int Pixel(const CBandData& band, int x, int y)
{
    return (band.Buffer()[static_cast<size_t>(y) * band.LineStride() + x / 4] >>
            (6 - 2 * (x % 4))) &
           3;
}

struct Bands
{
    const CBandData* left;
    const CBandData* right;
    int width;  // of the Not bands, which are never null
    int height;
};

Bands Snapshot(const CDecryptMask& decoder)
{
    return Bands{decoder.MaskBand_Left_Get(), decoder.MaskBand_Right_Get(),
                 decoder.MaskBand_Left_Not_Get()->Width(),
                 decoder.MaskBand_Left_Not_Get()->Height()};
}

void CheckBand(const CBandData* band, int width, int height)
{
    Require(band != nullptr && band->Buffer() != nullptr, "a created band has pixels");
    Require(band->Width() == width && band->Height() == height && band->BitsPerPixel() == 2,
            "every band has the asked size at two bits");
    // Nothing past a line's last pixel.
    const int usedBytes = (2 * width + 7) / 8;
    for (int y = 0; y < height; ++y) {
        const unsigned char* line = band->Buffer() + static_cast<size_t>(y) * band->LineStride();
        if (width % 4 != 0)
            Require((line[usedBytes - 1] & (0xFF >> (2 * (width % 4)))) == 0, "padding bits clear");
        for (int i = usedBytes; i < band->LineStride(); ++i)
            Require(line[i] == 0, "padding bytes clear");
    }
}

void CheckDecoder(const CDecryptMask& decoder, int width, int height)
{
    const CBandData* left = decoder.MaskBand_Left_Get();
    const CBandData* leftNot = decoder.MaskBand_Left_Not_Get();
    const CBandData* right = decoder.MaskBand_Right_Get();
    const CBandData* rightNot = decoder.MaskBand_Right_Not_Get();
    for (const CBandData* band : {left, leftNot, right, rightNot})
        CheckBand(band, width, height);

    const unsigned short* plane = CRawMaskData::RawData(0);
    const int tile = CRawMaskData::Width();
    for (int x = 0; x < width; ++x) {
        // Column x of the left ramp is ramp row x, laid from the bottom line up; it fires the
        // levels from its cut upward, about (x + 1) / (width + 1) of the pixels.
        const int low = (width - x) * 65535 / (width + 1);
        for (int y = 0; y < height; ++y) {
            const int value = Pixel(*left, x, y);
            const unsigned short t =
                plane[static_cast<size_t>(x % tile) * tile + (height - 1 - y) % tile];
            Require(value == ((t >= low && t < 65535) ? 3 : 0),
                    "the left ramp cuts plane 0 at its level");
            Require((value ^ Pixel(*leftNot, x, y)) == 3,
                    "left ramp and complement fire each pixel once");
            Require(Pixel(*right, width - 1 - x, height - 1 - y) == value,
                    "the right ramp is the left one turned half a turn");
            Require((Pixel(*right, x, y) ^ Pixel(*rightNot, x, y)) == 3,
                    "right ramp and complement fire each pixel once");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    CDecryptMask decoder;
    const int calls = in.TakeInRange(1, 2);
    for (int c = 0; c < calls; ++c) {
        const int width = in.Take<int32_t>();
        const int height = in.Take<int32_t>();
        const int bits = in.Take<int32_t>();
        if (width > kMaxSide || height > kMaxSide)
            continue;

        const Bands before = Snapshot(decoder);
        const bool created = decoder.Create(width, height, bits);
        Require(created == (bits == 2 && width >= 1 && height >= 1),
                "exactly the two-bit ramps of a real size are made");
        if (!created) {
            // Refused before any band was touched: the earlier bands are still served.
            const Bands after = Snapshot(decoder);
            Require(after.left == before.left && after.right == before.right &&
                        after.width == before.width && after.height == before.height,
                    "a refused call leaves the bands as they were");
            continue;
        }
        CheckDecoder(decoder, width, height);
    }
    return 0;
}
