#include <Rv_Halftone/DecryptMask.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <RvPlanes/PlaneDerive.h>
#include <Rv_Halftone/BaseMaskData.h>

#include "Common/Sizes.h"
#include "CutTables/CutTables.h"
#include "Units/UnitRenderer.h"

#include <memory>

namespace {

// Puts a new ramp in place of the old one and makes its complement band.
bool Ramp_Replace(CBandData*& ramp, CBandData& complement, CBandData* turned)
{
    delete ramp;
    ramp = turned;
    if (!ramp->Clone(complement))
        return false;
    complement.ConvertBuffer_Negative();
    return true;
}

}  // namespace

CDecryptMask::CDecryptMask()
    : m_bitsPerPixel(0), m_thresholdHeight(rv_halftone::planes::kTileSize),
      m_thresholdWidth(rv_halftone::planes::kTileSize), m_pMaskBand_Left(nullptr),
      m_pMaskBand_Right(nullptr)
{
}

CDecryptMask::~CDecryptMask()
{
    delete m_pMaskBand_Left;
    delete m_pMaskBand_Right;
}

bool CDecryptMask::Create(int rampWidth, int bandHeight, int bitsPerPixel)
{
    if (bitsPerPixel != 2) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_bitsPerPixel = 2;

    CBaseMaskData threshold;
    if (!threshold.Create(m_thresholdWidth, m_thresholdHeight, 1)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    // Two entries per ramp column; a width whose table cannot be counted in an int is refused
    // here rather than wrapped (a width of 0 reaches the band, which refuses it).
    const long long entries = 2LL * rampWidth;
    if (!rv_halftone::FitsInt(entries)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    std::unique_ptr<SCutTable[]> cutTable(new SCutTable[static_cast<size_t>(entries)]);
    if (!CreateCutTable(cutTable.get(), static_cast<int>(entries), rampWidth)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    // Block row i is ramp column i: as wide as the band is high, turned into place below. One
    // unit of one X pass, cut in the block form and packed into the band by MergeMaskData.
    CMaskBlock block;
    if (!block.Create(bandHeight, rampWidth)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int firstColumn = 0;
    rv_halftone::units::SUnit ramp{};
    ramp.layer = threshold.MaskData(0);
    ramp.layerWidth = m_thresholdWidth;
    ramp.layerHeight = m_thresholdHeight;
    ramp.layerRowStart = 0;
    ramp.columnStarts = &firstColumn;
    ramp.passCount = 1;
    ramp.width = bandHeight;
    ramp.cutTable = cutTable.get();
    ramp.rows = rampWidth;
    ramp.bitsPerPixel = m_bitsPerPixel;
    if (!rv_halftone::units::CutBlocks(ramp, &block)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    CBandData band;
    if (!MergeMaskData(block, band)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    // Clockwise, block row W - 1 - x becomes column x: densest at the left edge. Anticlockwise,
    // block row x becomes column x: densest at the right edge.
    if (!Ramp_Replace(m_pMaskBand_Right, m_maskBand_Right_Not,
                      band.Rotate_Clockwise90_2Bit_To_2Bit()) ||
        !Ramp_Replace(m_pMaskBand_Left, m_maskBand_Left_Not,
                      band.Rotate_Anticlockwise90_2Bit_To_2Bit())) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}

const CBandData* CDecryptMask::MaskBand_Left_Get() const { return m_pMaskBand_Left; }
const CBandData* CDecryptMask::MaskBand_Right_Get() const { return m_pMaskBand_Right; }
const CBandData* CDecryptMask::MaskBand_Left_Not_Get() const { return &m_maskBand_Left_Not; }
const CBandData* CDecryptMask::MaskBand_Right_Not_Get() const { return &m_maskBand_Right_Not; }

// The ramp of three-part smoothing at full level over 2 x height rows in steps of `height`: entry
// i < height fires the levels from (height - i) x 65535 / (height + 1) up, about (i + 1) /
// (height + 1) of the plane, and entry height + i its complement.
bool CDecryptMask::CreateCutTable(SCutTable* table, int count, int height)
{
    return rv_halftone::cut_tables::ThreePart_Ramp(table, count, height, 100);
}

// Packs the byte-per-pixel block into the band: line r from block row r, pixels from the most
// significant bits down, m_bitsPerPixel bits each.
bool CDecryptMask::MergeMaskData(const CMaskBlock& block, CBandData& band)
{
    if (!band.Create(block.Width(), block.Height(), m_bitsPerPixel, rv_halftone::kBandLineAlign)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    // One block, its rows to consecutive band lines.
    rv_halftone::units::SUnit lines{};
    lines.passCount = 1;
    lines.bitsPerPixel = m_bitsPerPixel;
    lines.out = band.Buffer();
    lines.outRowStride = band.LineStride();
    const unsigned char* rowPointer = nullptr;
    if (!rv_halftone::units::PackBlocks(lines, &block, &rowPointer)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    return true;
}
