#include <Rv_Halftone/DecryptMask.h>

#include <Rv_Halftone/BaseMaskData.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include "Rv_Halftone_Internal.h"

#include <memory>

namespace {

// Fourth argument of every band Create of the library: the line alignment in bytes.
constexpr int kBandLineAlign = 16;

}  // namespace

CDecryptMask::CDecryptMask()
    : m_bitsPerPixel(0),
      m_thresholdHeight(rv_halftone::kThresholdSize),
      m_thresholdWidth(rv_halftone::kThresholdSize),
      m_pMaskBand_Left(nullptr),
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

    // Block row i is ramp column i: as wide as the band is high, turned into place below.
    CMaskBlock block;
    if (!block.Create(bandHeight, rampWidth)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    SGenerateMaskParam_In param;
    param.cutTable = cutTable.get();
    param.cutTableCount = rampWidth;
    param.thresholdLayer = threshold.MaskData(0);
    param.thresholdRowStart = 0;
    param.thresholdColumnStart = 0;
    param.thresholdHeight = m_thresholdHeight;
    param.thresholdWidth = m_thresholdWidth;
    param.bitsPerPixel = m_bitsPerPixel;
    if (!Halftone_Helper::GenerateMaskData_XRes(param, block)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    CBandData band;
    if (!MergeMaskData(block, band)) {
        ZEB_LOG_FAILURE();
        return false;
    }

    // Clockwise, block row W - 1 - x becomes column x: densest at the left edge.
    delete m_pMaskBand_Right;
    m_pMaskBand_Right = band.Rotate_Clockwise90_2Bit_To_2Bit();
    if (!m_pMaskBand_Right->Clone(m_maskBand_Right_Not)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_maskBand_Right_Not.ConvertBuffer_Negative();

    // Anticlockwise, block row x becomes column x: densest at the right edge.
    delete m_pMaskBand_Left;
    m_pMaskBand_Left = band.Rotate_Anticlockwise90_2Bit_To_2Bit();
    if (!m_pMaskBand_Left->Clone(m_maskBand_Left_Not)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    m_maskBand_Left_Not.ConvertBuffer_Negative();
    return true;
}

const CBandData* CDecryptMask::MaskBand_Left_Get() const { return m_pMaskBand_Left; }
const CBandData* CDecryptMask::MaskBand_Right_Get() const { return m_pMaskBand_Right; }
const CBandData* CDecryptMask::MaskBand_Left_Not_Get() const { return &m_maskBand_Left_Not; }
const CBandData* CDecryptMask::MaskBand_Right_Not_Get() const { return &m_maskBand_Right_Not; }

// Entries 0 to height - 1 fire the levels from (height - i) x 65535 / (n + 1) up, a share of about
// (i + 1) / (n + 1) of the plane; the entries after them are their complements. The level is
// computed in 64 bits so that wide ramps do not overflow.
bool CDecryptMask::CreateCutTable(SCutTable* table, int count, int height)
{
    for (int i = 0; i < height; ++i) {
        table[i].high = static_cast<uint16_t>(rv_halftone::kLevelScale);
        table[count - 1 - i].low = 0;
    }
    const int n = count - height;
    for (int j = 0; j < n; ++j) {
        const long long level = static_cast<long long>(n - j) * rv_halftone::kLevelScale / (n + 1);
        table[height + j].high = static_cast<uint16_t>(level);
        table[j].low = static_cast<uint16_t>(level);
    }
    return true;
}

// Packs the byte-per-pixel block into the band: line r from block row r, pixels from the most
// significant bits down, m_bitsPerPixel bits each.
bool CDecryptMask::MergeMaskData(const CMaskBlock& block, CBandData& band)
{
    if (!band.Create(block.Width(), block.Height(), m_bitsPerPixel, kBandLineAlign)) {
        ZEB_LOG_FAILURE();
        return false;
    }
    const int bits = m_bitsPerPixel;
    const int pixelMask = (1 << bits) - 1;
    const unsigned char* source = block.MaskData_Const();
    for (int r = 0; r < block.Height(); ++r) {
        unsigned char* line = band.Buffer() + static_cast<long long>(r) * band.LineStride();
        for (int c = 0; c < block.Width(); ++c) {
            const int pixel = *source++ & pixelMask;
            const int bit = c * bits;
            line[bit / 8] = static_cast<unsigned char>(line[bit / 8] | (pixel << (8 - bits - bit % 8)));
        }
    }
    return true;
}
