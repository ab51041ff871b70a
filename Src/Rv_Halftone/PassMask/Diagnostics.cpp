// CMaskData_Base: the usage examples and the data dump hook.
#include <Rv_Halftone/MaskData_Base.h>

#include <BoostLogWrapper/CustomBoostLog.h>
#include <Rv_Halftone/Rv_Halftone_Helper.h>

#include <memory>

// Shows the two single-cover Smooth_3 builders on a fixed size; what they report does not matter
// to the example.
bool CMaskData_Base::Usage_Test()
{
    const int count = 80;
    const int rowsPerStep = 30;
    std::unique_ptr<SCutTable[]> table(new SCutTable[count]);
    CreateCutTable_Smooth_3_ColorOneTimes_Style_1(table.get(), count, rowsPerStep, 100);
    Halftone_Helper::OutputCutTable_Debug(table.get(), count,
                                          "CutTable_Smooth_3_ColorOneTimes_Style_1.txt");
    CreateCutTable_Smooth_3_ColorOneTimes_Style_2(table.get(), count, rowsPerStep);
    Halftone_Helper::OutputCutTable_Debug(table.get(), count,
                                          "CutTable_Smooth_3_ColorOneTimes_Style_2.txt");
    return true;
}

// Shows how one mask is built: a single-pass, single-colour, one-bit head of 544 nozzles.
bool CMaskData_Base::Usage()
{
    // nozzles, passes, X and Y passes, colours, bits, feather mode and percent; then what makes
    // the record valid: two-part type, each pixel laid once, the full level, no split, the normal
    // tile choice.
    const SMaskParam param = {544,
                              1,
                              1,
                              1,
                              1,
                              1,
                              FeatherMode_None,
                              50.0f,
                              FeatherNozzleType_TwoPart,
                              1,
                              100,
                              ResSplitMode_None,
                              0};

    CMaskData_Base mask;
    const bool created = mask.Create(param);
    if (!created)
        ZEB_LOG_FAILURE();
    return created;
}

// Hook for dumping the geometry while developing; it writes nothing.
void CMaskData_Base::Log_Data() { }
