#include "EnergyKernel.h"

namespace ThresholdGen {

uint32_t ExpNeg_Q30(uint64_t num, uint64_t den)
{
    if (num == 0)
        return 1u << 30;
    // Halve the argument k times until it is at most 1/2, where the Taylor series converges fast
    // in 32-bit fixed point, then square the result k times.
    int halvings = 0;
    while (2 * num > (den << halvings))
        ++halvings;
    const uint64_t one = uint64_t{1} << 32;
    const uint64_t u = (num << 32) / (den << halvings);  // below 2^31

    int64_t sum = static_cast<int64_t>(one);
    uint64_t term = one;
    for (uint64_t i = 1; i <= 16 && term != 0; ++i) {
        term = (term * u >> 32) / i;
        sum += (i % 2 == 1) ? -static_cast<int64_t>(term) : static_cast<int64_t>(term);
    }
    uint64_t value = static_cast<uint64_t>(sum);  // e^-u in (0.6, 1): below 2^32, so squares fit
    for (int i = 0; i < halvings; ++i)
        value = (value * value + (one >> 1)) >> 32;
    return static_cast<uint32_t>((value + 2) >> 2);
}

SEnergyKernel Kernel_Gaussian(uint64_t twoSigmaSqNum, uint64_t twoSigmaSqDen, int radius)
{
    SEnergyKernel kernel;
    kernel.radius = radius;
    const int side = 2 * radius + 1;
    std::vector<uint64_t> raw(static_cast<size_t>(side) * side, 0);
    uint64_t total = 0;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const uint64_t d2 = static_cast<uint64_t>(dx * dx + dy * dy);
            // A round window keeps the truncated kernel isotropic.
            if (d2 > static_cast<uint64_t>(radius * radius))
                continue;
            const uint64_t w = ExpNeg_Q30(d2 * twoSigmaSqDen, twoSigmaSqNum);
            raw[static_cast<size_t>(dy + radius) * side + (dx + radius)] = w;
            total += w;
        }
    }
    kernel.weight.resize(raw.size());
    const uint64_t scale = uint64_t{1} << 24;
    for (size_t i = 0; i < raw.size(); ++i)
        kernel.weight[i] = static_cast<int32_t>((raw[i] * scale + total / 2) / total);
    return kernel;
}

}  // namespace ThresholdGen
