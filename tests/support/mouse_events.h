#pragma once
// Mouse events sent straight to a widget, for tests of painted widgets
// (charts) that track presses, moves and releases themselves.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &e);
}

// Press at from, two moves (halfway, to), release at to.
inline void MouseDrag(QWidget& widget, Qt::MouseButton button, QPoint from, QPoint to)
{
    SendMouse(widget, QEvent::MouseButtonPress, from, button, button);
    SendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
    SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, button);
    SendMouse(widget, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}
