#pragma once
#include "platform/colour.h"

#include <array>

enum TiLedBarDirection { idUp, idDown, idRight, idLeft };
enum TiLedBarSegmentStyle { ilbssRectangle, ilbssCircle, ilbssTriangle };
enum TiBevelStyle { ibsNone, ibsRaised, ibsLowered };

// A pixel rectangle; right and bottom are exclusive.
struct LedRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const LedRect&) const = default;
};

// The level bar without its widget: the properties of the position and
// progress components it derives from, and the geometry and lighting rules
// its painting follows. The defaults are those of the main window's bar.
struct TiLedBarModel {
    // Position component.
    double PositionMin = -600;
    double PositionMax = -150;
    double Position = -600;
    double CurrentMax = -150;  // running maximum; this bar never draws it

    // Progress component.
    int SectionCount = 5;  // 1..5
    std::array<double, 4> SectionEnd{-500, -300, -200, -160};
    std::array<TColor, 5> SectionColor{
        ColorFromRGB(0, 128, 255),  // blue
        ColorFromRGB(11, 192, 1),   // green
        ColorFromRGB(176, 176, 0),  // olive-yellow
        ColorFromRGB(221, 0, 0),    // dark red
        ColorFromRGB(255, 0, 0),    // red
    };
    bool ShowOffSegments = false;

    // The bar itself.
    int SegmentSize = 1;
    int SegmentSpacing = 1;
    int SegmentMargin = 3;
    TiLedBarDirection SegmentDirection = idRight;
    TiLedBarSegmentStyle SegmentStyle = ilbssRectangle;
    TColor BackGroundColor = ColorFromRGB(0, 0, 0);
    TiBevelStyle BorderStyle = ibsNone;

    // Clamps value to the range (infinities included) and stores it; true
    // when Position changed (the widget repaints only then). A value that is
    // no number (NaN) is ignored.
    bool SetPosition(double value);

    // Fraction of the range that value covers, 0..1 (0 for an empty range).
    double ValuePercent(double value) const;

    // The bar less its border (2 pixels each side when raised or lowered).
    LedRect DrawingArea(int width, int height) const;

    // Number of segments that fit a bar of this outer size.
    int SegmentCount(int width, int height) const;

    // Segment i (0 = the one lit first) of a bar of this outer size.
    LedRect SegmentRect(int i, int width, int height) const;

    // Segments lit at the current Position out of n.
    int LitCount(int n) const;

    // Band boundaries b1..b4 for n segments: band k+1 starts at index b[k].
    std::array<int, 4> BandBoundaries(int n) const;

    // Band (1..5) of segment i out of n, by index, never by Position.
    int BandOfSegment(int i, int n) const;

    // Colour of segment i lit, and the dimmed colour used for unlit ones.
    TColor SegmentColor(int i, int n) const;
    static TColor DimmedColor(TColor lit);
};
