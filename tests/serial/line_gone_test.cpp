// The far end of a real line going away (a pseudo-terminal's master closed):
// whenever it happens, even with bytes still being announced, the port tells
// of a lost line, never of a failed query.
#include "platform/serial_device.h"
#include "platform/sync_call.h"
#include "port_handlers.h"
#include "serial/comport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

struct Pty {
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = ::ptsname(master);
    }
    ~Pty() { Close(); }
    void Close()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    int master = -1;
    std::string slave;
};

TEST(LineGone, QueriesOfAHungUpTerminalFindNothingAndTheWaitReportsTheLoss)
{
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    auto device = CreateSystemSerialDevice();
    ASSERT_EQ(device->Open(pty.slave), 0);
    const std::string bytes = ">1/BCAS_-45.0]";
    ASSERT_EQ(::write(pty.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    pty.Close();

    std::uint32_t errors = 1, status = 1;
    std::int32_t count = -1;
    EXPECT_EQ(device->ClearCommError(errors, count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(device->GetCommModemStatus(status), 0);
    EXPECT_EQ(status, 0u);
    auto stop = device->CreateStopSignal();
    std::uint32_t events = 0;
    ASSERT_EQ(device->SetCommMask(serialos::kEvRxChar), 0);
    EXPECT_EQ(device->WaitCommEvent(*stop, events), WaitOutcome::WaitFailed);
    EXPECT_EQ(device->Close(), 0);
}

TEST(LineGone, BytesAndHangUpTogetherEndInTheLineLostNotice)
{
    SetSyncWakeUp([] {});
    int lost = 0, eventErrors = 0;
    std::string firstError;
    // The hang-up lands anywhere in the announcement of the bytes before it:
    // in the wait, between the wait and the receive handler, or inside it.
    for (int round = 0; round < 40; ++round) {
        Pty pty;
        ASSERT_FALSE(pty.slave.empty());
        TComPort port;
        port.SetPort(pty.slave);
        bool done = false;
        port.OnRxChar = [](TCustomComPort& p, std::int32_t n) {
            std::string got;
            p.ReadStr(got, n);
        };
        port.OnLineLost = [&](TCustomComPort& p) {
            ++lost;
            done = true;
            p.Close();
        };
        port.OnEventError = [&](TCustomComPort&, const std::string& message) {
            if (eventErrors++ == 0)
                firstError = message;
            done = true;
        };
        port.Open();
        const std::string bytes = ">1/CSV_+1500\rLK OK\r]";
        ASSERT_EQ(::write(pty.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        if (round % 2)
            ::usleep(static_cast<useconds_t>(50 * round));
        pty.Close();
        for (int wait = 0; wait < 100 && !done; ++wait)
            WaitForSyncCalls(50);
        EXPECT_TRUE(done) << "round " << round;
        ClearHandlers(port);
        port.Close();
        RunPendingSyncCalls();
    }
    SetSyncWakeUp({});
    EXPECT_EQ(eventErrors, 0) << firstError;
    EXPECT_EQ(lost, 40);
}

} // namespace
