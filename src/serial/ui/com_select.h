#pragma once
#include "serial/com_types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TCustomComPort;

// Which setting of the port a list edits.
enum TComProperty : std::uint8_t { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The worker behind one setting list: its entries and selection, the bound
// port, and one remembered value per setting, which is what ApplySettings
// writes. It knows no widgets; TComComboBox shows its entries and hands
// the operator's picks to Change.
class TComSelect {
public:
    TComSelect() = default;
    ~TComSelect();
    TComSelect(const TComSelect&) = delete;
    TComSelect& operator=(const TComSelect&) = delete;

    // Setting it refills the entries; then selects the first entry when no
    // port is bound, or shows the port's value when one is.
    TComProperty ComProperty() const { return property_; }
    void SetComProperty(TComProperty value);
    // Binding shows the port's current value. The binding follows the port's
    // life: when the port is destroyed, PortDestroyed runs.
    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port);
    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool value) { autoApply_ = value; }

    const std::vector<std::string>& Items() const { return items_; }
    int ItemIndex() const { return index_; }

    // Selects the entry of the port's current value (ignoring case) and
    // remembers it; with the value not listed nothing is selected and the
    // remembered value stays.
    void UpdateSettings();
    // Writes the remembered value through the port's setter. For the port
    // name, with no entry selected (the current name is not listed and the
    // operator picked none), the current name is kept.
    void ApplySettings();
    // The operator picked entry index; writes at once with AutoApply.
    void Change(int index);
    // The bound port is going away: unbind, select the first entry.
    void PortDestroyed();

    // Called whenever the entries or the selection change by the program.
    std::function<void()> OnListChanged;

    // The remembered values.
    const std::string& Port() const { return port_name_; }
    TBaudRate BaudRate() const { return baudRate_; }
    TDataBits DataBits() const { return dataBits_; }
    TStopBits StopBits() const { return stopBits_; }
    TParityBits Parity() const { return parity_; }
    TFlowControl FlowControl() const { return flowControl_; }

private:
    void Fill();
    void Unbind();
    void Select(int index);
    void Remember(const std::string& text);
    void Notify();

    TComProperty property_ = cpNone;
    TCustomComPort* port_ = nullptr;
    int freeNotification_ = 0;  // the key of this list's request with port_
    bool autoApply_ = false;
    std::vector<std::string> items_;
    int index_ = -1;

    std::string port_name_;
    TBaudRate baudRate_ = brCustom;
    TDataBits dataBits_ = dbFive;
    TStopBits stopBits_ = sbOneStopBit;
    TParityBits parity_ = prNone;
    TFlowControl flowControl_ = fcHardware;
};

// Replaces the entries of List with the machine's serial port names, sorted
// as text ignoring case (COM10 before COM2); leaves List as it was when the
// names cannot be read.
void EnumComPorts(std::vector<std::string>& List);

// Where EnumComPorts takes the names from: EnumerateSerialPorts() unless a
// test installs another source; an empty function restores the default.
using TPortEnumerator = std::function<std::optional<std::vector<std::string>>()>;
void SetPortEnumerator(TPortEnumerator f);
