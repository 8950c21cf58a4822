#pragma once
#include "serial/ui/com_select.h"

#include <QComboBox>

// A drop-down list of one port setting (the operator can only pick a listed
// entry). It shows the entries of its worker TComSelect, which it owns, and
// hands the operator's picks to it.
class TComComboBox : public QComboBox {
public:
    explicit TComComboBox(QWidget* parent = nullptr);

    TComProperty ComProperty() const { return select_.ComProperty(); }
    void SetComProperty(TComProperty value) { select_.SetComProperty(value); }
    TCustomComPort* ComPort() const { return select_.ComPort(); }
    void SetComPort(TCustomComPort* port) { select_.SetComPort(port); }
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool value) { select_.SetAutoApply(value); }

    void UpdateSettings() { select_.UpdateSettings(); }
    void ApplySettings() { select_.ApplySettings(); }

    TComSelect& ComSelect() { return select_; }
    const TComSelect& ComSelect() const { return select_; }

private:
    void ShowSelect();

    TComSelect select_;
};
