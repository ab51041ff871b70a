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

class CCanvas
{
public:
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
