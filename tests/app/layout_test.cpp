// The main and Options windows as laid out at creation, control by control.
#include "app/ui/form1.h"
#include "app/ui/dblclick_label.h"
#include "app/ui/form2.h"
#include "form_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <optional>
#include <set>
#include <string>

#include "widgets/ui/iledbar.h"

namespace {

enum class Kind { Picture, Combo, Latch, Group, Button, Edit, Check, Memo, Text, LevelBar, StatusBar };

struct Expected {
    const char* name;
    Kind kind;
    const char* parent;  // nullptr: the client area
    int left, top, width, height;
    const char* text;
    std::optional<QColor> font = std::nullopt;
    std::optional<QColor> background = std::nullopt;
    int fontPx = 11;
    bool bold = false;
    bool centred = false;
    bool sizedToText = false;  // a label: the size above is what the design font gave
};

const QColor navy(0, 0, 128), lime(0, 255, 0), aqua(0, 255, 255), yellow(255, 255, 0), teal(0, 128, 128),
    red(255, 0, 0), skyBlue(166, 202, 240), black(0, 0, 0);

QColor InfoText() { return QApplication::palette().color(QPalette::ToolTipText); }

std::vector<Expected> MainWindowTable()
{
    const char* g = "GroupBox1";
    const char* p = "PresetBox";
    return {
        {"Image1", Kind::Picture, nullptr, 16, 8, 153, 25, ""},
        {"ComboBox1", Kind::Combo, nullptr, 184, 10, 129, 21, "SATELLITE", std::nullopt, red, 11, true},
        {"SpeedButton1", Kind::Latch, nullptr, 24, 64, 57, 25, "Open Port"},
        {"PresetBox", Kind::Group, nullptr, 104, 40, 209, 73, " Recall Config. ", yellow},
        {"Button1config", Kind::Button, p, 8, 16, 50, 17, "MetOp"},
        {"Button2config", Kind::Button, p, 80, 16, 50, 17, "FY3A"},
        {"Button3config", Kind::Button, p, 152, 16, 50, 17, "FY3B"},
        {"Button4config", Kind::Button, p, 80, 44, 50, 17, "LRIT"},
        {"Button5config", Kind::Button, p, 152, 44, 50, 17, "Conf.5"},  // read at creation; "Conf. 5" at design
        {"Edit1", Kind::Edit, nullptr, 16, 128, 217, 21, "<1/"},
        {"BitBtn2", Kind::Button, nullptr, 256, 128, 57, 21, "Send"},
        {"CheckBox2", Kind::Check, nullptr, 16, 157, 129, 17, "Show receiving string", yellow, std::nullopt, 7},
        {"Button3", Kind::Button, nullptr, 160, 158, 41, 17, "Clear"},
        {"BitBtn1", Kind::Button, nullptr, 216, 158, 41, 17, "BCS", black},
        {"Button2", Kind::Button, nullptr, 272, 158, 41, 17, "CES", black},
        {"Memo1", Kind::Memo, nullptr, 16, 184, 297, 161, ""},
        {"GroupBox1", Kind::Group, nullptr, 328, 2, 193, 343, "", yellow},
        {"CheckBox1", Kind::Check, g, 16, -2, 137, 17, "BCAS Analog parameters", yellow},
        {"StaticText1", Kind::Text, g, 8, 32, 89, 17, "Signal Level, dBm", aqua},
        {"StaticText2", Kind::Text, g, 8, 72, 51, 17, "Raw BER", aqua},
        {"StaticText3", Kind::Text, g, 8, 112, 75, 17, "Corrected BER", aqua},
        {"StaticText5", Kind::Text, g, 8, 152, 37, 17, "EB/N0", aqua},
        {"StaticText4", Kind::Text, g, 8, 192, 76, 17, "Int. Read Error ", aqua},
        {"StaticText6", Kind::Text, g, 8, 232, 80, 17, "Buffer Fill Status", aqua},
        {"StaticText7", Kind::Text, g, 8, 272, 83, 17, "Frame BER Stat.", aqua},
        {"StaticText8", Kind::Text, g, 8, 312, 83, 17, "Frequency offset", aqua},
        {"Label1", Kind::Text, g, 96, 24, 89, 25, "dBm", lime, black, 16, true, true},
        {"Label2", Kind::Text, g, 96, 64, 89, 25, "E-ee", lime, black, 16, true, true},
        {"Label3", Kind::Text, g, 96, 104, 89, 25, "E-ee", lime, InfoText(), 16, true, true},
        {"Label5", Kind::Text, g, 96, 144, 89, 25, "db", lime, InfoText(), 16, true, true},
        {"Label4", Kind::Text, g, 96, 184, 89, 25, "mE-ee", lime, InfoText(), 16, true, true},
        {"Label6", Kind::Text, g, 96, 224, 89, 25, "%", lime, InfoText(), 16, true, true},
        {"Label7", Kind::Text, g, 96, 264, 89, 25, "mE-ee", lime, InfoText(), 16, true, true},
        {"Label8", Kind::Text, g, 96, 304, 89, 25, "Hz", lime, InfoText(), 16, true, true},
        {"Button1", Kind::Button, nullptr, 16, 360, 65, 17, "Freq.Scan."},
        {"Label9", Kind::Text, nullptr, 160, 360, 50, 13, "Frequency", lime, std::nullopt, 11, false, false, true},
        {"StaticText9", Kind::Text, nullptr, 336, 360, 177, 17, "Decoder lock status UNKN", lime, std::nullopt, 11,
         false, true},
        {"iLedBar1", Kind::LevelBar, nullptr, 16, 392, 505, 16, ""},
        {"StaticText10", Kind::Text, nullptr, 16, 408, 6, 17, "|", yellow},
        {"StaticText11", Kind::Text, nullptr, 129, 408, 6, 17, "|", yellow},
        {"StaticText12", Kind::Text, nullptr, 240, 408, 6, 17, "|", yellow},
        {"StaticText13", Kind::Text, nullptr, 350, 408, 6, 17, "|", yellow},
        {"StaticText14", Kind::Text, nullptr, 460, 408, 6, 17, "|", yellow},
        {"StaticText15", Kind::Text, nullptr, 6, 422, 22, 20, "-60", teal, std::nullopt, 13},
        {"StaticText16", Kind::Text, nullptr, 120, 422, 22, 20, "-50", teal, std::nullopt, 13},
        {"StaticText17", Kind::Text, nullptr, 230, 422, 22, 20, "-40", teal, std::nullopt, 13},
        {"StaticText18", Kind::Text, nullptr, 340, 422, 22, 20, "-30", teal, std::nullopt, 13},
        {"StaticText19", Kind::Text, nullptr, 450, 422, 22, 20, "-20", teal, std::nullopt, 13},
        {"StaticText20", Kind::Text, nullptr, 496, 422, 32, 20, "dBm", teal, std::nullopt, 13},
        {"StatusBar1", Kind::StatusBar, nullptr, 0, 445, 529, 18, "", std::nullopt, skyBlue},
    };
}

bool IsKind(QWidget* w, Kind kind)
{
    switch (kind) {
    case Kind::Picture: return qobject_cast<QLabel*>(w) && !qobject_cast<QLabel*>(w)->pixmap().isNull();
    case Kind::Combo: return qobject_cast<QComboBox*>(w) && qobject_cast<QComboBox*>(w)->isEditable();
    case Kind::Latch: return qobject_cast<QPushButton*>(w) && qobject_cast<QPushButton*>(w)->isCheckable();
    case Kind::Group: return qobject_cast<QGroupBox*>(w);
    case Kind::Button: return qobject_cast<QPushButton*>(w) && !qobject_cast<QPushButton*>(w)->isCheckable();
    case Kind::Edit: return qobject_cast<QLineEdit*>(w);
    case Kind::Check: return qobject_cast<QCheckBox*>(w);
    case Kind::Memo: return qobject_cast<QPlainTextEdit*>(w);
    case Kind::Text: return qobject_cast<QLabel*>(w);
    case Kind::LevelBar: return qobject_cast<TiLedBar*>(w);
    case Kind::StatusBar: return qobject_cast<QStatusBar*>(w);
    }
    return false;
}

QString TextOf(QWidget* w)
{
    if (auto* x = qobject_cast<QComboBox*>(w)) return x->currentText();
    if (auto* x = qobject_cast<QAbstractButton*>(w)) return x->text();
    if (auto* x = qobject_cast<QGroupBox*>(w)) return x->title();
    if (auto* x = qobject_cast<QLineEdit*>(w)) return x->text();
    if (auto* x = qobject_cast<QPlainTextEdit*>(w)) return x->toPlainText();
    if (auto* x = qobject_cast<QLabel*>(w)) return x->text();
    return {};
}

QColor FontColour(QWidget* w)
{
    return w->palette().color(qobject_cast<QPushButton*>(w) ? QPalette::ButtonText : QPalette::WindowText);
}

QColor BackgroundColour(QWidget* w)
{
    return w->palette().color(qobject_cast<QComboBox*>(w) ? QPalette::Base : QPalette::Window);
}

void CheckControls(QWidget* client, const std::vector<Expected>& table)
{
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        QWidget* w = client->findChild<QWidget*>(QString::fromLatin1(e.name));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(IsKind(w, e.kind));
        QWidget* parent = e.parent ? client->findChild<QWidget*>(QString::fromLatin1(e.parent)) : client;
        EXPECT_EQ(w->parentWidget(), parent);
        if (e.sizedToText) {
            // Sized to its text in the font at hand, which comes close to the design's.
            EXPECT_EQ(w->pos(), QPoint(e.left, e.top));
            EXPECT_EQ(w->size(), w->sizeHint());
            EXPECT_NEAR(w->width(), e.width, 4);
            EXPECT_NEAR(w->height(), e.height, 2);
        } else {
            EXPECT_EQ(w->geometry(), QRect(e.left, e.top, e.width, e.height));
        }
        EXPECT_EQ(Latin1(TextOf(w)), e.text);
        if (e.font) {
            EXPECT_EQ(FontColour(w), *e.font);
        }
        if (e.background) {
            EXPECT_EQ(BackgroundColour(w), *e.background);
            EXPECT_TRUE(w->autoFillBackground());
        }
        EXPECT_EQ(w->font().pixelSize(), e.fontPx);
        EXPECT_EQ(w->font().bold(), e.bold);
        if (auto* label = qobject_cast<QLabel*>(w); label && e.kind == Kind::Text) {
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, e.centred ? Qt::AlignHCenter : Qt::AlignLeft);
        }
    }
}

// Every control of the window shows a hint exactly when the table gives one.
void CheckHints(QWidget* window, const std::map<std::string, std::string>& hints)
{
    std::set<std::string> seen;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const std::string name = Latin1(w->objectName());
        auto it = hints.find(name);
        if (it == hints.end()) {
            EXPECT_TRUE(w->toolTip().isEmpty()) << name << " has a hint";
        } else {
            EXPECT_EQ(Latin1(w->toolTip()), it->second) << name;
            seen.insert(name);
        }
    }
    EXPECT_EQ(seen.size(), hints.size());
}

TEST_F(FormTest, MainWindowLayout)
{
    TForm1& f = MakeForm();
    f.show();
    EXPECT_EQ(Latin1(f.windowTitle()), "Varnetrix Reader v. 0.4.3  21 Jul 2019");
    EXPECT_EQ(f.pos(), QPoint(261, 129));
    QWidget* client = f.centralWidget();
    EXPECT_EQ(client->size(), QSize(529, 463)) << "the client area of a 537 x 517 window";
    EXPECT_EQ(client->palette().color(QPalette::Window), navy);
    EXPECT_EQ(f.font().family(), QStringLiteral("MS Sans Serif"));

    const Qt::WindowFlags flags = f.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(f.minimumSize(), f.maximumSize()) << "resizable";

    CheckControls(client, MainWindowTable());
    CheckHints(&f, {{"Button2", "Status of voltage, PLL, e.t.c."},
                    {"BitBtn1", "Bulk Consolidated Status"},
                    {"Label8", "Double click to update offset"},
                    {"Button1config", "Recall preset 1"},
                    {"Button2config", "Recall preset 2"},
                    {"Button3config", "Recall preset 3"},
                    {"Button4config", "Recall preset 4"},
                    {"Button5config", "Recall preset 5"}});

    // Menu bar: three entries without items.
    QStringList menu;
    for (QAction* a : f.menuBar()->actions()) {
        menu << a->text();
        EXPECT_EQ(a->menu(), nullptr);
    }
    EXPECT_EQ(menu, (QStringList{"File", "Options", "About"}));

    // The channel list, with no item selected.
    QStringList items;
    for (int i = 0; i < f.ComboBox1->count(); ++i)
        items << f.ComboBox1->itemText(i);
    EXPECT_EQ(items, (QStringList{"Metop-A", "Metop-B", "Metop-C", "FY3A", "FY3B", "FY3C", "LRIT", "NOAA-15",
                                  "NOAA-16", "NOAA-18", "NOAA-19", "Meteor-MN1", "Meteor-MN2", "Meteor-MN22", "FY1D"}));
    EXPECT_EQ(f.ComboBox1->currentIndex(), -1);

    EXPECT_EQ(f.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(f.Memo1->focusPolicy() & Qt::TabFocus);

    // Status bar panels: 32, 32, 140 right-aligned, then the clock left-aligned.
    const int widths[] = {32, 32, 140, 50};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.StatusPanel[i]->minimumWidth(), widths[i]);
        EXPECT_EQ(f.StatusPanel[i]->alignment() & Qt::AlignHorizontal_Mask, i < 3 ? Qt::AlignRight : Qt::AlignLeft);
    }

    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_EQ(f.Timer2->interval(), 500);
    EXPECT_DOUBLE_EQ(f.iLedBar1->Position(), -600.0);
    EXPECT_FALSE(f.ComPort.Connected());
    EXPECT_EQ(f.ComPort.Name(), "ComPort");
}

TEST_F(FormTest, StatusBarStaysDockedToTheBottomWhenTheWindowIsResized)
{
    TForm1& f = MakeForm();
    f.show();
    f.resize(f.width() + 100, f.height() + 60);
    QCoreApplication::processEvents();
    QWidget* client = f.centralWidget();
    EXPECT_EQ(f.StatusBar1->geometry(), QRect(0, client->height() - 18, client->width(), 18));
}

TEST_F(FormTest, StatusBarPanelsStartWhereTheWidthsBeforeThemEnd)
{
    TForm1& f = MakeForm();
    f.show();
    for (int grow : {0, 100}) {
        SCOPED_TRACE(grow);
        f.resize(f.width() + grow, f.height());
        QCoreApplication::processEvents();
        const int lefts[] = {0, 32, 64, 204};
        const int widths[] = {32, 32, 140};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(f.StatusPanel[i]->parentWidget(), f.StatusBar1);
            EXPECT_EQ(f.StatusPanel[i]->x(), lefts[i]) << "panel " << i;
            EXPECT_EQ(f.StatusPanel[i]->height(), f.StatusBar1->height());
            if (i < 3) {
                EXPECT_EQ(f.StatusPanel[i]->width(), widths[i]);
            }
        }
        // The clock's panel reaches to the bar's right end.
        EXPECT_EQ(f.StatusPanel[3]->geometry().right(), f.StatusBar1->width() - 1);
    }
}

TEST_F(FormTest, CheckBoxesTakeAClickAnywhereInTheirBoxes)
{
    TForm1& f = MakeForm();
    f.show();
    // Right of the caption's text, still inside the box the layout gives.
    QCheckBox* echo = f.CheckBox2;
    ASSERT_EQ(echo->size(), QSize(129, 17));
    QTest::mouseClick(echo, Qt::LeftButton, {}, QPoint(echo->width() - 2, echo->height() - 2));
    EXPECT_TRUE(echo->isChecked());
    QTest::mouseClick(echo, Qt::LeftButton, {}, QPoint(echo->width() - 2, 1));
    EXPECT_FALSE(echo->isChecked());
    // The poll box in the status group's frame line likewise (port closed:
    // its rule shows the guard and unticks it, so the click arrived).
    QTest::mouseClick(f.CheckBox1, Qt::LeftButton, {}, QPoint(f.CheckBox1->width() - 2, f.CheckBox1->height() / 2));
    EXPECT_EQ(boxes_.messages, std::vector<std::string>{"First, open Com Port please !"});
}

TEST_F(FormTest, TunedFrequencyLabelGrowsWithItsText)
{
    OpenPort();
    TForm1& f = Form();
    const QPoint place = f.Label9->pos();
    f.State.ChannelFrequency = 137.1;
    f.Label8->setText(QStringLiteral("1234"));
    f.Label8DblClick();
    ASSERT_EQ(Latin1(f.Label9->text()), "137.098766");
    EXPECT_EQ(f.Label9->pos(), place);
    EXPECT_GE(f.Label9->width(), f.Label9->fontMetrics().horizontalAdvance(f.Label9->text()));
    EXPECT_EQ(f.Label9->size(), f.Label9->sizeHint());
    // And shrinks back with a shorter one.
    f.Label8->setText(QStringLiteral("0"));
    f.Label8DblClick();
    ASSERT_EQ(Latin1(f.Label9->text()), "137.1");
    EXPECT_EQ(f.Label9->size(), f.Label9->sizeHint());
}

TEST_F(FormTest, OptionsWindowLayout)
{
    TForm1& f = MakeForm();
    TForm2 options(f.ComPort);
    EXPECT_EQ(Latin1(options.windowTitle()), "Options");
    EXPECT_EQ(options.pos(), QPoint(411, 428));
    EXPECT_EQ(options.size(), QSize(185, 90)) << "the client area of a 193 x 124 window";
    EXPECT_EQ(options.palette().color(QPalette::Window), navy);
    EXPECT_FALSE(options.isVisible());

    const Qt::WindowFlags flags = options.windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    for (Qt::WindowType button : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                  Qt::WindowMaximizeButtonHint})
        EXPECT_FALSE(flags & button) << "no title-bar buttons";

    CheckControls(&options, {{"BitBtn1", Kind::Button, nullptr, 32, 16, 121, 25, "Port Setting"},
                             {"Button1", Kind::Button, nullptr, 16, 64, 49, 17, "OK"},
                             {"Button2", Kind::Button, nullptr, 120, 64, 51, 17, "Cancel"}});
    CheckHints(&options, {});
}

TEST_F(FormTest, OptionsWindowIsLeftOnlyThroughOkOrCancel)
{
    TForm1& f = MakeForm();
    TForm2 options(f.ComPort);
    for (QPushButton* button : {options.Button1, options.Button2}) {
        options.show();
        button->click();
        EXPECT_FALSE(options.isVisible()) << Latin1(button->text());
    }
    options.show();
    // A close asked for in any other way (the window manager's Alt+F4) is refused.
    EXPECT_FALSE(options.close());
    EXPECT_TRUE(options.isVisible());
}

TEST_F(FormTest, PortSettingRunsTheSetupDialogOfTheMainWindowsPort)
{
    TForm1& f = MakeForm();
    TForm2 options(f.ComPort);
    TCustomComPort* shownFor = nullptr;
    SetEditComPortFunction([&](TCustomComPort& port) { shownFor = &port; });
    options.BitBtn1->click();
    SetEditComPortFunction({});
    EXPECT_EQ(shownFor, &f.ComPort);
}

} // namespace
