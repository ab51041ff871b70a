// A property that must hold for every input: a violation is a finding, so the harness aborts.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", property);
        std::abort();
    }
}
