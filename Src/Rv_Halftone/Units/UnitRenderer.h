// Internal: the unit renderer, the one place where a unit of mask becomes packed rows. A unit is
// the rows one threshold layer gives through a cut table, each row `width` pixels per X pass from
// that pass's first layer column on, the X passes interleaved pixel by pixel, row r packed into
// out + r x outRowStride (kernels::CutPackJob says it field by field). The generator's workers,
// the single-threaded renderer and the ramp decoder all render their units here.
//
// Two forms give the same bytes. The fused form cuts and packs in one step with the pixel
// kernels. The block form cuts each X pass into a byte-per-pixel block, then packs the blocks: in
// two calls, so that a caller may work on the blocks in between (the sine ripple is defined on
// them).
#pragma once

#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/MaskDataGenerate_Param.h>

#include "Kernels/PixelKernels.h"

#include <vector>

namespace rv_halftone {
namespace units {

using SUnit = kernels::CutPackJob;

// The first layer column of each X pass of a run's units.
std::vector<int> ColumnStarts(const SMaskDataGenerate_Param& p);

// Unit (colour, position, Y pass) of a generator run: its layer rows from the position's and the
// Y pass's row start on, into every Y-th output row of its position from the Y pass's on.
// `columnStarts` as ColumnStarts gives them; `scratch` the fused form's (null for the block form).
SUnit UnitOf(const SMaskDataGenerate_Param& p, const SMaskDataGenerate_SubParam& unit,
             const int* columnStarts, uint64_t* scratch);

// The fused form, in unit.scratch: kernels.cutPackScratchWords(layerWidth, passCount, width)
// words.
void CutAndPack(const kernels::KernelTable& kernels, const SUnit& unit);

// The block form. CutBlocks clears blocks[k] (width x rows bytes each, one per X pass) and cuts
// X pass k into it; PackBlocks ORs the blocks into the unit's rows, with `rowPointers` room for
// one pointer per X pass. False, with a failure record, for a unit that would read outside its
// layer or blocks of different sizes.
bool CutBlocks(const SUnit& unit, CMaskBlock* blocks);
bool PackBlocks(const SUnit& unit, const CMaskBlock* blocks, const unsigned char** rowPointers);

}  // namespace units
}  // namespace rv_halftone
