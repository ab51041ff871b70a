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

#if defined(RV_HALFTONE_KERNELS_AVX2)
bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
}
#endif

bool Everywhere() { return true; }

// Every variant this build has, fastest first: its table (which names it) and whether this
// processor and its operating system run it. A variant is compiled only where the target can run
// it (cmake lists its source only there), so a build for another processor has the portable
// variant and the plain loops alone. The plain loops come last: they are the reference the others
// are tested against, chosen only by name.
struct SVariantEntry
{
    const KernelTable& (*table)();
    bool (*runnable)();
};
const SVariantEntry kVariants[] = {
#if defined(RV_HALFTONE_KERNELS_AVX2)
    {Avx2Kernels, HasAvx2},
#endif
    {PortableKernels, Everywhere},
    {PlainKernels, Everywhere},
};

const SVariantEntry* EntryOf(Variant variant)
{
    for (const SVariantEntry& entry : kVariants)
        if (entry.table().variant == variant)
            return &entry;
    return nullptr;
}

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
    const SVariantEntry* entry = EntryOf(variant);
    return entry != nullptr && entry->runnable();
}

const KernelTable& KernelsOf(Variant variant)
{
    const SVariantEntry* entry = EntryOf(variant);
    return entry != nullptr ? entry->table() : PortableKernels();
}

Variant BestVariant()
{
    for (const SVariantEntry& entry : kVariants)
        if (entry.table().variant != Variant::Plain && entry.runnable())
            return entry.table().variant;
    return Variant::Portable;
}

VariantChoice ChooseVariant(const char* requested)
{
    if (requested == nullptr || requested[0] == '\0')
        return {BestVariant(), ""};
    for (const Variant variant : {Variant::Plain, Variant::Portable, Variant::Avx2}) {
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

}  // namespace kernels
}  // namespace rv_halftone
