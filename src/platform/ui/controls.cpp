#include "platform/ui/controls.h"

#include <QEvent>
#include <QResizeEvent>

#include <algorithm>

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void TLabel::setText(const QString& text)
{
    QLabel::setText(text);
    AdjustBounds();
}

void TLabel::SetAutoSize(bool value)
{
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::AdjustBounds()
{
    if (autoSize_)
        resize(sizeHint());
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        AdjustBounds();
}

bool TCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) { setSizeGripEnabled(true); }

void TStatusBar::SetPanels(std::span<const StatusPanelLayout> panels)
{
    for (QLabel* panel : panels_)
        delete panel;
    panels_.clear();
    for (std::size_t i = 0; i < panels.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(objectName() + QStringLiteral("Panel%1").arg(i));
        label->setAlignment(panels[i].align);
        if (i + 1 == panels.size())
            label->setMinimumWidth(panels[i].width);  // the last reaches to the right end
        else
            label->setFixedWidth(panels[i].width);
        panels_.push_back(label);
    }
    PlacePanels();
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    PlacePanels();
}

void TStatusBar::PlacePanels()
{
    // Not in the bar's own layout, which would put its spacing and margins
    // between them: a panel starts where the widths before it end.
    int left = 0;
    for (QLabel* panel : panels_) {
        const bool last = panel == panels_.back();
        const int width = last ? std::max(panel->minimumWidth(), this->width() - left) : panel->minimumWidth();
        panel->setGeometry(left, 0, width, height());
        left += width;
    }
}
