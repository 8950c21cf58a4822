// Line faults end to end at the component and parser level: the real POSIX
// backend on a pseudo-terminal, the modem simulator (or the test itself) at
// the other end, the status poll sending and the reply parser reading on this
// thread, which stands in for the user-interface thread.
#include "platform/sync_call.h"
#include "protocol/comport_request_port.h"
#include "protocol/reply_parser.h"
#include "protocol/status_poll.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "sim_process.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <stdlib.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class RecordingDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int k, const std::string& text) override
    {
        calls.push_back("Label" + std::to_string(k) + "=" + text);
        ++fields;
    }
    void ShowOffset(const std::string& text) override
    {
        calls.push_back("Label8=" + text);
        ++offsets;
    }
    void ShowDecoderLock(DecoderLock lock) override
    {
        calls.push_back(lock == DecoderLock::Ok ? "StaticText9=OK" : "StaticText9=FAULT");
    }
    void ShowScanLevel(const std::string& text) override
    {
        calls.push_back("RSL=" + text);
        levels.push_back(text);
    }
    std::vector<std::string> calls;
    std::vector<std::string> levels;
    int fields = 0;
    int offsets = 0;
};

class FakePollView final : public PollView {
public:
    bool PollBoxTicked() const override { return ticked; }
    void SetPollBoxTicked(bool t) override { ticked = t; }
    bool PollTimerEnabled() const override { return timer; }
    void SetPollTimerEnabled(bool e) override { timer = e; }
    std::string OffsetCaption() const override { return ""; }
    void ShowTunedFrequency(const std::string&) override {}
    void SetLevelBarPosition(double p) override { bar.push_back(p); }
    bool ticked = true;
    bool timer = true;
    std::vector<double> bar;
};

// The main window's receive path without the window: ReadStr, then the parser.
class Receiver {
public:
    explicit Receiver(TCustomComPort& port) : port_(port)
    {
        port.OnRxChar = [this](TCustomComPort& p, std::int32_t count) {
            std::string data;
            p.ReadStr(data, count);
            ++events;
            bytes += data.size();
            HandleReceived(state, data, display);
            if (state.RxLine.size() > longestRxLine)
                longestRxLine = state.RxLine.size();
        };
        port.OnEventError = [this](TCustomComPort&, const std::string& m) { eventErrors.push_back(m); };
    }
    ~Receiver()
    {
        port_.OnRxChar = nullptr;
        port_.OnEventError = nullptr;
    }
    // Runs hand-overs until done() holds or timeoutMs passes.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done() && Clock::now() < until)
            WaitForSyncCalls(50);
        return done();
    }

    ProgramState state;
    RecordingDisplay display;
    std::vector<std::string> eventErrors;
    int events = 0;
    std::size_t bytes = 0;
    std::size_t longestRxLine = 0;

private:
    TCustomComPort& port_;
};

double CpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

TEST(LineFaults, ModemHangingUpWhilePollingGivesOneWriteErrorAndAReopenWorks)
{
    VirtualClock clock;
    TComPort port;
    Receiver rx(port);
    FakePollView view;
    ComPortRequestPort requests(port);
    StatusPoll poll({requests, rx.state}, view);
    {
        simtest::Sim sim({"--hangup-after", "4", "--seed", "51"});
        port.SetPort(sim.Path());
        port.Open();

        std::vector<std::string> errors;
        int ticks = 0;
        const double cpuBefore = CpuSeconds();
        // Timer2 every 500 ms of virtual time (200 of them in the tick's own
        // pause); in real time the test lets the replies come in between.
        while (view.timer && ticks < 100) {
            ++ticks;
            try {
                poll.Tick();
            } catch (const EComPort& e) {
                errors.push_back(e.what());
                EXPECT_EQ(e.ErrorNumber(), 2);
            }
            clock.Advance(300);
            RunSyncCallsFor(50);
        }
        const double cpu = CpuSeconds() - cpuBefore;

        ASSERT_EQ(errors.size(), 1u) << "after " << ticks << " ticks";
        EXPECT_EQ(errors[0].rfind("WriteFile function failed (Error: ", 0), 0u) << errors[0];
        EXPECT_FALSE(view.timer);
        EXPECT_FALSE(view.ticked);
        EXPECT_GE(rx.display.fields, 7) << "the answered polls were read";
        EXPECT_LE(rx.eventErrors.size(), 1u);
        EXPECT_LT(cpu, 0.5 + 0.01 * ticks) << "spinning after the hang-up";

        // Idle after the hang-up: the ended event thread costs nothing.
        const double idleBefore = CpuSeconds();
        RunSyncCallsFor(500);
        EXPECT_LT(CpuSeconds() - idleBefore, 0.1);

        port.Close();
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(port.ThreadCreated());
    }

    // The adapter plugged in again: a new simulator, the same component.
    simtest::Sim sim({"--seed", "52"});
    port.SetPort(sim.Path());
    port.Open();
    view.ticked = view.timer = true;
    const int fieldsBefore = rx.display.fields;
    const int offsetsBefore = rx.display.offsets;
    poll.Tick();
    EXPECT_TRUE(rx.RunUntil([&] { return rx.display.fields >= fieldsBefore + 7 && rx.display.offsets > offsetsBefore; }));
    port.Close();
}

TEST(LineFaults, SilentModemBlocksNothingAndTheOtherRepliesAreRead)
{
    VirtualClock clock;
    simtest::Sim sim({"--silent", "BCAS", "--seed", "53"});
    TComPort port;
    Receiver rx(port);
    FakePollView view;
    ComPortRequestPort requests(port);
    StatusPoll poll({requests, rx.state}, view);
    port.SetPort(sim.Path());
    port.Open();

    const double cpuBefore = CpuSeconds();
    for (int tick = 1; tick <= 4; ++tick) {
        poll.Tick();
        clock.Advance(300);
        ASSERT_TRUE(rx.RunUntil([&] { return rx.display.offsets == tick; })) << "CSV of tick " << tick;
    }
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.5);
    EXPECT_EQ(rx.display.fields, 0) << "no BCAS reply, no status field";
    EXPECT_TRUE(view.timer);
    // No BCAS reply: the bar keeps getting the level it had (LevelText's start value).
    EXPECT_EQ(view.bar, (std::vector<double>{-600, -600, -600, -600}));
    EXPECT_EQ(clock.NowMs(), 4 * 500);
    port.Close();
}

TEST(LineFaults, RepliesArrivingOneByteAtATimeFillEveryField)
{
    // The same seed and requests give the same replies; only the cutting differs.
    auto run = [](const std::vector<std::string>& fault, TComPort& port, Receiver& rx) {
        std::vector<std::string> args = fault;
        args.insert(args.end(), {"--seed", "54", "--offset", "1500"});
        simtest::Sim sim(args);
        rx.state.ScanLevelRequested = true;
        port.SetPort(sim.Path());
        port.Open();
        port.WriteStr("<1/DF_147.800000\r<1/BCAS_\r<1/CSV_\r<1/RSL_\r");
        EXPECT_TRUE(rx.RunUntil([&] { return !rx.display.levels.empty(); }));
        port.Close();
    };
    TComPort plainPort, bytewisePort;
    Receiver plain(plainPort), bytewise(bytewisePort);
    run({}, plainPort, plain);
    run({"--bytewise"}, bytewisePort, bytewise);

    ASSERT_EQ(plain.display.fields, 7);
    EXPECT_EQ(bytewise.display.calls, plain.display.calls);
    EXPECT_EQ(bytewise.state.LevelText, plain.state.LevelText);
    EXPECT_FALSE(bytewise.state.ScanLevelRequested) << "the DF reply was acted on";
    EXPECT_EQ(plain.display.calls[7], "Label8=+1500");
    EXPECT_EQ(plain.display.calls[8], "StaticText9=FAULT");
    // More events than replies: the replies really came in pieces. (How many
    // depends on how busy the machine is: pieces a millisecond apart merge
    // while the event thread waits its turn.)
    EXPECT_GT(bytewise.events, 4) << "the replies really came in pieces";
}

TEST(LineFaults, MegabyteOfStrayBytesKeepsRxLineBoundedAndTheNextReplyIsRead)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    TComPort port;
    Receiver rx(port);
    port.SetPort(::ptsname(master));
    port.Open(); // raw before the first byte, so that nothing is echoed or translated

    // Noise without a "]": it piles up in RxLine until the bound. The reply
    // right after it is shifted by the noise and dropped; the one after that counts.
    std::string noise(1 << 20, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) {
        char c = static_cast<char>((i * 37 + 11) % 256);
        noise[i] = c == ']' ? '~' : c;
    }
    const std::string tail = ">1/RSL_-45.2dBm]>1/RSL_-44.0dBm]";
    const std::string all = noise + tail;
    std::atomic<bool> writerFailed{false};
    std::thread writer([&] {
        std::size_t at = 0;
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (at < all.size() && Clock::now() < until) {
            pollfd p{master, POLLOUT, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            ssize_t n = ::write(master, all.data() + at, std::min<std::size_t>(all.size() - at, 4096));
            if (n > 0)
                at += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        writerFailed = at < all.size();
    });
    const bool read = rx.RunUntil([&] { return !rx.display.levels.empty(); }, 60000);
    writer.join();
    ASSERT_FALSE(writerFailed);
    ASSERT_TRUE(read) << rx.bytes << " bytes arrived";
    EXPECT_EQ(rx.display.levels, std::vector<std::string>{"-44.0"});
    EXPECT_EQ(rx.bytes, all.size()) << "nothing lost on the way";
    EXPECT_EQ(rx.longestRxLine, kRxLineLimit) << "the noise reached the bound and stopped there";
    EXPECT_TRUE(rx.state.RxLine.empty());
    port.Close();
    ::close(master);
}

} // namespace
