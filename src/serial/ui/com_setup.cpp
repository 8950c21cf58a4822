#include "serial/ui/com_setup.h"

#include "serial/comport.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <memory>

namespace {

TSetupDialogRunner& Runner()
{
    static TSetupDialogRunner f;
    return f;
}

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Setup");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(231, 216);
    setFont(QFont("MS Sans Serif", 8));

    GroupBox1 = new QGroupBox(" Settings ", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 217, 169);

    const char* captions[6] = {"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"};
    const TComProperty properties[6] = {cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl};
    QLabel* labels[6];
    for (int i = 0; i < 6; ++i) {
        labels[i] = new QLabel(captions[i], GroupBox1);
        labels[i]->setObjectName(QString("Label%1").arg(i + 1));
        labels[i]->move(8, 24 + 24 * i);
        labels[i]->adjustSize();
        combos_[i] = new TComComboBox(GroupBox1);
        combos_[i]->setObjectName(QString("Combo%1").arg(i + 1));
        combos_[i]->setGeometry(80, 16 + 24 * i, 129, 21);
        combos_[i]->SetComProperty(properties[i]);
    }
    Label1 = labels[0], Label2 = labels[1], Label3 = labels[2];
    Label4 = labels[3], Label5 = labels[4], Label6 = labels[5];
    Combo1 = combos_[0], Combo2 = combos_[1], Combo3 = combos_[2];
    Combo4 = combos_[3], Combo5 = combos_[4], Combo6 = combos_[5];

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(70, 184, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(150, 184, 75, 25);
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
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
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
