// Fuzz target: one overlap mask storage asked for a few arbitrary parameter records, some of them
// asked twice. Input: up to four steps; each either repeats an earlier record or reads a new one
// (overlapHeight, featherEnable, featherPercent, bitsPerPixel, inkPercent as raw 32-bit values).
#include <Rv_Halftone/OverlapMaskStorage.h>
#include <Rv_Halftone/RawMaskData.h>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "Peers.h"

#include <cmath>
#include <cstring>
#include <vector>

// Declared a friend by the storage: the number of masks it keeps.
namespace {

// Taller zones only repeat the same work on more lines: the fuzzer should explore the records,
// not the allocator.
constexpr int kMaxOverlapHeight = 2048;
constexpr int kLineWidth = 512;
constexpr int kTileHeight = 544;

struct Split
{
    int plain;  // lines on each side of the band
    int band;
};

// The band takes featherPercent % of the zone, rounded half away from zero in single precision,
// widened by a line when the plain lines would not split evenly.
Split ZoneSplit(int height, float percent)
{
    const int rounded =
        static_cast<int>(std::round((static_cast<float>(height) * percent) / 100.0f));
    const int evenPlain = (height - rounded) / 2 * 2;
    return Split{evenPlain / 2, height - evenPlain};
}

bool PercentUsable(float percent)
{
    return std::isfinite(percent) && percent >= 0.0f && percent <= 100.0f;
}

bool Fired(const unsigned char* line, int pixel, int bits)
{
    const int value =
        (line[(pixel * bits) / 8] >> (8 - bits - (pixel * bits) % 8)) & ((1 << bits) - 1);
    Require(value == 0 || value == (1 << bits) - 1, "a pixel has all its bits set or none");
    return value != 0;
}

bool LineIs(const unsigned char* line, int bytes, unsigned char value)
{
    for (int i = 0; i < bytes; ++i)
        if (line[i] != value)
            return false;
    return true;
}

// What an accepted mask promises about its layout and its pixels.
void CheckMask(const OverlapMask& mask, const SOverlapMaskParam& p)
{
    const int h = p.overlapHeight;
    const int lineBytes = 64 * p.bitsPerPixel;
    Require(mask.MaskHeight() == 2 * h, "head plus tail lines");
    Require(mask.MaskLineBytes() == lineBytes, "512 pixels a line");
    Require(mask.MaskBytes_OneColor() == 2 * h * lineBytes, "bytes of both parts");
    Require(mask.MaskData() == mask.Mask_head(), "the head part comes first");
    Require(mask.Mask_tail() - mask.Mask_head() == static_cast<long>(h) * lineBytes,
            "the tail part follows the head part");

    const unsigned char* head = mask.Mask_head();
    const unsigned char* tail = mask.Mask_tail();
    if (p.featherEnable == 0) {
        Require(LineIs(head, h * lineBytes, 0xFF), "unfeathered head fires everything");
        Require(LineIs(tail, h * lineBytes, 0x00), "unfeathered tail fires nothing");
        return;
    }
    const Split split = ZoneSplit(h, p.featherPercent);
    for (int k = 0; k < h; ++k) {
        const unsigned char* headLine = head + static_cast<size_t>(k) * lineBytes;
        const unsigned char* tailLine = tail + static_cast<size_t>(k) * lineBytes;
        if (k < split.plain) {
            Require(LineIs(headLine, lineBytes, 0x00) && LineIs(tailLine, lineBytes, 0xFF),
                    "the tail alone prints the first plain lines");
        } else if (k >= split.plain + split.band) {
            Require(LineIs(headLine, lineBytes, 0xFF) && LineIs(tailLine, lineBytes, 0x00),
                    "the head alone prints the last plain lines");
        } else if (p.inkPercent == 100) {
            for (int i = 0; i < lineBytes; ++i)
                Require(tailLine[i] == static_cast<unsigned char>(~headLine[i]),
                        "with full ink the tail is the head's complement");
        } else if (split.band <= kTileHeight) {
            // Head and tail band lines read the same threshold row: they share out exactly the
            // pixels below the ink level.
            const int level = p.inkPercent * 65535 / 100;
            const unsigned short* row =
                CRawMaskData::RawData(0) +
                static_cast<size_t>(k - split.plain) * CRawMaskData::Width();
            for (int x = 0; x < kLineWidth; ++x) {
                const bool inHead = Fired(headLine, x, p.bitsPerPixel);
                const bool inTail = Fired(tailLine, x, p.bitsPerPixel);
                Require(!(inHead && inTail), "head and tail never fire the same pixel");
                Require((inHead || inTail) == (row[x] < level), "together they lay the band's ink");
            }
        }
    }
}

// Whether a record must be served: its sizes are valid and, when a band is rendered, its ink is a
// percentage the band can take.
bool MustBeAccepted(const SOverlapMaskParam& p)
{
    if (p.overlapHeight <= 0 || (p.bitsPerPixel != 1 && p.bitsPerPixel != 2) ||
        !PercentUsable(p.featherPercent))
        return false;
    const bool bandRendered =
        p.featherEnable != 0 && ZoneSplit(p.overlapHeight, p.featherPercent).band >= 1;
    return !bandRendered || (p.inkPercent >= 1 && p.inkPercent <= 100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int steps = in.TakeInRange(1, 4);
    OverlapMaskStorage storage;
    std::vector<SOverlapMaskParam> asked;
    std::vector<const OverlapMask*> given;  // null where the record was refused
    for (int s = 0; s < steps; ++s) {
        const int repeat = in.TakeInRange(0, 3);
        SOverlapMaskParam p;
        if (repeat < static_cast<int>(asked.size())) {
            p = asked[static_cast<size_t>(repeat)];
        } else {
            p.overlapHeight = in.Take<int32_t>();
            p.featherEnable = in.Take<int32_t>();
            p.featherPercent = in.Take<float>();
            p.bitsPerPixel = in.Take<int32_t>();
            p.inkPercent = in.Take<int32_t>();
            if (p.overlapHeight > kMaxOverlapHeight)
                continue;
        }

        const size_t countBefore = OverlapMaskStorage_Peer::Count(storage);
        // Something the storage must leave alone on failure.
        const OverlapMask* const sentinel = reinterpret_cast<const OverlapMask*>(&storage);
        const OverlapMask* mask = sentinel;
        const bool accepted = storage.OverlapMask_Create(p, mask);
        Require(accepted == MustBeAccepted(p), "exactly the servable records are accepted");

        // An equal record asked before must get the very same object, built once.
        const OverlapMask* earlier = nullptr;
        for (size_t i = 0; i < asked.size(); ++i)
            if (asked[i] == p && given[i] != nullptr)
                earlier = given[i];
        asked.push_back(p);
        given.push_back(accepted ? mask : nullptr);
        if (!accepted) {
            Require(mask == sentinel, "a refused record leaves the caller's pointer alone");
            Require(OverlapMaskStorage_Peer::Count(storage) == countBefore,
                    "a refused record adds nothing");
            continue;
        }
        Require(mask != nullptr && mask != sentinel, "an accepted record yields a mask");
        Require(mask->OverlapMaskParam() == p, "the mask is the one asked for");
        if (earlier != nullptr) {
            Require(mask == earlier, "an equal record finds the kept mask");
            Require(OverlapMaskStorage_Peer::Count(storage) == countBefore, "a hit builds nothing");
        } else {
            Require(OverlapMaskStorage_Peer::Count(storage) == countBefore + 1,
                    "a new record adds one mask");
            CheckMask(*mask, p);
        }
    }
    // Every mask handed out is still there, unchanged in its record, until the storage goes.
    for (size_t i = 0; i < asked.size(); ++i)
        if (given[i] != nullptr)
            Require(given[i]->OverlapMaskParam() == asked[i], "kept masks stay as handed out");
    return 0;
}
