// Spectral analysis of tiles and profiles: the one Fourier transform of the project, behind the
// low-frequency figure of the threshold planes, the spectrum pictures of `rv_halftone planes` and
// the band-pass and periods of the banding figures.
#pragma once

#include <functional>
#include <vector>

namespace rv_analysis {

// Power |F(u, v)|^2 of the two-dimensional discrete Fourier transform of a tile of width x height
// real samples (row-major). Frequency (u, v), in cycles per tile across and down, is at index
// v x width + u; frequency 0 is at index 0, and u and v above half the size stand for the negative
// frequencies u - width and v - height, as the tile repeats. Any size; the samples must be finite.
std::vector<double> Spectrum_Power(const std::vector<double>& samples, int width, int height);

// The part of a real sequence whose frequencies lie between `low` and `high` cycles per sample
// (both ends kept; high may reach the Nyquist frequency 1/2), the other bins of its discrete
// Fourier transform set to zero: the sequence is taken as one period of a repeating one.
std::vector<double> Spectrum_BandPass(const std::vector<double>& samples, double low, double high);

// A real sequence with each frequency component scaled by `gain(frequency)`, frequency in cycles
// per sample from 0 to the Nyquist frequency 1/2 (the negative frequencies take the gain of their
// mirror, so the result stays real): the sequence is taken as one period of a repeating one.
std::vector<double> Spectrum_Filter(const std::vector<double>& samples,
                                    const std::function<double(double)>& gain);

// |sum of samples[n] x exp(-2 pi i frequency n)|^2: the power at any frequency (cycles per sample),
// not only at the bins of the transform, for locating a peak between them.
double Spectrum_PowerAt(const std::vector<double>& samples, double frequency);

}  // namespace rv_analysis
