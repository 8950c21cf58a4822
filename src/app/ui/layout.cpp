#include "app/ui/layout.h"

#include "app/ui/app_texts.h"
#include "app/ui/dblclick_label.h"
#include "app/ui/modem_picture.h"
#include "presets/recall.h"
#include "widgets/ui/iledbar.h"

#include <QLabel>

#include <array>

namespace {

using namespace Colours;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

QWidget* CreatePicture(const ControlLayout&, QWidget* parent)
{
    auto* w = new QLabel(parent);
    w->setPixmap(ModemPicture());
    return w;
}

QWidget* CreateLevelBar(const ControlLayout&, QWidget* parent) { return new TiLedBar(parent); }

// The value labels of the status group report double-clicks (Label8).
constexpr ControlFactory kValueLabel = &CreateLabel<TDblClickLabel>;

// A recall button in its group box, n from 1.
constexpr ControlLayout RecallButton(const char* name, int n, int left, int top, const char* caption)
{
    return {.name = name, .kind = ControlKind::Button, .parent = "PresetBox", .left = left, .top = top, .width = 50,
            .height = 17, .text = caption, .hint = kRecallButtons[static_cast<std::size_t>(n - 1)].hint.data()};
}

// A row of the status group: its caption (static text at left 8, aqua, sized
// to the caption) and its value display (label at left 96, 89 x 25, fixed,
// centred, lime, 16 pixels, bold).
constexpr ControlLayout StatusCaption(const char* name, int top, int width, const char* caption)
{
    return {.name = name, .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = top,
            .width = width, .height = 17, .text = caption, .font = Aqua};
}
constexpr ControlLayout StatusValue(const char* name, int top, const char* text, LayoutColour background,
                                    const char* hint = nullptr)
{
    return {.name = name, .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = top, .width = 89,
            .height = 25, .text = text, .font = Lime, .background = background, .fontPx = 16, .bold = true,
            .hint = hint, .align = kCentre, .create = kValueLabel};
}

// The fixed scale under the level bar: tick marks, their values and the unit.
constexpr ControlLayout ScaleTick(const char* name, int left)
{
    return {.name = name, .kind = ControlKind::StaticText, .left = left, .top = 408, .width = 6, .height = 17,
            .text = "|", .font = Yellow};
}
constexpr ControlLayout ScaleText(const char* name, int left, int width, const char* text)
{
    return {.name = name, .kind = ControlKind::StaticText, .left = left, .top = 422, .width = width, .height = 20,
            .text = text, .font = Teal, .fontPx = 13};
}

// Main window. The client area of the original lies below the menu bar; its
// status bar (0, 445, 529 x 18) fills the bottom, so the client is 529 x 463.
const std::array kForm1Controls = {
    // Top and middle area.
    ControlLayout{.name = "Image1", .kind = ControlKind::Custom, .left = 16, .top = 8, .width = 153, .height = 25,
                .create = &CreatePicture},
    ControlLayout{.name = "ComboBox1", .kind = ControlKind::ComboBox, .left = 184, .top = 10, .width = 129, .height = 21,
                .text = "SATELLITE", .background = Red, .bold = true},
    ControlLayout{.name = "SpeedButton1", .kind = ControlKind::LatchButton, .left = 24, .top = 64, .width = 57, .height = 25,
                .text = "Open Port"},
    ControlLayout{.name = "PresetBox", .kind = ControlKind::GroupBox, .left = 104, .top = 40, .width = 209, .height = 73,
                .text = " Recall Config. ", .font = Yellow},
    RecallButton("Button1config", 1, 8, 16, "MetOp"),
    RecallButton("Button2config", 2, 80, 16, "FY3A"),
    RecallButton("Button3config", 3, 152, 16, "FY3B"),
    RecallButton("Button4config", 4, 80, 44, "LRIT"),
    RecallButton("Button5config", 5, 152, 44, "Conf. 5"),
    ControlLayout{.name = "Edit1", .kind = ControlKind::Edit, .left = 16, .top = 128, .width = 217, .height = 21, .text = "<1/"},
    ControlLayout{.name = "BitBtn2", .kind = ControlKind::BitButton, .left = 256, .top = 128, .width = 57, .height = 21,
                .text = "Send"},
    ControlLayout{.name = "CheckBox2", .kind = ControlKind::CheckBox, .left = 16, .top = 157, .width = 129, .height = 17,
                .text = "Show receiving string", .font = Yellow, .fontPx = 7},
    ControlLayout{.name = "Button3", .kind = ControlKind::Button, .left = 160, .top = 158, .width = 41, .height = 17,
                .text = "Clear"},
    ControlLayout{.name = "BitBtn1", .kind = ControlKind::BitButton, .left = 216, .top = 158, .width = 41, .height = 17,
                .text = "BCS", .font = Black, .hint = "Bulk Consolidated Status"},
    ControlLayout{.name = "Button2", .kind = ControlKind::Button, .left = 272, .top = 158, .width = 41, .height = 17,
                .text = "CES", .font = Black, .hint = "Status of voltage, PLL, e.t.c."},
    ControlLayout{.name = "Memo1", .kind = ControlKind::Memo, .left = 16, .top = 184, .width = 297, .height = 161},

    // Status group: no caption; the poll box sits in its frame line.
    ControlLayout{.name = "GroupBox1", .kind = ControlKind::GroupBox, .left = 328, .top = 2, .width = 193, .height = 343,
                .font = Yellow},
    ControlLayout{.name = "CheckBox1", .kind = ControlKind::CheckBox, .parent = "GroupBox1", .left = 16, .top = -2,
                .width = 137, .height = 17, .text = "BCAS Analog parameters", .font = Yellow, .background = Navy},
    StatusCaption("StaticText1", 32, 89, "Signal Level, dBm"), StatusValue("Label1", 24, "dBm", Black),
    StatusCaption("StaticText2", 72, 51, "Raw BER"), StatusValue("Label2", 64, "E-ee", Black),
    StatusCaption("StaticText3", 112, 75, "Corrected BER"), StatusValue("Label3", 104, "E-ee", ToolTipText),
    StatusCaption("StaticText5", 152, 37, "EB/N0"), StatusValue("Label5", 144, "db", ToolTipText),
    StatusCaption("StaticText4", 192, 76, "Int. Read Error "), StatusValue("Label4", 184, "mE-ee", ToolTipText),
    StatusCaption("StaticText6", 232, 80, "Buffer Fill Status"), StatusValue("Label6", 224, "%", ToolTipText),
    StatusCaption("StaticText7", 272, 83, "Frame BER Stat."), StatusValue("Label7", 264, "mE-ee", ToolTipText),
    StatusCaption("StaticText8", 312, 83, "Frequency offset"),
    StatusValue("Label8", 304, "Hz", ToolTipText, "Double click to update offset"),

    // Bottom area.
    ControlLayout{.name = "Button1", .kind = ControlKind::Button, .left = 16, .top = 360, .width = 65, .height = 17,
                .text = "Freq.Scan."},
    ControlLayout{.name = "Label9", .kind = ControlKind::Label, .left = 160, .top = 360, .width = 50, .height = 13,
                .text = "Frequency", .font = Lime},
    ControlLayout{.name = "StaticText9", .kind = ControlKind::StaticText, .left = 336, .top = 360, .width = 177,
                .height = 17, .text = "Decoder lock status UNKN", .font = Lime, .align = kCentre},
    ControlLayout{.name = "iLedBar1", .kind = ControlKind::Custom, .left = 16, .top = 392, .width = 505, .height = 16,
                .background = Black, .create = &CreateLevelBar},
    ScaleTick("StaticText10", 16), ScaleTick("StaticText11", 129), ScaleTick("StaticText12", 240),
    ScaleTick("StaticText13", 350), ScaleTick("StaticText14", 460),
    ScaleText("StaticText15", 6, 22, "-60"), ScaleText("StaticText16", 120, 22, "-50"),
    ScaleText("StaticText17", 230, 22, "-40"), ScaleText("StaticText18", 340, 22, "-30"),
    ScaleText("StaticText19", 450, 22, "-20"), ScaleText("StaticText20", 496, 32, "dBm"),
    ControlLayout{.name = "StatusBar1", .kind = ControlKind::StatusBar, .left = 0, .top = 445, .width = 529, .height = 18,
                .background = SkyBlue},
};

const std::array kForm1Panels = {
    StatusPanelLayout{32, Qt::AlignRight | Qt::AlignVCenter},
    StatusPanelLayout{32, Qt::AlignRight | Qt::AlignVCenter},
    StatusPanelLayout{140, Qt::AlignRight | Qt::AlignVCenter},
    StatusPanelLayout{50, Qt::AlignLeft | Qt::AlignVCenter},
};

// Options window: the same frame as the main window less its menu bar.
const std::array kForm2Controls = {
    ControlLayout{.name = "BitBtn1", .kind = ControlKind::BitButton, .left = 32, .top = 16, .width = 121, .height = 25,
                .text = "Port Setting"},
    ControlLayout{.name = "Button1", .kind = ControlKind::Button, .left = 16, .top = 64, .width = 49, .height = 17,
                .text = "OK"},
    ControlLayout{.name = "Button2", .kind = ControlKind::Button, .left = 120, .top = 64, .width = 51, .height = 17,
                .text = "Cancel"},
};

} // namespace

WindowLayout Form1Window()
{
    return {kMainWindowCaption, QPoint(261, 129), QSize(537, 517), QSize(529, 463), Navy};
}

std::span<const ControlLayout> Form1Controls() { return kForm1Controls; }
std::span<const StatusPanelLayout> Form1StatusPanels() { return kForm1Panels; }

WindowLayout Form2Window()
{
    return {"Options", QPoint(411, 428), QSize(193, 124), QSize(185, 90), Navy};
}

std::span<const ControlLayout> Form2Controls() { return kForm2Controls; }
