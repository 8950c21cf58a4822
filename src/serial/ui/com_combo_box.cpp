#include "serial/ui/com_combo_box.h"

#include "platform/ui/guard.h"

#include <QSignalBlocker>

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    select_.OnListChanged = [this] { ShowSelect(); };
    // activated comes only from the operator, not from the program's
    // selection changes. With AutoApply a setter may raise; the guard shows it.
    connect(this, &QComboBox::activated, this, [this](int index) {
        RunGuarded([this, index] { select_.Change(index); });
    });
}

void TComComboBox::ShowSelect()
{
    QSignalBlocker block(this);
    clear();
    for (const auto& item : select_.Items())
        addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    setCurrentIndex(select_.ItemIndex());
}
