#include "platform/serial_device.h"

#include <cctype>

#ifndef _WIN32
namespace {

// "COMn" with n a positive decimal number, in any case.
bool ComNumber(const std::string& port, unsigned long& n)
{
    if (port.size() < 4 || port.size() > 12)
        return false;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i])
            return false;
    n = 0;
    for (std::size_t i = 3; i < port.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(port[i])))
            return false;
        n = n * 10 + static_cast<unsigned long>(port[i] - '0');
    }
    return n >= 1;
}

} // namespace
#endif

std::string SerialDevicePath(const std::string& port)
{
#ifdef _WIN32
    return "\\\\.\\" + port;
#else
    if (!port.empty() && port[0] == '/')
        return port;
    unsigned long n = 0;
    if (ComNumber(port, n))
        return "/dev/ttyS" + std::to_string(n - 1);
    return "/dev/" + port;
#endif
}
