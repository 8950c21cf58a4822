#pragma once
#include "widgets/line_series.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

// One axis: a range (fixed unless its owner changes it; never scaled to the
// data by the chart), a label and a grid line every Increment from the first
// multiple inside the range, a title.
struct TChartAxis {
    TChartAxis(double minimum = 0, double maximum = 1, double increment = 1, QString title = {})
        : Minimum(minimum), Maximum(maximum), Increment(increment), Title(std::move(title))
    {
    }

    double Minimum;
    double Maximum;
    double Increment;
    QString Title;
    // For an axis whose range follows its data (a time axis): the step for
    // the range shown (none: Increment), a mark's text (none: the number),
    // and whether the marks carry labels at all (their grid lines stay).
    std::function<double(double span)> IncrementFor;
    std::function<QString(double value, double increment)> LabelText;
    bool LabelsVisible = true;
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
    // Pixels for the left axis' labels; 0: as wide as its widest label.
    // Charts stacked over one time axis give the same, so their axes line up.
    int LeftLabelsWidth = 0;
    QColor ShadeColor{0, 72, 0};       // shaded spans of X
    QColor CursorColor{255, 255, 255};  // the line under the mouse

    static QFont DefaultFont();  // Arial, 11 pixels
};

// A line series on axes of a fixed range, redrawn whenever the series
// changes: the scan plot, and each strip of the pass plot. Zoom: drag a
// rectangle of at least 16 x 16 pixels down and to the right with the left
// button; dragging up and to the left by as much (or UndoZoom) goes back to
// the axes' ranges. Pan: drag with the right button, horizontally only. A
// right click without a drag opens the widget's actions (addAction) as a
// context menu, when it has any. Spans of X can be shaded behind the series,
// and a vertical line can mark an X (the time under the mouse).
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
    // Shows the axes' ranges after their owner changed them (UndoZoom without
    // the operator's gesture).
    void ShowAxes() { UndoZoom(); }

    void SetShadedSpans(std::vector<std::pair<double, double>> spans);
    const std::vector<std::pair<double, double>>& ShadedSpans() const { return spans_; }
    void SetCursorX(std::optional<double> x);
    std::optional<double> CursorX() const { return cursorX_; }

    // Told after the operator zoomed in or panned (false), or undid the zoom (true).
    void SetOnViewChanged(std::function<void(bool undone)> told) { onViewChanged_ = std::move(told); }
    // Told as the mouse moves over the widget without a button held: the X
    // under it in the plot area, nullopt outside it or when it leaves.
    void SetOnHover(std::function<void(std::optional<double> x)> told);

    static constexpr int kMinimumZoomPixels = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPointF ToPixel(double x, double y, const QRect& plot) const;
    // Clips the segment between two points to the ranges shown, as values;
    // false when none of it is inside.
    bool ClipToView(double& x0, double& y0, double& x1, double& y1) const;
    void PaintShades(QPainter& p, const QRect& plot);
    void PaintAxes(QPainter& p, const QRect& plot);
    void PaintSeries(QPainter& p, const QRect& plot);
    void PaintCursor(QPainter& p, const QRect& plot);
    void ViewChanged(bool undone);

    TChartStyle style_;
    TLineSeries series_;
    double xMin_, xMax_, yMin_, yMax_;
    std::vector<std::pair<double, double>> spans_;
    std::optional<double> cursorX_;
    std::function<void(bool)> onViewChanged_;
    std::function<void(std::optional<double>)> onHover_;

    enum class Drag { None, Zoom, Pan };
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint dragNow_;
    double panStartMin_ = 0, panStartMax_ = 0;
};
