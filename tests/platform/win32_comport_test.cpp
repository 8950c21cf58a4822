// The port component on the Windows serial device, end to end: COM1 is a
// pseudo-terminal with scripts/test-windows' echo peer behind it (run under Wine).
#include "platform/sync_call.h"
#include "serial/comport.h"

#include <windows.h>

#include "wine_ports.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(Win32ComPort, OpensWritesDeliversRepliesThroughOnRxCharAndCloses) {
    const char* ports = std::getenv("VR_WINE_TEST_PORTS");
    if (ports == nullptr || std::string(ports).find("COM1") == std::string::npos)
        GTEST_SKIP() << "COM1 is not a test port here (run scripts/test-windows)";
    ASSERT_EQ(WinePortTarget("COM1").rfind("/dev/pts/", 0), 0u);

    TComPort port; // the program's configuration: COM1, 9600 8N1, all ten events
    ASSERT_EQ(port.Port(), "COM1");
    std::vector<std::int32_t> counts;
    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
        counts.push_back(count);
        std::string text;
        sender.ReadStr(text, count);
        received += text;
    };
    std::vector<std::string> eventErrors;
    port.OnEventError = [&](TCustomComPort&, const std::string& m) { eventErrors.push_back(m); };

    port.Open(); // the line states after open read as all off: no error
    ASSERT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    EXPECT_EQ(port.WriteStr("<1/CSV_\r"), 8);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received.find(']') == std::string::npos && std::chrono::steady_clock::now() < deadline)
        WaitForSyncCalls(100);
    EXPECT_EQ(received, "ECHO <1/CSV_]");
    std::int32_t total = 0;
    for (std::int32_t n : counts) {
        EXPECT_GT(n, 0);
        total += n;
    }
    EXPECT_EQ(total, static_cast<std::int32_t>(received.size()));

    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_TRUE(eventErrors.empty()) << eventErrors.front();
}

TEST(Win32ComPort, EventThreadRunsAtItsPriority) {
    const char* ports = std::getenv("VR_WINE_TEST_PORTS");
    if (ports == nullptr || std::string(ports).find("COM1") == std::string::npos)
        GTEST_SKIP() << "COM1 is not a test port here (run scripts/test-windows)";
    ASSERT_EQ(WinePortTarget("COM1").rfind("/dev/pts/", 0), 0u);

    const struct {
        TThreadPriority priority;
        int expected;
    } cases[] = {{tpLowest, THREAD_PRIORITY_LOWEST}, {tpLower, THREAD_PRIORITY_BELOW_NORMAL},
                 {tpNormal, THREAD_PRIORITY_NORMAL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        TComPort port;
        port.SetSyncMethod(smNone); // handlers run on the event thread itself
        std::atomic<int> seen{-1000};
        port.OnRxChar = [&](TCustomComPort& sender, std::int32_t count) {
            std::string text;
            sender.ReadStr(text, count);
            seen.store(GetThreadPriority(GetCurrentThread()));
        };
        port.SetEventThreadPriority(c.priority);
        port.Open();
        EXPECT_EQ(port.WriteStr("<1/CSV_\r"), 8);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (seen.load() == -1000 && std::chrono::steady_clock::now() < deadline)
            Sleep(10);
        port.Close();
        EXPECT_EQ(seen.load(), c.expected);
    }
}

} // namespace
