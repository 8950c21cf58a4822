#pragma once
#include "platform/ui/controls.h"

// A label, sized to its text, that reports clicks (press and release of the
// left button on it).
class TClickLabel : public TLabel {
    Q_OBJECT
public:
    using TLabel::TLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
