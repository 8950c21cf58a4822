#pragma once
#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <Qt>

#include <span>


// The window layouts as data: each window is one table of controls, built by
// BuildControls. Positions are relative to the parent's client area (for the
// windows: the area below the menu bar), sizes in pixels at 96 dpi.

// A colour of the layout: none (inherit), an RGB triple, or a system colour.
struct LayoutColour {
    enum Kind { Inherit, Rgb, ToolTipText, WindowText, DarkShadow };
    Kind kind = Inherit;
    QRgb rgb = 0;

    bool IsSet() const { return kind != Inherit; }
    // The colour to use now (system colours from the application palette).
    QColor Resolve() const;
};

namespace Colours {
inline constexpr LayoutColour Navy{LayoutColour::Rgb, 0x000080};
inline constexpr LayoutColour Lime{LayoutColour::Rgb, 0x00FF00};
inline constexpr LayoutColour Aqua{LayoutColour::Rgb, 0x00FFFF};
inline constexpr LayoutColour Yellow{LayoutColour::Rgb, 0xFFFF00};
inline constexpr LayoutColour Teal{LayoutColour::Rgb, 0x008080};
inline constexpr LayoutColour Grey{LayoutColour::Rgb, 0x808080};
inline constexpr LayoutColour Green{LayoutColour::Rgb, 0x008000};
inline constexpr LayoutColour Red{LayoutColour::Rgb, 0xFF0000};
inline constexpr LayoutColour SkyBlue{LayoutColour::Rgb, 0xA6CAF0};
inline constexpr LayoutColour Black{LayoutColour::Rgb, 0x000000};
inline constexpr LayoutColour ToolTipText{LayoutColour::ToolTipText, 0};
inline constexpr LayoutColour WindowText{LayoutColour::WindowText, 0};
} // namespace Colours

enum class ControlKind {
    Picture,      // TImage
    ComboBox,     // TComboBox, editable
    LatchButton,  // TSpeedButton: stays pressed after a click
    GroupBox,     // TGroupBox
    Button,       // TButton
    BitButton,    // TBitBtn without a picture
    Edit,         // TEdit
    CheckBox,     // TCheckBox
    Memo,         // TMemo: vertical scroll bar, skipped by Tab
    StaticText,   // TStaticText
    Label,        // TLabel
    ValueLabel,   // TLabel of the status group that reports double-clicks
    LevelBar,     // TiLedBar
    StatusBar,    // TStatusBar
};

struct ControlLayout {
    const char* name;
    ControlKind kind;
    const char* parent = nullptr;  // a group box of the same table; none: the client area
    int left = 0, top = 0, width = 0, height = 0;
    const char* text = "";
    LayoutColour font{};           // font colour
    LayoutColour background{};
    int fontPx = 0;                // 0: the window's 11 pixels
    bool bold = false;
    const char* hint = nullptr;    // tooltip; only where given
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

struct WindowLayout {
    const char* caption;
    QPoint position;       // top-left of the frame
    QSize outerSize;       // as designed, frame and title bar included
    QSize clientSize;      // the client area (below the menu bar) of that outer size
    LayoutColour background;
};

// Status bar panels, left to right.
struct StatusPanelLayout {
    int width;
    Qt::Alignment align;
};

WindowLayout Form1Window();
std::span<const ControlLayout> Form1Controls();
std::span<const StatusPanelLayout> Form1StatusPanels();

WindowLayout Form2Window();
std::span<const ControlLayout> Form2Controls();

// The window font: "MS Sans Serif", 11 pixels.
QFont WindowFont();

// Creates the controls of the table under client (group boxes first, their
// children inside), each with its object name, geometry, text, font, colours
// and hint. Typed pointers are then found with findChild by name.
void BuildControls(QWidget* client, std::span<const ControlLayout> controls);

// Applies caption, font, place, client size and background of a window. The
// client area is the window itself unless given (a main window's central
// widget); the background goes to it, not to the menu bar, and the window
// grows by what the menu bar takes.
void ApplyWindowLayout(QWidget* window, const WindowLayout& layout, QWidget* client = nullptr);

// The client area of a window: the parent of its controls. It keeps a status
// bar docked to its bottom edge when the window is resized.
class ClientArea : public QWidget {
public:
    explicit ClientArea(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// Sets the font colour (all text roles) and the background of a widget.
void SetFontColour(QWidget* w, const QColor& colour);
void SetBackground(QWidget* w, const QColor& colour);
