#pragma once
#include "platform/ui/form_layout.h"

#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>

#include <span>
#include <vector>

// The few controls whose behaviour differs from Qt's own in ways the layouts
// rely on. The builder makes them for their kinds.

// A label sized to its text (the toolkit's AutoSize): every new text, and a
// new font, resize it with its top-left corner in place, so that a longer
// text (137.098766) is never cut. setText hides QLabel::setText so that a
// caller holding a TLabel gets the sizing; with AutoSize false it keeps its
// box.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setText(const QString& text);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    // Resizes to the text now (when AutoSize).
    void AdjustBounds();

protected:
    void changeEvent(QEvent* event) override;

private:
    bool autoSize_ = true;
};

// A check box that takes a click anywhere in its box, as its size in the
// layout says, not only on the mark and the caption's drawn text.
class TCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override;
};

// A status bar with panels of given widths, left to right from its left edge
// without gaps; the last one reaches to the bar's right end. The panels'
// texts are set through Panel(i).
class TStatusBar : public QStatusBar {
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    void SetPanels(std::span<const StatusPanelLayout> panels);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    QLabel* Panel(int i) const { return panels_.at(static_cast<std::size_t>(i)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlacePanels();

    std::vector<QLabel*> panels_;
};
