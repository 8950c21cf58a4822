// Other POSIX systems: no portable way to list the serial ports, so there is
// no list to give and the operator keeps the configured port name.
#if !defined(__linux__)
#include "platform/port_enum.h"

std::optional<std::vector<std::string>> EnumerateSerialPorts()
{
    return std::nullopt;
}
#endif
