// The port setup dialog over this system's own port list and serial device:
// the names come from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (the test adds
// volatile values and removes them again), and a port picked in the dialog
// opens through the Windows backend. Run under Wine by scripts/test-windows,
// where COM1 and COM2 are pseudo-terminals with an echo peer behind them.
#include "platform/port_enum.h"
#include "platform/ui/sync_wakeup.h"
#include "qt_test_environment.h"
#include "serial/comport.h"
#include "serial/ui/com_setup.h"

#include <windows.h>

#include "wine_ports.h"

#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

VR_QT_TEST_ENVIRONMENT();

// Port names registered for one test, as a driver registers its ports.
class RegisteredPorts {
public:
    explicit RegisteredPorts(const std::vector<std::string>& names) {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        for (const std::string& name : names) {
            const std::string value = "\\Device\\VrDialogTest" + name;
            if (RegSetValueExA(key_, value.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(name.c_str()),
                               static_cast<DWORD>(name.size() + 1)) == ERROR_SUCCESS)
                values_.push_back(value);
        }
    }
    ~RegisteredPorts() {
        if (key_ == nullptr) return;
        for (const std::string& value : values_) RegDeleteValueA(key_, value.c_str());
        RegCloseKey(key_);
    }
    RegisteredPorts(const RegisteredPorts&) = delete;
    RegisteredPorts& operator=(const RegisteredPorts&) = delete;
    std::size_t Added() const { return values_.size(); }

private:
    HKEY key_ = nullptr;
    std::vector<std::string> values_;
};

std::vector<std::string> Entries(const QComboBox* c) {
    std::vector<std::string> out;
    for (int i = 0; i < c->count(); ++i) out.push_back(c->itemText(i).toStdString());
    return out;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) - list.begin();
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class Win32SetupDialog : public ::testing::Test {
protected:
    void TearDown() override { SetSetupDialogRunner({}); }
};

TEST_F(Win32SetupDialog, ListsEveryRegisteredPortSortedByNameWithTheCurrentOneSelected) {
    // The names sort as text: "COM910" between "COM91" and "COM92".
    RegisteredPorts ours({"COM92", "COM910", "COM91"});
    ASSERT_EQ(ours.Added(), 3u) << "the port list in the registry cannot be written here";
    TComPort port; // the real Windows device, never opened here
    port.SetPort("COM91");

    std::vector<std::string> listed;
    std::string shown;
    SetSetupDialogRunner([&](TComSetupFrm& d) {
        listed = Entries(d.Combo1);
        shown = d.Combo1->currentText().toStdString();
        return int(QDialog::Rejected);
    });
    EditComPort(port);

    const std::optional<std::vector<std::string>> registered = EnumerateSerialPorts();
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(listed.size(), registered->size());
    for (const std::string& name : *registered)
        EXPECT_LT(IndexOf(listed, name), static_cast<std::ptrdiff_t>(listed.size())) << name;
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(),
                               [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); }));
    EXPECT_EQ(IndexOf(listed, "COM910"), IndexOf(listed, "COM91") + 1);
    EXPECT_EQ(IndexOf(listed, "COM92"), IndexOf(listed, "COM910") + 1);
    EXPECT_EQ(shown, "COM91");
    EXPECT_EQ(port.Port(), "COM91");
    EXPECT_FALSE(port.Connected());
}

TEST_F(Win32SetupDialog, PickingAnotherRegisteredPortMovesAnOpenPortThere) {
    const char* ports = std::getenv("VR_WINE_TEST_PORTS");
    if (ports == nullptr || std::string(ports).find("COM2") == std::string::npos)
        GTEST_SKIP() << "COM1 and COM2 are not test ports here (run scripts/test-windows)";
    ASSERT_EQ(WinePortTarget("COM1").rfind("/dev/pts/", 0), 0u);
    ASSERT_EQ(WinePortTarget("COM2").rfind("/dev/pts/", 0), 0u);

    SyncWakeUp wakeUp;
    TComPort port; // COM1, as the main window configures it
    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
        std::string text;
        sender.ReadStr(text, count);
        received += text;
    };
    port.Open();
    ASSERT_TRUE(port.Connected());

    bool listedCom2 = false;
    SetSetupDialogRunner([&](TComSetupFrm& d) {
        listedCom2 = d.Combo1->findText(QStringLiteral("COM2")) >= 0;
        // The operator's arrow keys, until COM2 shows.
        for (int guard = 0; guard < 64 && d.Combo1->currentText() != QStringLiteral("COM2"); ++guard)
            QTest::keyClick(d.Combo1, Qt::Key_Down);
        return int(QDialog::Accepted);
    });
    EditComPort(port);

    EXPECT_TRUE(listedCom2);
    EXPECT_EQ(port.Port(), "COM2");
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteStr("<1/CSV_\r"), 8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.find(']') != std::string::npos; }, 5000));
    EXPECT_EQ(received, "ECHO <1/CSV_]"); // the COM2 peer's answer
    port.Close();
    EXPECT_FALSE(port.Connected());
}

} // namespace
