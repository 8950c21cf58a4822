#include "app/ui/modem_picture.h"

#include <QPainter>

QPixmap ModemPicture()
{
    QPixmap pixmap(150, 24);
    pixmap.fill(QColor(200, 200, 200));
    QPainter p(&pixmap);
    p.setPen(QColor(120, 120, 120));
    p.drawRect(0, 0, 149, 23);
    p.setPen(QColor(235, 235, 235));
    p.drawLine(1, 1, 148, 1);
    // Rack ears with their screw holes.
    p.fillRect(2, 3, 6, 18, QColor(175, 175, 175));
    p.fillRect(142, 3, 6, 18, QColor(175, 175, 175));
    p.setBrush(QColor(90, 90, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(5, 7), 1, 1);
    p.drawEllipse(QPoint(5, 17), 1, 1);
    p.drawEllipse(QPoint(145, 7), 1, 1);
    p.drawEllipse(QPoint(145, 17), 1, 1);
    // Display window with a faint green readout, then keypad and lamps.
    p.fillRect(40, 6, 46, 12, QColor(25, 30, 35));
    p.fillRect(43, 11, 38, 2, QColor(40, 120, 60));
    for (int i = 0; i < 4; ++i)
        p.fillRect(92 + i * 9, 9, 6, 6, QColor(150, 150, 150));
    p.fillRect(14, 9, 4, 4, QColor(40, 200, 60));
    p.fillRect(22, 9, 4, 4, QColor(220, 170, 30));
    return pixmap;
}
