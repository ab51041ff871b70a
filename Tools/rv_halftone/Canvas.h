// Pictures drawn rather than copied from masks: legends, labels and plots. An RGB canvas with a
// small built-in bitmap font (5 x 7 dots per character, upper case; lower case is drawn as upper
// case), rectangles, lines, and line and stacked charts with axes, ticks and a legend.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SRgb
{
    uint8_t red, green, blue;
};

constexpr SRgb kWhite = {255, 255, 255};
constexpr SRgb kBlack = {0, 0, 0};
constexpr SRgb kGrey = {160, 160, 160};

// The most pixels a picture of the tool may have (8192 x 4096; about 100 MB as RGB while it is
// drawn): a scale that would make more is lowered, and a picture that has more at scale 1 is
// refused.
constexpr long long kMaxPicturePixels = 1LL << 25;

// The largest scale from 1 to `asked` at which a picture of width x height pixels, each shown as
// scale x scale, plus a frame of frameWidth x frameHeight pixels around it, stays within
// kMaxPicturePixels; 0 when none does.
int ScaleWithinCap(long long width, long long height, int asked, long long frameWidth = 0,
                   long long frameHeight = 0);

class CCanvas
{
public:
    // Throws PngError, before allocating, for more than kMaxPicturePixels.
    CCanvas(int width, int height, SRgb background = kWhite);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const uint8_t* Pixels() const { return m_pixels.data(); }  // rows of width x 3 bytes

    // Everything is clipped to the canvas.
    void Set(int x, int y, SRgb colour);
    void Fill(int x, int y, int width, int height, SRgb colour);
    void Line(int x0, int y0, int x1, int y1, SRgb colour);
    // Text with its top left corner at (x, y); each dot of the font becomes scale x scale pixels.
    void Text(int x, int y, const std::string& text, SRgb colour, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1);
    static int TextHeight(int scale = 1);
    // One row per entry: a swatch in the entry's colour and its name. Returns the legend's height.
    int Legend(int x, int y, const std::vector<std::pair<std::string, SRgb>>& entries,
               int scale = 1);
    // Copies an RGB image (rows of width x 3 bytes) with its top left corner at (x, y), each
    // pixel as scale x scale pixels.
    void Paste(int x, int y, const uint8_t* rgb, int width, int height, int scale = 1);

    void WritePng(const std::string& path) const;

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_pixels;
};

// A line chart: one polyline per series over shared axes, with ticks, labels and a legend.
struct SChartSeries
{
    std::string name;
    SRgb colour;
    std::vector<double> x;
    std::vector<double> y;
    bool markers = false;  // a square on every point, for series of a few measured points
};

struct SChartAxes
{
    std::string title;
    std::string xLabel;
    std::string yLabel;
    double xMin, xMax;  // the ranges shown; points outside are clipped
    double yMin, yMax;
};

CCanvas LineChart(int width, int height, const SChartAxes& axes,
                  const std::vector<SChartSeries>& series);

// A stacked chart over the same axes: at each x the layers' values are stacked from yMin up in
// layer order, each in its colour; markers are dashed vertical lines with a label.
struct SChartLayer
{
    std::string name;
    SRgb colour;
    std::vector<double> y;  // one value per x
};

struct SChartMarker
{
    double x;
    std::string label;
};

CCanvas StackedChart(int width, int height, const SChartAxes& axes, const std::vector<double>& x,
                     const std::vector<SChartLayer>& layers,
                     const std::vector<SChartMarker>& markers);

// A raster picture in a frame, the way every picture of a simulated print is shown: the title
// above, ticks and labels on both axes, the legend and notes at the right, marks on the y axis
// (a wedge in the left margin and its label, so that the picture itself stays whole). The axes
// give the picture's extent in their units: xMin at the left edge of the first column and xMax at
// the right edge of the last; yMin at the top edge of the first row and yMax at the bottom edge
// of the last (rows count down, as page lines do).
struct SRgbPicture
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows of width x 3 bytes
};

struct SPictureFrame
{
    SChartAxes axes;
    std::vector<std::pair<std::string, SRgb>> legend;
    std::vector<std::string> notes;  // lines of text under the legend
    std::vector<SChartMarker> yMarks;
};

CCanvas FramedPicture(const SRgbPicture& picture, int scale, const SPictureFrame& frame);

// The largest scale from 1 to `asked` at which FramedPicture stays within kMaxPicturePixels; 0
// when none does.
int FramedPictureScale(int width, int height, int asked, const SPictureFrame& frame);
