// The port list read from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (run under Wine,
// whose registry the test may write; it removes what it added).
#include "platform/port_enum.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

class Win32PortEnumTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
            GTEST_SKIP() << "the registry key cannot be written here";
    }
    void TearDown() override {
        if (key_ == nullptr) return;
        for (const std::string& name : added_) RegDeleteValueA(key_, name.c_str());
        RegCloseKey(key_);
    }
    // Stores data as given; withZero adds the terminating zero to the value.
    void Add(const std::string& name, const std::string& data, bool withZero) {
        const DWORD size = static_cast<DWORD>(data.size() + (withZero ? 1 : 0));
        ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.c_str()), size),
                  ERROR_SUCCESS);
        added_.push_back(name);
    }
    HKEY key_ = nullptr;
    std::vector<std::string> added_;
};

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

TEST_F(Win32PortEnumTest, ListsTheDataOfEveryValueWithoutItsZero) {
    const std::vector<std::string> before = EnumerateSerialPorts().value();
    Add("\\Device\\VrTest10", "COM10", true);
    Add("\\Device\\VrTest22", "COM22", false); // stored without a terminating zero
    Add("\\Device\\VrTestLong", std::string(250, 'L'), true);

    const std::vector<std::string> after = EnumerateSerialPorts().value();
    EXPECT_TRUE(Contains(after, "COM10"));
    EXPECT_TRUE(Contains(after, "COM22"));
    EXPECT_TRUE(Contains(after, std::string(250, 'L')));
    EXPECT_EQ(after.size(), before.size() + 3);
    for (const std::string& name : before) EXPECT_TRUE(Contains(after, name)) << name;
    for (const std::string& name : after)
        EXPECT_EQ(name.find('\0'), std::string::npos) << "a zero byte inside " << name;
}

TEST_F(Win32PortEnumTest, ValueTooLongForTheBufferEndsTheList) {
    // A data block over 256 bytes cannot be read with the fixed buffer: the
    // listing stops there instead of reporting a cut or garbled name.
    Add("\\Device\\VrTestHuge", std::string(400, 'H'), true);
    const std::vector<std::string> ports = EnumerateSerialPorts().value();
    for (const std::string& name : ports) {
        EXPECT_LT(name.size(), 256u);
        EXPECT_EQ(name.find('H'), std::string::npos) << name;
    }
}

TEST_F(Win32PortEnumTest, KeyThatCannotBeOpenedGivesNoListAtAll) {
    // The key is taken away (its values saved) and put back as it was.
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> saved;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[1024];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key_, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        saved.push_back({std::string(name, nameLength), type,
                         std::string(reinterpret_cast<const char*>(data), dataLength)});
    }
    RegCloseKey(key_);
    key_ = nullptr;
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey) != ERROR_SUCCESS)
        GTEST_SKIP() << "the registry key cannot be removed here";

    EXPECT_EQ(EnumerateSerialPorts(), std::nullopt);

    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    for (const Value& v : saved)
        EXPECT_EQ(RegSetValueExA(key_, v.name.c_str(), 0, v.type,
                                 reinterpret_cast<const BYTE*>(v.data.data()),
                                 static_cast<DWORD>(v.data.size())),
                  ERROR_SUCCESS);
    EXPECT_EQ(EnumerateSerialPorts().value().size(), saved.size());
}

} // namespace
