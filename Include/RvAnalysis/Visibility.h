// Visibility: what an observer sees of a print's profile along the feed. Coverage is turned into
// reflectance by a tone model, reflectance into CIE L*, and the profile of L* is weighted by the
// eye's contrast sensitivity at a viewing distance, so that a band is counted by how visible it is
// rather than by how much ink it moves.
//
// Tone. Yule-Nielsen's form of the Murray-Davies equation: R^(1/n) = a R_ink^(1/n) +
// (1 - a) R_paper^(1/n), a the inked share of the paper; n = 1 is Murray-Davies itself. Reflectances
// are relative to the bare paper (R_paper = 1), so the paper is L* 100 and every figure is media
// relative. L* = 116 f(Y) - 16, f(t) = t^(1/3) above (6/29)^3 and t / (3 (6/29)^2) + 4/29 below.
//
// Eye. Mannos and Sakrison's (1974) contrast sensitivity, A(f) = 2.6 (0.0192 + 0.114 f)
// exp(-(0.114 f)^1.1), f in cycles per degree, divided by its peak (near 8 cycles per degree) so
// that the most visible frequency counts fully. A period of p mm seen from D mm is
// f = D pi / (180 p) cycles per degree.
#pragma once

#include <string>
#include <vector>

namespace rv_analysis {

struct SToneModel
{
    double inkReflectance = 0.05;  // of a solid of the ink, relative to the paper (L* about 27)
    double yuleNielsenN = 2.0;     // 1 is Murray-Davies; coated papers lie about 1.5 to 2.5
};

// Why the tone model cannot be used, with the value and the rule; empty when it can.
std::string Tone_Refusal(const SToneModel& tone);

// CIE L* of a coverage from 0 (paper, L* 100) to 1 (a solid); the model must pass Tone_Refusal.
double Tone_Lightness(const SToneModel& tone, double coverage);

// CIE L* of a luminance factor relative to the paper, 0 to 1.
double Lightness_FromLuminance(double luminance);

constexpr double kDefaultViewingMm = 300.0;  // a print read at arm's length

// The eye's contrast sensitivity at a frequency in cycles per degree, 1 at its peak.
double ContrastSensitivity(double cyclesPerDegree);

// Cycles per degree of a period of `periodMm` seen from `viewingMm`.
double CyclesPerDegree(double periodMm, double viewingMm);

struct SVisibleBand
{
    double weightedRms = 0.0;          // delta L*, after the eye's weighting
    double strongestPeriodMm = 0.0;    // of the most visible component; 0 when there is none
    double strongestAmplitude = 0.0;   // its weighted amplitude, delta L*
};

// Why a profile of lines `lineMm` apart seen from `viewingMm` cannot be weighted; empty when it can.
std::string Visibility_Refusal(double lineMm, double viewingMm);

// Weighs a profile of delta L* (one value per paper line, the lines `lineMm` apart, one period of a
// repeating print) by the eye's sensitivity and reports what remains. The profile's mean is a tone
// shift, not a band: it does not count. A constant profile gives zero.
SVisibleBand Visibility_Weigh(const std::vector<double>& deltaLightness, double lineMm,
                              double viewingMm);

// The weighted RMS of the components of `weighted` (a profile already weighted by the eye, one
// period of a repeating print) at the harmonics of `periodLines`: how much of the band is locked to
// a period such as the paper advance or the threshold tile. The profile's length should hold whole
// periods; components within half a bin of a harmonic count.
double Visibility_LockedRms(const std::vector<double>& weighted, double periodLines);

// The profile weighted by the eye (delta L* per line, its mean removed).
std::vector<double> Visibility_Weighted(const std::vector<double>& deltaLightness, double lineMm,
                                        double viewingMm);

}  // namespace rv_analysis
