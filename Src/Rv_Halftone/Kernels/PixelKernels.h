// The pixel work of mask rendering in its fast forms: internal to the library, never installed.
//
// A pixel decision compares one 16-bit threshold against a row's cut range. The plain pipeline
// makes that decision into a byte-per-pixel block and then shifts every byte into a packed row;
// the fused kernel makes 64 decisions at a time into bit masks and writes each output byte once.
// Every variant gives the same bytes as the plain loops (PixelKernels_Plain.h); which one runs is
// chosen once per process: the environment variable RV_HALFTONE_KERNEL (plain, portable, avx2) when
// it names a variant this processor runs, otherwise the best one it runs.
//
// A variant is only offered where its tests run on the machines we build on. To add one (say
// AVX-512): a Variant value and its name in VariantName, its own PixelKernels_<Name>.cpp defining
// an Ops policy for PixelKernels_Impl.h, and its row (table and feature check) in the variant list
// of PixelKernels.cpp, compiled where the target has the instructions (Kernels/CMakeLists.txt).
#pragma once

#include <Rv_Halftone/CutTable.h>

#include <cstdint>

namespace rv_halftone {
namespace kernels {

enum class Variant : int
{
    Plain = 0,     // the byte-per-pixel loops: the bytes every variant must give
    Portable = 1,  // 64-bit word arithmetic, no vector instructions: runs everywhere
    Avx2 = 2,      // AVX2 + BMI2
};

// One unit of fused work: `rows` output rows, each holding width x passCount pixels. Output
// pixel u = x x passCount + k of row y is set (all bitsPerPixel bits) when the sample of layer
// row (layerRowStart + y) and column (columnStarts[k] + x), both wrapped, lies in cutTable[y].
// The packed bits are ORed into out + y x outRowStride, covering (width x passCount x
// bitsPerPixel + 7) / 8 bytes; nothing beyond them is touched. The kernel works in the caller's
// scratch, so that a call never allocates: a worker sizes it once for the shape of its run.
struct CutPackJob
{
    const uint16_t* layer;      // row-major, layerWidth samples per row
    int layerWidth;             // >= 1
    int layerHeight;            // >= 1
    int layerRowStart;          // >= 0
    const int* columnStarts;    // passCount entries, each >= 0
    int passCount;              // X, >= 1
    int width;                  // x positions per pass, >= 0
    const SCutTable* cutTable;  // one entry per row
    int rows;                   // >= 0
    int bitsPerPixel;           // 1 or 2
    unsigned char* out;
    long long outRowStride;
    uint64_t* scratch;  // cutPackScratchWords(layerWidth, passCount, width) words of the table
};

// Cuts one row into a byte-per-pixel row: blockRow[x] = value when the sample at layer column
// (columnStart + x) mod layerWidth lies in cut; other bytes are left as they are.
using CutRowToBytesFn = void (*)(const uint16_t* layerRow, int layerWidth, int columnStart,
                                 int width, SCutTable cut, unsigned char value,
                                 unsigned char* blockRow);

// ORs blockCount byte-per-pixel rows of `width` bytes, interleaved pixel by pixel, into a packed
// row (the merge of the plain pipeline). A fast variant handles the common shapes only (1 or 2
// bits, a power-of-two bit count per x position, pixel bytes that fit the bit count) and
// returns false, having written nothing, for anything else; the plain one handles all.
using PackRowFromBytesFn = bool (*)(const unsigned char* const* blockRows, int blockCount,
                                    int width, int bitsPerPixel, unsigned char* out);

using CutPackRowsFn = void (*)(const CutPackJob& job);

// The words of scratch a job of this shape needs (each >= 1). Never more than a few words per
// layer column and per output pixel byte, so any shape the generator accepts has an int count.
using CutPackScratchWordsFn = long long (*)(int layerWidth, int passCount, int width);

struct KernelTable
{
    Variant variant;  // VariantName names it
    CutPackRowsFn cutPackRows;
    CutPackScratchWordsFn cutPackScratchWords;
    CutRowToBytesFn cutRowToBytes;
    PackRowFromBytesFn packRowFromBytes;
};

// Packs with the table's packer, or with the plain loop where that one leaves the shape alone.
void PackRowFromBytesAnyShape(const KernelTable& kernels, const unsigned char* const* blockRows,
                              int blockCount, int width, int bitsPerPixel, unsigned char* out);

// The name RV_HALFTONE_KERNEL takes for the variant ("plain", "portable", "avx2").
const char* VariantName(Variant variant);
// True when this processor and its operating system run the variant.
bool VariantRunnable(Variant variant);
// The table of a variant; only call what VariantRunnable allows.
const KernelTable& KernelsOf(Variant variant);
// The fastest runnable variant.
Variant BestVariant();

// What a value of RV_HALFTONE_KERNEL selects: the named variant when this processor runs it,
// otherwise the best one, with `refusal` saying why the value was not taken (empty when it was,
// or when there was no value).
struct VariantChoice
{
    Variant variant;
    const char* refusal;
};
VariantChoice ChooseVariant(const char* requested);

// The table the library renders with: the variant chosen from the environment on first use (a
// refused value is logged once).
const KernelTable& ActiveKernels();

// The entry points of each variant, defined in their own translation units; a variant's only where
// the target can run it (Avx2Kernels on x86-64).
const KernelTable& PlainKernels();
const KernelTable& PortableKernels();
const KernelTable& Avx2Kernels();

}  // namespace kernels
}  // namespace rv_halftone
