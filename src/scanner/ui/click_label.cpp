#include "scanner/ui/click_label.h"

#include <QMouseEvent>

void TClickLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    TLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    TLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}
