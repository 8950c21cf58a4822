#pragma once
#include "widgets/led_bar_geometry.h"

#include <QWidget>

class QPainter;

// The segmented level bar (iLedBar1 of the main window): lit from the start
// of its direction up to Position, each segment in the colour of its band.
class TiLedBar : public QWidget {
    Q_OBJECT
public:
    explicit TiLedBar(QWidget* parent = nullptr);

    // Clamps to the range; repaints only when the stored value changes.
    void SetPosition(double value);
    double Position() const { return model_.Position; }

    // The properties. Changing them through Model() takes effect at the
    // next paint; call update() to see it at once.
    TiLedBarModel& Model() { return model_; }
    const TiLedBarModel& Model() const { return model_; }

    // Draws the whole bar at the widget's size.
    void iPaintTo(QPainter& painter);

    // Repaints asked for by SetPosition since construction.
    int RepaintRequests() const { return repaintRequests_; }

    QSize sizeHint() const override { return {505, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawSegment(QPainter& painter, const LedRect& r, TColor colour);
    void DrawBorder(QPainter& painter);

    TiLedBarModel model_;
    int repaintRequests_ = 0;
};
