// The modes whose whole masks the rendering tests check: every pixel against the rendering rule,
// the print against the mode's promise, the same bytes from every worker count, from the plain
// single-threaded renderer and from every kernel variant. Every feather family (and an
// unfeathered record that carries type 3), colorTimes 1 to 3, X passes 1 to 5, Y passes 1 to 4,
// the resolution split, both bit depths, one and many mask positions; the heads are small where
// the checks run under ThreadSanitizer.
#pragma once

#include "MaskParams.h"

// clang-format off
inline const SModeCase kModes[] = {
    // name                  N    P  X  Y col b fm ft  f%   C  lvl split less
    {"None_1bit",            96,  2, 1, 1, 1, 1, 0, 0, 0.f,  1, 100, 0, true},
    {"None_2colours_Times2", 192, 4, 1, 1, 2, 2, 0, 0, 0.f,  2, 100, 0, true},
    {"None_NormalPositions", 128, 4, 1, 1, 1, 1, 0, 0, 0.f,  1, 100, 0, false},
    {"None_3colours_Y2",     96,  2, 1, 2, 3, 1, 0, 0, 0.f,  1, 100, 0, false},
    {"None_X2Y2",            160, 2, 2, 2, 1, 1, 0, 0, 0.f,  1, 100, 0, true},
    {"None_X3_2bit",         144, 3, 3, 1, 1, 2, 0, 0, 0.f,  1, 100, 0, true},
    {"None_X5",              160, 2, 5, 1, 1, 1, 0, 0, 0.f,  1, 100, 0, true},
    {"None_Split5",          160, 2, 4, 4, 1, 1, 0, 0, 0.f,  1, 100, 5, true},
    {"None_SplitY3",         288, 2, 1, 3, 2, 1, 0, 0, 0.f,  1, 100, 3, true},
    {"None_Y4",              128, 2, 1, 4, 1, 1, 0, 0, 0.f,  1, 100, 0, true},
    {"None_ColorTimes3",     320, 5, 1, 1, 1, 1, 0, 0, 0.f,  3, 100, 0, true},
    {"None_LeftOverRows",    545, 4, 1, 1, 1, 1, 0, 0, 0.f,  1, 100, 0, false},
    {"None_Type3",           96,  2, 1, 1, 1, 1, 0, 3, 0.f,  1, 100, 0, true},
    {"Smooth2_f50",          544, 4, 1, 1, 1, 1, 1, 1, 50.f, 1, 100, 0, false},
    {"Smooth2_NormalPos",    120, 3, 1, 1, 1, 1, 1, 1, 40.f, 1, 100, 0, false},
    {"Smooth2_X2_Times2",    96,  2, 2, 1, 2, 1, 1, 1, 40.f, 2, 100, 0, false},
    {"Smooth2_Times2_Y3",    240, 3, 1, 3, 1, 2, 1, 1, 30.f, 2, 100, 0, true},
    {"Smooth2_X2Y2",         544, 4, 2, 2, 1, 1, 1, 1, 50.f, 1, 100, 0, true},
    {"Smooth3_Level100",     544, 4, 1, 1, 1, 1, 1, 2, 50.f, 1, 100, 0, false},
    {"Smooth3_Level70_2col", 128, 4, 1, 1, 2, 1, 1, 2, 50.f, 1, 70,  0, false},
    {"Smooth3_Times2_X2",    192, 4, 2, 1, 1, 1, 1, 2, 50.f, 2, 100, 0, true},
    {"Smooth3_X2Y2",         544, 4, 2, 2, 1, 1, 1, 2, 40.f, 1, 50,  0, true},
    {"Sine_f50",             544, 4, 1, 1, 1, 1, 1, 3, 50.f, 1, 100, 0, false},
    {"Sine_Y2_2bit",         300, 3, 1, 2, 1, 2, 1, 3, 30.f, 1, 80,  0, true},
    {"Sine_OnePass",         96,  1, 1, 1, 1, 1, 1, 3, 0.f,  1, 100, 0, true},
    {"Sine_NormalPositions", 120, 2, 1, 1, 1, 1, 1, 3, 50.f, 1, 100, 0, false},
    {"Sine_Y2_2colours",     96,  2, 1, 2, 2, 1, 1, 3, 50.f, 1, 100, 0, false},
    {"Sine_X2_Y2",           192, 4, 2, 2, 1, 1, 1, 3, 50.f, 1, 100, 0, true},
    {"Sine_X3_2bit_Times2",  144, 3, 3, 1, 1, 2, 1, 3, 40.f, 2, 100, 0, false},
};
// clang-format on
