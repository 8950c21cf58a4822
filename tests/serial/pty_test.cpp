// The real POSIX serial device on a pseudo-terminal: the port opens the
// slave side, the test plays the modem on the master side.
#include "port_handlers.h"
#include "platform/sync_call.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "platform/serial_line_counters.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        slavePath = ::ptsname(master);
        port.SetPort(slavePath);
        SetSyncWakeUp([this] {
            std::lock_guard lock(mutex);
            ++wakeUps;
            changed.notify_all();
        });
    }
    void TearDown() override
    {
        ClearHandlers(port);
        port.Close();
        SetSyncWakeUp({});
        RunPendingSyncCalls();
        if (master >= 0)
            ::close(master);
    }

    void SendFromModem(const std::string& bytes)
    {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads n bytes arriving at the modem's side (at most 5 s).
    std::string ReadAtModem(std::size_t n)
    {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                char buffer[256];
                ssize_t r = ::read(master, buffer, sizeof buffer);
                if (r > 0)
                    got.append(buffer, static_cast<std::size_t>(r));
            }
        }
        return got;
    }
    bool WaitForWakeUps(int n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return wakeUps >= n; });
    }
    // The driver moves bytes from master to slave a moment later.
    bool WaitForQueued(std::int32_t n)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (port.InputCount() < n) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return port.InputCount() == n;
    }

    int master = -1;
    std::string slavePath;
    TComPort port;
    std::mutex mutex;
    std::condition_variable changed;
    int wakeUps = 0;
    std::vector<std::int32_t> counts;
    std::string received;
};

TEST_F(PtyTest, LineSettingsReachTheDevice)
{
    // Opened before the port makes the device exclusive, to look at its settings.
    int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> set;
        std::function<void(const termios&)> check;
    };
    const Case cases[] = {
        {"main window configuration", [](auto&) {},
         [](const termios& t) {
             EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
             EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
             EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
             EXPECT_NE(t.c_cflag & (CREAD | CLOCAL), 0u);
             EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u); // raw
             EXPECT_EQ(t.c_oflag & OPOST, 0u);
             EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
         }},
        // A pseudo-terminal keeps 8 data bits without parity whatever it is
        // asked (the kernel forces them), so only the rest is visible here.
        {"19200, even parity, 2 stop bits",
         [](auto& p) {
             p.SetBaudRate(br19200);
             p.Parity().SetBits(prEven);
             p.SetStopBits(sbTwoStopBits);
         },
         [](const termios& t) {
             EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
             EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB), static_cast<tcflag_t>(CSTOPB));
         }},
        {"mark parity, 1.5 stop bits as 2",
         [](auto& p) { p.Parity().SetBits(prMark); p.SetStopBits(sbOne5StopBits); },
         [](const termios& t) {
             EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB), static_cast<tcflag_t>(PARODD | CMSPAR | CSTOPB));
         }},
        {"space parity, 1 stop bit", [](auto& p) { p.Parity().SetBits(prSpace); p.SetStopBits(sbOneStopBit); },
         [](const termios& t) {
             EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB), static_cast<tcflag_t>(CMSPAR));
         }},
        {"software flow control",
         [](auto& p) { p.FlowControl().SetFlowControl(fcSoftware); p.FlowControl().SetXonChar(1); },
         [](const termios& t) {
             EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
             EXPECT_EQ(t.c_cc[VSTART], 1);
             EXPECT_EQ(t.c_cc[VSTOP], 19);
         }},
        {"hardware flow control", [](auto& p) { p.FlowControl().SetFlowControl(fcHardware); },
         [](const termios& t) { EXPECT_NE(t.c_cflag & CRTSCTS, 0u); }},
    };
    port.SetEvents({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        port.Open();
        c.set(port); // applied on the open device
        termios t{};
        ASSERT_EQ(::tcgetattr(slave, &t), 0);
        c.check(t);
        port.Close();
    }
    ::close(slave);
}

TEST_F(PtyTest, DeviceWithoutModemLinesOpensWithAllLinesOff)
{
    std::vector<bool> lines;
    auto note = [&](TCustomComPort&, bool on) { lines.push_back(on); };
    port.OnCTSChange = note;
    port.OnDSRChange = note;
    port.OnRLSDChange = note;
    port.FlowControl().SetControlDTR(dtrEnable);
    port.FlowControl().SetControlRTS(rtsEnable);
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(lines, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(port.Signals().Empty());
    port.Close(); // while the handlers' vector still exists
}

TEST_F(PtyTest, WrittenBytesReachTheOtherEnd)
{
    port.Open();
    EXPECT_EQ(port.WriteStr("<1/REM_\r"), 8);
    EXPECT_EQ(ReadAtModem(8), "<1/REM_\r");
}

TEST_F(PtyTest, TwoBurstsBeforeTheHandOverGiveOneRxCharWithTheirTotal)
{
    port.OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        counts.push_back(n);
        std::string s;
        p.ReadStr(s, n);
        received += s;
    };
    port.Open();
    SendFromModem("]ab");
    ASSERT_TRUE(WaitForWakeUps(1)); // the event thread waits in the hand-over
    SendFromModem("cdef");
    ASSERT_TRUE(WaitForQueued(7));
    RunPendingSyncCalls();
    EXPECT_EQ(counts, std::vector<std::int32_t>{7});
    EXPECT_EQ(received, "]abcdef");
    // A wake-up left by the second burst (if the device reports one after the
    // bytes were read) finds nothing and raises no notification.
    RunSyncCallsFor(200);
    EXPECT_EQ(counts, std::vector<std::int32_t>{7});
}

TEST_F(PtyTest, ReadStrTakesWhatIsQueuedWithoutWaitingForTheRest)
{
    port.SetEvents({});
    port.Open();
    SendFromModem("1234");
    ASSERT_TRUE(WaitForQueued(4));
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 10), 4);
    EXPECT_EQ(text, "1234");
    EXPECT_EQ(port.ReadStr(text, 10), 0);
    EXPECT_EQ(text, "");
}

TEST_F(PtyTest, WriteThatRunsIntoTheWriteTimeoutReturnsFewerBytesWithoutError)
{
    port.SetEvents({});
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(50);
    port.Open();
    const std::string block(1 << 20, 'x'); // far more than the terminal buffers; nobody reads
    std::int32_t written = port.WriteStr(block);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<std::int32_t>(block.size()));
}

TEST_F(PtyTest, ReadWithATotalTimeoutReturnsWhatCameWhenItRunsOut)
{
    port.SetEvents({});
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(50);
    port.Open();
    SendFromModem("abc");
    ASSERT_TRUE(WaitForQueued(3));
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 10), 3);
    EXPECT_EQ(text, "abc");
}

// A raw terminal answers a read with 0 bytes both while nothing has come and
// after a hang-up; a read with a total timeout must wait for the former.
TEST_F(PtyTest, ReadWithATotalTimeoutWaitsForBytesThatArriveDuringIt)
{
    struct Case {
        const char* name;
        std::int32_t interval, multiplier, constant;
    };
    const Case cases[] = {
        {"total constant only", 0, 0, 5000},
        {"total multiplier only", 0, 1000, 0},
        {"interval and total", 2000, 0, 5000},
    };
    port.SetEvents({});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        port.Timeouts().SetReadInterval(c.interval);
        port.Timeouts().SetReadTotalMultiplier(c.multiplier);
        port.Timeouts().SetReadTotalConstant(c.constant);
        port.Open();
        // Sent once the read is under way; the read returns when all 6 are in.
        std::thread modem([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            SendFromModem("abc");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            SendFromModem("def");
        });
        std::string text;
        EXPECT_EQ(port.ReadStr(text, 6), 6);
        EXPECT_EQ(text, "abcdef");
        modem.join();
        port.Close();
    }
}

TEST_F(PtyTest, ReadWithATotalTimeoutAndNothingComingReturnsNothingOnceItRunsOut)
{
    port.SetEvents({});
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    const auto start = std::chrono::steady_clock::now();
    std::string text = "x";
    EXPECT_EQ(port.ReadStr(text, 10), 0);
    EXPECT_EQ(text, "");
    // The timeout is a lower bound of the behaviour, not a measurement of speed.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(PtyTest, HangUpDuringAReadWithATotalTimeoutEndsItWithWhatCame)
{
    port.SetEvents({});
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(60000);
    port.Open();
    std::thread modem([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        SendFromModem("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(master);
        master = -1;
    });
    const auto start = std::chrono::steady_clock::now();
    std::string text;
    std::int32_t got = 0;
    try {
        got = port.ReadStr(text, 10);
    } catch (const EComPort& e) {
        ADD_FAILURE() << e.what(); // the bytes that came must not be lost to an error
    }
    modem.join();
    EXPECT_EQ(got, 2);
    EXPECT_EQ(text, "ab");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60000)) << "waited for the timeout";
}

// A driver that counts line errors, standing in for the pseudo-terminal,
// which counts none.
std::atomic<std::uint32_t> framingErrors{0};
std::atomic<std::uint32_t> breaks{0};
bool CountingDriver(int, LineCounters& counters)
{
    counters = LineCounters{};
    counters.frame = framingErrors.load();
    counters.brk = breaks.load();
    return true;
}

TEST_F(PtyTest, LineErrorsThatCameWithInputRaiseOnErrorBeforeOnRxChar)
{
    SetLineCounterSource(&CountingDriver);
    std::vector<std::string> seen;
    port.OnError = [&](TCustomComPort&, TComErrors errors) {
        seen.push_back(std::string("error") + (errors.Contains(ceFrame) ? " frame" : "") +
                       (errors.Contains(ceBreak) ? " break" : "") + (errors.Contains(ceOverrun) ? " overrun" : ""));
    };
    port.OnBreak = [&](TCustomComPort&) { seen.push_back("break"); };
    port.OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        std::string s;
        p.ReadStr(s, n);
        seen.push_back("rx " + s);
    };
    port.Open();
    auto deliver = [&](const std::string& bytes, std::size_t entries) {
        SendFromModem(bytes);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (seen.size() < entries && std::chrono::steady_clock::now() < until)
            WaitForSyncCalls(50);
    };
    ++framingErrors;
    deliver("a", 2);
    deliver("b", 3); // nothing new counted: no error
    ++breaks;
    // A break is its own event; as on Windows it raises no line-error event.
    deliver(std::string(1, '\0'), 5);
    SetLineCounterSource(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"error frame", "rx a", "rx b", "rx " + std::string(1, '\0'), "break"}));
    EXPECT_TRUE(port.LastErrors().Empty()) << "the flags were read and cleared";
}

TEST_F(PtyTest, EventThreadRunsAtItsPriority)
{
    // Lowering needs no rights; with smNone the handler runs on the event thread.
    const struct {
        TThreadPriority priority;
        int niceOffset;
    } cases[] = {{tpNormal, 0}, {tpLower, 5}, {tpLowest, 10}, {tpIdle, 19}};
    const int base = ::getpriority(PRIO_PROCESS, 0);
    port.SetSyncMethod(smNone);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.priority));
        std::atomic<int> nice{-100};
        port.OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
            std::string s;
            p.ReadStr(s, n);
            nice.store(::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))));
        };
        port.SetEventThreadPriority(c.priority);
        port.Open();
        SendFromModem("x");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (nice.load() == -100 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        port.Close();
        EXPECT_EQ(nice.load(), std::min(base + c.niceOffset, 19));
    }
    EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), base) << "the thread that opened the port keeps its priority";
}

TEST_F(PtyTest, DeviceThatCannotBeOpenedRaisesErrorOneWithTheOsCode)
{
    struct Case {
        const char* path;
        int code;
    };
    for (auto c : {Case{"/dev/vr-no-such-serial-device", ENOENT}, Case{"/dev/null", ENOTTY}}) {
        port.SetPort(c.path);
        try {
            port.Open();
            ADD_FAILURE() << c.path << " opened";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.ErrorNumber(), 1);
            EXPECT_EQ(e.SystemError(), c.code);
            EXPECT_EQ(std::string(e.what()), "Unable to open com port (Error: " + std::to_string(c.code) + ")");
        }
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(port.ThreadCreated());
    }
}

TEST_F(PtyTest, SecondOpenOfTheSameDeviceIsRefused)
{
    port.Open();
    TComPort other;
    other.SetPort(slavePath);
    try {
        other.Open();
        ADD_FAILURE() << "opened twice";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorNumber(), 1);
        EXPECT_EQ(e.SystemError(), EBUSY);
    }
    EXPECT_FALSE(other.Connected());
    EXPECT_TRUE(port.Connected());
}

TEST_F(PtyTest, OtherEndHangingUpNeitherSpinsNorKeepsCloseFromReturning)
{
    std::vector<std::string> eventErrors;
    port.OnEventError = [&](TCustomComPort&, const std::string& m) { eventErrors.push_back(m); };
    port.OnRxChar = [&](TCustomComPort& p, std::int32_t n) {
        std::string s;
        p.ReadStr(s, n);
    };
    auto cpuSecondsOver = [](int ms) {
        std::clock_t before = std::clock();
        RunSyncCallsFor(ms);
        return static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    };
    port.Open();
    EXPECT_LT(cpuSecondsOver(500), 0.1); // idle and open: asleep in the wait
    SendFromModem("]last");
    ::close(master);
    master = -1;
    EXPECT_LT(cpuSecondsOver(1000), 0.2);
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_LE(eventErrors.size(), 1u);
}

} // namespace
