// The Windows serial device. The COM tests run only where scripts/test-windows
// has mapped the ports to pseudo-terminals with its echo peer behind them
// (VR_WINE_TEST_PORTS, checked against Wine's own port mapping): they never
// open a real serial device.
#include "platform/serial_dcb_win32.h"
#include "platform/serial_device.h"

#include <windows.h>

#include "wine_ports.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kAllEvents = serialos::kEvRxChar | serialos::kEvRxFlag |
                                     serialos::kEvTxEmpty | serialos::kEvCts | serialos::kEvDsr |
                                     serialos::kEvRlsd | serialos::kEvBreak | serialos::kEvErr |
                                     serialos::kEvRing | serialos::kEvRx80Full;

TEST(Win32SerialDevicePath, IsTheDeviceNamespacePlusThePortName) {
    EXPECT_EQ(SerialDevicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(SerialDevicePath("COM10"), "\\\\.\\COM10");
}

TEST(Win32SerialDcb, EveryFieldLandsInItsBitField) {
    DeviceControlBlock b;
    b.BaudRate = 19200;
    b.fBinary = true;
    b.fParity = true;
    b.fOutxDsrFlow = true;
    b.fDtrControl = serialos::kDtrControlHandshake;
    b.fTXContinueOnXoff = true;
    b.fInX = true;
    b.fNull = true;
    b.fRtsControl = serialos::kRtsControlToggle;
    b.XonLim = 256;
    b.XoffLim = 128;
    b.ByteSize = 7;
    b.Parity = serialos::kEvenParity;
    b.StopBits = serialos::kTwoStopBits;
    b.XonChar = 0x11;
    b.XoffChar = 0x13;
    b.ErrorChar = '?';
    b.EvtChar = ']';
    const DCB d = ToWin32Dcb(b);
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(sizeof(DCB), 28u);
    EXPECT_EQ(d.BaudRate, 19200u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_EQ(d.fParity, 1u);
    EXPECT_EQ(d.fOutxCtsFlow, 0u);
    EXPECT_EQ(d.fOutxDsrFlow, 1u);
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fDsrSensitivity, 0u);
    EXPECT_EQ(d.fTXContinueOnXoff, 1u);
    EXPECT_EQ(d.fOutX, 0u);
    EXPECT_EQ(d.fInX, 1u);
    EXPECT_EQ(d.fErrorChar, 0u);
    EXPECT_EQ(d.fNull, 1u);
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(d.fAbortOnError, 0u);
    EXPECT_EQ(d.XonLim, 256);
    EXPECT_EQ(d.XoffLim, 128);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.Parity, EVENPARITY);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_EQ(d.XonChar, 0x11);
    EXPECT_EQ(d.XoffChar, 0x13);
    EXPECT_EQ(d.ErrorChar, '?');
    EXPECT_EQ(d.EofChar, 0);
    EXPECT_EQ(d.EvtChar, ']');

    // The complementary flags, so no field is only ever seen as zero.
    DeviceControlBlock c;
    c.fOutxCtsFlow = true;
    c.fDsrSensitivity = true;
    c.fOutX = true;
    c.fErrorChar = true;
    c.fAbortOnError = true;
    c.fDtrControl = serialos::kDtrControlEnable;
    c.fRtsControl = serialos::kRtsControlHandshake;
    c.EofChar = 0x1A;
    const DCB e = ToWin32Dcb(c);
    EXPECT_EQ(e.fBinary, 0u);
    EXPECT_EQ(e.fParity, 0u);
    EXPECT_EQ(e.fOutxCtsFlow, 1u);
    EXPECT_EQ(e.fOutxDsrFlow, 0u);
    EXPECT_EQ(e.fDsrSensitivity, 1u);
    EXPECT_EQ(e.fOutX, 1u);
    EXPECT_EQ(e.fInX, 0u);
    EXPECT_EQ(e.fErrorChar, 1u);
    EXPECT_EQ(e.fNull, 0u);
    EXPECT_EQ(e.fAbortOnError, 1u);
    EXPECT_EQ(e.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(e.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(e.EofChar, 0x1A);
    EXPECT_EQ(e.fDummy2, 0u);
}

TEST(Win32SerialDeviceClosed, MissingPortFailsWithTheSystemCodeAndCallsAreRefused) {
    auto device = CreateSystemSerialDevice();
    // A name no system gives a port: nothing real is ever touched.
    EXPECT_EQ(device->Open("VR-NO-SUCH-PORT"), ERROR_FILE_NOT_FOUND);
    std::int32_t done = -1;
    std::uint32_t value = 0;
    std::int32_t count = 0;
    EXPECT_EQ(device->Write("x", 1, done), ERROR_INVALID_HANDLE);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(device->Read(&value, 1, done), ERROR_INVALID_HANDLE);
    EXPECT_EQ(device->ClearCommError(value, count), ERROR_INVALID_HANDLE);
    EXPECT_EQ(device->SetCommMask(kAllEvents), ERROR_INVALID_HANDLE);
    auto stop = device->CreateStopSignal();
    EXPECT_EQ(device->WaitCommEvent(*stop, value), WaitOutcome::WaitFailed);
    EXPECT_EQ(device->Close(), 0);
}

// Process CPU time (kernel + user) in milliseconds.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// Opens a test port configured as the program configures its port.
class Win32ComDeviceTest : public ::testing::Test {
protected:
    void OpenTestPort(const std::string& port) {
        const char* ports = std::getenv("VR_WINE_TEST_PORTS");
        if (ports == nullptr || std::string(ports).find(port) == std::string::npos)
            GTEST_SKIP() << port << " is not a test port here (run scripts/test-windows)";
        // Belt and braces: never open a port Wine has not mapped to a pseudo-terminal.
        const std::string target = WinePortTarget(port);
        ASSERT_EQ(target.rfind("/dev/pts/", 0), 0u) << port << " maps to '" << target << "'";

        ASSERT_EQ(device_->Open(port), 0);
        ASSERT_EQ(device_->SetupComm(1024, 1024), 0);
        DeviceControlBlock b;
        b.BaudRate = 9600;
        b.fBinary = true;
        b.XonLim = b.XoffLim = 256;
        b.ByteSize = 8;
        ASSERT_EQ(device_->SetCommState(b), 0);
        DeviceTimeouts t;
        t.ReadIntervalTimeout = 0xFFFFFFFF; // reads return at once with what is queued
        t.WriteTotalTimeoutMultiplier = 100;
        t.WriteTotalTimeoutConstant = 1000;
        ASSERT_EQ(device_->SetCommTimeouts(t), 0);
        ASSERT_EQ(device_->SetCommMask(kAllEvents), 0);
        // Drop anything an earlier test left behind.
        ASSERT_EQ(device_->PurgeComm(serialos::kPurgeRxClear | serialos::kPurgeTxClear), 0);
    }

    std::int32_t Queued() {
        std::uint32_t errors = 0;
        std::int32_t count = -1;
        EXPECT_EQ(device_->ClearCommError(errors, count), 0);
        return count;
    }

    std::unique_ptr<SerialDevice> device_ = CreateSystemSerialDevice();
};

TEST_F(Win32ComDeviceTest, WriteReachesThePeerAndItsReplyWakesTheWaitOnce) {
    OpenTestPort("COM1");
    if (IsSkipped()) return;
    std::uint32_t lines = 0xFFFFFFFF;
    EXPECT_EQ(device_->GetCommModemStatus(lines), 0); // no modem lines: all off
    EXPECT_EQ(lines & 0xF0u, 0u);

    std::int32_t done = 0;
    ASSERT_EQ(device_->Write("ping\r", 5, done), 0);
    EXPECT_EQ(done, 5);
    std::this_thread::sleep_for(400ms); // the peer answers in two bursts, 50 ms apart

    auto stop = device_->CreateStopSignal();
    std::uint32_t events = 0;
    ASSERT_EQ(device_->WaitCommEvent(*stop, events), WaitOutcome::Events);
    EXPECT_NE(events & serialos::kEvRxChar, 0u);
    const std::int32_t queued = Queued();
    ASSERT_EQ(queued, 10);
    char reply[64] = {};
    ASSERT_EQ(device_->Read(reply, queued, done), 0);
    EXPECT_EQ(std::string(reply, done), "ECHO ping]");
    EXPECT_FALSE(device_->LineGone()); // a working port answers its status query

    // Nothing new arrives: the next wait sleeps until stopped and costs
    // next to no processor time, whatever the system does underneath.
    const double cpuBefore = ProcessCpuMs();
    std::atomic<int> wakeUps{0};
    auto waiter = std::async(std::launch::async, [&] {
        for (;;) {
            std::uint32_t seen = 0;
            const WaitOutcome outcome = device_->WaitCommEvent(*stop, seen);
            if (outcome == WaitOutcome::Stopped || outcome == WaitOutcome::WaitFailed)
                return outcome;
            if ((seen & serialos::kEvRxChar) != 0 && Queued() > 0) ++wakeUps;
        }
    });
    std::this_thread::sleep_for(1s);
    stop->Raise();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiter.get(), WaitOutcome::Stopped);
    EXPECT_EQ(wakeUps.load(), 0);
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 250.0);

    EXPECT_EQ(device_->Close(), 0);
    // The port can be opened again after closing.
    ASSERT_EQ(device_->Open("COM1"), 0);
    EXPECT_EQ(device_->Close(), 0);
}

TEST_F(Win32ComDeviceTest, EventLoopDeliversRepliesAsTheyArrive) {
    OpenTestPort("COM1");
    if (IsSkipped()) return;
    auto stop = device_->CreateStopSignal();
    std::string received;
    std::promise<void> complete;
    auto loop = std::async(std::launch::async, [&] {
        bool signalled = false;
        for (;;) {
            std::uint32_t events = 0;
            const WaitOutcome outcome = device_->WaitCommEvent(*stop, events);
            if (outcome == WaitOutcome::Stopped || outcome == WaitOutcome::WaitFailed) return;
            if (outcome != WaitOutcome::Events || (events & serialos::kEvRxChar) == 0) continue;
            const std::int32_t count = Queued();
            if (count <= 0) continue;
            std::string chunk(static_cast<std::size_t>(count), '\0');
            std::int32_t done = 0;
            if (device_->Read(chunk.data(), count, done) != 0) return;
            received.append(chunk, 0, static_cast<std::size_t>(done));
            if (!signalled && received.find("two]") != std::string::npos) {
                signalled = true;
                complete.set_value();
            }
        }
    });
    std::int32_t done = 0;
    ASSERT_EQ(device_->Write("one\r", 4, done), 0);
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(device_->Write("two\r", 4, done), 0);
    const auto arrived = complete.get_future().wait_for(5s);
    stop->Raise();
    ASSERT_EQ(loop.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(arrived, std::future_status::ready) << "received: " << received;
    EXPECT_EQ(received, "ECHO one]ECHO two]");
    EXPECT_EQ(device_->Close(), 0);
}

// Windows reports kEvRxChar for new bytes only; Wine reports it again at every
// wait while old bytes lie unread. Either way a loop that leaves them there
// must not turn into a busy loop.
TEST_F(Win32ComDeviceTest, UnreadBytesDoNotMakeTheWaitSpin) {
    OpenTestPort("COM1");
    if (IsSkipped()) return;
    std::int32_t done = 0;
    ASSERT_EQ(device_->Write("keep\r", 5, done), 0);
    std::this_thread::sleep_for(400ms);
    ASSERT_EQ(Queued(), 10);

    auto stop = device_->CreateStopSignal();
    std::atomic<int> wakeUps{0};
    const double cpuBefore = ProcessCpuMs();
    auto waiter = std::async(std::launch::async, [&] {
        for (;;) {
            std::uint32_t seen = 0;
            const WaitOutcome outcome = device_->WaitCommEvent(*stop, seen);
            if (outcome == WaitOutcome::Stopped || outcome == WaitOutcome::WaitFailed) return;
            ++wakeUps;
        }
    });
    std::this_thread::sleep_for(1s);
    stop->Raise();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_LT(wakeUps.load(), 150);
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 250.0);

    char reply[16] = {};
    ASSERT_EQ(device_->Read(reply, 10, done), 0); // still all there
    EXPECT_EQ(std::string(reply, done), "ECHO keep]");
    EXPECT_EQ(device_->Close(), 0);
}

// The peer closes its side, as an unplugged adapter would. Runs once per
// peer: COM2 is gone afterwards.
// The other side hangs up, as an unplugged adapter does: the device says
// it has gone, the wait ends for good instead of failing again and again
// (the event thread then reports the lost line), and Close returns.
TEST_F(Win32ComDeviceTest, HangUpEndsTheWaitAsALostLineAndCloseReturns) {
    OpenTestPort("COM2");
    if (IsSkipped()) return;
    EXPECT_FALSE(device_->LineGone());
    auto stop = device_->CreateStopSignal();
    std::atomic<int> wakeUps{0};
    auto loop = std::async(std::launch::async, [&] {
        for (;;) {
            std::uint32_t events = 0;
            const WaitOutcome outcome = device_->WaitCommEvent(*stop, events);
            ++wakeUps;
            if (outcome == WaitOutcome::Stopped || outcome == WaitOutcome::WaitFailed) return outcome;
            std::uint32_t errors = 0;
            std::int32_t count = 0;
            if (device_->ClearCommError(errors, count) == 0 && count > 0) {
                std::string chunk(static_cast<std::size_t>(count), '\0');
                std::int32_t done = 0;
                device_->Read(chunk.data(), count, done);
            }
        }
    });
    std::int32_t done = 0;
    ASSERT_EQ(device_->Write("HANGUP\r", 7, done), 0);

    const bool ended = loop.wait_for(5s) == std::future_status::ready;
    if (!ended) stop->Raise(); // never leave the wait running
    EXPECT_TRUE(ended) << "the wait went on after the hang-up (" << wakeUps.load() << " wake-ups)";
    EXPECT_EQ(loop.get(), WaitOutcome::WaitFailed);
    EXPECT_TRUE(device_->LineGone());
    auto closing = std::async(std::launch::async, [&] { return device_->Close(); });
    EXPECT_EQ(closing.wait_for(5s), std::future_status::ready);
    std::printf("after the hang-up the wait ended after %d wake-ups\n", wakeUps.load());
}

} // namespace
