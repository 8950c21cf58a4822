// The working directory on Windows.
#include "platform/workdir.h"

#include <windows.h>

#include <vector>

std::string GetWorkingDirectory() {
    // The directory may change between the two calls: retry with the new size.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = GetCurrentDirectoryA(0, nullptr);
        if (needed == 0) break;
        std::vector<char> buffer(needed);
        const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
        if (length == 0) break;
        if (length < needed) return std::string(buffer.data(), length);
    }
    // Not reportable: "." still names it, where an empty text would put the
    // settings at the root of the drive.
    return ".";
}

char PathSeparator() {
    return '\\';
}

std::string SettingsFilePath() {
    // At a drive root the directory already ends in "\": the path then holds
    // two in a row, passed on as formed.
    return GetWorkingDirectory() + PathSeparator() + "varnetrixreader.ini";
}
