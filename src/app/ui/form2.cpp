#include "app/ui/form2.h"

#include "app/ui/layout.h"
#include "platform/ui/guard.h"
#include "serial/comport.h"

#include <QCloseEvent>
#include <QPushButton>

TForm2::TForm2(TCustomComPort& comPort, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), comPort_(comPort)
{
    setObjectName(QStringLiteral("Form2"));
    BuildControls(this, Form2Controls());
    BitBtn1 = FindControl<QPushButton>(this, "BitBtn1");
    Button1 = FindControl<QPushButton>(this, "Button1");
    Button2 = FindControl<QPushButton>(this, "Button2");
    ApplyWindowLayout(this, Form2Window());

    connect(BitBtn1, &QPushButton::clicked, this, Guard([this] { BitBtn1Click(); }));
    connect(Button1, &QPushButton::clicked, this, Guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guard([this] { Button2Click(); }));
}

void TForm2::BitBtn1Click() { comPort_.ShowSetupDialog(); }
void TForm2::Button1Click() { hide(); }
void TForm2::Button2Click() { hide(); }

void TForm2::closeEvent(QCloseEvent* event)
{
    // "OK" and "Cancel" hide the window; any close (the window manager's
    // Alt+F4, say) is refused.
    event->ignore();
}
