#pragma once
#include "platform/ui/colours.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <Qt>

#include <span>
#include <stdexcept>
#include <string>
#include <typeinfo>

// The form machinery every window builds from: a window is one table of
// controls, built by BuildControls, and one window record applied by
// ApplyWindowLayout. Positions are relative to the parent's client area (for
// the windows: the area below the menu bar), sizes in pixels at 96 dpi.

enum class ControlKind {
    ComboBox,     // TComboBox, editable
    LatchButton,  // TSpeedButton: stays pressed after a click
    GroupBox,     // TGroupBox
    Button,       // TButton
    BitButton,    // TBitBtn without a picture
    Edit,         // TEdit
    CheckBox,     // TCheckBox
    Memo,         // TMemo: vertical scroll bar, skipped by Tab
    StaticText,   // TStaticText
    Label,        // TLabel: sized to its text
    StatusBar,    // TStatusBar: panels set with SetPanels
    Custom,       // a control of the window's own, made by ControlLayout::create
};

struct ControlLayout;
// Makes a control of the window's own kind under parent (text and alignment
// included where it has them); the builder does the rest of the record.
using ControlFactory = QWidget* (*)(const ControlLayout& c, QWidget* parent);

struct ControlLayout {
    const char* name;
    ControlKind kind;
    const char* parent = nullptr;  // a group box of the same table; none: the client area
    int left = 0, top = 0, width = 0, height = 0;
    const char* text = "";
    LayoutColour font{};           // font colour
    LayoutColour background{};
    int fontPx = 0;                // 0: the window's font size
    bool bold = false;
    const char* hint = nullptr;    // tooltip; only where given
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    ControlFactory create = nullptr;  // with ControlKind::Custom
};

struct WindowLayout {
    const char* caption = "";
    QPoint position{};     // top-left of the frame
    QSize outerSize{};     // as designed, frame and title bar included
    QSize clientSize{};    // the client area (below the menu bar) of that outer size
    LayoutColour background{};  // none: the system's window colour
    int fontPoints = 0;    // 0: the window font of 11 pixels; else "MS Sans Serif" at this size
    bool dialog = false;   // a fixed-size dialog, centred on the screen when shown
};

// Status bar panels, left to right.
struct StatusPanelLayout {
    int width;
    Qt::Alignment align;
};

// A font of the layouts by its design name; where that font is missing, one
// of the same build and width, so texts fit their controls as designed.
QFont DesignFont(const QString& family);
// The window font: "MS Sans Serif", 11 pixels.
QFont WindowFont();

// A label-like control of the window's own class L (text and alignment of
// the record), for ControlLayout::create.
template <class L>
QWidget* CreateLabel(const ControlLayout& c, QWidget* parent)
{
    auto* w = new L(QString::fromLatin1(c.text), parent);
    w->setAlignment(c.align);
    return w;
}

// Creates the controls of the table under client (group boxes first, their
// children inside), each with its object name, geometry, text, font, colours
// and hint. Typed pointers are then found with FindControl by name.
void BuildControls(QWidget* client, std::span<const ControlLayout> controls);

// A control of the window's table by name and class. A window is built from
// its table, so a missing one is a fault of the program: it raises
// std::logic_error, in every build.
QWidget* FindControlWidget(QWidget* root, const char* name);
[[noreturn]] void ControlOfWrongClass(QWidget* root, const char* name, const char* expected);
template <class T>
T* FindControl(QWidget* root, const char* name)
{
    if (T* w = dynamic_cast<T*>(FindControlWidget(root, name)))
        return w;
    ControlOfWrongClass(root, name, typeid(T).name());
}

// Applies caption, font, place, client size and background of a window. The
// client area is the window itself unless given (a main window's central
// widget); the background goes to it, not to the menu bar, and the window
// grows by what the menu bar takes.
void ApplyWindowLayout(QWidget* window, const WindowLayout& layout, QWidget* client = nullptr);

// Moves a window so that its frame is centred on its screen.
void CentreOnScreen(QWidget* window);

// Where a window whose frame is `size` goes within `available` so that it
// covers as little as it can of `keepClear` (another window's frame): beside
// it, right, left, below or above, lined up with it, when there is room;
// otherwise the place among those and the corners of `available` that
// covers least of it.
QPoint PlaceClearOf(const QRect& keepClear, const QSize& size, const QRect& available);

// Moves a window that is not shown yet to PlaceClearOf another window's
// frame on that window's screen. Its own frame is taken to be as wide as the
// other's.
void MoveClearOf(QWidget* window, const QWidget* other);

// The client area of a window: the parent of its controls. It keeps a status
// bar docked to its bottom edge when the window is resized.
class ClientArea : public QWidget {
public:
    explicit ClientArea(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};
