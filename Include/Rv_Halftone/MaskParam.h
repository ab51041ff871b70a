// The pass mask parameter record as the classes take it.
#pragma once

#include <cstddef>
#include <cstdint>

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
