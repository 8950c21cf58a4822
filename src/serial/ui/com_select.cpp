#include "serial/ui/com_select.h"

#include "platform/port_enum.h"
#include "serial/com_text.h"
#include "serial/comport.h"

#include <algorithm>
#include <cctype>

namespace {

TPortEnumerator& PortEnumerator()
{
    static TPortEnumerator f;
    return f;
}

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
    });
}

} // namespace

void SetPortEnumerator(TPortEnumerator f) { PortEnumerator() = std::move(f); }

void EnumComPorts(std::vector<std::string>& List)
{
    std::optional<std::vector<std::string>> names = PortEnumerator() ? PortEnumerator()() : EnumerateSerialPorts();
    if (!names)
        return; // the port list cannot be read: the caller's list stays as it was
    std::stable_sort(names->begin(), names->end(), LessIgnoringCase);
    List = std::move(*names);
}

void TComSelect::SetComProperty(TComProperty value)
{
    property_ = value;
    Fill();
    if (!items_.empty()) {
        if (port_)
            UpdateSettings();
        else
            Select(0);
    }
    Notify();
}

void TComSelect::Fill()
{
    items_.clear();
    index_ = -1;
    switch (property_) {
    case cpNone: break;
    case cpPort: EnumComPorts(items_); break;
    case cpBaudRate:
        for (int v = brCustom; v <= br256000; ++v)
            items_.push_back(BaudRateToStr(static_cast<TBaudRate>(v)));
        break;
    case cpDataBits:
        for (int v = dbFive; v <= dbEight; ++v)
            items_.push_back(DataBitsToStr(static_cast<TDataBits>(v)));
        break;
    case cpStopBits:
        for (int v = sbOneStopBit; v <= sbTwoStopBits; ++v)
            items_.push_back(StopBitsToStr(static_cast<TStopBits>(v)));
        break;
    case cpParity:
        for (int v = prNone; v <= prSpace; ++v)
            items_.push_back(ParityToStr(static_cast<TParityBits>(v)));
        break;
    case cpFlowControl:
        for (int v = fcHardware; v <= fcCustom; ++v)
            items_.push_back(FlowControlToStr(static_cast<TFlowControl>(v)));
        break;
    }
}

TComSelect::~TComSelect() { Unbind(); }

void TComSelect::SetComPort(TCustomComPort* port)
{
    Unbind();
    port_ = port;
    if (!port_)
        return;
    freeNotification_ = port_->AddFreeNotification([this] {
        port_ = nullptr;  // gone: nothing to take back from it
        PortDestroyed();
    });
    UpdateSettings();
}

void TComSelect::Unbind()
{
    if (port_)
        port_->RemoveFreeNotification(freeNotification_);
    port_ = nullptr;
}

void TComSelect::PortDestroyed()
{
    Unbind();
    if (!items_.empty())
        Select(0);
    Notify();
}

void TComSelect::Select(int index) { index_ = index; }

void TComSelect::Notify()
{
    if (OnListChanged)
        OnListChanged();
}

void TComSelect::UpdateSettings()
{
    if (!port_)
        return;
    std::string current;
    switch (property_) {
    case cpNone: return;
    case cpPort: current = port_->Port(); break;
    case cpBaudRate: current = BaudRateToStr(port_->BaudRate()); break;
    case cpDataBits: current = DataBitsToStr(port_->DataBits()); break;
    case cpStopBits: current = StopBitsToStr(port_->StopBits()); break;
    case cpParity: current = ParityToStr(port_->Parity().Bits()); break;
    case cpFlowControl: current = FlowControlToStr(port_->FlowControl().FlowControl()); break;
    }
    auto found = std::find_if(items_.begin(), items_.end(), [&](const std::string& e) { return SameText(e, current); });
    if (found == items_.end()) {
        Select(-1);
    } else {
        Select(static_cast<int>(found - items_.begin()));
        Remember(*found);
    }
    Notify();
}

void TComSelect::Remember(const std::string& text)
{
    switch (property_) {
    case cpNone: break;
    case cpPort: port_name_ = text; break;
    case cpBaudRate: baudRate_ = StrToBaudRate(text); break;
    case cpDataBits: dataBits_ = StrToDataBits(text); break;
    case cpStopBits: stopBits_ = StrToStopBits(text); break;
    case cpParity: parity_ = StrToParity(text); break;
    case cpFlowControl: flowControl_ = StrToFlowControl(text); break;
    }
}

void TComSelect::Change(int index)
{
    if (index < 0 || index >= static_cast<int>(items_.size()))
        return;
    Select(index);
    Remember(items_[static_cast<std::size_t>(index)]);
    if (autoApply_)
        ApplySettings();
}

void TComSelect::ApplySettings()
{
    if (!port_)
        return;
    switch (property_) {
    case cpNone: break;
    case cpPort:
        // Nothing listed matches and nothing was picked: writing the
        // remembered (still empty) name would lose the configured port.
        if (index_ >= 0)
            port_->SetPort(port_name_);
        break;
    case cpBaudRate: port_->SetBaudRate(baudRate_); break;
    case cpDataBits: port_->SetDataBits(dataBits_); break;
    case cpStopBits: port_->SetStopBits(stopBits_); break;
    case cpParity: port_->Parity().SetBits(parity_); break;
    case cpFlowControl: port_->FlowControl().SetFlowControl(flowControl_); break;
    }
}
