#include "serial/ecomport.h"

#include <array>

namespace {

constexpr std::array<const char*, 24> kMessages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "Port Not Open",
};

std::string FormatMessage(int errorNumber, int systemError)
{
    std::string text = ComErrorMessage(errorNumber);
    if (systemError > 0)
        text += " (Error: " + std::to_string(systemError) + ")";
    return text;
}

} // namespace

std::string ComErrorMessage(int errorNumber)
{
    if (errorNumber < 1 || errorNumber > static_cast<int>(kMessages.size()))
        return {};
    return kMessages[static_cast<std::size_t>(errorNumber - 1)];
}

EComPort::EComPort(int errorNumber, int systemError)
    : std::runtime_error(FormatMessage(errorNumber, systemError)),
      errorNumber_(errorNumber),
      systemError_(systemError > 0 ? systemError : -1)
{
}
