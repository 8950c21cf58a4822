#include "widgets/led_bar_geometry.h"

#include <cmath>

bool TiLedBarModel::SetPosition(double value)
{
    if (std::isnan(value))
        return false;  // no position at all: the bar keeps the one it shows
    if (value > PositionMax)
        value = PositionMax;
    if (value < PositionMin)
        value = PositionMin;
    if (value == Position)
        return false;
    Position = value;
    if (Position > CurrentMax)
        CurrentMax = Position;
    return true;
}

double TiLedBarModel::ValuePercent(double value) const
{
    if (PositionMax == PositionMin)
        return 0.0;
    if (value > PositionMax)
        return 1.0;
    if (value < PositionMin)
        return 0.0;
    return (value - PositionMin) / (PositionMax - PositionMin);
}

LedRect TiLedBarModel::DrawingArea(int width, int height) const
{
    const int border = BorderStyle == ibsNone ? 0 : 2;
    return {border, border, width - border, height - border};
}

namespace {

int Step(const TiLedBarModel& m) { return m.SegmentSize + m.SegmentSpacing; }

bool Horizontal(TiLedBarDirection d) { return d == idRight || d == idLeft; }

int Length(const TiLedBarModel& m, const LedRect& area)
{
    return Horizontal(m.SegmentDirection) ? area.Width() : area.Height();
}

} // namespace

int TiLedBarModel::SegmentCount(int width, int height) const
{
    const int step = Step(*this);
    if (step <= 0)
        return 0;
    const int room = Length(*this, DrawingArea(width, height)) - 2 * SegmentMargin + 2;
    return room > 0 ? room / step : 0;
}

LedRect TiLedBarModel::SegmentRect(int i, int width, int height) const
{
    const LedRect area = DrawingArea(width, height);
    const int step = Step(*this);
    const int m = SegmentMargin;
    const int offset = i * step;
    switch (SegmentDirection) {
    case idRight: {
        const int left = area.left + m + offset;
        return {left, area.top + m, left + SegmentSize, area.bottom - m};
    }
    case idLeft: {
        const int right = area.right - m - offset;
        return {right - SegmentSize, area.top + m, right, area.bottom - m};
    }
    case idUp:
    case idDown: {
        // Vertical runs are centred: the leftover is split before the first segment.
        const int room = area.Height() - 2 * m + 2;
        const int centring = step > 0 && room > 0 ? (room % step) / 2 : 0;
        if (SegmentDirection == idUp) {
            const int bottom = area.bottom - m - centring - offset;
            return {area.left + m, bottom - SegmentSize, area.right - m, bottom};
        }
        const int top = area.top + m + centring + offset;
        return {area.left + m, top, area.right - m, top + SegmentSize};
    }
    }
    return {};
}

int TiLedBarModel::LitCount(int n) const
{
    // Default rounding mode: an exact half goes to the even neighbour.
    const double lit = std::nearbyint(ValuePercent(Position) * n + 0.5);
    if (!(lit >= 0))
        return 0;  // also a Position that is no number, set around SetPosition
    return lit > n ? n : static_cast<int>(lit);
}

std::array<int, 4> TiLedBarModel::BandBoundaries(int n) const
{
    std::array<int, 4> b{0, 0, 0, 0};
    if (PositionMax == PositionMin || n == 0)
        return b;
    for (int k = 0; k < 4; ++k)
        b[k] = static_cast<int>(std::nearbyint((SectionEnd[k] - PositionMin) / (PositionMax - PositionMin) * n));
    return b;
}

int TiLedBarModel::BandOfSegment(int i, int n) const
{
    const std::array<int, 4> b = BandBoundaries(n);
    int band = 1;
    for (int k = 2; k <= 5; ++k)
        if (SectionCount >= k && i >= b[k - 2])
            band = k;
    return band;
}

TColor TiLedBarModel::SegmentColor(int i, int n) const
{
    return SectionColor[BandOfSegment(i, n) - 1];
}

TColor TiLedBarModel::DimmedColor(TColor lit)
{
    // A quarter of the lit brightness: visibly the same hue, clearly off.
    return ColorFromRGB(ColorRed(lit) / 4, ColorGreen(lit) / 4, ColorBlue(lit) / 4);
}
