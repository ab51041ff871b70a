#include <RvAnalysis/Spectrum.h>
#include <RvAnalysis/Visibility.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace rv_analysis {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Mannos and Sakrison's sensitivity as published, before it is scaled to a peak of 1.
double MannosSakrison(double f)
{
    return 2.6 * (0.0192 + 0.114 * f) * std::exp(-std::pow(0.114 * f, 1.1));
}

// Its peak, found once: the function rises to a single maximum near 8 cycles per degree and
// falls after it, so a golden-section search on 1 to 30 converges to it.
double MannosSakrisonPeak()
{
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double low = 1.0, high = 30.0;
    while (high - low > 1e-9) {
        const double a = high - ratio * (high - low), b = low + ratio * (high - low);
        if (MannosSakrison(a) < MannosSakrison(b))
            low = a;
        else
            high = b;
    }
    return MannosSakrison((low + high) / 2.0);
}

std::vector<double> WithoutMean(const std::vector<double>& profile)
{
    const double mean = profile.empty()
                            ? 0.0
                            : std::accumulate(profile.begin(), profile.end(), 0.0) /
                                  static_cast<double>(profile.size());
    std::vector<double> deviation(profile.size());
    std::transform(profile.begin(), profile.end(), deviation.begin(),
                   [mean](double value) { return value - mean; });
    return deviation;
}

double Rms(const std::vector<double>& values)
{
    if (values.empty())
        return 0.0;
    const double squares = std::inner_product(values.begin(), values.end(), values.begin(), 0.0);
    return std::sqrt(squares / static_cast<double>(values.size()));
}

// Power |F_k|^2 of each bin of a real profile's discrete Fourier transform.
std::vector<double> Bins_Power(const std::vector<double>& profile)
{
    return Spectrum_Power(profile, static_cast<int>(profile.size()), 1);
}

}  // namespace

std::string Tone_Refusal(const SToneModel& tone)
{
    std::ostringstream reason;
    if (!(tone.inkReflectance >= 0.0 && tone.inkReflectance < 1.0))
        reason << "ink reflectance " << tone.inkReflectance
               << " must be from 0 to below 1 (the paper's)";
    else if (!(tone.yuleNielsenN >= 1.0 && tone.yuleNielsenN <= 10.0))
        reason << "Yule-Nielsen n " << tone.yuleNielsenN << " must be from 1 to 10";
    return reason.str();
}

double Lightness_FromLuminance(double luminance)
{
    constexpr double delta = 6.0 / 29.0;
    const double f = luminance > delta * delta * delta ? std::cbrt(luminance)
                                                       : luminance / (3.0 * delta * delta) + 4.0 / 29.0;
    return 116.0 * f - 16.0;
}

double Tone_Lightness(const SToneModel& tone, double coverage)
{
    const double a = std::clamp(coverage, 0.0, 1.0);
    const double n = tone.yuleNielsenN;
    const double root = a * std::pow(tone.inkReflectance, 1.0 / n) + (1.0 - a);
    return Lightness_FromLuminance(std::pow(root, n));
}

double ContrastSensitivity(double cyclesPerDegree)
{
    static const double peak = MannosSakrisonPeak();
    return cyclesPerDegree <= 0.0 ? 0.0 : MannosSakrison(cyclesPerDegree) / peak;
}

double CyclesPerDegree(double periodMm, double viewingMm)
{
    return viewingMm * kPi / (180.0 * periodMm);
}

std::string Visibility_Refusal(double lineMm, double viewingMm)
{
    std::ostringstream reason;
    if (!(lineMm > 0.0 && lineMm <= 10.0))
        reason << "line pitch " << lineMm << " mm must be above 0 and at most 10 mm";
    else if (!(viewingMm >= 50.0 && viewingMm <= 10000.0))
        reason << "viewing distance " << viewingMm << " mm must be from 50 to 10000 mm";
    return reason.str();
}

std::vector<double> Visibility_Weighted(const std::vector<double>& deltaLightness, double lineMm,
                                        double viewingMm)
{
    // A component of f cycles per line has a period of lineMm / f mm; the mean (f = 0) is no band.
    return Spectrum_Filter(WithoutMean(deltaLightness), [lineMm, viewingMm](double f) {
        return f > 0.0 ? ContrastSensitivity(CyclesPerDegree(lineMm / f, viewingMm)) : 0.0;
    });
}

SVisibleBand Visibility_Weigh(const std::vector<double>& deltaLightness, double lineMm,
                              double viewingMm)
{
    SVisibleBand band;
    const std::vector<double> weighted = Visibility_Weighted(deltaLightness, lineMm, viewingMm);
    band.weightedRms = Rms(weighted);
    const size_t n = weighted.size();
    const std::vector<double> power = Bins_Power(weighted);
    for (size_t k = 1; k <= n / 2; ++k) {
        // A real component of amplitude A puts (A n / 2)^2 into bin k and as much into its mirror
        // n - k; at n / 2 the two are one bin.
        const double scale = 2 * k == n ? 1.0 : 2.0;
        const double amplitude = scale * std::sqrt(power[k]) / static_cast<double>(n);
        if (amplitude > band.strongestAmplitude) {
            band.strongestAmplitude = amplitude;
            band.strongestPeriodMm = lineMm * static_cast<double>(n) / static_cast<double>(k);
        }
    }
    return band;
}

double Visibility_LockedRms(const std::vector<double>& weighted, double periodLines)
{
    const size_t n = weighted.size();
    if (n == 0 || !(periodLines > 0.0))
        return 0.0;
    const std::vector<double> power = Bins_Power(weighted);
    // Bin k holds k cycles per profile: it is harmonic m of the period when k = m n / period.
    const double binsPerHarmonic = static_cast<double>(n) / periodLines;
    double squares = 0.0;
    for (size_t k = 1; k < n; ++k) {
        const double harmonic = static_cast<double>(std::min(k, n - k)) / binsPerHarmonic;
        const double nearest = std::round(harmonic);
        if (nearest >= 1.0 && std::abs(harmonic - nearest) * binsPerHarmonic <= 0.5)
            squares += power[k];
    }
    // Parseval: the mean square of the profile is the bins' power over n^2.
    return std::sqrt(squares) / static_cast<double>(n);
}

}  // namespace rv_analysis
