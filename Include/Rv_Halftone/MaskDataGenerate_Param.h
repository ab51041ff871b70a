// The records of a generator run: the whole run, as the master keeps it, and one unit of work, as
// the master hands it to a worker.
#pragma once

#include <Rv_Halftone/CutTable.h>

class CBaseMaskData;
class CMaskBlock;

// One generator run. The three pointed-to objects stay alive and unchanged until the generator
// has been destroyed; the output is zero when rendering starts (the workers only OR bits in).
struct SMaskDataGenerate_Param
{
    CMaskBlock* maskBlock;               // the output, used as one flat buffer
    int maskBytesOneColor;               // bytes between the starts of two colours
    int maskBytesOnePosition;            // bytes between the starts of two positions of one colour
    int maskLineBytes;                   // bytes per output row
    const CBaseMaskData* thresholdData;  // one threshold layer per colour
    int thresholdHeight;                 // rows of a layer
    int thresholdWidth;                  // columns of a layer; pixels of every worker block
    int colorCount;
    int positionCount;          // mask positions per colour
    const SCutTable* cutTable;  // one entry per block row
    int cutTableCount;
    int maskHeight;         // rows of each worker block: rows per Y pass of one position
    int stepHeight;         // threshold rows between two mask positions
    int xResPass;           // blocks per unit, interleaved pixel by pixel
    int yResPass;           // units per position, interleaved row by row
    int bitsPerPixel;       // 1 or 2
    int featherNozzleType;  // 3 turns on the sine ripple
};

// One unit of work: the rows of one Y pass of one mask position of one colour.
struct SMaskDataGenerate_SubParam
{
    int colorIndex;     // threshold layer and colour region of the output
    int positionIndex;  // mask position within the colour
    int yResIndex;      // Y pass: threshold row phase and output row phase
};
