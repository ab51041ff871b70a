#include "Canvas.h"

#include "PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = kGlyphWidth + 1;

struct SGlyph
{
    char character;
    uint8_t rows[kGlyphHeight];  // bit 4 is the leftmost dot
};

// The characters labels need; anything else is drawn as '?'.
constexpr SGlyph kFont[] = {
    {' ', {0, 0, 0, 0, 0, 0, 0}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'.', {0, 0, 0, 0, 0, 0x0C, 0x0C}},
    {',', {0, 0, 0, 0, 0x0C, 0x04, 0x08}},
    {'-', {0, 0, 0, 0x1F, 0, 0, 0}},
    {'+', {0, 0x04, 0x04, 0x1F, 0x04, 0x04, 0}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {':', {0, 0x0C, 0x0C, 0, 0x0C, 0x0C, 0}},
    {'/', {0, 0x01, 0x02, 0x04, 0x08, 0x10, 0}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'=', {0, 0, 0x1F, 0, 0x1F, 0, 0}},
    {'_', {0, 0, 0, 0, 0, 0, 0x1F}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
    {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
    {'\'', {0x0C, 0x04, 0x08, 0, 0, 0, 0}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0, 0x04}},
};

const SGlyph& GlyphOf(char c)
{
    const char wanted = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const SGlyph& glyph : kFont)
        if (glyph.character == wanted)
            return glyph;
    return kFont[sizeof kFont / sizeof kFont[0] - 1];
}

// A tick value as a short label: no trailing zeros, at most three decimals.
std::string TickLabel(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string label = text;
    while (label.find('.') != std::string::npos && (label.back() == '0' || label.back() == '.'))
        label.pop_back();
    return label == "-0" ? "0" : label;
}

// About five round ticks (1, 2 or 5 times a power of ten apart) across [low, high].
std::vector<double> Ticks(double low, double high)
{
    const double span = high - low;
    if (!(span > 0))
        return {low};
    const double rough = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double step = rough / power < 1.5 ? power : rough / power < 3.5 ? 2 * power : 5 * power;
    std::vector<double> ticks;
    for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step)
        ticks.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

}  // namespace

int ScaleWithinCap(long long width, long long height, int asked, long long frameWidth,
                   long long frameHeight)
{
    for (int scale = asked; scale >= 1; --scale)
        if ((width * scale + frameWidth) * (height * scale + frameHeight) <= kMaxPicturePixels)
            return scale;
    return 0;
}

namespace {

int CheckedSide(int side, int other)
{
    const long long pixels = static_cast<long long>(std::max(side, 1)) * std::max(other, 1);
    if (pixels > kMaxPicturePixels)
        throw PngError("a picture of " + std::to_string(side) + " x " + std::to_string(other) +
                       " pixels has more than the " + std::to_string(kMaxPicturePixels) +
                       " pixels a picture may have");
    return std::max(side, 1);
}

}  // namespace

CCanvas::CCanvas(int width, int height, SRgb background)
    : m_width(CheckedSide(width, height)), m_height(std::max(height, 1)),
      m_pixels(static_cast<size_t>(m_width) * m_height * 3)
{
    Fill(0, 0, m_width, m_height, background);
}

void CCanvas::Set(int x, int y, SRgb colour)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    uint8_t* pixel = &m_pixels[(static_cast<size_t>(y) * m_width + x) * 3];
    pixel[0] = colour.red;
    pixel[1] = colour.green;
    pixel[2] = colour.blue;
}

void CCanvas::Fill(int x, int y, int width, int height, SRgb colour)
{
    for (int row = std::max(y, 0); row < std::min(y + height, m_height); ++row)
        for (int column = std::max(x, 0); column < std::min(x + width, m_width); ++column)
            Set(column, row, colour);
}

void CCanvas::Line(int x0, int y0, int x1, int y1, SRgb colour)
{
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        Set(x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void CCanvas::Text(int x, int y, const std::string& text, SRgb colour, int scale)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const SGlyph& glyph = GlyphOf(text[i]);
        const int left = x + static_cast<int>(i) * kAdvance * scale;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if (glyph.rows[row] & (0x10 >> column))
                    Fill(left + column * scale, y + row * scale, scale, scale, colour);
    }
}

int CCanvas::TextWidth(const std::string& text, int scale)
{
    return text.empty() ? 0 : (static_cast<int>(text.size()) * kAdvance - 1) * scale;
}

int CCanvas::TextHeight(int scale) { return kGlyphHeight * scale; }

int CCanvas::Legend(int x, int y, const std::vector<std::pair<std::string, SRgb>>& entries,
                    int scale)
{
    const int rowHeight = (kGlyphHeight + 4) * scale;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int top = y + static_cast<int>(i) * rowHeight;
        // Outlined, so that a white swatch shows on the white canvas.
        Fill(x, top, kGlyphHeight * scale, kGlyphHeight * scale, kGrey);
        Fill(x + 1, top + 1, kGlyphHeight * scale - 2, kGlyphHeight * scale - 2, entries[i].second);
        Text(x + (kGlyphHeight + 3) * scale, top, entries[i].first, kBlack, scale);
    }
    return static_cast<int>(entries.size()) * rowHeight;
}

void CCanvas::Paste(int x, int y, const uint8_t* rgb, int width, int height, int scale)
{
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const uint8_t* pixel = rgb + (static_cast<size_t>(row) * width + column) * 3;
            Fill(x + column * scale, y + row * scale, scale, scale, {pixel[0], pixel[1], pixel[2]});
        }
    }
}

void CCanvas::WritePng(const std::string& path) const
{
    WritePngRgb8(path, m_pixels.data(), m_width, m_height, m_width * 3);
}

namespace {

// The plot area of a chart and the mapping of values into it.
struct SPlotArea
{
    int left, top, right, bottom;
    SChartAxes axes;

    int X(double x) const
    {
        const double clamped = std::min(std::max(x, axes.xMin), axes.xMax);
        return left + static_cast<int>(std::lround((clamped - axes.xMin) / (axes.xMax - axes.xMin) *
                                                   (right - left)));
    }
    int Y(double y) const
    {
        const double clamped = std::min(std::max(y, axes.yMin), axes.yMax);
        return bottom - static_cast<int>(std::lround((clamped - axes.yMin) /
                                                     (axes.yMax - axes.yMin) * (bottom - top)));
    }
};

int LegendWidth(const std::vector<std::pair<std::string, SRgb>>& legend)
{
    int widest = 0;
    for (const auto& entry : legend)
        widest = std::max(widest, CCanvas::TextWidth(entry.first));
    return widest + CCanvas::TextHeight() + 16;
}

// Title, grid, ticks, axes and their labels, and the legend at the right; points outside the
// ranges are drawn at the edge rather than past it.
SPlotArea DrawFrame(CCanvas& canvas, const SChartAxes& axes,
                    const std::vector<std::pair<std::string, SRgb>>& legend)
{
    const int text = CCanvas::TextHeight();
    // The plot area leaves room for the title, the tick labels, the axis labels and the legend.
    const SPlotArea area = {12 + text + 8 * 6, 2 * text + 10,
                            canvas.Width() - LegendWidth(legend) - 8,
                            canvas.Height() - 3 * text - 14, axes};
    canvas.Text(area.left, 4, axes.title, kBlack);
    for (const double t : Ticks(axes.xMin, axes.xMax)) {
        canvas.Line(area.X(t), area.top, area.X(t), area.bottom, {230, 230, 230});
        const std::string label = TickLabel(t);
        canvas.Text(area.X(t) - CCanvas::TextWidth(label) / 2, area.bottom + 5, label, kBlack);
    }
    for (const double t : Ticks(axes.yMin, axes.yMax)) {
        canvas.Line(area.left, area.Y(t), area.right, area.Y(t), {230, 230, 230});
        const std::string label = TickLabel(t);
        canvas.Text(area.left - 4 - CCanvas::TextWidth(label), area.Y(t) - text / 2, label, kBlack);
    }
    canvas.Text((area.left + area.right - CCanvas::TextWidth(axes.xLabel)) / 2,
                area.bottom + text + 10, axes.xLabel, kBlack);
    canvas.Text(4, area.top - text - 4, axes.yLabel, kBlack);
    canvas.Legend(area.right + 12, area.top, legend);
    return area;
}

// The names and colours of a chart's series or layers.
template <typename Items> std::vector<std::pair<std::string, SRgb>> LegendOf(const Items& items)
{
    std::vector<std::pair<std::string, SRgb>> legend;
    for (const auto& item : items)
        legend.emplace_back(item.name, item.colour);
    return legend;
}

void DrawAxisLines(CCanvas& canvas, const SPlotArea& area)
{
    canvas.Line(area.left, area.top, area.left, area.bottom, kBlack);
    canvas.Line(area.left, area.bottom, area.right, area.bottom, kBlack);
}

}  // namespace

CCanvas LineChart(int width, int height, const SChartAxes& axes,
                  const std::vector<SChartSeries>& series)
{
    CCanvas canvas(width, height);
    const SPlotArea area = DrawFrame(canvas, axes, LegendOf(series));
    DrawAxisLines(canvas, area);
    for (const SChartSeries& s : series) {
        for (size_t i = 1; i < std::min(s.x.size(), s.y.size()); ++i) {
            const int x0 = area.X(s.x[i - 1]), y0 = area.Y(s.y[i - 1]);
            const int x1 = area.X(s.x[i]), y1 = area.Y(s.y[i]);
            canvas.Line(x0, y0, x1, y1, s.colour);
            canvas.Line(x0, y0 + 1, x1, y1 + 1, s.colour);  // two pixels wide, to be seen
        }
        for (size_t i = 0; s.markers && i < std::min(s.x.size(), s.y.size()); ++i)
            canvas.Fill(area.X(s.x[i]) - 2, area.Y(s.y[i]) - 2, 5, 5, s.colour);
    }
    return canvas;
}

CCanvas StackedChart(int width, int height, const SChartAxes& axes, const std::vector<double>& x,
                     const std::vector<SChartLayer>& layers,
                     const std::vector<SChartMarker>& markers)
{
    CCanvas canvas(width, height);
    const SPlotArea area = DrawFrame(canvas, axes, LegendOf(layers));
    // Each point owns the columns up to the next point (the last one a column of its own).
    for (size_t i = 0; i < x.size(); ++i) {
        const int from = area.X(x[i]);
        const int to = i + 1 < x.size() ? std::max(from + 1, area.X(x[i + 1])) : from + 1;
        double base = 0.0;
        for (const SChartLayer& layer : layers) {
            const double value = i < layer.y.size() ? layer.y[i] : 0.0;
            if (value <= 0.0)
                continue;
            const int top = area.Y(base + value), bottom = area.Y(base);
            canvas.Fill(from, top, to - from, std::max(1, bottom - top), layer.colour);
            base += value;
        }
    }
    for (const SChartMarker& marker : markers) {
        const int at = area.X(marker.x);
        for (int y = area.top; y < area.bottom; y += 6)  // dashed, so the layers show through
            canvas.Line(at, y, at, std::min(y + 3, area.bottom), kBlack);
        canvas.Text(at + 3, area.top + 2, marker.label, kBlack);
    }
    DrawAxisLines(canvas, area);
    return canvas;
}

namespace {

// Where FramedPicture puts things: margins round the scaled picture.
struct SFrameLayout
{
    int left, top, right, bottom;  // margins
};

int WidestLabel(const std::vector<double>& ticks)
{
    int widest = 0;
    for (const double t : ticks)
        widest = std::max(widest, CCanvas::TextWidth(TickLabel(t)));
    return widest;
}

SFrameLayout FrameLayout(const SPictureFrame& frame)
{
    const int text = CCanvas::TextHeight();
    int panel = LegendWidth(frame.legend);
    for (const std::string& note : frame.notes)
        panel = std::max(panel, CCanvas::TextWidth(note) + 16);
    int marks = 0;
    for (const SChartMarker& mark : frame.yMarks)
        marks = std::max(marks, CCanvas::TextWidth(mark.label) + 4);
    const int ticks = WidestLabel(Ticks(frame.axes.yMin, frame.axes.yMax));
    const int left = 8 + std::max({ticks + 8, marks + 12, CCanvas::TextWidth(frame.axes.yLabel)});
    const int top = 2 * text + 16;
    const int bottom = 2 * text + 20;
    return {left, top, panel + 16, bottom};
}

// The panel's height: the legend, then the notes.
int PanelHeight(const SPictureFrame& frame)
{
    return static_cast<int>(frame.legend.size() + frame.notes.size()) *
               (CCanvas::TextHeight() + 4) +
           8;
}

}  // namespace

int FramedPictureScale(int width, int height, int asked, const SPictureFrame& frame)
{
    const SFrameLayout layout = FrameLayout(frame);
    for (int scale = ScaleWithinCap(width, height, asked, layout.left + layout.right,
                                    layout.top + layout.bottom);
         scale >= 1; --scale) {
        const long long canvasHeight = std::max<long long>(
            static_cast<long long>(height) * scale + layout.top + layout.bottom,
            layout.top + PanelHeight(frame));
        if ((static_cast<long long>(width) * scale + layout.left + layout.right) * canvasHeight <=
            kMaxPicturePixels)
            return scale;
    }
    return 0;
}

CCanvas FramedPicture(const SRgbPicture& picture, int scale, const SPictureFrame& frame)
{
    const SFrameLayout layout = FrameLayout(frame);
    const int shownWidth = picture.width * scale, shownHeight = picture.height * scale;
    CCanvas canvas(layout.left + shownWidth + layout.right,
                   std::max(layout.top + shownHeight + layout.bottom,
                            layout.top + PanelHeight(frame)));
    const int text = CCanvas::TextHeight();
    const SChartAxes& axes = frame.axes;
    canvas.Paste(layout.left, layout.top, picture.rgb.data(), picture.width, picture.height, scale);
    // The y axis counts down the picture, the x axis across it.
    const auto atX = [&](double x) {
        return layout.left + static_cast<int>(std::lround((x - axes.xMin) /
                                                          (axes.xMax - axes.xMin) * shownWidth));
    };
    const auto atY = [&](double y) {
        return layout.top + static_cast<int>(std::lround((y - axes.yMin) /
                                                         (axes.yMax - axes.yMin) * shownHeight));
    };
    const int right = layout.left + shownWidth, bottom = layout.top + shownHeight;
    canvas.Text(layout.left, 4, axes.title, kBlack);
    for (const double t : Ticks(axes.xMin, axes.xMax)) {
        canvas.Line(atX(t), bottom, atX(t), bottom + 3, kBlack);
        const std::string label = TickLabel(t);
        canvas.Text(atX(t) - CCanvas::TextWidth(label) / 2, bottom + 6, label, kBlack);
    }
    for (const double t : Ticks(axes.yMin, axes.yMax)) {
        canvas.Line(layout.left - 4, atY(t), layout.left - 1, atY(t), kBlack);
        const std::string label = TickLabel(t);
        canvas.Text(layout.left - 6 - CCanvas::TextWidth(label), atY(t) - text / 2, label, kBlack);
    }
    canvas.Text((layout.left + right - CCanvas::TextWidth(axes.xLabel)) / 2, bottom + text + 12,
                axes.xLabel, kBlack);
    canvas.Text(4, layout.top - text - 6, axes.yLabel, kBlack);
    // The frame, one pixel outside the picture.
    canvas.Line(layout.left - 1, layout.top - 1, right, layout.top - 1, kBlack);
    canvas.Line(layout.left - 1, bottom, right, bottom, kBlack);
    canvas.Line(layout.left - 1, layout.top - 1, layout.left - 1, bottom, kBlack);
    canvas.Line(right, layout.top - 1, right, bottom, kBlack);
    // Marks: a red wedge pointing at the line, its label above the wedge, and a tick on the
    // right edge.
    const SRgb mark = {220, 0, 0};
    for (const SChartMarker& m : frame.yMarks) {
        const int y = atY(m.x);
        for (int d = 0; d < 6; ++d)
            canvas.Line(layout.left - 12 + d, y - (5 - d), layout.left - 12 + d, y + (5 - d), mark);
        canvas.Fill(layout.left - 6, y, 5, std::max(1, scale), mark);
        canvas.Text(layout.left - 8 - CCanvas::TextWidth(m.label), y - text - 6, m.label, mark);
        canvas.Fill(right + 1, y, 6, std::max(1, scale), mark);
    }
    const int panelLeft = right + 14;
    int y = layout.top + canvas.Legend(panelLeft, layout.top, frame.legend) + 4;
    for (const std::string& note : frame.notes) {
        canvas.Text(panelLeft, y, note, kBlack);
        y += text + 4;
    }
    return canvas;
}
