#pragma once
// Windows only: the translation of our control block into the system's DCB,
// kept visible so the bit-field mapping can be checked on its own.
#include <windows.h>

#include "platform/serial_device.h"

DCB ToWin32Dcb(const DeviceControlBlock& block);
