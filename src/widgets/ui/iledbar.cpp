#include "widgets/ui/iledbar.h"

#include "platform/ui/colours.h"

#include <QPainter>
#include <QPolygon>

TiLedBar::TiLedBar(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted by iPaintTo: nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TiLedBar::SetPosition(double value)
{
    if (!model_.SetPosition(value))
        return;
    ++repaintRequests_;
    update();
}

void TiLedBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    iPaintTo(painter);
}

void TiLedBar::iPaintTo(QPainter& painter)
{
    const int w = width();
    const int h = height();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, w, h, FromTColor(model_.BackGroundColor));
    DrawBorder(painter);

    const int n = model_.SegmentCount(w, h);
    const int lit = model_.LitCount(n);
    for (int i = 0; i < n; ++i) {
        const bool on = i < lit;
        if (!on && !model_.ShowOffSegments)
            break;
        const TColor lit_colour = model_.SegmentColor(i, n);
        DrawSegment(painter, model_.SegmentRect(i, w, h), on ? lit_colour : TiLedBarModel::DimmedColor(lit_colour));
    }
    painter.restore();
}

void TiLedBar::DrawSegment(QPainter& painter, const LedRect& r, TColor colour)
{
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    const QColor c = FromTColor(colour);
    switch (model_.SegmentStyle) {
    case ilbssRectangle:
        // Outline and fill in one colour: exactly the rectangle's pixels.
        painter.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), c);
        break;
    case ilbssCircle:
        painter.setPen(c);
        painter.setBrush(c);
        painter.drawEllipse(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
        break;
    case ilbssTriangle: {
        // Points the way the bar fills.
        const int l = r.left, t = r.top, rt = r.right - 1, b = r.bottom - 1;
        const int cx = (l + rt) / 2, cy = (t + b) / 2;
        QPolygon p;
        switch (model_.SegmentDirection) {
        case idRight: p << QPoint(l, t) << QPoint(rt, cy) << QPoint(l, b); break;
        case idLeft: p << QPoint(rt, t) << QPoint(l, cy) << QPoint(rt, b); break;
        case idUp: p << QPoint(l, b) << QPoint(cx, t) << QPoint(rt, b); break;
        case idDown: p << QPoint(l, t) << QPoint(cx, b) << QPoint(rt, t); break;
        }
        painter.setPen(c);
        painter.setBrush(c);
        painter.drawPolygon(p);
        break;
    }
    }
}

void TiLedBar::DrawBorder(QPainter& painter)
{
    if (model_.BorderStyle == ibsNone)
        return;
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor topLeft = model_.BorderStyle == ibsRaised ? light : dark;
    const QColor bottomRight = model_.BorderStyle == ibsRaised ? dark : light;
    const int w = width(), h = height();
    for (int k = 0; k < 2; ++k) {
        painter.setPen(topLeft);
        painter.drawLine(k, k, w - 1 - k, k);
        painter.drawLine(k, k, k, h - 1 - k);
        painter.setPen(bottomRight);
        painter.drawLine(k, h - 1 - k, w - 1 - k, h - 1 - k);
        painter.drawLine(w - 1 - k, k, w - 1 - k, h - 1 - k);
    }
}
