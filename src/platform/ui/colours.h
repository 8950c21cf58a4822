#pragma once
#include "platform/colour.h"

#include <QColor>

class QWidget;

// The one conversion from the toolkit's colour number to a Qt colour.
QColor FromTColor(TColor c);

// A colour of a layout table: none (inherit), a fixed colour, or one of the
// system's colours, which are taken from the palette when used.
struct LayoutColour {
    enum Kind { Inherit, Fixed, ToolTipText, WindowText, DarkShadow };
    Kind kind = Inherit;
    TColor colour = 0;

    bool IsSet() const { return kind != Inherit; }
    // The colour to use now (system colours from the application palette).
    QColor Resolve() const;
};

// The named colours of the layouts.
namespace Colours {
inline constexpr LayoutColour Navy{LayoutColour::Fixed, ColorFromRGB(0, 0, 128)};
inline constexpr LayoutColour Lime{LayoutColour::Fixed, ColorFromRGB(0, 255, 0)};
inline constexpr LayoutColour Aqua{LayoutColour::Fixed, ColorFromRGB(0, 255, 255)};
inline constexpr LayoutColour Yellow{LayoutColour::Fixed, ColorFromRGB(255, 255, 0)};
inline constexpr LayoutColour Teal{LayoutColour::Fixed, ColorFromRGB(0, 128, 128)};
inline constexpr LayoutColour Grey{LayoutColour::Fixed, ColorFromRGB(128, 128, 128)};
inline constexpr LayoutColour Green{LayoutColour::Fixed, ColorFromRGB(0, 128, 0)};
inline constexpr LayoutColour Red{LayoutColour::Fixed, ColorFromRGB(255, 0, 0)};
inline constexpr LayoutColour SkyBlue{LayoutColour::Fixed, ColorFromRGB(166, 202, 240)};
inline constexpr LayoutColour Black{LayoutColour::Fixed, ColorFromRGB(0, 0, 0)};
inline constexpr LayoutColour ToolTipText{LayoutColour::ToolTipText, 0};
inline constexpr LayoutColour WindowText{LayoutColour::WindowText, 0};
inline constexpr LayoutColour DarkShadow{LayoutColour::DarkShadow, 0};
} // namespace Colours

// Sets the font colour (the text roles) of a widget. A group box's colour is
// its caption's; the buttons in it keep their own text colour. A check box's
// box and tick keep the system's colours.
void SetFontColour(QWidget* w, const QColor& colour);
// Sets the background of a widget (window, field and button roles, but not a
// check box's box) and has it filled.
void SetBackground(QWidget* w, const QColor& colour);
