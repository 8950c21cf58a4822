// The Linux port list that feeds the setup dialog, read from a fake sysfs tree.
#include "platform/port_enum.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Defined beside EnumerateSerialPorts in platform/port_enum_linux.cpp, which
// reads /sys/class/tty with it.
std::optional<std::vector<std::string>> EnumerateSerialPortsIn(const std::string& classDir);
std::vector<std::string> WithStableNames(const std::vector<std::string>& devices,
                                         const std::vector<std::string>& linkDirs);

namespace {

namespace fs = std::filesystem;

// Builds /sys/class/tty-like entries: the class entry is a symlink to the
// device's directory, "device" a symlink to the bus device, "driver" a
// symlink to the driver, as the kernel lays them out.
class FakeTtyClass {
public:
    FakeTtyClass()
    {
        fs::create_directories(root_.Path() / "devices");
        fs::create_directories(root_.Path() / "drivers" / "port");
        fs::create_directories(ClassDir());
    }

    std::string ClassDir() const { return (root_.Path() / "class" / "tty").string(); }

    // hasDevice: the entry has a bus device; hasDriver: that device is bound.
    // type: the UART type file's content, none when empty.
    void Add(const std::string& name, bool hasDevice, bool hasDriver, const std::string& type = "")
    {
        fs::path dir = root_.Path() / "devices" / name;
        fs::create_directories(dir);
        if (hasDevice) {
            fs::path bus = root_.Path() / "devices" / ("bus-" + name);
            fs::create_directories(bus);
            if (hasDriver)
                fs::create_directory_symlink(root_.Path() / "drivers" / "port", bus / "driver");
            fs::create_directory_symlink(bus, dir / "device");
        }
        if (!type.empty())
            WriteFileBytes((dir / "type").string(), type + "\n");
        fs::create_directory_symlink(dir, fs::path(ClassDir()) / name);
    }

private:
    TempDir root_;
};

TEST(SetupPortEnumeration, ListsDevicesWithADriverAndSkipsEmptyUartSlots)
{
    FakeTtyClass sys;
    sys.Add("console", false, false);
    sys.Add("ptmx", false, false);
    sys.Add("tty0", false, false);
    sys.Add("tty12", false, false);
    sys.Add("ttyS0", true, true, "4");    // a 16550A that answers
    sys.Add("ttyS1", true, true, "0");    // a legacy slot without a chip
    sys.Add("ttyS3", true, true, "0");
    sys.Add("ttyS2", true, false, "4");   // a device nobody drives
    sys.Add("ttyUSB0", true, true);       // adapters have no UART type
    sys.Add("ttyACM0", true, true);
    sys.Add("ttyS10", true, true, "16");

    EXPECT_EQ(EnumerateSerialPortsIn(sys.ClassDir()),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB0"}));
}

TEST(SetupPortEnumeration, NoSerialDevicesGiveAnEmptyListAndNoClassDirectoryNoList)
{
    FakeTtyClass sys;
    EXPECT_EQ(EnumerateSerialPortsIn(sys.ClassDir()), std::vector<std::string>{});
    sys.Add("tty1", false, false);
    EXPECT_EQ(EnumerateSerialPortsIn(sys.ClassDir()), std::vector<std::string>{});
    EXPECT_EQ(EnumerateSerialPortsIn(sys.ClassDir() + "/missing"), std::nullopt);
}

TEST(SetupPortEnumeration, StableNamesOfUdevComeAfterTheirDevice)
{
    TempDir root;
    const fs::path byId = root.Path() / "by-id";
    const fs::path byPath = root.Path() / "by-path";
    fs::create_directories(byId);
    fs::create_directories(byPath);
    // As udev makes them: relative links to the device nodes.
    fs::create_symlink("../../ttyUSB1", byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    fs::create_symlink("../../ttyUSB1", byId / "usb-Prolific_0001-if00-port0");  // (two names, one device)
    fs::create_symlink("../../ttyACM0", byPath / "pci-0000:00:14.0-usb-0:2:1.0");
    fs::create_symlink("../../ttyUSB7", byId / "usb-gone-if00-port0");  // a device no longer listed
    WriteFileBytes((byId / "not-a-link").string(), "x");

    const std::string id = byId.string() + "/";
    EXPECT_EQ(WithStableNames({"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB1"}, {byId.string(), byPath.string()}),
              (std::vector<std::string>{"/dev/ttyACM0", byPath.string() + "/pci-0000:00:14.0-usb-0:2:1.0",
                                        "/dev/ttyS0", "/dev/ttyUSB1",
                                        id + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                        id + "usb-Prolific_0001-if00-port0"}));
    EXPECT_EQ(WithStableNames({"/dev/ttyS0"}, {(root.Path() / "missing").string()}),
              std::vector<std::string>{"/dev/ttyS0"})
        << "no udev links: the plain names only";
}

} // namespace
