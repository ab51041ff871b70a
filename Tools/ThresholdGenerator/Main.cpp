// rv_threshold_gen: builds the two base threshold matrices of the library and prints their quality
// figures, or prints the figures of an existing file.
//
//   rv_threshold_gen --out Data/ThresholdBase.u16le
//   rv_threshold_gen --check Data/ThresholdBase.u16le   (exit status 1 when a floor is missed)

#include "PlaneQuality.h"
#include "ThresholdGenerator.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace
{

using PlaneQuality::kCells;

// The floors every stored plane must reach come from PlaneQuality; the generator aims far higher
// (see the printed figures).
using PlaneQuality::kClosePairsBelow;
using PlaneQuality::kLowFrequencyMax;
using PlaneQuality::kNeighbourFloor;
using PlaneQuality::kRowMax;
using PlaneQuality::kRowMin;

// Prints the figures of planes 0 to 3 and returns true when every floor holds.
bool Figures_Report(const std::vector<uint16_t>& bases)
{
    const std::vector<uint16_t> planes =
        PlaneQuality::Planes_Derive(bases.data(), bases.data() + kCells);
    bool ok = true;
    std::printf("plane  histogram   nbr-min  close<4096  row<32768  low-freq 1/16   1/4    1/2\n");
    for (int p = 0; p < 4; ++p)
    {
        const PlaneQuality::SPlaneFigures f =
            PlaneQuality::Figures_Measure(planes.data() + static_cast<size_t>(p) * kCells);
        const bool base = p == 1 || p == 2;
        const bool histogramOk = base ? f.histogramBase : f.histogramComplement;
        std::printf("%5d  %-10s  %7d  %10d   %3d..%3d          %6.3f  %6.3f  %6.3f\n", p,
                    histogramOk ? (base ? "base" : "complement") : "WRONG", f.neighbourMin,
                    f.closePairs, f.rowsBelow.min, f.rowsBelow.max, f.lowFrequency[0],
                    f.lowFrequency[1], f.lowFrequency[2]);
        bool planeOk = histogramOk && f.neighbourMin >= kNeighbourFloor[p] &&
                       f.closePairs < kClosePairsBelow;
        for (double ratio : f.lowFrequency)
            planeOk = planeOk && ratio <= kLowFrequencyMax;
        if (p == 0)
            planeOk = planeOk && f.rowsBelow.min >= kRowMin && f.rowsBelow.max <= kRowMax;
        if (!planeOk)
            std::printf("       plane %d misses a floor\n", p);
        ok = ok && planeOk;
    }
    std::printf("floors: histogram as shown, nbr-min >= 947 (planes 0, 1) and >= 1834 (planes 2, 3),\n"
                "        close < 800, plane 0 rows %d..%d, low-freq <= %.2f (white noise = 1)\n",
                kRowMin, kRowMax, kLowFrequencyMax);
    return ok;
}

std::vector<uint16_t> Bases_Generate()
{
    std::vector<uint16_t> bases;
    const ThresholdGen::SMatrixSettings* settings[2] = {&ThresholdGen::kMatrixA,
                                                        &ThresholdGen::kMatrixB};
    for (int m = 0; m < 2; ++m)
    {
        const auto start = std::chrono::steady_clock::now();
        ThresholdGen::SRankReport report;
        const std::vector<uint16_t> matrix = ThresholdGen::Matrix_Generate(*settings[m], &report);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::printf("matrix %c (plane %d): %.1f s, %d initial swaps, %d forced picks\n", "AB"[m],
                    m + 1, seconds.count(), report.initialSwaps, report.forcedPicks);
        bases.insert(bases.end(), matrix.begin(), matrix.end());
    }
    return bases;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Builds the two base threshold matrices and prints their quality figures"};
    std::string outPath;
    std::string checkPath;
    CLI::Option* out = app.add_option("--out", outPath, "write the matrices to this file");
    CLI::Option* check =
        app.add_option("--check", checkPath, "only print the figures of this file")->check(CLI::ExistingFile);
    out->excludes(check);
    CLI11_PARSE(app, argc, argv);
    if (outPath.empty() && checkPath.empty())
    {
        std::cerr << app.help();
        return 2;
    }

    std::vector<uint16_t> bases;
    if (!checkPath.empty())
    {
        if (!PlaneQuality::Bases_Read(checkPath, bases))
        {
            std::fprintf(stderr, "%s: not two 544 x 544 matrices of 16-bit levels\n",
                         checkPath.c_str());
            return 2;
        }
    }
    else
    {
        bases = Bases_Generate();
        if (!PlaneQuality::Bases_Write(outPath, bases))
        {
            std::fprintf(stderr, "%s: cannot write\n", outPath.c_str());
            return 2;
        }
    }
    return Figures_Report(bases) ? 0 : 1;
}
