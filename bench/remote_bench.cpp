// Network control: the time from a command's arrival (the client's write) to
// its first request on the line (the bytes readable at the far end of a
// pseudo-terminal), through the whole program: the main window with its real
// serial component, the remote link and its server, a client socket on the
// loopback address. The sequences then keep their specified pauses; each
// gap between the requests is measured against them.
//
// Arguments: the command (0: "F 137100000", tune; 1: "E 4", channel FY3A),
// and whether the status poll runs meanwhile (a command that arrives during a
// poll tick waits for it, as the operator's click would).
#include "app/ui/form1.h"
#include "app/ui/remote_link.h"
#include "memory_ini_file.h"
#include "platform/ui/sync_wakeup.h"
#include "protocol/requests.h"
#include "scanner/ui/form3.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTcpServer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "remote_bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// The far end of the line: every request with the time its carriage return
// became readable.
class FarEnd {
public:
    explicit FarEnd(int master) : master_(master), reader_([this] { Run(); }) {}
    ~FarEnd()
    {
        stop_ = true;
        reader_.join();
    }
    struct Request {
        Clock::time_point at;
        std::string text;
    };
    std::vector<Request> Requests()
    {
        std::lock_guard guard(lock_);
        return requests_;
    }

private:
    void Run()
    {
        std::string line;
        char buffer[256];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\r') {
                    line += buffer[i];
                    continue;
                }
                std::lock_guard guard(lock_);
                requests_.push_back({now, line});
                line.clear();
            }
        }
    }

    int master_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<Request> requests_;
    std::thread reader_;
};

// A client in a thread of its own: at each Go it waits a random part of
// spreadMs (none when 0), sends its command, and reads the answer line.
class Client {
public:
    Client(std::uint16_t port, std::string command, int spreadMs)
        : command_(std::move(command)), spreadMs_(spreadMs), thread_([this, port] { Run(port); })
    {
    }
    ~Client()
    {
        {
            std::lock_guard guard(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Go()
    {
        {
            std::lock_guard guard(lock_);
            answered_ = false;
            go_ = true;
        }
        wake_.notify_all();
    }
    bool Answered()
    {
        std::lock_guard guard(lock_);
        return answered_;
    }
    Clock::time_point Arrival()
    {
        std::lock_guard guard(lock_);
        return arrival_;
    }

private:
    void Run(std::uint16_t port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        std::mt19937 random(16);
        for (;;) {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [&] { return go_ || stop_; });
            if (stop_)
                break;
            go_ = false;
            guard.unlock();
            if (spreadMs_ > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(random() % spreadMs_));
            const auto arrival = Clock::now();
            std::string answer;
            if (connected && ::send(fd, command_.data(), command_.size(), MSG_NOSIGNAL) > 0) {
                char c = 0;
                while (::recv(fd, &c, 1, 0) == 1 && c != '\n')
                    answer += c;
            }
            guard.lock();
            arrival_ = arrival;
            answered_ = true;
            guard.unlock();
            // Wake the user-interface thread's loop to look.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        }
        ::close(fd);
    }

    std::string command_;
    int spreadMs_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool go_ = false;
    bool stop_ = false;
    bool answered_ = false;
    Clock::time_point arrival_;
    std::thread thread_;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_RemoteCommandToLine(benchmark::State& state)
{
    App();
    SyncWakeUp wakeUp;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::uint16_t port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    MemoryIniFile settings;
    settings.Set("Remote", "Enabled", "1");
    settings.Set("Remote", "Port", std::to_string(port));
    {
        FarEnd line(master);
        TForm1 form(settings);
        form.ComPort.SetPort(::ptsname(master));
        form.SpeedButton1->click();
        TForm3 scanner(form.State, form.PortRequests);
        RemoteLink link(form, scanner.Controller(), settings);
        if (!form.ComPort.Connected() || !link.Server()) {
            state.SkipWithError("the port or the server did not open");
            ::close(master);
            return;
        }
        if (state.range(1))
            form.CheckBox1->click();

        // The client is another thread with a plain socket, as a scheduler is
        // another program: its command may arrive while a poll tick pauses.
        const bool channel = state.range(0) == 1;
        const std::string command = channel ? "E 4\n" : "F 137100000\n";
        Client client(port, command, state.range(1) ? Pacing::PollPeriodMs : 0);
        const std::string first = "<1/REM_";
        const std::vector<double> specified = channel ? std::vector<double>{200, 400, 400} : std::vector<double>{200};
        std::vector<double> latencies;
        std::vector<double> gapExcess;  // measured gap minus its specified pause
        for (auto _ : state) {
            const std::size_t before = line.Requests().size();
            client.Go();
            while (!client.Answered())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            // The far end may still be reading the last request.
            std::vector<FarEnd::Request> requests;
            std::size_t start = 0;
            for (;;) {
                requests = line.Requests();
                start = before;
                while (start < requests.size() && requests[start].text != first)
                    ++start;
                if (start + specified.size() < requests.size())
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const double latency = Ms(requests[start].at - client.Arrival());
            latencies.push_back(latency);
            for (std::size_t i = 0; i < specified.size(); ++i)
                gapExcess.push_back(Ms(requests[start + i + 1].at - requests[start + i].at) - specified[i]);
            state.SetIterationTime(latency / 1000.0);
        }
        auto mean = [](const std::vector<double>& v) {
            double sum = 0;
            for (double x : v)
                sum += x;
            return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
        };
        state.counters["arrival_to_line_ms"] = mean(latencies);
        state.counters["arrival_to_line_max_ms"] = *std::max_element(latencies.begin(), latencies.end());
        state.counters["pause_excess_ms"] = mean(gapExcess);
        state.counters["pause_excess_max_ms"] = *std::max_element(gapExcess.begin(), gapExcess.end());
        state.counters["first_pause_ms"] = specified[0];
        if (state.range(1))
            form.CheckBox1->click();
        form.SpeedButton1->click();
    }
    ::close(master);
}

} // namespace

// Real pauses: a handful of iterations each.
BENCHMARK(BM_RemoteCommandToLine)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
