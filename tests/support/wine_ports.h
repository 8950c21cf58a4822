#pragma once
#include <windows.h>

#include <string>

// The value Wine maps a port to, "" when there is none (not under Wine).
// The COM tests run only on ports mapped to pseudo-terminals, never on a
// real UART of the machine.
inline std::string WinePortTarget(const std::string& port)
{
    char target[MAX_PATH] = {};
    DWORD size = sizeof target;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Wine\\Ports", port.c_str(), RRF_RT_REG_SZ,
                     nullptr, target, &size) != ERROR_SUCCESS)
        return {};
    return target;
}

// True when the program runs under Wine rather than Windows.
inline bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
