#include <RvAnalysis/Spectrum.h>

#include <cmath>
#include <complex>

namespace rv_analysis {

namespace {

using Complex = std::complex<double>;

// Discrete Fourier transform of a fixed length n: out[k] = sum over j of in[j] exp(-2 pi i j k / n).
class CFourier
{
public:
    explicit CFourier(int n) : m_n(n), m_twiddle(static_cast<size_t>(n))
    {
        const double pi = std::acos(-1.0);
        for (int k = 0; k < n; ++k)
            m_twiddle[k] = std::polar(1.0, -2.0 * pi * k / n);
    }

    // n samples of `in`, `stride` apart, into out[0..n).
    void Transform(const Complex* in, int stride, Complex* out) const { Step(in, stride, out, m_n); }

private:
    // Cooley-Tukey while the length is even; the odd rest directly. A length n divides m_n, so
    // exp(-2 pi i k / n) is twiddle k x (m_n / n).
    void Step(const Complex* in, int stride, Complex* out, int n) const
    {
        const int scale = m_n / n;
        if (n % 2 == 1) {
            for (int k = 0; k < n; ++k) {
                Complex sum = 0.0;
                for (int j = 0; j < n; ++j)
                    sum += in[j * stride] * m_twiddle[(j * k % n) * scale];
                out[k] = sum;
            }
            return;
        }
        const int half = n / 2;
        Step(in, 2 * stride, out, half);
        Step(in + stride, 2 * stride, out + half, half);
        for (int k = 0; k < half; ++k) {
            const Complex even = out[k];
            const Complex odd = out[k + half] * m_twiddle[k * scale];
            out[k] = even + odd;
            out[k + half] = even - odd;
        }
    }

    int m_n;
    std::vector<Complex> m_twiddle;
};

}  // namespace

std::vector<double> Spectrum_Power(const std::vector<double>& samples, int width, int height)
{
    const size_t cells = static_cast<size_t>(width) * height;
    const std::vector<Complex> input(samples.begin(), samples.begin() + static_cast<long>(cells));
    std::vector<Complex> rows(cells);
    const CFourier across(width);
    for (int y = 0; y < height; ++y)
        across.Transform(&input[static_cast<size_t>(y) * width], 1, &rows[static_cast<size_t>(y) * width]);

    std::vector<double> power(cells);
    std::vector<Complex> column(static_cast<size_t>(height));
    const CFourier down(height);
    for (int u = 0; u < width; ++u) {
        down.Transform(&rows[u], width, column.data());
        for (int v = 0; v < height; ++v)
            power[static_cast<size_t>(v) * width + u] = std::norm(column[v]);
    }
    return power;
}

}  // namespace rv_analysis
