// rv_halftone planes: the quality figures of the library's sixteen stored threshold planes, read
// through CRawMaskData as every renderer reads them, and optionally pictures of them.
#include "CommandLine.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "PngWriter.h"
#include "Progress.h"

#include <RvAnalysis/PlaneQuality.h>
#include <Rv_Halftone/RawMaskData.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace rva = rv_analysis;

const char* const kCutNames[3] = {"1of16", "1of4", "1of2"};

struct SPlanesOptions
{
    std::vector<int> planes;  // empty: all sixteen
    SOutputOptions output;
};

struct SPlaneReport
{
    int plane = 0;
    rva::SPlaneFigures figures;
    bool derived = false;  // equal to the plane the derivation rules make from planes 1 and 2
    std::vector<std::string> misses;
};

struct SPlanesReport
{
    std::vector<SPlaneReport> planes;
    bool ok = true;                  // every plane meets every floor
    std::vector<std::string> files;  // written to the --out folder
};

bool PlaneNumber(double value) { return WholeNumber(value) && value >= 0 && value < rva::kPlaneCount; }

bool IsBasePlane(int plane) { return plane % 4 == 1 || plane % 4 == 2; }

const uint16_t* StoredPlane(int plane) { return CRawMaskData::RawData(plane); }

size_t PlaneCells() { return static_cast<size_t>(CRawMaskData::Width()) * CRawMaskData::Height(); }

SPlaneReport Plane_Measure(int plane, const std::vector<uint16_t>& derivedPlanes)
{
    SPlaneReport report;
    report.plane = plane;
    report.figures = rva::Figures_Measure(StoredPlane(plane));
    report.derived = std::equal(StoredPlane(plane), StoredPlane(plane) + PlaneCells(),
                                derivedPlanes.begin() + static_cast<long>(plane * PlaneCells()));
    report.misses = rva::Floors_Missed(plane, report.figures);
    if (!report.derived) {
        const bool histogramMissed = !report.misses.empty() && report.misses.front() == "histogram";
        report.misses.insert(report.misses.begin() + (histogramMissed ? 1 : 0), "derivation");
    }
    return report;
}

const char* HistogramName(const SPlaneReport& report)
{
    const bool base = IsBasePlane(report.plane);
    const bool ok = base ? report.figures.histogramBase : report.figures.histogramComplement;
    return ok ? (base ? "base" : "complement") : "WRONG";
}

nlohmann::ordered_json Plane_ToJson(const SPlaneReport& report)
{
    const rva::SPlaneFigures& f = report.figures;
    return {
        {"plane", report.plane},
        {"histogram", HistogramName(report)},
        {"derived", report.derived},
        {"neighborMin", f.neighbourMin},
        {"neighborFloor", rva::kNeighbourFloor[report.plane % 4]},
        {"closePairs", f.closePairs},
        {"rowsBelow", {{"min", f.rowsBelow.min}, {"max", f.rowsBelow.max}}},
        {"lowFrequency",
         {{"1/16", f.lowFrequency[0]}, {"1/4", f.lowFrequency[1]}, {"1/2", f.lowFrequency[2]}}},
        {"misses", report.misses},
        {"ok", report.misses.empty()},
    };
}

nlohmann::ordered_json Report_ToJson(const SPlanesReport& report)
{
    nlohmann::ordered_json json = {{"planes", nlohmann::ordered_json::array()}};
    for (const SPlaneReport& plane : report.planes)
        json["planes"].push_back(Plane_ToJson(plane));
    return json;
}

void Report_Print(const SPlanesReport& report, const std::string& outDir)
{
    std::printf("plane  histogram   derived  nbr-min  close<4096  row<32768  low-freq 1/16    1/4  "
                "  1/2\n");
    for (const SPlaneReport& r : report.planes) {
        const rva::SPlaneFigures& f = r.figures;
        std::printf("%5d  %-10s  %-7s  %7d  %10d   %3d..%3d          %6.3f  %6.3f  %6.3f", r.plane,
                    HistogramName(r), r.derived ? "yes" : "NO", f.neighbourMin, f.closePairs,
                    f.rowsBelow.min, f.rowsBelow.max, f.lowFrequency[0], f.lowFrequency[1],
                    f.lowFrequency[2]);
        std::string misses;
        for (const std::string& miss : r.misses)
            misses += (misses.empty() ? "  misses: " : ", ") + miss;
        std::printf("%s\n", misses.c_str());
    }
    std::printf(
        "floors: histogram base (planes 1, 2 mod 4) or complement, derived from planes 1 and 2,\n"
        "        nbr-min >= %d (planes 0, 1 mod 4) or >= %d (planes 2, 3 mod 4), close < %d,\n"
        "        rows %d..%d (planes 0 mod 4), low-freq <= %.2f (white noise = 1)\n",
        rva::kNeighbourFloor[0], rva::kNeighbourFloor[2], rva::kClosePairsBelow, rva::kRowMin,
        rva::kRowMax, rva::kLowFrequencyMax);
    const long missing = std::count_if(report.planes.begin(), report.planes.end(),
                                       [](const SPlaneReport& r) { return !r.misses.empty(); });
    if (report.ok)
        std::printf("all %zu plane(s) meet every floor\n", report.planes.size());
    else
        std::printf("%ld of %zu plane(s) miss a floor\n", missing, report.planes.size());
    if (!outDir.empty())
        std::printf("wrote %zu pictures of %zu plane(s) to %s\n", report.files.size(),
                    report.planes.size(), outDir.c_str());
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
    std::vector<uint8_t> grey(PlaneCells());
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(plane[i] >> 8);
    const int width = CRawMaskData::Width();
    WritePngGrey8(path, grey.data(), width, CRawMaskData::Height(), width, options);
}

// The cells the cut of the low-frequency figure takes, packed one bit per cell as a mask row is,
// printed black.
void Picture_Cut(const std::string& path, const uint16_t* plane, double fraction,
                 const PngOptions& options)
{
    const int width = CRawMaskData::Width(), height = CRawMaskData::Height();
    const int rowBytes = (width + 7) / 8;
    const std::vector<uint8_t> on = rva::Pattern_Cut(plane, fraction);
    std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (on[static_cast<size_t>(y) * width + x])
                bits[static_cast<size_t>(y) * rowBytes + x / 8] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    WritePngGreyPacked(path, bits.data(), width, height, rowBytes, 1, options);
}

// Log power as grey, frequency 0 in the centre: a blue-noise plane shows a dark disc around the
// centre (no low frequencies) in a bright surround.
void Picture_Spectrum(const std::string& path, const uint16_t* plane, const PngOptions& options)
{
    const int width = CRawMaskData::Width(), height = CRawMaskData::Height();
    const std::vector<double> power = rva::Spectrum_Levels(plane);
    double mean = 0.0;
    for (double p : power)
        mean += p;
    mean = std::max(mean / static_cast<double>(power.size()), 1e-30);
    std::vector<double> shown(power.size());
    double top = 0.0;
    for (size_t i = 0; i < power.size(); ++i) {
        shown[i] = std::log1p(power[i] / mean);
        top = std::max(top, shown[i]);
    }
    std::vector<uint8_t> grey(power.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t source =
                static_cast<size_t>((y + height / 2) % height) * width + (x + width / 2) % width;
            const double value = top > 0.0 ? 255.0 * shown[source] / top : 0.0;
            grey[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::lround(value));
        }
    WritePngGrey8(path, grey.data(), width, height, width, options);
}

// Writes the five pictures of each plane; returns their paths.
std::vector<std::string> Pictures_Write(const SOutputOptions& output,
                                        const std::vector<int>& planes)
{
    PrepareOutDir(output.outDir, {R"(plane_\d\d(_cut_1of(16|4|2)|_spectrum)?\.png)"});
    std::vector<std::string> files;
    Progress progress("writing pictures");
    for (size_t i = 0; i < planes.size(); ++i) {
        progress.Update(static_cast<long long>(i), static_cast<long long>(planes.size()));
        const int plane = planes[i];
        const uint16_t* levels = StoredPlane(plane);
        files.push_back(PicturePath(output.outDir, plane, ""));
        Picture_Levels(files.back(), levels, output.Png());
        for (int c = 0; c < 3; ++c) {
            files.push_back(PicturePath(output.outDir, plane, std::string("_cut_") + kCutNames[c]));
            Picture_Cut(files.back(), levels, rva::kCutFractions[c], output.Png(true));
        }
        files.push_back(PicturePath(output.outDir, plane, "_spectrum"));
        Picture_Spectrum(files.back(), levels, output.Png());
    }
    return files;
}

void RunPlanes(const SPlanesOptions& options, SReport& report)
{
    std::vector<int> planes = options.planes;
    if (planes.empty())
        for (int p = 0; p < rva::kPlaneCount; ++p)
            planes.push_back(p);
    std::sort(planes.begin(), planes.end());
    planes.erase(std::unique(planes.begin(), planes.end()), planes.end());

    SPlanesReport figures;
    const std::vector<uint16_t> derivedPlanes = rva::StoredPlanes_Rederived();
    for (int plane : planes) {
        figures.planes.push_back(Plane_Measure(plane, derivedPlanes));
        figures.ok = figures.ok && figures.planes.back().misses.empty();
    }
    const SOutputOptions& output = options.output;
    if (!output.outDir.empty())
        figures.files = Pictures_Write(output, planes);
    report.files = figures.files;
    report.own = Report_ToJson(figures);
    if (!figures.ok)
        report.NotMet("a plane misses a floor");
    if (!output.json)
        Report_Print(figures, output.outDir);
}

}  // namespace

CommandRun AddPlanesCommand(CLI::App& app)
{
    auto options = std::make_shared<SPlanesOptions>();
    CLI::App* command = app.add_subcommand(
        "planes", "Show the quality figures of the stored threshold planes, and pictures of them");
    command->add_option("--plane", options->planes, "planes to look at (0 to 15; default all)")
        ->check(InSet(PlaneNumber, "must be from 0 to " + std::to_string(rva::kPlaneCount - 1)))
        ->delimiter(',');
    AddOutputOptions(
        *command, options->output,
        "write plane_NN.png, plane_NN_cut_1of16/1of4/1of2.png and plane_NN_spectrum.png "
        "into this directory",
        "print the figures as JSON");
    return ReportedRun(command, options->output.json,
                       [options](SReport& report) { RunPlanes(*options, report); });
}
