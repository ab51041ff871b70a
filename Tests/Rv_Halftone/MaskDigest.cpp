// rv_mask_digest: renders every record of the determinism sweep with the kernels this process
// chose (RV_HALFTONE_KERNEL) and prints "kernels NAME", then one line per record: its name, the
// mask's byte count and a 64-bit FNV-1a hash of the bytes.
#include <Rv_Halftone/MaskData_Base.h>
#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include "Modes.h"
#include "Peers.h"

#include <cstdint>
#include <cstdio>

int main()
{
    std::printf("kernels %s\n", rv_halftone_kernel_variant());
    for (const SModeCase& mode : kModes) {
        CMaskData_Base mask;
        if (!mask.Create(RecordOf(mode))) {
            std::printf("%s refused\n", mode.name);
            continue;
        }
        const CMaskBlock& block = CMaskData_Base_Peer::MaskBlock(mask);
        uint64_t hash = 14695981039346656037ull;
        for (int i = 0; i < block.MaskDataBytesCount(); ++i)
            hash = (hash ^ block.MaskData_Const()[i]) * 1099511628211ull;
        std::printf("%s %d %016llx\n", mode.name, block.MaskDataBytesCount(),
                    static_cast<unsigned long long>(hash));
    }
    return 0;
}
