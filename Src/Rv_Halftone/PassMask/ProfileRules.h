// Internal to the library: the step arithmetic of each feather family, and the refusals of the
// profile step in words. The profile step of Create and the limits its refusals suggest both use
// these functions, so a suggested value is one that Create accepts.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <string>

class CMaskData_Base;

namespace rv_halftone {

// At featherPercent 100 this share of the head's nozzle rows feathers; the rest always print
// plainly.
constexpr float kFeatheredShareAtFull = 0.75f;
// The head's feathered rows at featherPercent (any finite value), as every feathered profile and
// CMaskData_Base::StepHeadNozzle_Get count them.
float FeatheredRows(int nozzleCount, float featherPercent);

// Base rows of the paper step of each family for a (split) record; below 1 when there is none.
long long UnfeatheredStep(const SMaskParam& p);
struct STwoPartRows
{
    long long step;
    long long feather;  // e: rows of each step under one pass more
};
STwoPartRows TwoPartRows(const SMaskParam& p);
long long ThreePartStep(const SMaskParam& p);

// Why the profile of `mask`'s working record (MaskParam_Current) is refused.
std::string Reason_UnfeatheredStep(const CMaskData_Base& mask);
std::string Reason_TwoPartStep(const CMaskData_Base& mask);
std::string Reason_TwoPartFeatherAboveStep(const CMaskData_Base& mask);
std::string Reason_TwoPartNoFeatherRow(const CMaskData_Base& mask);
std::string Reason_ThreePartStep(const CMaskData_Base& mask);

}  // namespace rv_halftone
