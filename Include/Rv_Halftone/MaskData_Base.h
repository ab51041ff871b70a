// The pass mask: for every colour and every mask position, the rows of bytes that say which pixels
// each nozzle row fires in that pass.
#pragma once

#include <Rv_Halftone/CutTable.h>
#include <Rv_Halftone/FeatherProfile.h>
#include <Rv_Halftone/MaskBlock.h>
#include <Rv_Halftone/MaskParam.h>
#include <Rv_Halftone/Rv_Halftone_Export.h>

#include <memory>
#include <string>
#include <vector>

class CBaseMaskData;
namespace rv_halftone {
struct SRecordVerdict;
SRecordVerdict CheckRecord(const SMaskParam& param);  // internal to the library
struct SRenderJob;                                    // internal to the library
}  // namespace rv_halftone

// Built once by Create() from an SMaskParam, read-only afterwards (any number of threads may read
// it; MaskData_Get writes only the caller's counter). Units: "_NoneRes" quantities are base rows,
// the others include the Y resolution (rows) or the X resolution (pixels). Bytes of the mask:
// colours in index order; within a colour, mask positions in order; within a position,
// MaskHeight_IncludeRes() rows of MaskLineBytes_OneColor() bytes; pixels packed from the most
// significant bit down, BitsPerPixel() bits each, a fired pixel with all its bits set.
class RV_HALFTONE_API CMaskData_Base
{
public:
    CMaskData_Base();
    virtual ~CMaskData_Base();
    CMaskData_Base(const CMaskData_Base&) = delete;
    CMaskData_Base& operator=(const CMaskData_Base&) = delete;

    // Builds the whole mask; call once. False, with failure records innermost first, for a
    // record that cannot be served (then a record before Create's own failure record points to
    // rv_halftone_record_reason, which says why), or when memory runs out (a record "not enough
    // memory for ..." says for what: no exception leaves Create); the object is then only fit to
    // be destroyed.
    bool Create(const SMaskParam& param);

    int BitsPerPixel() const;
    int MaskHeight_IncludeRes() const;
    int MaskWidth() const;
    int StepHeight_IncludeRes() const;
    int RealStepHeight_IncludeRes() const;
    const int* XResStep() const;  // XResPass() row offsets of the X resolution passes
    const int* YResStep() const;  // YResPass() row offsets of the Y resolution passes
    int MaskLineBytes_OneColor() const;
    int MaskBytes_OneColor() const;
    int MaskBytes_OnePosition() const;
    const SMaskParam& MaskParam_Input() const;    // the record as passed to Create
    const SMaskParam& MaskParam_Current() const;  // after the split and the profile's switch
    int LeadBlankHeight_IncludeRes() const;
    int XResPass() const;
    int YResPass() const;
    int BasePass() const;
    int MaskPositionCount() const;
    int ThresholdHeight() const;  // tile height chosen for the mask positions
    // The working profile Create decided: the feather family, and for the two-part family the
    // split of each step's rows (zero otherwise).
    EFeatherFamily FeatherFamily() const { return m_featherFamily; }
    const STwoPartSplit& TwoPartSplit() const { return m_twoPartSplit; }

    // The rows of one colour at the next mask position; see halfton_mask_data.
    const unsigned char* MaskData_Get(int colorIndex, int& positionCounter) const;

    // Divisors that the resolution split applied to xResPass and yResPass.
    int SplitCount_XRes() const;
    int SplitCount_YRes() const;
    // Step of a feathered head: (nozzleCount - t) / passCount with t = 0.75 x nozzleCount x
    // featherPercent / 100 in single precision; 0 for passCount below 1 or a percent outside
    // 0 to 100.
    static int StepHeadNozzle_Get(int nozzleCount, int passCount, float featherPercent);

    // Cut-table builders that need no mask; each fills `table` and returns true. They and the
    // private cut-table members below hand their work to the library's cut-table module.
    // passCount groups of rowsPerPass rows, group i printing the i-th passCount-th of the scale.
    static bool CreateCutTable_FeatherNone_ColorOneTimes(SCutTable* table, int rows,
                                                         int rowsPerPass, int passCount);
    // Linear ramp over `rows` rows with steps of rowsPerStep; every paper line gets the levels
    // below levelPercent % of the scale exactly once.
    static bool CreateCutTable_Smooth_3_ColorOneTimes_Style_1(SCutTable* table, int rows,
                                                              int rowsPerStep, int levelPercent);
    // Exact single cover when rows is not a multiple of rowsPerStep.
    static bool CreateCutTable_Smooth_3_ColorOneTimes_Style_2(SCutTable* table, int rows,
                                                              int rowsPerStep);

    // Usage examples: the two Smooth_3 single-cover builders on a fixed size, and one mask
    // built with fixed parameters.
    static bool Usage_Test();
    static bool Usage();

protected:
    virtual bool InitNoneRes_FeatherNone();
    virtual bool InitNoneRes_FeatherNozzle_Smooth_3();
    virtual bool InitResParam();

private:
    friend class CMaskData_Base_Peer;  // test-only access
    // rv_halftone_record_reason's check runs Check.
    friend rv_halftone::SRecordVerdict rv_halftone::CheckRecord(const SMaskParam& param);

    // How far a build goes: every check of the record, or on to the mask's bytes.
    enum class EBuildEnd
    {
        Checked,
        Rendered,
    };
    enum class EBuildResult
    {
        Done,
        Refused,      // a rule of the record is broken; the refusing step stated which
        NotRendered,  // the record is fine, but memory, threads or time ran out
    };
    EBuildResult Build(const SMaskParam& param, EBuildEnd end);
    // Create's steps up to rendering, and rendering's own check: nothing is allocated for the
    // mask's bytes, no thread starts, no record is written.
    bool Check(const SMaskParam& param);
    // What the build had asked for when memory ran out, in words.
    std::string MemoryAskedFor() const;

    bool RangeTest() const;
    void SplitResolution();
    bool InitNoneRes();
    bool InitNoneRes_FeatherNozzle();
    bool InitNoneRes_FeatherNozzle_Smooth_2();
    bool InitMaskSize();
    bool InitMaskSize_Normal();
    bool InitMaskSize_LessMaskPositon();
    void InitMaskSize_Apply(int thresholdHeight, long long lcm);
    bool MaskBytes_Fit() const;

    bool CreateCutTable(SCutTable* table, int rows);
    // Whether CreateCutTable accepts this mask's profile for its rows, with a failure record (and
    // the reason stated) when not; no table is built.
    bool CutTable_Accepted() const;
    bool CreateCutTable_FeatherNone(SCutTable* table, int rows);
    bool CreateCutTable_FeatherNone_ColorOneTimes(SCutTable* table, int rows);
    bool CreateCutTable_FeatherNone_ColorMultipleTimes(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_2(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_2_Pass(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_2_Pass_ColorOneTimes(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_2_Pass_ColorMultipleTimes(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_2_Feather(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_3(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_3_ColorOneTimes(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_3_ColorMultipleTimes_Style_1(SCutTable* table, int rows);
    bool CreateCutTable_Smooth_3_ColorMultipleTimes_Style_2(SCutTable* table, int rows);

    // Rendering: a check that allocates nothing (the layers, the output and the generator's
    // sizes fit, the cut table's builders accept the profile), then the run.
    bool Render_Check();
    bool CreateMaskData();
    // The same with another number of workers: the bytes must not depend on it.
    bool CreateMaskData_Workers(int workerCount);
    bool CreateMaskData_Old();
    bool MaskBlock_Size();
    bool Render_Prepare(CBaseMaskData& thresholds, std::vector<SCutTable>& cutTable);
    // The generator's job for this mask (its sizes alone are read while thresholds is null).
    rv_halftone::SRenderJob RenderJob_Of(const CBaseMaskData* thresholds,
                                         const SCutTable* cutTable);
    void Log_Data();

    // Aligned although the record is packed, so that its int fields are aligned too: a host (or
    // test) binding a reference to a field of MaskParam_Current() gets a valid int.
    alignas(4) SMaskParam m_maskParam_Input;
    alignas(4) SMaskParam m_maskParam_Current;
    int m_maskLineBytes;
    int m_leadBlankHeight;
    int m_leadBlankHeight_NoneRes;
    int m_maskPositionCount;
    std::unique_ptr<int[]> m_xResStep;
    std::unique_ptr<int[]> m_yResStep;
    CMaskBlock m_maskBlock;
    int m_maskHeight;
    int m_maskHeight_NoneRes;
    int m_maskWidth;
    int m_stepHeight_NoneRes;
    int m_stepHeight;
    int m_realStepHeight;
    int m_thresholdHeight;
    int m_thresholdWidth;
    // The working profile, decided once by the profile step of Create; every later step (cut
    // table, rendering) reads it.
    EFeatherFamily m_featherFamily;
    STwoPartSplit m_twoPartSplit;
};
