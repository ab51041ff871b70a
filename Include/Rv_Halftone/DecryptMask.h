// Ramp band images for the left and right edge of a band, and their complements.
#pragma once

#include <RvBandData/BandData.h>
#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

// A threshold plane cut into a linear ramp rampWidth pixels wide and bandHeight lines high, two
// bits a pixel: the left ramp is sparse at its left edge and densest at its right edge, the right
// ramp is the left one turned half a turn. Each Not band fires exactly the pixels its ramp does
// not. Everything runs on the caller's thread; one thread at a time may call Create, and the bands
// may be read from any thread once it has returned true.
class RV_HALFTONE_API CDecryptMask
{
public:
    CDecryptMask();
    ~CDecryptMask();
    CDecryptMask(const CDecryptMask&) = delete;
    CDecryptMask& operator=(const CDecryptMask&) = delete;

    // Builds all four bands, replacing earlier ones. Only bitsPerPixel 2 is served: any other
    // value gives false with a failure record and changes nothing.
    bool Create(int rampWidth, int bandHeight, int bitsPerPixel);

    // The bands stay owned by the decoder and valid until the next Create or its destruction.
    const CBandData* MaskBand_Left_Get() const;       // null before a successful Create
    const CBandData* MaskBand_Right_Get() const;      // likewise
    const CBandData* MaskBand_Left_Not_Get() const;   // never null; empty before Create
    const CBandData* MaskBand_Right_Not_Get() const;  // likewise

private:
    bool CreateCutTable(SCutTable* table, int count, int height);
    bool MergeMaskData(const CMaskBlock& block, CBandData& band);

    int m_bitsPerPixel;
    int m_thresholdHeight;
    int m_thresholdWidth;
    CBandData* m_pMaskBand_Left;
    CBandData* m_pMaskBand_Right;
    CBandData m_maskBand_Left_Not;
    CBandData m_maskBand_Right_Not;
};
