// The serial port names on Windows: the values of the SERIALCOMM registry key.
#include "platform/port_enum.h"

#include <windows.h>

#include <cstring>

std::optional<std::vector<std::string>> EnumerateSerialPorts() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameLength = sizeof valueName;
        BYTE data[256];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, valueName, &valueNameLength, nullptr, &type,
                                          data, &dataLength);
        if (result != ERROR_SUCCESS) break; // ERROR_NO_MORE_ITEMS or any other error
        // The data without its terminating zero (nor anything a stray zero hides).
        const char* text = reinterpret_cast<const char*>(data);
        const void* zero = std::memchr(text, '\0', dataLength);
        const std::size_t length =
            zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                            : dataLength;
        names.emplace_back(text, length);
    }
    RegCloseKey(key);
    return names;
}
