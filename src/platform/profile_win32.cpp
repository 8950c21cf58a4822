// The INI profile functions on Windows: the system's own.
#include "platform/profile.h"

#include <windows.h>

namespace {
constexpr DWORD kReadBufferSize = 2048;
}

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& path) {
    char buffer[kReadBufferSize];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer,
                                                  kReadBufferSize, path.c_str());
    return std::string(buffer, length < kReadBufferSize ? length : kReadBufferSize - 1);
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    // A read-only settings file is refused whoever runs us: an administrator's
    // write (or Wine's, run as root) would otherwise go through.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return false;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           FALSE;
}

void ProfileFlush(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}
