#pragma once
#include "serial/ui/com_combo_box.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class TCustomComPort;

// The port setup dialog: six lists (port, bit rate, data bits, stop bits,
// parity, flow control) in a frame, OK and Cancel.
class TComSetupFrm : public QDialog {
public:
    explicit TComSetupFrm(QWidget* parent = nullptr);

    // Combo1 (port) to Combo6 (flow control), in binding order.
    TComComboBox* Combo(int n) const { return combos_[n - 1]; }

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    TComComboBox *Combo1, *Combo2, *Combo3, *Combo4, *Combo5, *Combo6;
    QPushButton* Button1; // OK
    QPushButton* Button2; // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    TComComboBox* combos_[6];
};

// Runs the setup dialog for one port: fills the lists, binds them, shows the
// dialog modally and on OK writes all six settings in one update bracket.
// An error of a setter stops the writing there, closes the bracket and goes
// on to the caller once the dialog is gone.
void EditComPort(TCustomComPort& ComPort);

// Makes TCustomComPort::ShowSetupDialog run EditComPort. The program calls
// it once at start-up.
void RegisterComSetupDialog();

// How EditComPort runs the dialog modally: QDialog::exec unless a test
// installs another runner (an empty function restores exec). It returns the
// dialog's result, QDialog::Accepted for OK.
using TSetupDialogRunner = std::function<int(TComSetupFrm&)>;
void SetSetupDialogRunner(TSetupDialogRunner f);
