// The periods of the main window's timers as they run: the status poll
// (Timer2, 500 ms) against the modem simulator on a pseudo-terminal through
// the real serial backend, and the status-bar clock (Timer1, 1000 ms) beside
// it, over a minute (VR_POLL_BENCH_SECONDS to change). The poll is started
// ten times, at points spread over a second (where a coarse timer's wake-ups
// fall depends on that), and runs a tenth of the time from each. Two measures
// of the poll: when each tick starts (the timer event, before the handler)
// and when each "<1/BCAS_" reaches the simulator (its request log, read as it
// comes). Reported as counters in milliseconds: median, 5th and 95th
// percentile, the share of intervals within 1 % of the period, and for the
// poll the median of the start that strays furthest.
#include "app/ui/form1.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/ui/sync_wakeup.h"
#include "platform/workdir.h"
#include "temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The simulator as a separate program: its device from the first line it
// prints, and the arrival time of every BCAS request from its request log.
class Simulator {
public:
    Simulator()
    {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            execl(SIM_PROGRAM, SIM_PROGRAM, "--verbose", "--seed", "7", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        path_ = FirstLine(out[0]);
        close(out[0]);
        err_ = err[0];
        reader_ = std::thread([this] { ReadLog(); });
    }
    ~Simulator()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable())
            reader_.join();  // the log ends with the program
        if (err_ >= 0)
            close(err_);
    }

    const std::string& Path() const { return path_; }
    std::vector<Clock::time_point> BcasArrivals()
    {
        std::lock_guard guard(lock_);
        return bcas_;
    }

private:
    static std::string FirstLine(int fd)
    {
        std::string line;
        char c;
        while (read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    void ReadLog()
    {
        std::string line;
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(err_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\n') {
                    line += buffer[i];
                    continue;
                }
                if (line.find("<- <1/BCAS_") != std::string::npos) {
                    std::lock_guard guard(lock_);
                    bcas_.push_back(now);
                }
                line.clear();
            }
        }
    }

    pid_t pid_ = -1;
    int err_ = -1;
    std::string path_;
    std::thread reader_;
    std::mutex lock_;
    std::vector<Clock::time_point> bcas_;
};

// When a timer's ticks start: its timer events, seen before its handler runs.
class TickStarts : public QObject {
public:
    explicit TickStarts(QTimer* timer) { timer->installEventFilter(this); }
    std::vector<Clock::time_point> starts;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            starts.push_back(Clock::now());
        return false;
    }
};

class CountingSink final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override { last = text, ++count; }
    void ShowError(const std::string& text) override { last = text, ++count; }
    int count = 0;
    std::string last;
};

using Times = std::vector<Clock::time_point>;

// The intervals between consecutive times that lie within [from, to].
void AddIntervals(std::vector<double>& gaps, const Times& times, Clock::time_point from, Clock::time_point to)
{
    for (std::size_t i = 1; i < times.size(); ++i)
        if (times[i - 1] >= from && times[i] <= to)
            gaps.push_back(Ms(times[i] - times[i - 1]));
}

void Report(benchmark::State& st, const std::string& name, std::vector<double> gaps, double periodMs)
{
    if (gaps.empty())
        return;
    std::sort(gaps.begin(), gaps.end());
    auto at = [&](double q) { return gaps[static_cast<std::size_t>(q * static_cast<double>(gaps.size() - 1))]; };
    const auto within = std::count_if(gaps.begin(), gaps.end(),
                                      [&](double g) { return std::fabs(g - periodMs) <= periodMs / 100; });
    st.counters[name + "_median_ms"] = at(0.5);
    st.counters[name + "_p5_ms"] = at(0.05);
    st.counters[name + "_p95_ms"] = at(0.95);
    st.counters[name + "_within_1pct"] = static_cast<double>(within) / static_cast<double>(gaps.size());
    st.counters[name + "_intervals"] = static_cast<double>(gaps.size());
}

// Runs the event loop for ms milliseconds.
void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_PollAndClockPeriods(benchmark::State& st)
{
    const char* env = std::getenv("VR_POLL_BENCH_SECONDS");
    const int seconds = env ? std::max(10, std::atoi(env)) : 60;
    constexpr int kStarts = 10;
    for (auto _ : st) {
        Simulator sim;
        if (sim.Path().empty()) {
            st.SkipWithError("the simulator printed no device");
            return;
        }
        TempDir dir;
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        CountingSink boxes;
        InstallMessages(&boxes);
        std::vector<double> pollGaps, wireGaps, clockGaps;
        double worstStartMedian = 500;  // the median of one start farthest from the period
        std::vector<std::pair<Clock::time_point, Clock::time_point>> runs;
        bool opened = false;
        {
            SyncWakeUp wakeUp;
            TIniFile settings(SettingsFilePath());
            TForm1 form(settings);
            form.ComPort.SetPort(sim.Path());
            TickStarts clock(form.Timer1);
            const auto begin = Clock::now();
            form.SpeedButton1->click();
            opened = form.ComPort.Connected();
            for (int k = 0; opened && k < kStarts; ++k) {
                // Start at k tenths into a second of the wall clock.
                const auto intoSecond = std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count() %
                                        1000;
                RunFor(static_cast<int>((k * 1000 / kStarts - intoSecond + 1000) % 1000));
                TickStarts poll(form.Timer2);
                const auto from = Clock::now();
                form.CheckBox1->click();
                RunFor(seconds * 1000 / kStarts);
                form.CheckBox1->click();
                const auto to = Clock::now();
                runs.emplace_back(from, to);
                std::vector<double> gaps;
                AddIntervals(gaps, poll.starts, from, to);
                if (!gaps.empty()) {
                    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
                    const double median = gaps[gaps.size() / 2];
                    if (std::fabs(median - 500) > std::fabs(worstStartMedian - 500))
                        worstStartMedian = median;
                }
                pollGaps.insert(pollGaps.end(), gaps.begin(), gaps.end());
            }
            if (opened)
                form.SpeedButton1->click();
            AddIntervals(clockGaps, clock.starts, begin, Clock::now());
        }
        InstallMessages(nullptr);
        std::filesystem::current_path(previous);
        if (!opened || boxes.count > 0) {
            st.SkipWithError(("the port did not open or a box was shown: " + boxes.last).c_str());
            return;
        }
        const Times arrivals = sim.BcasArrivals();
        for (const auto& [from, to] : runs)
            AddIntervals(wireGaps, arrivals, from, to + std::chrono::milliseconds(250));
        Report(st, "poll_tick", pollGaps, 500);
        st.counters["poll_tick_worst_start_median_ms"] = worstStartMedian;
        Report(st, "poll_wire", wireGaps, 500);
        Report(st, "clock_tick", clockGaps, 1000);
    }
}
BENCHMARK(BM_PollAndClockPeriods)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
