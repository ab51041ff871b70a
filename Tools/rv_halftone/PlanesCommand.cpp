// rv_halftone planes: the quality figures of the library's sixteen stored threshold planes, read
// through CRawMaskData as every renderer reads them, and optionally pictures of them.
#include "Commands.h"
#include "PlaneQuality.h"
#include "PngWriter.h"

#include <Rv_Halftone/RawMaskData.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using PlaneQuality::kCells;
using PlaneQuality::kPlaneCount;
using PlaneQuality::kSize;
using Complex = std::complex<double>;

using PlaneQuality::kClosePairsBelow;
using PlaneQuality::kLowFrequencyMax;
using PlaneQuality::kNeighbourFloor;
using PlaneQuality::kRowMax;
using PlaneQuality::kRowMin;
const char* const kCutNames[3] = {"1of16", "1of4", "1of2"};

struct PlanesOptions
{
    std::vector<int> planes;  // empty: all sixteen
    std::string outDir;
    int scale = 1;
    bool json = false;
};

struct SPlaneReport
{
    int plane = 0;
    PlaneQuality::SPlaneFigures figures;
    bool derived = false;  // equal to the plane the derivation rules make from planes 1 and 2
    std::vector<std::string> misses;
};

bool IsBasePlane(int plane)
{
    return plane % 4 == 1 || plane % 4 == 2;
}

const uint16_t* StoredPlane(int plane)
{
    return CRawMaskData::RawData(plane);
}

SPlaneReport Plane_Measure(int plane, const std::vector<uint16_t>& derivedPlanes)
{
    SPlaneReport report;
    report.plane = plane;
    report.figures = PlaneQuality::Figures_Measure(StoredPlane(plane));
    report.derived = std::equal(StoredPlane(plane), StoredPlane(plane) + kCells,
                                derivedPlanes.begin() + static_cast<long>(plane) * kCells);

    const PlaneQuality::SPlaneFigures& f = report.figures;
    if (!(IsBasePlane(plane) ? f.histogramBase : f.histogramComplement))
        report.misses.push_back("histogram");
    if (!report.derived)
        report.misses.push_back("derivation");
    if (f.neighbourMin < kNeighbourFloor[plane % 4])
        report.misses.push_back("neighbour minimum");
    if (f.closePairs >= kClosePairsBelow)
        report.misses.push_back("close pairs");
    if (plane % 4 == 0 && (f.rowsBelow.min < kRowMin || f.rowsBelow.max > kRowMax))
        report.misses.push_back("row balance");
    for (double ratio : f.lowFrequency)
        if (ratio > kLowFrequencyMax) {
            report.misses.push_back("low-frequency energy");
            break;
        }
    return report;
}

const char* HistogramName(const SPlaneReport& report)
{
    const bool base = IsBasePlane(report.plane);
    const bool ok = base ? report.figures.histogramBase : report.figures.histogramComplement;
    return ok ? (base ? "base" : "complement") : "WRONG";
}

nlohmann::json Report_ToJson(const SPlaneReport& report)
{
    const PlaneQuality::SPlaneFigures& f = report.figures;
    return {
        {"plane", report.plane},
        {"histogram", HistogramName(report)},
        {"derived", report.derived},
        {"neighbourMin", f.neighbourMin},
        {"neighbourFloor", kNeighbourFloor[report.plane % 4]},
        {"closePairs", f.closePairs},
        {"rowsBelow", {{"min", f.rowsBelow.min}, {"max", f.rowsBelow.max}}},
        {"lowFrequency", {{"1/16", f.lowFrequency[0]}, {"1/4", f.lowFrequency[1]}, {"1/2", f.lowFrequency[2]}}},
        {"misses", report.misses},
        {"ok", report.misses.empty()},
    };
}

void Table_Print(const std::vector<SPlaneReport>& reports)
{
    std::printf("plane  histogram   derived  nbr-min  close<4096  row<32768  low-freq 1/16    1/4    1/2\n");
    for (const SPlaneReport& r : reports) {
        const PlaneQuality::SPlaneFigures& f = r.figures;
        std::printf("%5d  %-10s  %-7s  %7d  %10d   %3d..%3d          %6.3f  %6.3f  %6.3f", r.plane,
                    HistogramName(r), r.derived ? "yes" : "NO", f.neighbourMin, f.closePairs,
                    f.rowsBelow.min, f.rowsBelow.max, f.lowFrequency[0], f.lowFrequency[1],
                    f.lowFrequency[2]);
        std::string misses;
        for (const std::string& miss : r.misses)
            misses += (misses.empty() ? "  misses: " : ", ") + miss;
        std::printf("%s\n", misses.c_str());
    }
    std::printf("floors: histogram base (planes 1, 2 mod 4) or complement, derived from planes 1 and 2,\n"
                "        nbr-min >= %d (planes 0, 1 mod 4) or >= %d (planes 2, 3 mod 4), close < %d,\n"
                "        rows %d..%d (planes 0 mod 4), low-freq <= %.2f (white noise = 1)\n",
                kNeighbourFloor[0], kNeighbourFloor[2], kClosePairsBelow, kRowMin, kRowMax,
                kLowFrequencyMax);
}

// --- pictures ---------------------------------------------------------------------------------

std::string PicturePath(const std::string& dir, int plane, const std::string& suffix)
{
    char name[32];
    std::snprintf(name, sizeof name, "plane_%02d%s.png", plane, suffix.c_str());
    return (std::filesystem::path(dir) / name).string();
}

// The levels as grey, the high byte of each: the cells that fire first are the dark ones.
void Picture_Levels(const std::string& path, const uint16_t* plane, const PngOptions& options)
{
    std::vector<uint8_t> grey(kCells);
    for (int i = 0; i < kCells; ++i)
        grey[i] = static_cast<uint8_t>(plane[i] >> 8);
    WritePngGrey8(path, grey.data(), kSize, kSize, kSize, options);
}

// The cells a cut range [0, cut) selects, packed one bit per cell as a mask row is, printed black.
void Picture_Cut(const std::string& path, const uint16_t* plane, double fraction, PngOptions options)
{
    const double cut = fraction * 65535.0;  // the same cut as the low-frequency figure
    constexpr int kRowBytes = kSize / 8;
    std::vector<uint8_t> bits(static_cast<size_t>(kRowBytes) * kSize, 0);
    for (int i = 0; i < kCells; ++i)
        if (plane[i] < cut)
            bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | 0x80 >> (i % 8));
    options.invert = true;
    WritePngGreyPacked(path, bits.data(), kSize, kSize, kRowBytes, 1, options);
}

// Discrete Fourier transform of n samples `stride` apart into out[0..n). 544 = 2^5 x 17: halve
// while n is even (Cooley-Tukey), transform the odd rest directly. `twiddle` holds
// exp(-2 pi i k / 544) for k = 0..543.
void Fft(const Complex* in, int stride, Complex* out, int n, const std::vector<Complex>& twiddle)
{
    const int step = kSize / n;
    if (n % 2 == 1) {
        for (int k = 0; k < n; ++k) {
            Complex sum = 0.0;
            for (int j = 0; j < n; ++j)
                sum += in[j * stride] * twiddle[(j * k % n) * step];
            out[k] = sum;
        }
        return;
    }
    const int half = n / 2;
    Fft(in, 2 * stride, out, half, twiddle);
    Fft(in + stride, 2 * stride, out + half, half, twiddle);
    for (int k = 0; k < half; ++k) {
        const Complex even = out[k];
        const Complex odd = out[k + half] * twiddle[k * step];
        out[k] = even + odd;
        out[k + half] = even - odd;
    }
}

// Power of every frequency of the levels (mean removed), rows then columns transformed.
std::vector<double> Spectrum_Power(const uint16_t* plane)
{
    std::vector<Complex> twiddle(kSize);
    const double pi = std::acos(-1.0);
    for (int k = 0; k < kSize; ++k)
        twiddle[k] = std::polar(1.0, -2.0 * pi * k / kSize);

    double mean = 0.0;
    for (int i = 0; i < kCells; ++i)
        mean += plane[i];
    mean /= kCells;
    std::vector<Complex> samples(kCells), rows(kCells), columns(kCells);
    for (int i = 0; i < kCells; ++i)
        samples[i] = plane[i] - mean;
    for (int y = 0; y < kSize; ++y)
        Fft(&samples[y * kSize], 1, &rows[y * kSize], kSize, twiddle);
    // Column x lands in row x of `columns`: frequency (u, v) is columns[u * kSize + v].
    for (int x = 0; x < kSize; ++x)
        Fft(&rows[x], kSize, &columns[x * kSize], kSize, twiddle);

    std::vector<double> power(kCells);
    for (int u = 0; u < kSize; ++u)
        for (int v = 0; v < kSize; ++v)
            power[v * kSize + u] = std::norm(columns[u * kSize + v]);
    return power;
}

// Log power as grey, frequency 0 in the centre: a blue-noise plane shows a dark disc around the
// centre (no low frequencies) in a bright surround.
void Picture_Spectrum(const std::string& path, const uint16_t* plane, const PngOptions& options)
{
    const std::vector<double> power = Spectrum_Power(plane);
    double mean = 0.0;
    for (double p : power)
        mean += p;
    mean = std::max(mean / kCells, 1e-30);
    std::vector<double> shown(kCells);
    double top = 0.0;
    for (int i = 0; i < kCells; ++i) {
        shown[i] = std::log1p(power[i] / mean);
        top = std::max(top, shown[i]);
    }
    const int half = kSize / 2;
    std::vector<uint8_t> grey(kCells);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const int source = ((y + half) % kSize) * kSize + (x + half) % kSize;
            const double value = top > 0.0 ? 255.0 * shown[source] / top : 0.0;
            grey[y * kSize + x] = static_cast<uint8_t>(std::lround(value));
        }
    WritePngGrey8(path, grey.data(), kSize, kSize, kSize, options);
}

// Writes the five pictures of each plane; returns how many files it wrote.
int Pictures_Write(const PlanesOptions& options, const std::vector<int>& planes)
{
    std::filesystem::create_directories(options.outDir);
    PngOptions png;
    png.scale = options.scale;
    int written = 0;
    for (int plane : planes) {
        const uint16_t* levels = StoredPlane(plane);
        Picture_Levels(PicturePath(options.outDir, plane, ""), levels, png);
        for (int c = 0; c < 3; ++c)
            Picture_Cut(PicturePath(options.outDir, plane, std::string("_cut_") + kCutNames[c]), levels,
                        PlaneQuality::kCutFractions[c], png);
        Picture_Spectrum(PicturePath(options.outDir, plane, "_spectrum"), levels, png);
        written += 5;
    }
    return written;
}

int RunPlanes(const PlanesOptions& options)
{
    std::vector<int> planes = options.planes;
    if (planes.empty())
        for (int p = 0; p < kPlaneCount; ++p)
            planes.push_back(p);
    std::sort(planes.begin(), planes.end());
    planes.erase(std::unique(planes.begin(), planes.end()), planes.end());

    const std::vector<uint16_t> derivedPlanes = PlaneQuality::Planes_Derive(StoredPlane(1), StoredPlane(2));
    std::vector<SPlaneReport> reports;
    bool ok = true;
    for (int plane : planes) {
        reports.push_back(Plane_Measure(plane, derivedPlanes));
        ok = ok && reports.back().misses.empty();
    }

    int written = 0;
    if (!options.outDir.empty()) {
        try {
            written = Pictures_Write(options, planes);
        } catch (const std::exception& error) {  // PngError or a filesystem error
            std::cerr << "rv_halftone planes: " << error.what() << "\n";
            return 2;
        }
    }

    if (options.json) {
        nlohmann::json out = {{"planes", nlohmann::json::array()}, {"ok", ok}};
        for (const SPlaneReport& report : reports)
            out["planes"].push_back(Report_ToJson(report));
        if (!options.outDir.empty())
            out["pictures"] = {{"dir", options.outDir}, {"files", written}};
        std::cout << out.dump(2) << "\n";
    } else {
        Table_Print(reports);
        const long missing = std::count_if(reports.begin(), reports.end(),
                                           [](const SPlaneReport& r) { return !r.misses.empty(); });
        if (ok)
            std::printf("all %zu plane(s) meet every floor\n", reports.size());
        else
            std::printf("%ld of %zu plane(s) miss a floor\n", missing, reports.size());
        if (!options.outDir.empty())
            std::printf("wrote %d pictures of %zu plane(s) to %s\n", written, planes.size(),
                        options.outDir.c_str());
    }
    return ok ? 0 : 1;
}

}  // namespace

CommandRun AddPlanesCommand(CLI::App& app)
{
    auto options = std::make_shared<PlanesOptions>();
    CLI::App* command = app.add_subcommand(
        "planes", "Show the quality figures of the stored threshold planes, and pictures of them");
    command->add_option("--plane", options->planes, "planes to look at (0 to 15; default all)")
        ->check(CLI::Range(0, kPlaneCount - 1))
        ->delimiter(',');
    command->add_option("--out", options->outDir,
                        "write plane_NN.png, plane_NN_cut_1of16/1of4/1of2.png and "
                        "plane_NN_spectrum.png into this directory");
    command->add_option("--scale", options->scale, "repeat each picture pixel N x N times")
        ->check(CLI::Range(1, 16));
    command->add_flag("--json", options->json, "print the figures as JSON");
    return [options, command]() { return command->parsed() ? RunPlanes(*options) : -1; };
}
