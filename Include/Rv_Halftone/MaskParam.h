// The pass mask parameter record as the classes take it.
#pragma once

#include <Rv_Halftone/Rv_Halftone.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The numbers the record's mode fields take. The fields stay plain int32 (the record crosses the
// library boundary); these names are for code that fills or reads them.
enum EFeatherMode
{
    FeatherMode_None = 0,    // no feather (nozzle rows left over still feather the swath edge)
    FeatherMode_Nozzle = 1,  // feathered as featherNozzleType says
};

enum EFeatherNozzleType
{
    FeatherNozzleType_TwoPart = 1,          // two-part smoothing
    FeatherNozzleType_ThreePart = 2,        // three-part smoothing
    FeatherNozzleType_ThreePartRipple = 3,  // three-part smoothing with the sine ripple
};

// Divisors of the resolution passes; every other value splits nothing.
enum EResSplitMode
{
    ResSplitMode_None = 0,
    ResSplitMode_XHalf = 1,     // xResPass / 2
    ResSplitMode_YHalf = 2,     // yResPass / 2
    ResSplitMode_YThird = 3,    // yResPass / 3
    ResSplitMode_YQuarter = 4,  // yResPass / 4
    ResSplitMode_XYHalf = 5,    // xResPass / 2 and yResPass / 2
};

// Same thirteen fields and 49-byte packed layout as SMaskParam_Test of the flat interface; see
// Rv_Halftone.h for the meaning and valid range of each field. Caches key on all 49 bytes.
#pragma pack(push, 1)
struct SMaskParam
{
    int32_t nozzleCount;
    int32_t basePass;
    int32_t xResPass;
    int32_t yResPass;
    int32_t colorCount;
    int32_t bitsPerPixel;
    int32_t featherMode;
    float featherPercent;
    int32_t featherNozzleType;
    int32_t colorTimes;
    int32_t smoothLevelPercent;
    int32_t resSplitMode;
    // A byte rather than bool: hosts may pass any non-zero value for true, and every byte value
    // must stay a valid object.
    uint8_t lessMaskPosition;
};
#pragma pack(pop)

static_assert(sizeof(SMaskParam) == 49, "SMaskParam is a 49-byte packed record");
static_assert(offsetof(SMaskParam, nozzleCount) == 0, "layout");
static_assert(offsetof(SMaskParam, basePass) == 4, "layout");
static_assert(offsetof(SMaskParam, xResPass) == 8, "layout");
static_assert(offsetof(SMaskParam, yResPass) == 12, "layout");
static_assert(offsetof(SMaskParam, colorCount) == 16, "layout");
static_assert(offsetof(SMaskParam, bitsPerPixel) == 20, "layout");
static_assert(offsetof(SMaskParam, featherMode) == 24, "layout");
static_assert(offsetof(SMaskParam, featherPercent) == 28, "layout");
static_assert(offsetof(SMaskParam, featherNozzleType) == 32, "layout");
static_assert(offsetof(SMaskParam, colorTimes) == 36, "layout");
static_assert(offsetof(SMaskParam, smoothLevelPercent) == 40, "layout");
static_assert(offsetof(SMaskParam, resSplitMode) == 44, "layout");
static_assert(offsetof(SMaskParam, lessMaskPosition) == 48, "layout");
static_assert(sizeof(SMaskParam) == sizeof(SMaskParam_Test), "the two records share one layout");

// The record a host gives the flat interface as the classes take it, and back: the two records
// share one layout, so the bytes are copied as they are.
inline SMaskParam MaskParam_Of(const SMaskParam_Test& record)
{
    SMaskParam param;
    std::memcpy(&param, &record, sizeof param);
    return param;
}

inline SMaskParam_Test MaskParam_Test_Of(const SMaskParam& param)
{
    SMaskParam_Test record;
    std::memcpy(&record, &param, sizeof record);
    return record;
}

// The representative record the tool and the tests start from: 544 nozzles, 4 passes, 2 colours,
// 2 bits, no feather (the fields a feather would read as their neutral values).
inline SMaskParam MaskParam_Default()
{
    SMaskParam p;
    std::memset(&p, 0, sizeof p);
    p.nozzleCount = 544;
    p.basePass = 4;
    p.xResPass = 1;
    p.yResPass = 1;
    p.colorCount = 2;
    p.bitsPerPixel = 2;
    p.featherMode = FeatherMode_None;
    p.featherPercent = 0.0f;
    p.featherNozzleType = FeatherNozzleType_TwoPart;
    p.colorTimes = 1;
    p.smoothLevelPercent = 100;
    p.resSplitMode = ResSplitMode_None;
    p.lessMaskPosition = 0;
    return p;
}
