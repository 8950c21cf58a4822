#pragma once
#include <string>
#include <vector>

// The serial port names of this machine, in the order the system lists them.
// Windows: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. Linux: the
// serial devices of /sys/class/tty that have a driver, as device paths.
std::vector<std::string> EnumerateSerialPorts();
