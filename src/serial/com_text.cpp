#include "serial/com_text.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace {

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

template <typename E, std::size_t N>
std::string ToStr(const std::array<const char*, N>& texts, E value)
{
    auto i = static_cast<std::size_t>(value);
    return i < N ? texts[i] : "";
}

template <typename E, std::size_t N>
E FromStr(const std::array<const char*, N>& texts, const std::string& text, E fallback)
{
    for (std::size_t i = 0; i < N; ++i)
        if (SameText(texts[i], text))
            return static_cast<E>(i);
    return fallback;
}

constexpr std::array<const char*, 16> kBaudTexts = {
    "Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<int, 16> kBaudRates = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400,
    19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr std::array<const char*, 3> kStopTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> kFlowTexts = {"Hardware", "Software", "None", "Custom"};
constexpr std::array<const char*, 4> kRtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};
constexpr std::array<const char*, 3> kDtrTexts = {"Disable", "Enable", "Handshake"};

} // namespace

std::string BaudRateToStr(TBaudRate value) { return ToStr(kBaudTexts, value); }
TBaudRate StrToBaudRate(const std::string& text) { return FromStr(kBaudTexts, text, br9600); }
std::string StopBitsToStr(TStopBits value) { return ToStr(kStopTexts, value); }
TStopBits StrToStopBits(const std::string& text) { return FromStr(kStopTexts, text, sbOneStopBit); }
std::string DataBitsToStr(TDataBits value) { return ToStr(kDataTexts, value); }
TDataBits StrToDataBits(const std::string& text) { return FromStr(kDataTexts, text, dbEight); }
std::string ParityToStr(TParityBits value) { return ToStr(kParityTexts, value); }
TParityBits StrToParity(const std::string& text) { return FromStr(kParityTexts, text, prNone); }
std::string FlowControlToStr(TFlowControl value) { return ToStr(kFlowTexts, value); }
TFlowControl StrToFlowControl(const std::string& text) { return FromStr(kFlowTexts, text, fcCustom); }
std::string RTSToStr(TRTSFlowControl value) { return ToStr(kRtsTexts, value); }
TRTSFlowControl StrToRTS(const std::string& text) { return FromStr(kRtsTexts, text, rtsDisable); }
std::string DTRToStr(TDTRFlowControl value) { return ToStr(kDtrTexts, value); }
TDTRFlowControl StrToDTR(const std::string& text) { return FromStr(kDtrTexts, text, dtrDisable); }

int BaudRateToInt(TBaudRate value)
{
    auto i = static_cast<std::size_t>(value);
    return i < kBaudRates.size() ? kBaudRates[i] : 0;
}
