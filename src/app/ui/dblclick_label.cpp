#include "app/ui/dblclick_label.h"

#include <QMouseEvent>

void TDblClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}
