#pragma once
// Integer Gaussian kernel of the void-and-cluster energy. The values are computed with integer
// arithmetic only, so the kernel, and with it every ranking decision, is the same on every
// compiler, library and optimisation level.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ThresholdGen {

// e^(-num/den) as a fraction scaled by 2^30, rounded to nearest.
uint32_t ExpNeg_Q30(uint64_t num, uint64_t den);

struct SEnergyKernel
{
    int radius = 0;               // the window is (2 radius + 1)^2 cells
    std::vector<int32_t> weight;  // row-major over the window, centre at (radius, radius)

    int32_t At(int dx, int dy) const
    {
        return weight[static_cast<size_t>(dy + radius) * (2 * radius + 1) + (dx + radius)];
    }
};

// Gaussian with 2 sigma^2 = twoSigmaSqNum / twoSigmaSqDen, cut at radius, scaled so that the
// weights sum to about 2^24 whatever sigma is (energies then fit an int32 with room to spare).
SEnergyKernel Kernel_Gaussian(uint64_t twoSigmaSqNum, uint64_t twoSigmaSqDen, int radius);

}  // namespace ThresholdGen
