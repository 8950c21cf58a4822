// Settings persistence of the port component: the stored groups of
// StoredProps written to and read from one INI section named after the
// component, keys in a fixed order.
#include "platform/ini_file.h"
#include "serial/com_text.h"
#include "serial/comport.h"
#include "serial/ecomport.h"

#include <string>

namespace {

// Character form: 33..127 as the character itself, any other byte as "#" and its code.
std::string CharToText(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (b >= 33 && b <= 127)
        return std::string(1, c);
    return "#" + std::to_string(b);
}

// Empty gives 0; "#" and more gives the number after it (0 unless it is a
// byte value); anything else its first character.
char TextToChar(const std::string& text)
{
    if (text.empty())
        return 0;
    if (text[0] == '#' && text.size() > 1) {
        std::int32_t code = 0;
        if (!TryStrToInt(text.substr(1), code) || code < 0 || code > 255)
            return 0;
        return static_cast<char>(static_cast<unsigned char>(code));
    }
    return text[0];
}

std::string BoolToText(bool value) { return value ? "Yes" : "No"; }

bool TextToBool(const std::string& text)
{
    if (text.size() != 3)
        return false;
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return up(text[0]) == 'Y' && up(text[1]) == 'E' && up(text[2]) == 'S';
}

} // namespace

void TCustomComPort::LoadIniFile(TCustomIniFile& ini)
{
    const std::string& s = Name();
    const TStoredProps props = StoredProps();
    auto readChar = [&](const char* key, char current) { return TextToChar(ini.ReadValue(s, key, CharToText(current))); };
    auto readBool = [&](const char* key, bool current) { return TextToBool(ini.ReadValue(s, key, BoolToText(current))); };

    if (props.Contains(spBasic)) {
        SetPort(ini.ReadValue(s, "Port", Port()));
        const TBaudRate rate = StrToBaudRate(ini.ReadValue(s, "BaudRate", BaudRateToStr(BaudRate())));
        SetBaudRate(rate);
        if (rate == brCustom)
            SetCustomBaudRate(ini.ReadIntValue(s, "CustomBaudRate", 9600));
        SetStopBits(StrToStopBits(ini.ReadValue(s, "StopBits", StopBitsToStr(StopBits()))));
        SetDataBits(StrToDataBits(ini.ReadValue(s, "DataBits", DataBitsToStr(DataBits()))));
        Parity().SetBits(StrToParity(ini.ReadValue(s, "Parity", ParityToStr(Parity().Bits()))));
        FlowControl().SetFlowControl(StrToFlowControl(
            ini.ReadValue(s, "FlowControl", FlowControlToStr(FlowControl().FlowControl()))));
    }
    if (props.Contains(spOthers)) {
        SetEventChar(readChar("EventChar", EventChar()));
        SetDiscardNull(readBool("DiscardNull", DiscardNull()));
    }
    if (props.Contains(spParity)) {
        TComParity& p = Parity();
        p.SetCheck(readBool("Parity.Check", p.Check()));
        p.SetReplace(readBool("Parity.Replace", p.Replace()));
        p.SetReplaceChar(readChar("Parity.ReplaceChar", p.ReplaceChar()));
    }
    if (props.Contains(spBuffer)) {
        TComBuffer& b = Buffer();
        b.SetOutputSize(ini.ReadIntValue(s, "Buffer.OutputSize", b.OutputSize()));
        b.SetInputSize(ini.ReadIntValue(s, "Buffer.InputSize", b.InputSize()));
    }
    if (props.Contains(spTimeouts)) {
        TComTimeouts& t = Timeouts();
        t.SetReadInterval(ini.ReadIntValue(s, "Timeouts.ReadInterval", t.ReadInterval()));
        t.SetReadTotalConstant(ini.ReadIntValue(s, "Timeouts.ReadTotalConstant", t.ReadTotalConstant()));
        t.SetReadTotalMultiplier(ini.ReadIntValue(s, "Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier()));
        t.SetWriteTotalConstant(ini.ReadIntValue(s, "Timeouts.WriteTotalConstant", t.WriteTotalConstant()));
        t.SetWriteTotalMultiplier(ini.ReadIntValue(s, "Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier()));
    }
    if (props.Contains(spFlowControl)) {
        TComFlowControl& f = FlowControl();
        f.SetControlRTS(StrToRTS(ini.ReadValue(s, "FlowControl.ControlRTS", RTSToStr(f.ControlRTS()))));
        f.SetControlDTR(StrToDTR(ini.ReadValue(s, "FlowControl.ControlDTR", DTRToStr(f.ControlDTR()))));
        f.SetDSRSensitivity(readBool("FlowControl.DSRSensitivity", f.DSRSensitivity()));
        f.SetOutCTSFlow(readBool("FlowControl.OutCTSFlow", f.OutCTSFlow()));
        f.SetOutDSRFlow(readBool("FlowControl.OutDSRFlow", f.OutDSRFlow()));
        f.SetTxContinueOnXoff(readBool("FlowControl.TxContinueOnXoff", f.TxContinueOnXoff()));
        f.SetXonXoffIn(readBool("FlowControl.XonXoffIn", f.XonXoffIn()));
        f.SetXonXoffOut(readBool("FlowControl.XonXoffOut", f.XonXoffOut()));
        f.SetXoffChar(readChar("FlowControl.XoffChar", f.XoffChar()));
        f.SetXonChar(readChar("FlowControl.XonChar", f.XonChar()));
    }
}

void TCustomComPort::StoreIniFile(TCustomIniFile& ini)
{
    const std::string& s = Name();
    const TStoredProps props = StoredProps();

    if (props.Contains(spBasic)) {
        ini.WriteValue(s, "Port", Port());
        ini.WriteValue(s, "BaudRate", BaudRateToStr(BaudRate()));
        if (BaudRate() == brCustom)
            ini.WriteIntValue(s, "CustomBaudRate", CustomBaudRate());
        ini.WriteValue(s, "StopBits", StopBitsToStr(StopBits()));
        ini.WriteValue(s, "DataBits", DataBitsToStr(DataBits()));
        ini.WriteValue(s, "Parity", ParityToStr(Parity().Bits()));
        ini.WriteValue(s, "FlowControl", FlowControlToStr(FlowControl().FlowControl()));
    }
    if (props.Contains(spOthers)) {
        ini.WriteValue(s, "EventChar", CharToText(EventChar()));
        ini.WriteValue(s, "DiscardNull", BoolToText(DiscardNull()));
    }
    if (props.Contains(spParity)) {
        const TComParity& p = Parity();
        ini.WriteValue(s, "Parity.Check", BoolToText(p.Check()));
        ini.WriteValue(s, "Parity.Replace", BoolToText(p.Replace()));
        ini.WriteValue(s, "Parity.ReplaceChar", CharToText(p.ReplaceChar()));
    }
    if (props.Contains(spBuffer)) {
        ini.WriteIntValue(s, "Buffer.OutputSize", Buffer().OutputSize());
        ini.WriteIntValue(s, "Buffer.InputSize", Buffer().InputSize());
    }
    if (props.Contains(spTimeouts)) {
        const TComTimeouts& t = Timeouts();
        ini.WriteIntValue(s, "Timeouts.ReadInterval", t.ReadInterval());
        ini.WriteIntValue(s, "Timeouts.ReadTotalConstant", t.ReadTotalConstant());
        ini.WriteIntValue(s, "Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier());
        ini.WriteIntValue(s, "Timeouts.WriteTotalConstant", t.WriteTotalConstant());
        ini.WriteIntValue(s, "Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier());
    }
    if (props.Contains(spFlowControl)) {
        const TComFlowControl& f = FlowControl();
        ini.WriteValue(s, "FlowControl.ControlRTS", RTSToStr(f.ControlRTS()));
        ini.WriteValue(s, "FlowControl.ControlDTR", DTRToStr(f.ControlDTR()));
        ini.WriteValue(s, "FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()));
        ini.WriteValue(s, "FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()));
        ini.WriteValue(s, "FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()));
        ini.WriteValue(s, "FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()));
        ini.WriteValue(s, "FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()));
        ini.WriteValue(s, "FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()));
        ini.WriteValue(s, "FlowControl.XoffChar", CharToText(f.XoffChar()));
        ini.WriteValue(s, "FlowControl.XonChar", CharToText(f.XonChar()));
    }
}

// There is no registry on POSIX, and no registry store yet on Windows: both
// fail as a failed store would. A Windows one can replace these two alone.
void TCustomComPort::LoadRegistry(const std::string&) { throw EComPort(CE_LoadFailed); }
void TCustomComPort::StoreRegistry(const std::string&) { throw EComPort(CE_StoreFailed); }

void TCustomComPort::LoadSettings(TStoreType StoreType, const std::string& Path)
{
    BeginUpdate();
    bool failed = false;
    try {
        if (StoreType == stIniFile) {
            TIniFile ini(Path);
            LoadIniFile(ini);
        } else {
            LoadRegistry(Path);
        }
    } catch (...) {
        failed = true;
    }
    // The bracket is closed even after a failure: a count left at 1 would
    // keep every later setting change from reaching the device.
    try {
        EndUpdate();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(CE_LoadFailed);
}

void TCustomComPort::StoreSettings(TStoreType StoreType, const std::string& Path)
{
    try {
        if (StoreType == stIniFile) {
            TIniFile ini(Path);
            StoreIniFile(ini);
        } else {
            StoreRegistry(Path);
        }
    } catch (...) {
        throw EComPort(CE_StoreFailed);
    }
}
