// rv_threshold_gen: builds the two base threshold matrices of the library and prints their quality
// figures, or prints the figures of an existing file.
//
//   rv_threshold_gen --out Data/ThresholdBase.u16le
//   rv_threshold_gen --check Data/ThresholdBase.u16le   (exit status 1 when a floor is missed)

#include "ThresholdGenerator.h"

#include <RvAnalysis/PlaneQuality.h>
#include <RvPlanes/PlaneDerive.h>

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace planes = rv_halftone::planes;

// Prints the figures of planes 0 to 3 and returns true when every floor holds. The floors are
// those every stored plane must reach; the generator aims far higher (see the printed figures).
bool Figures_Report(const std::vector<uint16_t>& bases)
{
    const std::vector<uint16_t> derived =
        planes::Planes_Derive(bases.data(), bases.data() + planes::kTileCells);
    bool ok = true;
    std::printf("plane  histogram   nbr-min  close<4096  row<32768  low-freq 1/16   1/4    1/2\n");
    for (int p = 0; p < 4; ++p) {
        const rv_analysis::SPlaneFigures f = rv_analysis::Figures_Measure(
            derived.data() + static_cast<size_t>(p) * planes::kTileCells);
        const bool base = p == 1 || p == 2;
        const bool histogramOk = base ? f.histogramBase : f.histogramComplement;
        std::printf("%5d  %-10s  %7d  %10d   %3d..%3d          %6.3f  %6.3f  %6.3f\n", p,
                    histogramOk ? (base ? "base" : "complement") : "WRONG", f.neighbourMin,
                    f.closePairs, f.rowsBelow.min, f.rowsBelow.max, f.lowFrequency[0],
                    f.lowFrequency[1], f.lowFrequency[2]);
        if (!rv_analysis::Floors_Missed(p, f).empty()) {
            std::printf("       plane %d misses a floor\n", p);
            ok = false;
        }
    }
    std::printf("floors: histogram as shown, nbr-min >= %d (planes 0, 1) and >= %d (planes 2, 3),\n"
                "        close < %d, plane 0 rows %d..%d, low-freq <= %.2f (white noise = 1)\n",
                rv_analysis::kNeighbourFloor[0], rv_analysis::kNeighbourFloor[2],
                rv_analysis::kClosePairsBelow, rv_analysis::kRowMin, rv_analysis::kRowMax,
                rv_analysis::kLowFrequencyMax);
    return ok;
}

std::vector<uint16_t> Bases_Generate()
{
    std::vector<uint16_t> bases;
    const ThresholdGen::SMatrixSettings* settings[2] = {&ThresholdGen::kMatrixA,
                                                        &ThresholdGen::kMatrixB};
    for (int m = 0; m < 2; ++m) {
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

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Builds the two base threshold matrices and prints their quality figures"};
    std::string outPath;
    std::string checkPath;
    CLI::Option* out = app.add_option("--out", outPath, "write the matrices to this file");
    CLI::Option* check = app.add_option("--check", checkPath, "only print the figures of this file")
                             ->check(CLI::ExistingFile);
    out->excludes(check);
    CLI11_PARSE(app, argc, argv);
    if (outPath.empty() && checkPath.empty()) {
        std::cerr << app.help();
        return 2;
    }

    std::vector<uint16_t> bases;
    if (!checkPath.empty()) {
        if (!planes::Bases_Read(checkPath, bases)) {
            std::fprintf(stderr, "%s: not two %d x %d matrices of 16-bit levels\n",
                         checkPath.c_str(), planes::kTileSize, planes::kTileSize);
            return 2;
        }
    } else {
        bases = Bases_Generate();
        if (!planes::Bases_Write(outPath, bases)) {
            std::fprintf(stderr, "%s: cannot write\n", outPath.c_str());
            return 2;
        }
    }
    return Figures_Report(bases) ? 0 : 1;
}
