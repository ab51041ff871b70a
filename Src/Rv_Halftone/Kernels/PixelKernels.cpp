// Choosing the pixel kernels: once per process, from RV_HALFTONE_KERNEL and what the processor
// and the operating system support (the compiler's CPU check includes the OS saving the wider
// registers).
#include "PixelKernels.h"
#include "PixelKernels_Plain.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace rv_halftone {
namespace kernels {
namespace {

constexpr const char* kEnvironmentVariable = "RV_HALFTONE_KERNEL";

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
}

// Fastest first.
constexpr Variant kPreference[] = {Variant::Avx2, Variant::Portable};

std::atomic<const KernelTable*> g_active{nullptr};

const KernelTable& KernelsFromEnvironment()
{
    const VariantChoice choice = ChooseVariant(std::getenv(kEnvironmentVariable));
    if (choice.refusal[0] != '\0') {
        ZEB_LOG(SeverityLevel_Error, kEnvironmentVariable << ": " << choice.refusal
                                                          << "; the kernels in use are "
                                                          << VariantName(choice.variant));
    }
    return KernelsOf(choice.variant);
}

}  // namespace

void PackRowFromBytesAnyShape(const KernelTable& kernels, const unsigned char* const* blockRows,
                              int blockCount, int width, int bitsPerPixel, unsigned char* out)
{
    if (!kernels.packRowFromBytes(blockRows, blockCount, width, bitsPerPixel, out))
        plain::PackRowFromBytes(blockRows, blockCount, width, bitsPerPixel, out);
}

const char* VariantName(Variant variant)
{
    switch (variant) {
    case Variant::Plain: return "plain";
    case Variant::Portable: return "portable";
    case Variant::Avx2: return "avx2";
    }
    return "unknown";
}

bool VariantRunnable(Variant variant)
{
    switch (variant) {
    case Variant::Plain:
    case Variant::Portable: return true;
    case Variant::Avx2: return HasAvx2();
    }
    return false;
}

const KernelTable& KernelsOf(Variant variant)
{
    switch (variant) {
    case Variant::Plain: return PlainKernels();
    case Variant::Avx2: return Avx2Kernels();
    case Variant::Portable: break;
    }
    return PortableKernels();
}

Variant BestVariant()
{
    for (const Variant variant : kPreference)
        if (VariantRunnable(variant))
            return variant;
    return Variant::Portable;
}

VariantChoice ChooseVariant(const char* requested)
{
    if (requested == nullptr || requested[0] == '\0')
        return {BestVariant(), ""};
    for (int i = 0; i < kVariantCount; ++i) {
        const Variant variant = static_cast<Variant>(i);
        if (std::strcmp(requested, VariantName(variant)) != 0)
            continue;
        if (VariantRunnable(variant))
            return {variant, ""};
        return {BestVariant(), "this processor does not run the variant asked for"};
    }
    return {BestVariant(), "unknown variant (plain, portable or avx2)"};
}

const KernelTable& ActiveKernels()
{
    const KernelTable* table = g_active.load(std::memory_order_acquire);
    if (table != nullptr)
        return *table;
    // First use: the environment is read once, even when threads get here together.
    static const KernelTable& chosen = KernelsFromEnvironment();
    if (g_active.compare_exchange_strong(table, &chosen, std::memory_order_acq_rel))
        return chosen;
    return *table;
}

void UseVariant(Variant variant) { g_active.store(&KernelsOf(variant), std::memory_order_release); }

}  // namespace kernels
}  // namespace rv_halftone
