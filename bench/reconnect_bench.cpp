// Processor time of the program over a minute while it keeps trying to open a
// line whose device never comes back, beside the same minute with the port
// simply closed: retrying must cost no more than idling. The main window runs
// with the system's serial device on a pseudo-terminal made here, opened by
// a link; the far end is closed and the link removed, as when an adapter is
// pulled out. Seconds of processor time are read from the process (all its
// threads), not timed.
#include "app/ui/form1.h"
#include "app/ui/reconnect.h"
#include "platform/ini_file.h"
#include "platform/ui/sync_wakeup.h"
#include "platform/messages.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kMinuteMs = 60'000;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "reconnect_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    static SyncWakeUp wakeUp;
    return app;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Boxes would wait for a person; none may come, and any that does is counted.
class CountedBoxes final : public MessageSink {
public:
    void ShowMessage(const std::string&) override { ++count; }
    void ShowError(const std::string&) override { ++count; }
    int count = 0;
};

void OneMinute(benchmark::State& state)
{
    App();
    const bool retrying = state.range(0) != 0;
    const auto dir = std::filesystem::temp_directory_path() / ("reconnect_bench." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string link = (dir / "modem").string();
    // The window reads the settings file of the working directory.
    const auto oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    CountedBoxes boxes;
    InstallMessages(&boxes);

    for (auto _ : state) {
        int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            state.SkipWithError("no pseudo-terminal");
            break;
        }
        std::filesystem::remove(link);
        std::filesystem::create_symlink(::ptsname(master), link);
        TIniFile settings((dir / "varnetrixreader.ini").string());
        settings.WriteValue("ComPort", "Reconnect", retrying ? "1" : "0");
        settings.WriteValue("ComPort", "Port", link);
        auto form = std::make_unique<TForm1>(settings);
        auto reconnect = std::make_unique<PortReconnect>(*form, settings, nullptr);
        if (form->ComPort.Port() != link) {
            state.SkipWithError("the settings file was not read");  // never a real port
            break;
        }
        form->SpeedButton1->click();
        if (!form->ComPort.Connected()) {
            state.SkipWithError("cannot open the pseudo-terminal");
            break;
        }
        ::close(master);  // pulled out, and never back
        std::filesystem::remove(link);
        RunFor(200);
        if (form->ComPort.Connected() || retrying != reconnect->Retrying()) {
            state.SkipWithError("the loss did not come as expected");
            break;
        }
        boxes.count = 0;

        const double before = CpuSeconds();
        RunFor(kMinuteMs);
        const double used = CpuSeconds() - before;

        state.SetIterationTime(kMinuteMs / 1000.0);
        state.counters["cpu_seconds"] = used;
        state.counters["cpu_percent"] = used / (kMinuteMs / 1000.0) * 100.0;
        state.counters["attempts"] = reconnect->Attempts();
        state.counters["boxes"] = boxes.count;
        reconnect.reset();
        form.reset();
    }
    InstallMessages(nullptr);
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(dir);
}

} // namespace

// Argument: 0 = the port closed after the loss (Reconnect=0, its box counted
// and answered at once), 1 = retrying all the minute.
BENCHMARK(OneMinute)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
