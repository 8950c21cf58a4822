// Soak: the real POSIX backend opened and closed a thousand times on the
// simulator's pseudo-terminal while replies keep arriving and the event
// thread hands them to this thread (standing in for the user-interface
// thread) for the reply parser. Nothing may leak (descriptors, threads),
// no cycle may hang, and the parser must still read replies at the end.
#include "platform/sync_call.h"
#include "protocol/reply_parser.h"
#include "serial/comport.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::size_t EntriesIn(const char* dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

// Fewer cycles where the environment asks for it (a sanitizer build is slower).
int Cycles()
{
    if (const char* v = std::getenv("VR_SOAK_CYCLES")) {
        int n = std::atoi(v);
        if (n > 0)
            return n;
    }
    return 1000;
}

class CountingDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int k, const std::string&) override { bcas += k == 7; }
    void ShowOffset(const std::string&) override { ++csv; }
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string&) override { ++rsl; }
    int bcas = 0, csv = 0, rsl = 0;
};

// Ends the process when a cycle does not finish in time: a hung Close or a
// delivery that never comes fails the test instead of stalling the suite.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { Run(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Arm(int cycle)
    {
        std::lock_guard lock(mutex_);
        cycle_ = cycle;
        until_ = Clock::now() + limit_;
        changed_.notify_all();
    }

private:
    void Run()
    {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (cycle_ >= 0 && Clock::now() > until_) {
                std::fprintf(stderr, "soak: cycle %d took more than %lld s; giving up\n", cycle_,
                             static_cast<long long>(limit_.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
            if (cycle_ >= 0)
                changed_.wait_until(lock, until_);
            else
                changed_.wait(lock);
        }
    }

    std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    int cycle_ = -1;
    Clock::time_point until_{};
    std::thread thread_;
};

TEST(SerialSoak, ThousandOpenCloseCyclesWhileRepliesArriveLeakNothing)
{
    simtest::Sim sim({"--seed", "31"});
    ASSERT_FALSE(sim.Path().empty());

    ProgramState state;
    CountingDisplay display;
    int delivered = 0; // receive events that brought at least one "]"
    TComPort port;
    port.SetPort(sim.Path());
    port.OnRxChar = [&](TCustomComPort& p, std::int32_t count) {
        std::string data;
        p.ReadStr(data, count);
        if (data.find(']') != std::string::npos)
            ++delivered;
        HandleReceived(state, data, display);
    };

    // The watchdog's own thread and one cycle first, so that whatever the first
    // open sets up once is counted in.
    Watchdog watchdog(std::chrono::seconds(10));
    port.Open();
    port.Close();
    RunPendingSyncCalls();
    const std::size_t fdsBefore = EntriesIn("/proc/self/fd");
    const std::size_t threadsBefore = EntriesIn("/proc/self/task");

    const int cycles = Cycles();
    const auto start = Clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        watchdog.Arm(cycle);
        port.Open();
        ASSERT_TRUE(port.ThreadCreated());
        state.RxLine.clear();
        const int before = delivered;
        // Four replies on their way; the port closes after the first has been
        // handled, so the others arrive while it closes or after.
        port.WriteStr("<1/BCAS_\r<1/CSV_\r<1/RSL_\r<1/DF_147.800000\r");
        while (delivered == before)
            ASSERT_TRUE(WaitForSyncCalls(5000)) << "no reply handed over in cycle " << cycle;
        port.Close();
        ASSERT_FALSE(port.Connected());
        ASSERT_LE(state.RxLine.size(), kRxLineLimit);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    RunPendingSyncCalls();
    EXPECT_EQ(EntriesIn("/proc/self/fd"), fdsBefore) << "descriptors leaked";
    EXPECT_EQ(EntriesIn("/proc/self/task"), threadsBefore) << "threads left running";

    const double perSecond = cycles / seconds;
    std::cout << "soak: " << cycles << " cycles in " << seconds << " s (" << perSecond << " cycles/s)\n";
    RecordProperty("cycles_per_second", std::to_string(static_cast<long>(perSecond)));

    // After all that the parser still reads a whole poll on a fresh open.
    watchdog.Arm(cycles);
    port.Open();
    state.RxLine.clear();
    const CountingDisplay seen = display;
    port.WriteStr("<1/BCAS_\r<1/CSV_\r");
    const auto until = Clock::now() + std::chrono::seconds(5);
    while ((display.bcas == seen.bcas || display.csv == seen.csv) && Clock::now() < until)
        WaitForSyncCalls(100);
    EXPECT_GT(display.bcas, seen.bcas);
    EXPECT_GT(display.csv, seen.csv);
    port.OnRxChar = nullptr;
    port.Close();
}

} // namespace
