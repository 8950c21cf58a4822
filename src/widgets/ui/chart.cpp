#include "widgets/ui/chart.h"

#include "platform/ui/form_layout.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

QFont TChartStyle::DefaultFont()
{
    QFont f = DesignFont(QStringLiteral("Arial"));
    f.setPixelSize(11);
    return f;
}

namespace {

// The values of an axis that get a label and a grid line.
template <class F>
void ForEachMark(double lo, double hi, double inc, F f)
{
    if (!(inc > 0) || !(hi >= lo))
        return;
    const double first = std::ceil(lo / inc - 1e-9) * inc;
    for (int k = 0;; ++k) {
        const double v = first + k * inc;
        if (v > hi + inc * 1e-9 || k > 1000)  // a bound for absurd increments
            break;
        f(v);
    }
}

QString Label(double v)
{
    if (std::fabs(v) < 1e-9)
        v = 0;  // no "-0" at the origin
    return QString::number(v, 'g', 10);
}

// The step between an axis' marks for the range shown.
double MarkStep(const TChartAxis& axis, double lo, double hi)
{
    return axis.IncrementFor ? axis.IncrementFor(hi - lo) : axis.Increment;
}

QString MarkText(const TChartAxis& axis, double v, double step)
{
    return axis.LabelText ? axis.LabelText(v, step) : Label(v);
}

constexpr int kGap = 4;

} // namespace

TChart::TChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(style_.Title);  // a painted widget has no text of its own to expose
    series_.OnChange = [this] { update(); };
    UndoZoom();
}

TChart::~TChart() { series_.OnChange = nullptr; }

void TChart::UndoZoom()
{
    xMin_ = style_.BottomAxis.Minimum;
    xMax_ = style_.BottomAxis.Maximum;
    yMin_ = style_.LeftAxis.Minimum;
    yMax_ = style_.LeftAxis.Maximum;
    update();
}

bool TChart::Zoomed() const
{
    return xMin_ != style_.BottomAxis.Minimum || xMax_ != style_.BottomAxis.Maximum ||
           yMin_ != style_.LeftAxis.Minimum || yMax_ != style_.LeftAxis.Maximum;
}

QRect TChart::PlotArea() const
{
    const QFontMetrics fm(style_.TextFont);
    const TChartAxis& leftAxis = style_.LeftAxis;
    const TChartAxis& bottomAxis = style_.BottomAxis;
    int labels = style_.LeftLabelsWidth;
    if (labels <= 0) {
        const double step = MarkStep(leftAxis, leftAxis.Minimum, leftAxis.Maximum);
        ForEachMark(leftAxis.Minimum, leftAxis.Maximum, step,
                    [&](double v) { labels = std::max(labels, fm.horizontalAdvance(MarkText(leftAxis, v, step))); });
    }
    const int left = kGap + fm.height() + kGap + labels + kGap;
    const int top = fm.height() + 2 * kGap;
    // Room for half the last label whether or not labels show, so that
    // charts stacked over one time axis keep the same width.
    const double step = MarkStep(bottomAxis, bottomAxis.Minimum, bottomAxis.Maximum);
    const int right = 2 * kGap + fm.horizontalAdvance(MarkText(bottomAxis, bottomAxis.Maximum, step)) / 2;
    const int labelRow = bottomAxis.LabelsVisible ? fm.height() + kGap / 2 : 0;
    const int titleRow = bottomAxis.LabelsVisible || !bottomAxis.Title.isEmpty() ? fm.height() : 0;
    const int bottom = kGap + labelRow + titleRow + kGap;
    return QRect(QPoint(left, top), QPoint(width() - 1 - right, height() - 1 - bottom));
}

void TChart::SetShadedSpans(std::vector<std::pair<double, double>> spans)
{
    spans_ = std::move(spans);
    update();
}

void TChart::SetCursorX(std::optional<double> x)
{
    if (cursorX_ == x)
        return;
    cursorX_ = x;
    update();
}

void TChart::SetOnHover(std::function<void(std::optional<double>)> told)
{
    onHover_ = std::move(told);
    setMouseTracking(static_cast<bool>(onHover_));
}

void TChart::ViewChanged(bool undone)
{
    if (onViewChanged_)
        onViewChanged_(undone);
}

QPointF TChart::ToPixel(double x, double y, const QRect& plot) const
{
    const double fx = xMax_ != xMin_ ? (x - xMin_) / (xMax_ - xMin_) : 0.0;
    const double fy = yMax_ != yMin_ ? (y - yMin_) / (yMax_ - yMin_) : 0.0;
    return {plot.left() + fx * (plot.right() - plot.left()), plot.bottom() - fy * (plot.bottom() - plot.top())};
}

void TChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), style_.Color);
    const QRect plot = PlotArea();
    if (plot.width() < 2 || plot.height() < 2)
        return;
    if (!style_.BackWallTransparent)
        p.fillRect(plot, style_.BackWallColor);

    p.setFont(style_.TextFont);
    p.setPen(style_.TitleColor);
    const QRect titleBox(kGap, kGap, width() - 2 * kGap, QFontMetrics(style_.TextFont).height());
    p.drawText(titleBox, int(style_.TitleAlignment | Qt::AlignVCenter), style_.Title);

    PaintShades(p, plot);
    PaintAxes(p, plot);
    PaintSeries(p, plot);
    PaintCursor(p, plot);

    if (drag_ == Drag::Zoom) {
        p.setClipping(false);
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(dragStart_, dragNow_).normalized());
    }
}

void TChart::PaintShades(QPainter& p, const QRect& plot)
{
    for (const auto& [from, to] : spans_) {
        const double a = std::max(from, xMin_);
        const double b = std::min(to, xMax_);
        if (!(a <= b))
            continue;  // outside the range shown
        const int left = int(std::lround(ToPixel(a, yMin_, plot).x()));
        const int right = int(std::lround(ToPixel(b, yMin_, plot).x()));
        p.fillRect(QRect(QPoint(left, plot.top()), QPoint(std::max(left, right), plot.bottom())), style_.ShadeColor);
    }
}

void TChart::PaintCursor(QPainter& p, const QRect& plot)
{
    if (!cursorX_ || *cursorX_ < xMin_ || *cursorX_ > xMax_)
        return;
    const int x = int(std::lround(ToPixel(*cursorX_, yMin_, plot).x()));
    p.setPen(QPen(style_.CursorColor, 1));
    p.drawLine(x, plot.top(), x, plot.bottom());
}

void TChart::PaintAxes(QPainter& p, const QRect& plot)
{
    const QFontMetrics fm(style_.TextFont);
    QPen grid(style_.GridColor, 1, Qt::DotLine);

    const TChartAxis& bottomAxis = style_.BottomAxis;
    const double xStep = MarkStep(bottomAxis, xMin_, xMax_);
    ForEachMark(xMin_, xMax_, xStep, [&](double v) {
        const int x = int(std::lround(ToPixel(v, yMin_, plot).x()));
        p.setPen(grid);
        p.drawLine(x, plot.top(), x, plot.bottom());
        if (!bottomAxis.LabelsVisible)
            return;
        p.setPen(style_.LabelColor);
        const QString text = MarkText(bottomAxis, v, xStep);
        const int w = fm.horizontalAdvance(text);
        p.drawText(QRect(x - w, plot.bottom() + kGap, 2 * w, fm.height()), Qt::AlignHCenter | Qt::AlignTop, text);
    });
    const TChartAxis& leftAxis = style_.LeftAxis;
    const double yStep = MarkStep(leftAxis, yMin_, yMax_);
    ForEachMark(yMin_, yMax_, yStep, [&](double v) {
        const int y = int(std::lround(ToPixel(xMin_, v, plot).y()));
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        if (!leftAxis.LabelsVisible)
            return;
        p.setPen(style_.LabelColor);
        const QString text = MarkText(leftAxis, v, yStep);
        p.drawText(QRect(0, y - fm.height() / 2, plot.left() - kGap, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   text);
    });

    p.setPen(style_.AxisColor);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());

    p.setPen(style_.AxisTitleColor);
    const int titleTop = plot.bottom() + kGap + (bottomAxis.LabelsVisible ? fm.height() + kGap / 2 : 0);
    p.drawText(QRect(plot.left(), titleTop, plot.width(), fm.height()), Qt::AlignHCenter | Qt::AlignTop,
               style_.BottomAxis.Title);
    p.save();
    p.translate(kGap, plot.center().y());
    p.rotate(-90);
    p.drawText(QRect(-plot.height() / 2, 0, plot.height(), fm.height()), Qt::AlignHCenter | Qt::AlignTop,
               style_.LeftAxis.Title);
    p.restore();
}

void TChart::PaintSeries(QPainter& p, const QRect& plot)
{
    const std::vector<double>& xs = series_.XValues.Value;
    const std::vector<double>& ys = series_.YValues.Value;
    if (xs.empty() || !series_.Active)
        return;
    // Points beyond the fixed axes are kept but never drawn outside the plot
    // area. Each segment is clipped to the shown ranges as values, so that a
    // level of any size (a garbled reply's 7e8 dBm) never meets the pixel
    // conversion; the painter's clip only trims the pen's width.
    p.save();
    p.setClipRect(plot);
    p.setPen(QPen(FromTColor(series_.SeriesColor), 1));
    for (std::size_t i = 1; i < xs.size(); ++i) {
        double x0 = xs[i - 1], y0 = ys[i - 1], x1 = xs[i], y1 = ys[i];
        if (ClipToView(x0, y0, x1, y1))
            p.drawLine(ToPixel(x0, y0, plot), ToPixel(x1, y1, plot));
    }
    if (series_.PointerVisible) {
        p.setPen(QPen(FromTColor(series_.PointerOutlineColor), 1));
        // A marker whose centre lies further out than its size cannot reach
        // the plot area; only the others get pixel coordinates.
        const QRectF reach = QRectF(plot).adjusted(-series_.PointerHorizSize - 1, -series_.PointerVertSize - 1,
                                                   series_.PointerHorizSize + 1, series_.PointerVertSize + 1);
        for (std::size_t i = 0; i < xs.size(); ++i) {
            const QPointF c = ToPixel(xs[i], ys[i], plot);
            if (!(c.x() >= reach.left() && c.x() <= reach.right() && c.y() >= reach.top() && c.y() <= reach.bottom()))
                continue;  // also a coordinate that is no number
            const TColor own = series_.ValueColor(static_cast<int>(i));
            p.setBrush(own == series_.SeriesColor ? FromTColor(series_.PointerColor) : FromTColor(own));
            const QPoint at(int(std::lround(c.x())), int(std::lround(c.y())));
            p.drawEllipse(at, series_.PointerHorizSize, series_.PointerVertSize);
        }
    }
    p.restore();
}

bool TChart::ClipToView(double& x0, double& y0, double& x1, double& y1) const
{
    // Infinite values keep their direction as the largest finite ones; a
    // value that is no number has no place at all.
    constexpr double kFar = 1e300;
    for (double* v : {&x0, &y0, &x1, &y1}) {
        if (std::isnan(*v))
            return false;
        *v = std::clamp(*v, -kFar, kFar);
    }
    // Liang-Barsky: the part of the segment, as t from 0 to 1, inside the view.
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xMin_, xMax_ - x0, y0 - yMin_, yMax_ - y0};
    double t0 = 0.0, t1 = 1.0;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;  // parallel to this edge and outside it
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double sx = x0, sy = y0;
    x0 = sx + t0 * dx;
    y0 = sy + t0 * dy;
    x1 = sx + t1 * dx;
    y1 = sy + t1 * dy;
    return true;
}

void TChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        drag_ = Drag::Zoom;
    } else if (event->button() == Qt::RightButton) {
        drag_ = Drag::Pan;
        panStartMin_ = xMin_;
        panStartMax_ = xMax_;
    } else {
        return;
    }
    dragStart_ = dragNow_ = event->position().toPoint();
}

void TChart::mouseMoveEvent(QMouseEvent* event)
{
    if (drag_ == Drag::None) {
        if (onHover_) {
            const QRect plot = PlotArea();
            const QPoint at = event->position().toPoint();
            if (plot.contains(at) && plot.right() > plot.left())
                onHover_(xMin_ + (at.x() - plot.left()) * (xMax_ - xMin_) / (plot.right() - plot.left()));
            else
                onHover_(std::nullopt);
        }
        return;
    }
    dragNow_ = event->position().toPoint();
    if (drag_ == Drag::Pan) {
        const QRect plot = PlotArea();
        const double perPixel = (panStartMax_ - panStartMin_) / std::max(1, plot.right() - plot.left());
        const double shift = -(dragNow_.x() - dragStart_.x()) * perPixel;
        xMin_ = panStartMin_ + shift;
        xMax_ = panStartMax_ + shift;
        ViewChanged(false);
    }
    update();
}

void TChart::leaveEvent(QEvent* event)
{
    if (onHover_)
        onHover_(std::nullopt);
    QWidget::leaveEvent(event);
}

void TChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (drag_ == Drag::None)
        return;
    dragNow_ = event->position().toPoint();
    const Drag was = drag_;
    drag_ = Drag::None;
    if (was == Drag::Zoom) {
        const int dx = dragNow_.x() - dragStart_.x();
        const int dy = dragNow_.y() - dragStart_.y();
        if (dx >= kMinimumZoomPixels && dy >= kMinimumZoomPixels) {
            const QRect plot = PlotArea();
            const double sx = (xMax_ - xMin_) / std::max(1, plot.right() - plot.left());
            const double sy = (yMax_ - yMin_) / std::max(1, plot.bottom() - plot.top());
            const double x0 = xMin_ + (dragStart_.x() - plot.left()) * sx;
            const double x1 = xMin_ + (dragNow_.x() - plot.left()) * sx;
            const double y0 = yMin_ + (plot.bottom() - dragNow_.y()) * sy;
            const double y1 = yMin_ + (plot.bottom() - dragStart_.y()) * sy;
            xMin_ = x0;
            xMax_ = x1;
            yMin_ = y0;
            yMax_ = y1;
            ViewChanged(false);
        } else if (dx <= -kMinimumZoomPixels && dy <= -kMinimumZoomPixels) {
            UndoZoom();
            ViewChanged(true);
        }
    } else if (was == Drag::Pan && !actions().isEmpty() &&
               (dragNow_ - dragStart_).manhattanLength() < QApplication::startDragDistance()) {
        // A click rather than a drag: the context menu, and the view stays.
        const bool moved = xMin_ != panStartMin_;
        xMin_ = panStartMin_;
        xMax_ = panStartMax_;
        if (moved)
            ViewChanged(false);
        update();
        QMenu::exec(actions(), event->globalPosition().toPoint(), nullptr, this);
        return;
    }
    update();
}
