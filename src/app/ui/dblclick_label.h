#pragma once
#include <QLabel>

// A label that reports double-clicks (the frequency offset display Label8).
class TDblClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
