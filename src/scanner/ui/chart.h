#pragma once
#include "scanner/line_series.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;

// One axis: a fixed range (never scaled to the data), a label and a grid
// line every Increment from the first multiple inside the range, a title.
struct TChartAxis {
    double Minimum = 0;
    double Maximum = 1;
    double Increment = 1;
    QString Title;
};

// The chart's look. The defaults are those of the scan plot.
struct TChartStyle {
    QColor Color{0, 0, 128};  // the whole chart, navy
    bool BackWallTransparent = true;  // the plot area shows the chart colour
    bool LegendVisible = false;
    QString Title = QStringLiteral("SLM-7650 Frequency Scann");
    Qt::Alignment TitleAlignment = Qt::AlignRight;
    QColor TitleColor{128, 128, 0};  // olive
    QFont TextFont = DefaultFont();  // title, labels, axis titles
    TChartAxis BottomAxis{136, 155, 2, QStringLiteral("MHz")};
    TChartAxis LeftAxis{-60, -25, 5, QStringLiteral("dBm")};
    QColor LabelColor{128, 128, 128};     // grey
    QColor AxisTitleColor{0, 128, 0};     // green
    QColor GridColor{53, 53, 53};         // drawn as small dots
    QColor AxisColor{128, 128, 128};
    QColor BackWallColor{255, 255, 255};  // used only when not transparent

    static QFont DefaultFont();  // Arial, 11 pixels
};

// The scan plot: one line series on fixed axes, redrawn whenever the series
// changes. Zoom: drag a rectangle of at least 16 x 16 pixels down and to the
// right with the left button; dragging up and to the left by as much (or
// UndoZoom) goes back to the full range. Pan: drag with the right button,
// horizontally only.
class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    TLineSeries& Series1() { return series_; }
    TChartStyle& Style() { return style_; }

    // The plot area in widget pixels: the left axis minimum lies on its
    // bottom row, the maximum on its top row; the bottom axis minimum on its
    // left column, the maximum on its right column.
    QRect PlotArea() const;

    // The ranges shown now (the axes' own unless zoomed or panned).
    double ViewXMin() const { return xMin_; }
    double ViewXMax() const { return xMax_; }
    double ViewYMin() const { return yMin_; }
    double ViewYMax() const { return yMax_; }
    bool Zoomed() const;
    void UndoZoom();

    static constexpr int kMinimumZoomPixels = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF ToPixel(double x, double y, const QRect& plot) const;
    // Clips the segment between two points to the ranges shown, as values;
    // false when none of it is inside.
    bool ClipToView(double& x0, double& y0, double& x1, double& y1) const;
    void PaintAxes(QPainter& p, const QRect& plot);
    void PaintSeries(QPainter& p, const QRect& plot);

    TChartStyle style_;
    TLineSeries series_;
    double xMin_, xMax_, yMin_, yMax_;

    enum class Drag { None, Zoom, Pan };
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint dragNow_;
    double panStartMin_ = 0, panStartMax_ = 0;
};
