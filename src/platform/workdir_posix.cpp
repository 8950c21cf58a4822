#include "platform/workdir.h"

#include <cerrno>
#include <string>

#include <unistd.h>

std::string GetWorkingDirectory()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() >= (std::size_t(1) << 20))
            break;
        buffer.resize(buffer.size() * 2);
    }
    // The directory cannot be reported (removed, or unreadable above us). "."
    // still names it: reads find nothing there and writes are refused, instead
    // of the settings landing in "/" by way of an empty directory name.
    return ".";
}

char PathSeparator() { return '/'; }

std::string SettingsFilePath()
{
    std::string dir = GetWorkingDirectory();
    // Only a root ends in the separator; "//" is not guaranteed to mean "/" on POSIX.
    if (dir.empty() || dir.back() != PathSeparator())
        dir += PathSeparator();
    return dir + "varnetrixreader.ini";
}
