#pragma once
#include <optional>
#include <string>
#include <vector>

// The serial port names of this machine, in the order the system lists them.
// Windows: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. Linux: the
// serial devices of /sys/class/tty that have a driver, as device paths, each
// followed by the stable names udev gives it (/dev/serial/by-id/...,
// /dev/serial/by-path/...), which find a re-plugged adapter again.
// Nothing (nullopt) when that list cannot be read at all, which is not the
// same as a machine without serial ports (an empty list).
std::optional<std::vector<std::string>> EnumerateSerialPorts();
