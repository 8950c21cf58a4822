// Event-loop delay while 1 MB of stray bytes (no "]") arrive as fast as the
// line takes them: the real POSIX backend on a pseudo-terminal, the event
// thread handing events to this thread (a Qt-free stand-in for the
// user-interface loop), ReadStr and the reply parser in the handler. The delay
// of a byte is the time from its write at the far end to the end of the
// handler that parsed it; reported as mean, 99th percentile and maximum.
#include "platform/sync_call.h"
#include "protocol/reply_parser.h"
#include "serial/comport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class NullDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int, const std::string&) override {}
    void ShowOffset(const std::string&) override {}
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string& text) override { last = text; }
    std::string last;
};

std::string Noise(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        char c = static_cast<char>((i * 37 + 11) % 256);
        s[i] = c == ']' ? '~' : c;
    }
    return s;
}

void BM_StrayMegabyteEventDelay(benchmark::State& st)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        st.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::string data = Noise(1 << 20) + "]>1/RSL_-44.0dBm]";

    std::mutex lock;
    std::deque<std::pair<std::size_t, Clock::time_point>> written; // end offset of each write, its time
    std::vector<double> delaysUs;
    std::size_t received = 0;
    std::size_t longestRxLine = 0;
    std::size_t events = 0;
    ProgramState state;
    NullDisplay display;

    TComPort port;
    port.SetPort(::ptsname(master));
    port.OnRxChar = [&](TCustomComPort& p, std::int32_t count) {
        std::string bytes;
        p.ReadStr(bytes, count);
        HandleReceived(state, bytes, display);
        longestRxLine = std::max(longestRxLine, state.RxLine.size());
        received += bytes.size();
        ++events;
        const auto now = Clock::now();
        std::lock_guard guard(lock);
        while (!written.empty() && written.front().first <= received) {
            delaysUs.push_back(std::chrono::duration<double, std::micro>(now - written.front().second).count());
            written.pop_front();
        }
    };
    port.Open();

    for (auto _ : st) {
        received = 0;
        display.last.clear();
        std::thread writer([&] {
            std::size_t at = 0;
            while (at < data.size()) {
                pollfd p{master, POLLOUT, 0};
                if (::poll(&p, 1, 1000) <= 0)
                    break;
                ssize_t n = ::write(master, data.data() + at, std::min<std::size_t>(data.size() - at, 4096));
                if (n > 0) {
                    at += static_cast<std::size_t>(n);
                    std::lock_guard guard(lock);
                    written.emplace_back(at, Clock::now());
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    break;
                }
            }
        });
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (received < data.size() && Clock::now() < until)
            WaitForSyncCalls(100);
        writer.join();
        if (received != data.size() || display.last != "-44.0") {
            st.SkipWithError("the bytes or the reply after them did not arrive");
            break;
        }
    }
    port.OnRxChar = nullptr;
    port.Close();
    ::close(master);

    if (delaysUs.empty())
        return;
    std::sort(delaysUs.begin(), delaysUs.end());
    double sum = 0;
    for (double d : delaysUs)
        sum += d;
    st.counters["delay_mean_us"] = sum / static_cast<double>(delaysUs.size());
    st.counters["delay_p99_us"] = delaysUs[delaysUs.size() * 99 / 100];
    st.counters["delay_max_us"] = delaysUs.back();
    st.counters["events_per_MB"] = static_cast<double>(events) / static_cast<double>(st.iterations());
    st.counters["RxLine_max"] = static_cast<double>(longestRxLine);
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_StrayMegabyteEventDelay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
