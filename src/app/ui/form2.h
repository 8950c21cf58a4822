#pragma once
#include <QWidget>

class QPushButton;
class TCustomComPort;

// The Options window Form2: "Port Setting" runs the port setup dialog for the
// main window's port; "OK" and "Cancel" both just hide the window. It has no
// title-bar buttons and is left only through those two.
class TForm2 : public QWidget {
public:
    explicit TForm2(TCustomComPort& comPort, QWidget* parent = nullptr);

    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    void BitBtn1Click();
    void Button1Click();
    void Button2Click();

protected:
    // Closing (there is no close box) is refused; the buttons hide the window.
    void closeEvent(QCloseEvent* event) override;

private:
    TCustomComPort& comPort_;
};
