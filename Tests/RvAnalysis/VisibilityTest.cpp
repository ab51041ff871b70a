// What the eye is taken to see of a profile along the feed: the tone model and the weighting, on
// profiles whose figures were worked out by hand from the published formulas.

#include <RvAnalysis/Visibility.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace rv_analysis;

constexpr double kPi = 3.14159265358979323846;
constexpr double kLineMm = 0.05;  // 508 lines per inch
constexpr int kLines = 4000;      // 200 mm of paper

std::vector<double> Sine(double amplitude, double periodMm, double offset = 0.0)
{
    std::vector<double> profile(kLines);
    for (int line = 0; line < kLines; ++line)
        profile[line] = offset + amplitude * std::sin(2.0 * kPi * line * kLineMm / periodMm);
    return profile;
}

// Mannos-Sakrison at 300 mm, peak 0.98088 at 8.0 cycles per degree. A period of p mm is
// 300 pi / (180 p) cycles per degree: 10 mm is 0.5236, where A = 2.6 (0.0192 + 0.05969)
// exp(-0.05969^1.1) = 0.19608, 0.19991 of the peak; 2 mm is 2.618 (0.64633 of the peak); 0.5 mm
// is 10.47 (0.95388). A sine of amplitude a keeps amplitude a x CSF and RMS a x CSF / sqrt 2.
struct SSineCase
{
    double amplitude, periodMm, offset, sensitivity;
};

TEST(VisibilityTest, SineBandIsWeightedByTheEyesSensitivityAtItsFrequency)
{
    const SSineCase cases[] = {
        {1.0, 10.0, 0.0, 0.199906},
        {1.0, 2.0, 0.0, 0.646331},
        {0.2, 0.5, 3.0, 0.953876},  // a tone shift of 3 delta L* is no band
    };
    for (const SSineCase& c : cases) {
        const SVisibleBand band =
            Visibility_Weigh(Sine(c.amplitude, c.periodMm, c.offset), kLineMm, kDefaultViewingMm);
        EXPECT_NEAR(band.weightedRms, c.amplitude * c.sensitivity / std::sqrt(2.0), 1e-5)
            << c.periodMm << " mm";
        EXPECT_NEAR(band.strongestAmplitude, c.amplitude * c.sensitivity, 1e-5) << c.periodMm;
        EXPECT_NEAR(band.strongestPeriodMm, c.periodMm, 1e-9) << c.periodMm;
    }
}

TEST(VisibilityTest, ConstantProfileHasNoBand)
{
    const SVisibleBand band =
        Visibility_Weigh(std::vector<double>(kLines, 2.5), kLineMm, kDefaultViewingMm);
    EXPECT_NEAR(band.weightedRms, 0.0, 1e-12);
    EXPECT_NEAR(band.strongestAmplitude, 0.0, 1e-12);
}

TEST(VisibilityTest, LockedComponentsAreThoseAtTheHarmonicsOfThePeriod)
{
    // Bands of amplitude 1 at 80 lines (4 mm) and its second harmonic, and one at 4000 / 49 =
    // 81.6 lines, the neighbouring bin of the profile: only the first two are locked to an 80-line
    // step, RMS sqrt(2 x 0.5) = 1.
    std::vector<double> profile(kLines);
    for (int line = 0; line < kLines; ++line)
        profile[line] = std::sin(2 * kPi * line / 80.0) + std::sin(2 * kPi * line / 40.0) +
                        std::sin(2 * kPi * line * 49.0 / kLines);
    EXPECT_NEAR(Visibility_LockedRms(profile, 80.0), 1.0, 1e-9);
    EXPECT_NEAR(Visibility_LockedRms(profile, kLines / 49.0), std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(Visibility_LockedRms(profile, 3.0), 0.0, 1e-9);
}

TEST(VisibilityTest, ToneModelGivesLightnessOfPaperSolidAndTint)
{
    // Ink at 5 % of the paper's reflectance. Solid: 116 x 0.05^(1/3) - 16 = 26.735.
    // Half covered, Murray-Davies: R = 0.525, L* = 116 x 0.80676 - 16 = 77.579. Yule-Nielsen
    // n = 2: R = (0.5 x 0.22361 + 0.5)^2 = 0.37430, L* = 67.599 (dot gain darkens the tint).
    struct
    {
        double n, coverage, lightness;
    } cases[] = {{2.0, 0.0, 100.0}, {2.0, 1.0, 26.7348}, {1.0, 0.5, 77.5789}, {2.0, 0.5, 67.5986}};
    for (const auto& c : cases)
        EXPECT_NEAR(Tone_Lightness({0.05, c.n}, c.coverage), c.lightness, 1e-4)
            << "n " << c.n << ", coverage " << c.coverage;
    // Below (6/29)^3 the curve is linear: 0.001 -> 903.3 x 0.001 = 0.9033.
    EXPECT_NEAR(Lightness_FromLuminance(0.001), 0.903296, 1e-6);
}

TEST(VisibilityTest, RefusesModelsAndViewsOutsideTheirRange)
{
    EXPECT_EQ(Tone_Refusal({}), "");
    EXPECT_NE(Tone_Refusal({1.0, 2.0}), "");
    EXPECT_NE(Tone_Refusal({0.05, 0.9}), "");
    EXPECT_NE(Tone_Refusal({std::nan(""), 2.0}), "");
    EXPECT_EQ(Visibility_Refusal(kLineMm, kDefaultViewingMm), "");
    EXPECT_NE(Visibility_Refusal(0.0, kDefaultViewingMm), "");
    EXPECT_NE(Visibility_Refusal(kLineMm, 10.0), "");
}

}  // namespace
