// The pass log's cost: one row written to its daily file (the file worker's
// share), and the receive handler with the log off, on, and on while the
// disk is stalled (the worker stuck in a write that does not return). The
// handler's share must stay a few microseconds whatever the disk does; the
// counter max_us is the slowest single receive event seen.
#include "protocol/reply_parser.h"
#include "records/pass_log.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One poll period's replies as the modem sends them.
const std::string kEvent = ">1/BCAS_-45.3,1.0E-3,<1.0E-9,4.5,7.1,50,0.0,]>1/CSV_+1500\rLK OK\r]";

class ScratchDir {
public:
    ScratchDir()
    {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("vr-bench-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// The main window's part of a receive event that reaches the hub.
class HubDisplay final : public ReplyDisplay {
public:
    explicit HubDisplay(StationHub& hub) : hub_(hub) {}
    void ShowStatusField(int, const std::string&) override {}
    void ShowOffset(const std::string&) override {}
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string&) override {}
    void Replied(const ParsedReply& reply) override { hub_.Replied(reply); }

private:
    StationHub& hub_;
};

StationStatus PollStatus()
{
    StationStatus s;
    s.haveStatus = true;
    s.statusFields = {"-45.3", "1.0E-3", "<1.0E-9", "4.5", "7.1", "50", "0.0"};
    s.statusUtcMs = 1'796'982'067'250;
    s.haveOffset = true;
    s.offsetText = "+1500";
    s.lock = LockState::Ok;
    s.haveTuned = s.haveTunedMHz = true;
    s.tunedText = "147.800000";
    s.tunedMHz = 147.8;
    s.channelText = "Metop-A";
    s.pollRunning = true;
    return s;
}

// The worker's share: a row formatted and appended (one write, one flush).
void PassLogRowWrite(benchmark::State& state)
{
    ScratchDir dir;
    DailyFile daily({dir.Path(), "pass-", ".csv", std::string(kPassLogHeader)});
    StationStatus status = PollStatus();
    std::string error;
    for (auto _ : state) {
        status.statusUtcMs += 500;
        if (!daily.Append(status.statusUtcMs, PassLogRow(status), error))
            state.SkipWithError(error.c_str());
    }
}

enum class Log { Off, On, OnStalledDisk };

// Receive events per run: some three hours of polling.
constexpr int kEvents = 20000;

// The receive handler: the parser, the hub and whoever listens to it.
void ReceiveHandler(benchmark::State& state)
{
    const auto mode = static_cast<Log>(state.range(0));
    ScratchDir dir;
    StationHub hub;
    hub.SetPollRunning(true);
    hub.RequestWritten("<1/DF_147.800000");
    hub.ChannelChosen(1, "Metop-A", Origin::Operator);
    // Room for every row of the run, so the stalled case measures queueing
    // rather than the refusal of a full queue.
    FileWorker worker(kEvents + 1);
    PassLogSettings settings;
    settings.enabled = mode != Log::Off;
    PassLog log(hub, worker, {dir.Path(), settings, {}});
    std::promise<void> release;
    if (mode == Log::OnStalledDisk) {
        std::shared_future<void> go = release.get_future().share();
        worker.Post([go] { go.wait(); });
    }
    ProgramState program;
    HubDisplay display(hub);
    std::vector<double> took;
    took.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        HandleReceived(program, kEvent, display);
        took.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    if (mode == Log::OnStalledDisk)
        release.set_value();  // the disk comes back; the log writes what waited
    log.Flush();
    std::sort(took.begin(), took.end());
    state.counters["p50_us"] = took[took.size() / 2];
    state.counters["p99_us"] = took[took.size() * 99 / 100];
    state.counters["max_us"] = took.back();
    const auto bcas = hub.Status().replies[static_cast<std::size_t>(ReplyKind::Bcas)];
    if (bcas != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("the status replies did not all reach the hub");
    std::error_code ec;
    const auto bytes = fs::file_size(log.FileFor(hub.Status().statusUtcMs), ec);
    state.counters["log_bytes"] = ec ? 0.0 : static_cast<double>(bytes);
    if ((mode != Log::Off) == static_cast<bool>(ec))
        state.SkipWithError(ec ? "no pass log written" : "a pass log written while off");
}

} // namespace

BENCHMARK(PassLogRowWrite)->Unit(benchmark::kMicrosecond);
// Argument: 0 log off, 1 log on, 2 log on with the disk stalled.
BENCHMARK(ReceiveHandler)->Arg(0)->Arg(1)->Arg(2)->Iterations(kEvents)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
