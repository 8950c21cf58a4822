// The serial port names on Linux: the tty devices of sysfs that have a driver.
#include "platform/port_enum.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

// The devices listed under a sysfs tty class directory; EnumerateSerialPorts
// reads /sys/class/tty. Only sysfs is read: the devices are never opened.
// Nothing when the directory cannot be read.
std::optional<std::vector<std::string>> EnumerateSerialPortsIn(const std::string& classDir)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(classDir, ec);
    if (ec)
        return std::nullopt;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        // Virtual consoles, pseudo-terminals and the like have no driver behind them.
        std::error_code linkError;
        if (!fs::exists(entry / "device" / "driver", linkError))
            continue;
        // The 8250 driver registers legacy UART slots whether or not a chip
        // answers there; an empty slot reports type 0 (unknown).
        std::ifstream typeFile(entry / "type");
        int type = -1;
        if (typeFile >> type && type == 0)
            continue;
        names.push_back("/dev/" + entry.filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The devices with, after each, the stable names a folder of udev's links
// gives it (/dev/serial/by-id/...): links whose target is one of the devices.
// A USB adapter plugged in again may come back as another ttyUSBn; its
// stable name finds it all the same.
std::vector<std::string> WithStableNames(const std::vector<std::string>& devices,
                                         const std::vector<std::string>& linkDirs)
{
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> links;  // device, link
    for (const std::string& dir : linkDirs) {
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(it->path(), linkError);
            if (!linkError)
                links.emplace_back("/dev/" + target.filename().string(), it->path().string());
        }
    }
    std::sort(links.begin(), links.end());
    std::vector<std::string> names;
    for (const std::string& device : devices) {
        names.push_back(device);
        for (const auto& [linked, link] : links)
            if (linked == device)
                names.push_back(link);
    }
    return names;
}

std::optional<std::vector<std::string>> EnumerateSerialPorts()
{
    auto devices = EnumerateSerialPortsIn("/sys/class/tty");
    if (!devices)
        return std::nullopt;
    return WithStableNames(*devices, {"/dev/serial/by-id", "/dev/serial/by-path"});
}
