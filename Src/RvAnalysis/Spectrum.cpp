#include <RvAnalysis/Spectrum.h>

#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace rv_analysis {

namespace {

using Complex = std::complex<double>;
using Fourier = kissfft<double>;

constexpr double kPi = 3.14159265358979323846;

// The transforms of the rows at frequencies 0 to width / 2: the samples are real, so the others
// are the complex conjugates of these. Row y starts at index y x (width / 2 + 1).
std::vector<Complex> Rows_Transform(const std::vector<double>& samples, int width, int height)
{
    const int half = width / 2 + 1;
    std::vector<Complex> rows(static_cast<size_t>(height) * half);
    if (width % 2 == 0) {
        // Two real samples per complex one: a transform of half the length.
        const Fourier fourier(static_cast<size_t>(width / 2), false);
        std::vector<Complex> out(static_cast<size_t>(width / 2));
        for (int y = 0; y < height; ++y) {
            fourier.transform_real(&samples[static_cast<size_t>(y) * width], out.data());
            Complex* row = &rows[static_cast<size_t>(y) * half];
            std::copy(out.begin(), out.end(), row);
            row[0] = out[0].real();          // frequency 0 ...
            row[width / 2] = out[0].imag();  // ... and width / 2 share the first output
        }
    } else {
        const Fourier fourier(static_cast<size_t>(width), false);
        std::vector<Complex> in(static_cast<size_t>(width)), out(in.size());
        for (int y = 0; y < height; ++y) {
            std::copy_n(&samples[static_cast<size_t>(y) * width], width, in.begin());
            fourier.transform(in.data(), out.data());
            std::copy_n(out.begin(), half, &rows[static_cast<size_t>(y) * half]);
        }
    }
    return rows;
}

}  // namespace

std::vector<double> Spectrum_Power(const std::vector<double>& samples, int width, int height)
{
    const int half = width / 2 + 1;
    const std::vector<Complex> rows = Rows_Transform(samples, width, height);
    std::vector<double> power(static_cast<size_t>(width) * height);
    const Fourier fourier(static_cast<size_t>(height), false);
    std::vector<Complex> column(static_cast<size_t>(height));
    for (int u = 0; u < half; ++u) {
        fourier.transform(&rows[static_cast<size_t>(u)], column.data(), 0, 1,
                          static_cast<size_t>(half));
        for (int v = 0; v < height; ++v) {
            const double p = std::norm(column[static_cast<size_t>(v)]);
            power[static_cast<size_t>(v) * width + u] = p;
            // Real samples: frequency (-u, -v) has the power of (u, v).
            if (u > 0 && width - u >= half)
                power[static_cast<size_t>((height - v) % height) * width + (width - u)] = p;
        }
    }
    return power;
}

std::vector<double> Spectrum_Filter(const std::vector<double>& samples,
                                    const std::function<double(double)>& gain)
{
    const size_t n = samples.size();
    if (n == 0)
        return {};
    std::vector<Complex> bins(n);
    const Fourier forward(n, false);
    const std::vector<Complex> in(samples.begin(), samples.end());
    forward.transform(in.data(), bins.data());
    for (size_t k = 0; k < n; ++k) {
        // Bin k above n / 2 is the negative frequency k - n: it takes the gain of its mirror.
        const double frequency = static_cast<double>(std::min(k, n - k)) / static_cast<double>(n);
        bins[k] *= gain(frequency);
    }
    std::vector<Complex> out(n);
    const Fourier inverse(n, true);
    inverse.transform(bins.data(), out.data());
    std::vector<double> result(n);
    for (size_t i = 0; i < n; ++i)
        result[i] = out[i].real() / static_cast<double>(n);
    return result;
}

std::vector<double> Spectrum_BandPass(const std::vector<double>& samples, double low, double high)
{
    return Spectrum_Filter(samples, [low, high](double frequency) {
        return frequency < low || frequency > high ? 0.0 : 1.0;
    });
}

double Spectrum_PowerAt(const std::vector<double>& samples, double frequency)
{
    // One rotation per sample, renormalised now and then so that rounding cannot drift its length.
    const Complex turn = std::polar(1.0, -2.0 * kPi * frequency);
    Complex phase = 1.0, sum = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        sum += samples[i] * phase;
        phase *= turn;
        if (i % 256 == 255)
            phase /= std::abs(phase);
    }
    return std::norm(sum);
}

}  // namespace rv_analysis
