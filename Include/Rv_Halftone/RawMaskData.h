// The library's sixteen stored threshold planes.
#pragma once

#include <Rv_Halftone/Rv_Halftone_Export.h>

// Each plane is 544 x 544 unsigned 16-bit levels, row-major (cell (x, y) is sample y x 544 + x),
// levels 0 to 65,534. The planes are constant data of the library, safe to read from any thread,
// valid for the life of the process. Planes 0/1 and 2/3 are complementary pairs; planes 4..15
// are planes 0..3 moved by half the tile height.
class RV_HALFTONE_API CRawMaskData
{
public:
    static int Width();   // 544
    static int Height();  // 544
    // First sample of plane n mod 16 (n >= 0; a negative n is taken modulo 16 as well), in
    // place: no copy is made.
    static unsigned short* RawData(int n);
};
