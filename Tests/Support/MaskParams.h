// Parameter records for tests: the default, tables of modes, small records.
#pragma once

#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone.h>

#include <cstring>
#include <ostream>

// The library's representative record (MaskParam_Default) and its copy as the flat interface's.
inline SMaskParam DefaultMaskParam() { return MaskParam_Default(); }
inline SMaskParam_Test ToTestParam(const SMaskParam& p) { return MaskParam_Test_Of(p); }

// One row of a table of modes: the record fields the rendering tests vary; the rest as in
// DefaultMaskParam().
struct SModeCase
{
    const char* name;
    int nozzleCount, basePass, x, y, colors, bits, featherMode, featherType;
    float featherPercent;
    int colorTimes, smoothLevel, splitMode;
    bool less;
};

inline void PrintTo(const SModeCase& c, std::ostream* os) { *os << c.name; }

inline SMaskParam RecordOf(const SModeCase& c)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = c.nozzleCount;
    p.basePass = c.basePass;
    p.xResPass = c.x;
    p.yResPass = c.y;
    p.colorCount = c.colors;
    p.bitsPerPixel = c.bits;
    p.featherMode = c.featherMode;
    p.featherNozzleType = c.featherType;
    p.featherPercent = c.featherPercent;
    p.colorTimes = c.colorTimes;
    p.smoothLevelPercent = c.smoothLevel;
    p.resSplitMode = c.splitMode;
    p.lessMaskPosition = c.less;
    return p;
}

// One colour, one bit, 96 nozzles in one pass, one mask position: builds fast. Different keys give
// different records of the same step (smoothLevelPercent is not read without feathering).
inline SMaskParam SmallMaskParam(int key = 0)
{
    SMaskParam p = DefaultMaskParam();
    p.nozzleCount = 96;
    p.basePass = 1;
    p.colorCount = 1;
    p.bitsPerPixel = 1;
    p.lessMaskPosition = 1;
    p.smoothLevelPercent = 100 - key;
    return p;
}

inline bool SameBytes(const SMaskParam& a, const SMaskParam& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
