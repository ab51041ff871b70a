// The two masks of the overlap zone of stitched heads: the lines that two nozzle ranges both print.
#pragma once

#include <Rv_Halftone/Rv_Halftone_Export.h>
#include <ZebCommon/ExpandBuffer.h>

class CMaskBlock;

// Five 32-bit fields, in this order.
struct SOverlapMaskParam
{
    int overlapHeight;     // lines in each part (head and tail); above 0
    int featherEnable;     // 0: the head part fires everything, the tail part nothing
    float featherPercent;  // share of overlapHeight given to the feathered band, 0 to 100
    int bitsPerPixel;      // 1 or 2
    int inkPercent;        // ink of the feathered band; 100 makes the parts exact complements
};

// All five fields equal; featherPercent compares as a float, so a NaN equals nothing.
inline bool operator==(const SOverlapMaskParam& a, const SOverlapMaskParam& b)
{
    return a.overlapHeight == b.overlapHeight && a.featherEnable == b.featherEnable &&
           a.featherPercent == b.featherPercent && a.bitsPerPixel == b.bitsPerPixel &&
           a.inkPercent == b.inkPercent;
}

inline bool operator!=(const SOverlapMaskParam& a, const SOverlapMaskParam& b) { return !(a == b); }

// Both parts are overlapHeight lines of 512 pixels; line k of the head part and line k of the tail
// part cover the same paper line. Each part is h plain lines, a feathered band of f lines and h
// plain lines again: in the head part the first plain lines fire nothing and the last everything,
// in the tail part the reverse. Inside the band the head's share rises line by line while the
// tail's falls; together they fire the pixels whose threshold lies below inkPercent % of the level
// scale, and they never fire the same pixel while the band has at most 544 lines (the height of a
// threshold tile). With inkPercent 100 the tail part is the bitwise NOT of the head part.
//
// Buffer: 2 x overlapHeight lines of MaskLineBytes() bytes, the head part first. Pixels are packed
// from the most significant bit down at bitsPerPixel bits, a fired pixel with all its bits set.
//
// Only Create writes the object; afterwards any number of threads may read it.
class RV_HALFTONE_API OverlapMask
{
public:
    OverlapMask();
    ~OverlapMask();
    OverlapMask(const OverlapMask& other);             // owns a copy of the bytes
    OverlapMask& operator=(const OverlapMask& other);  // likewise

    // Builds both parts; may be called again to rebuild. False, with failure records innermost
    // first, when the record is refused (overlapHeight not above 0 or too large for the buffer,
    // bitsPerPixel not 1 or 2, featherPercent not a number from 0 to 100): the object then keeps
    // what it held. False as well when the band cannot be rendered (inkPercent outside 1 to 100
    // with a band to render, or the generator failing): the object then holds the new record and
    // sizes and a zeroed buffer.
    bool Create(const SOverlapMaskParam& param);

    const SOverlapMaskParam& OverlapMaskParam() const;
    int MaskHeight() const;  // head plus tail lines
    int MaskLineBytes() const;
    int MaskBytes_OneColor() const;
    const unsigned char* MaskData() const;
    const unsigned char* Mask_head() const;
    const unsigned char* Mask_tail() const;

    // Diagnostic hook for looking at a rendered block; writes nothing.
    bool Output2Tiff_Debug(const CMaskBlock& block, int width, int height, int lineBytes,
                           int bitsPerPixel) const;

private:
    bool Init_Param(const SOverlapMaskParam& param);
    bool Create_InkPercent_100();
    bool Create_InkPercent_Variable();
    bool Upate_TailData_By_HeadData();
    // Renders the 2 x height band lines (head lines, then tail lines) into `block`.
    bool MaskBlock_Create(int height, int inkPercent, int width, int lineBytes, int bitsPerPixel,
                          CMaskBlock& block);
    unsigned char* Line(int line) const;  // line 0 is the first head line
    void Fill_Lines(int firstLine, int count, unsigned char value);

    SOverlapMaskParam m_overlapMaskParam;
    int m_maskHeight;
    int m_maskWidth;
    int m_maskLineBytes;
    int m_maskBytesOneColor;
    int m_maskBytes;
    int m_maskColorCount;
    ExpandBuffer m_maskBuffer;
};
