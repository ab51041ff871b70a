// Fuzz target: the flat interface with an arbitrary parameter record.
// Input: 49 bytes of SMaskParam_Test, then a colour index and position counters.
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone.h>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "Peers.h"

#include <cstring>
#include <numeric>

namespace {

// Records whose mask would be larger than this are skipped: the fuzzer should explore the
// parameter space, not the allocator.
constexpr double kMaxMaskBytes = 4 << 20;

// Runs the build up to the resolution step and stops there, before anything large is allocated,
// to learn the sizes the real build would render.
class SizeProbe : public CMaskData_Base
{
public:
    double maskBytes = 0;

protected:
    bool InitResParam() override
    {
        if (!CMaskData_Base::InitResParam())
            return false;
        const SMaskParam& p = MaskParam_Current();
        const long long lineBytes = (static_cast<long long>(MaskWidth()) * p.bitsPerPixel + 7) / 8;
        // In floating point: a hostile colour count times the rest overflows any integer.
        maskBytes = static_cast<double>(p.colorCount) * static_cast<double>(Positions()) *
                    MaskHeight_IncludeRes() * static_cast<double>(lineBytes);
        return false;
    }

private:
    // Mask positions, chosen as the class chooses its tile height.
    long long Positions() const
    {
        const long long step = StepHeight_IncludeRes() / YResPass();
        long long best = 544;
        const int candidates = MaskParam_Current().lessMaskPosition != 0 ? 544 : 362;
        for (int n = 544; n > 544 - candidates; --n) {
            const long long positions = n / std::gcd(static_cast<long long>(n), step);
            if (positions < best)
                best = positions;
            if (MaskParam_Current().lessMaskPosition == 0 && best <= 20)
                break;
        }
        return best;
    }
};

SMaskParam ToMaskParam(const SMaskParam_Test& record)
{
    SMaskParam param;
    std::memcpy(&param, &record, sizeof param);
    return param;
}

void CheckGeometry(void* container)
{
    auto& mask = *static_cast<CMaskData_Base*>(container);  // the handle is a CMaskData_Base
    const int x = mask.XResPass(), y = mask.YResPass();
    Require(mask.MaskHeight_IncludeRes() == CMaskData_Base_Peer::MaskHeight_NoneRes(mask) * y,
            "mask height = base height x Y");
    Require(halfton_mask_height(container) == mask.MaskHeight_IncludeRes(), "flat height");
    Require(halfton_mask_width(container) == 544 * x, "mask width = 544 x X");
    Require(halfton_mask_line_bytes(container) == (544 * x * mask.BitsPerPixel() + 7) / 8,
            "line bytes from width and bits");
    Require(halfton_mask_lead_blank_height(container) ==
                mask.MaskHeight_IncludeRes() - mask.RealStepHeight_IncludeRes(),
            "lead blank = mask height - real step");
    Require(halfton_mask_step_height(container) > 0 &&
                CMaskData_Base_Peer::StepHeight_NoneRes(mask) % (x * y) == 0,
            "step a positive multiple of X x Y");
}

void CheckData(void* container, FuzzInput& input)
{
    auto& mask = *static_cast<CMaskData_Base*>(container);
    const SMaskParam& p = mask.MaskParam_Current();
    const CMaskBlock& block = CMaskData_Base_Peer::MaskBlock(mask);
    const unsigned char* begin = block.MaskData_Const();
    const unsigned char* end = begin + block.MaskDataBytesCount();
    const long long onePosition =
        static_cast<long long>(halfton_mask_height(container)) * halfton_mask_line_bytes(container);
    const int colour = input.Take<int>();
    for (int i = 0; i < 4; ++i) {
        int counter = input.Take<int>();
        const int before = counter;
        const unsigned char* rows = halfton_mask_data(container, colour, counter);
        if (colour < 0 || colour >= p.colorCount) {
            Require(rows == nullptr && counter == before, "bad colour: null, counter kept");
            continue;
        }
        Require(rows != nullptr, "data for a valid colour");
        Require(counter >= 0 && counter < mask.MaskPositionCount(), "position in range");
        Require(before < 0 ? counter == 0
                           : counter == static_cast<int>((static_cast<long long>(before) + 1) %
                                                         mask.MaskPositionCount()),
                "counter advanced before use");
        Require(rows >= begin && rows + onePosition <= end, "rows inside the mask bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const SMaskParam_Test record = input.Take<SMaskParam_Test>();

    SizeProbe probe;
    probe.Create(ToMaskParam(record));
    if (probe.maskBytes > kMaxMaskBytes)
        return 0;

    void* const sentinel = reinterpret_cast<void*>(0x5A5A);
    void* container = sentinel;
    if (!halfton_mask_container_create(record, container)) {
        Require(container == sentinel, "a refused record leaves the handle unchanged");
        return 0;
    }
    Require(container != sentinel && container != nullptr, "an accepted record gives a handle");
    CheckGeometry(container);
    CheckData(container, input);
    halfton_mask_container_delete(container);
    Require(container == nullptr, "delete clears the handle");
    return 0;
}
