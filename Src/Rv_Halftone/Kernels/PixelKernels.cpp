// Choosing the pixel kernels: once per process, from what the processor and the operating system
// support (the compiler's CPU check includes the OS saving the wider registers).
#include "PixelKernels.h"

#include <atomic>

namespace rv_halftone {
namespace kernels {
namespace {

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
}

bool HasAvx512()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("bmi2");
}

std::atomic<const KernelTable*> g_active{nullptr};

}  // namespace

bool VariantRunnable(Variant variant)
{
    switch (variant) {
    case Variant::Plain:
    case Variant::Portable: return true;
    case Variant::Avx2: return HasAvx2();
    case Variant::Avx512: return HasAvx512();
    }
    return false;
}

const KernelTable& KernelsOf(Variant variant)
{
    switch (variant) {
    case Variant::Plain: return PlainKernels();
    case Variant::Avx2: return Avx2Kernels();
    case Variant::Avx512: return Avx512Kernels();
    case Variant::Portable: break;
    }
    return PortableKernels();
}

Variant BestVariant()
{
    static const Variant best = VariantRunnable(Variant::Avx512) ? Variant::Avx512
                                : VariantRunnable(Variant::Avx2) ? Variant::Avx2
                                                                 : Variant::Portable;
    return best;
}

const KernelTable& ActiveKernels()
{
    const KernelTable* table = g_active.load(std::memory_order_acquire);
    if (table != nullptr)
        return *table;
    // First use: the best variant, unless UseVariant got there first.
    const KernelTable* best = &KernelsOf(BestVariant());
    if (g_active.compare_exchange_strong(table, best, std::memory_order_acq_rel))
        return *best;
    return *table;
}

void UseVariant(Variant variant)
{
    g_active.store(&KernelsOf(variant), std::memory_order_release);
}

}  // namespace kernels
}  // namespace rv_halftone
