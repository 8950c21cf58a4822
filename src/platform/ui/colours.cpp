#include "platform/ui/colours.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPalette>
#include <QWidget>

QColor FromTColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

QColor LayoutColour::Resolve() const
{
    const QPalette palette = QApplication::palette();
    switch (kind) {
    case Fixed: return FromTColor(colour);
    case ToolTipText: return palette.color(QPalette::ToolTipText);
    case WindowText: return palette.color(QPalette::WindowText);
    case DarkShadow: return palette.color(QPalette::Shadow);
    case Inherit: break;
    }
    return {};
}

void SetFontColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    // A group box's colour is its caption's (and its labels'); the buttons
    // in it keep their own text colour, as system-drawn buttons do. A check
    // box's is its caption's: its box and tick keep the system's colours.
    if (!qobject_cast<QGroupBox*>(w)) {
        p.setColor(QPalette::ButtonText, colour);
        if (!qobject_cast<QCheckBox*>(w))
            p.setColor(QPalette::Text, colour);
    }
    w->setPalette(p);
}

void SetBackground(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Button, colour);
    // The field of a combo or edit box; a check box's box stays as the system draws it.
    if (!qobject_cast<QCheckBox*>(w))
        p.setColor(QPalette::Base, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
