// Spectral analysis of tiles: the one Fourier transform of the project, behind the low-frequency
// figure of the threshold planes and the spectrum pictures of `rv_halftone planes`.
#pragma once

#include <vector>

namespace rv_analysis {

// Power |F(u, v)|^2 of the two-dimensional discrete Fourier transform of a tile of width x height
// real samples (row-major). Frequency (u, v), in cycles per tile across and down, is at index
// v x width + u; frequency 0 is at index 0, and u and v above half the size stand for the negative
// frequencies u - width and v - height, as the tile repeats. Any size; the samples must be finite.
std::vector<double> Spectrum_Power(const std::vector<double>& samples, int width, int height);

}  // namespace rv_analysis
