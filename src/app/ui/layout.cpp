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
    ControlLayout{.name = "Button1config", .kind = ControlKind::Button, .parent = "PresetBox", .left = 8, .top = 16,
                .width = 50, .height = 17, .text = "MetOp", .hint = kRecallButtons[0].hint.data()},
    ControlLayout{.name = "Button2config", .kind = ControlKind::Button, .parent = "PresetBox", .left = 80, .top = 16,
                .width = 50, .height = 17, .text = "FY3A", .hint = kRecallButtons[1].hint.data()},
    ControlLayout{.name = "Button3config", .kind = ControlKind::Button, .parent = "PresetBox", .left = 152, .top = 16,
                .width = 50, .height = 17, .text = "FY3B", .hint = kRecallButtons[2].hint.data()},
    ControlLayout{.name = "Button4config", .kind = ControlKind::Button, .parent = "PresetBox", .left = 80, .top = 44,
                .width = 50, .height = 17, .text = "LRIT", .hint = kRecallButtons[3].hint.data()},
    ControlLayout{.name = "Button5config", .kind = ControlKind::Button, .parent = "PresetBox", .left = 152, .top = 44,
                .width = 50, .height = 17, .text = "Conf. 5", .hint = kRecallButtons[4].hint.data()},
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
    ControlLayout{.name = "StaticText1", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 32,
                .width = 89, .height = 17, .text = "Signal Level, dBm", .font = Aqua},
    ControlLayout{.name = "Label1", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 24,
                .width = 89, .height = 25, .text = "dBm", .font = Lime, .background = Black, .fontPx = 16, .bold = true,
                .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText2", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 72,
                .width = 51, .height = 17, .text = "Raw BER", .font = Aqua},
    ControlLayout{.name = "Label2", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 64,
                .width = 89, .height = 25, .text = "E-ee", .font = Lime, .background = Black, .fontPx = 16, .bold = true,
                .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText3", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 112,
                .width = 75, .height = 17, .text = "Corrected BER", .font = Aqua},
    ControlLayout{.name = "Label3", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 104,
                .width = 89, .height = 25, .text = "E-ee", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText5", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 152,
                .width = 37, .height = 17, .text = "EB/N0", .font = Aqua},
    ControlLayout{.name = "Label5", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 144,
                .width = 89, .height = 25, .text = "db", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText4", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 192,
                .width = 76, .height = 17, .text = "Int. Read Error ", .font = Aqua},
    ControlLayout{.name = "Label4", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 184,
                .width = 89, .height = 25, .text = "mE-ee", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText6", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 232,
                .width = 80, .height = 17, .text = "Buffer Fill Status", .font = Aqua},
    ControlLayout{.name = "Label6", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 224,
                .width = 89, .height = 25, .text = "%", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText7", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 272,
                .width = 83, .height = 17, .text = "Frame BER Stat.", .font = Aqua},
    ControlLayout{.name = "Label7", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 264,
                .width = 89, .height = 25, .text = "mE-ee", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .align = kCentre, .create = kValueLabel},
    ControlLayout{.name = "StaticText8", .kind = ControlKind::StaticText, .parent = "GroupBox1", .left = 8, .top = 312,
                .width = 83, .height = 17, .text = "Frequency offset", .font = Aqua},
    ControlLayout{.name = "Label8", .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 96, .top = 304,
                .width = 89, .height = 25, .text = "Hz", .font = Lime, .background = ToolTipText, .fontPx = 16,
                .bold = true, .hint = "Double click to update offset", .align = kCentre, .create = kValueLabel},

    // Bottom area.
    ControlLayout{.name = "Button1", .kind = ControlKind::Button, .left = 16, .top = 360, .width = 65, .height = 17,
                .text = "Freq.Scan."},
    ControlLayout{.name = "Label9", .kind = ControlKind::Label, .left = 160, .top = 360, .width = 50, .height = 13,
                .text = "Frequency", .font = Lime},
    ControlLayout{.name = "StaticText9", .kind = ControlKind::StaticText, .left = 336, .top = 360, .width = 177,
                .height = 17, .text = "Decoder lock status UNKN", .font = Lime, .align = kCentre},
    ControlLayout{.name = "iLedBar1", .kind = ControlKind::Custom, .left = 16, .top = 392, .width = 505, .height = 16,
                .background = Black, .create = &CreateLevelBar},
    ControlLayout{.name = "StaticText10", .kind = ControlKind::StaticText, .left = 16, .top = 408, .width = 6, .height = 17,
                .text = "|", .font = Yellow},
    ControlLayout{.name = "StaticText11", .kind = ControlKind::StaticText, .left = 129, .top = 408, .width = 6,
                .height = 17, .text = "|", .font = Yellow},
    ControlLayout{.name = "StaticText12", .kind = ControlKind::StaticText, .left = 240, .top = 408, .width = 6,
                .height = 17, .text = "|", .font = Yellow},
    ControlLayout{.name = "StaticText13", .kind = ControlKind::StaticText, .left = 350, .top = 408, .width = 6,
                .height = 17, .text = "|", .font = Yellow},
    ControlLayout{.name = "StaticText14", .kind = ControlKind::StaticText, .left = 460, .top = 408, .width = 6,
                .height = 17, .text = "|", .font = Yellow},
    ControlLayout{.name = "StaticText15", .kind = ControlKind::StaticText, .left = 6, .top = 422, .width = 22,
                .height = 20, .text = "-60", .font = Teal, .fontPx = 13},
    ControlLayout{.name = "StaticText16", .kind = ControlKind::StaticText, .left = 120, .top = 422, .width = 22,
                .height = 20, .text = "-50", .font = Teal, .fontPx = 13},
    ControlLayout{.name = "StaticText17", .kind = ControlKind::StaticText, .left = 230, .top = 422, .width = 22,
                .height = 20, .text = "-40", .font = Teal, .fontPx = 13},
    ControlLayout{.name = "StaticText18", .kind = ControlKind::StaticText, .left = 340, .top = 422, .width = 22,
                .height = 20, .text = "-30", .font = Teal, .fontPx = 13},
    ControlLayout{.name = "StaticText19", .kind = ControlKind::StaticText, .left = 450, .top = 422, .width = 22,
                .height = 20, .text = "-20", .font = Teal, .fontPx = 13},
    ControlLayout{.name = "StaticText20", .kind = ControlKind::StaticText, .left = 496, .top = 422, .width = 32,
                .height = 20, .text = "dBm", .font = Teal, .fontPx = 13},
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
