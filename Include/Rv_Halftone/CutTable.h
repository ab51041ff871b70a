// One nozzle row's range of threshold levels.
#pragma once

#include <cstdint>

// A pixel with threshold level t is fired by the row when low <= t < high (unsigned 16-bit).
// low == high fires nothing; [0, 65535) fires everything, since no plane holds 65535.
struct SCutTable
{
    uint16_t high;  // exclusive upper bound
    uint16_t low;   // inclusive lower bound
};

static_assert(sizeof(SCutTable) == 4, "SCutTable is two 16-bit levels, high first");
