// Halftone_Helper: the two pixel kernels. The records are checked here; the rows are cut and
// packed by the fastest kernel variant this processor runs (Kernels/), which gives the same bytes
// as the plain loops of Kernels/PixelKernels_Plain.cpp.
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include <BoostLogWrapper/CustomBoostLog.h>

#include "Blocks/BlockRows.h"
#include "Kernels/PixelKernels.h"

#include <vector>

namespace {

// Index in [0, size) of `index`, wrapping in both directions (size >= 1).
int WrapIndex(int index, int size)
{
    const int wrapped = index % size;
    return wrapped < 0 ? wrapped + size : wrapped;
}

bool GenerateParam_Readable(const SGenerateMaskParam_In& param)
{
    return param.cutTable != nullptr && param.thresholdLayer != nullptr &&
           param.thresholdHeight >= 1 && param.thresholdWidth >= 1 && param.bitsPerPixel >= 0 &&
           param.bitsPerPixel < Halftone_Helper::PixelValueTable_Count;
}

// Every block is read with block 0's width and height.
bool BlocksReadable(const CMaskBlock* blocks, int count, int bitsPerPixel, const unsigned char* out)
{
    if (blocks == nullptr || out == nullptr || bitsPerPixel < 1 || bitsPerPixel > 8)
        return false;
    for (int k = 1; k < count; ++k) {
        if (blocks[k].Width() != blocks[0].Width() || blocks[k].Height() != blocks[0].Height())
            return false;
    }
    return true;
}

}  // namespace

bool Halftone_Helper::GenerateMaskData_XRes(SGenerateMaskParam_In& param, const CMaskBlock& block)
{
    const int width = block.Width();
    const int height = block.Height();
    if (width < 1 || height < 1)
        return true;
    if (!GenerateParam_Readable(param)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    const unsigned char pixelValue = PixelValueTable[param.bitsPerPixel];
    const rv_halftone::kernels::CutRowToBytesFn cutRow =
        rv_halftone::kernels::ActiveKernels().cutRowToBytes;
    unsigned char* const blockBytes = block.MaskData();
    const int firstColumn = WrapIndex(param.thresholdColumnStart, param.thresholdWidth);
    int layerRow = WrapIndex(param.thresholdRowStart, param.thresholdHeight);
    for (int y = 0; y < height; ++y) {
        const unsigned short* const samples =
            param.thresholdLayer + static_cast<long long>(layerRow) * param.thresholdWidth;
        cutRow(samples, param.thresholdWidth, firstColumn, width, param.cutTable[y], pixelValue,
               blockBytes + static_cast<long long>(y) * width);
        if (++layerRow == param.thresholdHeight)
            layerRow = 0;
    }
    return true;
}

bool Halftone_Helper::MergeMaskData_YRes(const SMergeMaskParam& param)
{
    // The row pointers of the usual few blocks live on the stack: no allocation per call.
    constexpr int kRowsOnStack = 16;
    const unsigned char* rowsOnStack[kRowsOnStack];
    std::vector<const unsigned char*> rowsOnHeap;
    const unsigned char** rows = rowsOnStack;
    if (param.maskBlockCount > kRowsOnStack) {
        rowsOnHeap.resize(static_cast<size_t>(param.maskBlockCount));
        rows = rowsOnHeap.data();
    }
    // Block row y lands on output row lineStart + y x lineStep.
    unsigned char* const first =
        param.outBuffer == nullptr
            ? nullptr
            : param.outBuffer + static_cast<long long>(param.lineStart) * param.maskLineBytes;
    const long long rowStride = static_cast<long long>(param.lineStep) * param.maskLineBytes;
    return rv_halftone::PackBlockRows(param.maskBlocks, param.maskBlockCount, param.bitsPerPixel,
                                      first, rowStride, rows);
}

namespace rv_halftone {

bool PackBlockRows(const CMaskBlock* blocks, int count, int bitsPerPixel, unsigned char* out,
                   long long rowStride, const unsigned char** rows)
{
    if (count < 1)
        return true;
    if (!BlocksReadable(blocks, count, bitsPerPixel, out)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int width = blocks[0].Width();
    const int height = blocks[0].Height();
    const kernels::KernelTable& kernels = kernels::ActiveKernels();
    for (int y = 0; y < height; ++y) {
        for (int k = 0; k < count; ++k)
            rows[k] = blocks[k].MaskData_Const() + static_cast<long long>(y) * width;
        kernels::PackRowFromBytesAnyShape(kernels, rows, count, width, bitsPerPixel,
                                          out + y * rowStride);
    }
    return true;
}

}  // namespace rv_halftone
