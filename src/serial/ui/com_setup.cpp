#include "serial/ui/com_setup.h"

#include "platform/ui/form_layout.h"
#include "serial/comport.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <array>
#include <memory>

namespace {

TSetupDialogRunner& Runner()
{
    static TSetupDialogRunner f;
    return f;
}

QWidget* CreateComboBox(const ControlLayout&, QWidget* parent) { return new TComComboBox(parent); }

const WindowLayout kSetupWindow{.caption = "Setup", .clientSize = QSize(231, 216), .fontPoints = 8, .dialog = true};

// One row of the frame per setting, every 24 pixels: its label (sized to its
// text) and its list.
constexpr ControlLayout SettingLabel(const char* name, int row, const char* text)
{
    return {.name = name, .kind = ControlKind::Label, .parent = "GroupBox1", .left = 8, .top = 24 + 24 * row,
            .text = text};
}
constexpr ControlLayout SettingList(const char* name, int row)
{
    return {.name = name, .kind = ControlKind::Custom, .parent = "GroupBox1", .left = 80, .top = 16 + 24 * row,
            .width = 129, .height = 21, .create = &CreateComboBox};
}

const std::array kSetupControls = {
    ControlLayout{.name = "GroupBox1", .kind = ControlKind::GroupBox, .left = 8, .top = 8, .width = 217,
                  .height = 169, .text = " Settings "},
    SettingLabel("Label1", 0, "Port"),      SettingLabel("Label2", 1, "Baud rate"),
    SettingLabel("Label3", 2, "Data bits"), SettingLabel("Label4", 3, "Stop bits"),
    SettingLabel("Label5", 4, "Parity"),    SettingLabel("Label6", 5, "Flow control"),
    SettingList("Combo1", 0), SettingList("Combo2", 1), SettingList("Combo3", 2),
    SettingList("Combo4", 3), SettingList("Combo5", 4), SettingList("Combo6", 5),
    ControlLayout{.name = "Button1", .kind = ControlKind::Button, .left = 70, .top = 184, .width = 75, .height = 25,
                  .text = "OK"},
    ControlLayout{.name = "Button2", .kind = ControlKind::Button, .left = 150, .top = 184, .width = 75,
                  .height = 25, .text = "Cancel"},
};

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The font first: the labels are sized to their texts in it.
    ApplyWindowLayout(this, kSetupWindow);
    BuildControls(this, kSetupControls);

    GroupBox1 = FindControl<QGroupBox>(this, "GroupBox1");
    const char* labels[6] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
    const char* combos[6] = {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6"};
    const TComProperty properties[6] = {cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl};
    QLabel* label[6];
    for (int i = 0; i < 6; ++i) {
        label[i] = FindControl<QLabel>(this, labels[i]);
        combos_[i] = FindControl<TComComboBox>(this, combos[i]);
        combos_[i]->SetComProperty(properties[i]);
    }
    Label1 = label[0], Label2 = label[1], Label3 = label[2];
    Label4 = label[3], Label5 = label[4], Label6 = label[5];
    Combo1 = combos_[0], Combo2 = combos_[1], Combo3 = combos_[2];
    Combo4 = combos_[3], Combo5 = combos_[4], Combo6 = combos_[5];

    Button1 = FindControl<QPushButton>(this, "Button1");
    Button1->setDefault(true);
    Button2 = FindControl<QPushButton>(this, "Button2");
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    for (int i = 0; i + 1 < 6; ++i)
        setTabOrder(combos_[i], combos_[i + 1]);
    setTabOrder(Combo6, Button1);
    setTabOrder(Button1, Button2);
}

void TComSetupFrm::showEvent(QShowEvent* event)
{
    // Centred on the screen rather than on the window that opened it.
    CentreOnScreen(this);
    QDialog::showEvent(event);
}

void SetSetupDialogRunner(TSetupDialogRunner f) { Runner() = std::move(f); }

void EditComPort(TCustomComPort& ComPort)
{
    auto dialog = std::make_unique<TComSetupFrm>();
    for (int n = 1; n <= 6; ++n)
        dialog->Combo(n)->SetComPort(&ComPort);
    for (int n = 1; n <= 6; ++n)
        dialog->Combo(n)->UpdateSettings();

    const int result = Runner() ? Runner()(*dialog) : dialog->exec();
    if (result == QDialog::Accepted) {
        ComPort.BeginUpdate();
        try {
            for (int n = 1; n <= 6; ++n)
                dialog->Combo(n)->ApplySettings();
        } catch (...) {
            try {
                ComPort.EndUpdate();
            } catch (...) {
                // The setter's error is the one the operator needs to see.
            }
            throw;
        }
        ComPort.EndUpdate();
    }
    // The lists are unbound with the dialog, which goes before any error
    // continues to the caller.
}

void RegisterComSetupDialog() { SetEditComPortFunction(EditComPort); }
