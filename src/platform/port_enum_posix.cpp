// Other POSIX systems: no portable way to list the serial ports, so the list
// stays empty and the operator keeps the configured port name.
#if !defined(__linux__)
#include "platform/port_enum.h"

std::vector<std::string> EnumerateSerialPorts()
{
    return {};
}
#endif
