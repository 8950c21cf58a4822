// The adapter pulled out and plugged in again, end to end: the main window on
// the system's serial device, opened by a stable name (a link) on the modem
// simulator's pseudo-terminal, the simulator hanging up and serving a new
// pseudo-terminal under the same link 3 s later.
#include "app/ui/reconnect.h"
#include "app/ui/unattended.h"
#include "form_fixture.h"
#include "protocol/numbers.h"
#include "records/program_events.h"
#include "scanner/ui/form3.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/stat.h>

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// When the port went, came back and was polled again, as the hub tells it.
class Moments final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override
    {
        if (e.kind == EventKind::PortLost && !lost)
            lost = Steady::now();
        if (e.kind == EventKind::PortReconnected && !back)
            back = Steady::now();
    }
    void StatusReplied(const StationStatus&) override
    {
        if (back && !polled)
            polled = Steady::now();
    }
    std::optional<Steady::time_point> lost, back, polled;
};

// Runs the event loop until done() holds, looking every 20 ms, so that the
// looking costs next to nothing; false after timeoutMs.
bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto until = Steady::now() + std::chrono::milliseconds(timeoutMs);
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done() || Steady::now() > until)
            loop.quit();
    });
    look.start(20);
    if (!done())
        loop.exec();
    return done();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> LogLines(const std::filesystem::path& logs)
{
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(logs, ec)) {
        std::istringstream in(ReadFileBytes(e.path().string()));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    return lines;
}

// Index of the first line holding text, or -1.
int Find(const std::vector<std::string>& lines, const std::string& text)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

class Unplugged : public SimFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(Unplugged, AdapterBackThreeSecondsLater)
{
    const bool reconnect = GetParam();
    const std::string link = (dir_.Path() / "modem").string();
    simtest::Sim sim({"--unplug", "2:3", "--link", link, "--seed", "71"});
    ASSERT_FALSE(sim.Path().empty()) << "the simulator printed no device";
    WriteFileBytes(dir_.File("varnetrixreader.ini"),
                   "[ComPort]\nPort=" + link + "\n" + (reconnect ? "Reconnect=1\n" : ""));

    TIniFile settings(SettingsFilePath());
    TForm1 f(settings);
    TForm3 scanner(f.State, f.PortRequests);
    ProgramEvents programEvents(boxes_);
    InstallMessages(&programEvents);
    std::optional<Unattended> unattended(std::in_place, f, scanner.Controller(), settings, programEvents);
    Moments moments;
    f.Hub.Subscribe(moments);

    f.SpeedButton1->click();
    ASSERT_TRUE(f.ComPort.Connected()) << (boxes_.errors.empty() ? "" : boxes_.errors[0]);
    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());
    ASSERT_TRUE(RunUntil([&] { return !f.ComPort.Connected(); }, 10000)) << "the simulator hangs up at 2 s";
    ASSERT_TRUE(f.Hub.Status().replies[static_cast<int>(ReplyKind::Bcas)] > 0) << "polled before the loss";

    // Retrying while the device is away: asleep between attempts.
    const double cpuBefore = CpuSeconds();
    const auto lostAt = Steady::now();
    ASSERT_TRUE(RunUntil([&] { return Exists(link); }, 10000)) << "the simulator is back at 5 s";
    const auto returnedAt = Steady::now();
    const double cpuAway = CpuSeconds() - cpuBefore;

    if (reconnect) {
        EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
        EXPECT_TRUE(f.SpeedButton1->isChecked());
        ASSERT_TRUE(RunUntil([&] { return moments.polled.has_value(); }, 15000)) << f.Hub.NewestNote();
        EXPECT_TRUE(f.ComPort.Connected());
        EXPECT_TRUE(f.Timer2->isActive());
        EXPECT_EQ(Latin1(f.SpeedButton1->text()), "Close Port");
        EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
        EXPECT_EQ(unattended->Reconnect().RetryTimer(), nullptr);
        // A bound on processor time, not on wall time: retrying costs next to nothing.
        EXPECT_LT(cpuAway, 0.2) << "seconds of processor time while the device was away";

        const double toPolling = Seconds(*moments.polled - returnedAt);
        RecordProperty("seconds_from_return_to_polling", std::to_string(toPolling));
        RecordProperty("cpu_seconds_while_away", std::to_string(cpuAway));
        std::printf("device away %.2f s (%.3f s of processor time); open %.2f s and polled again %.2f s after its "
                    "return\n",
                    Seconds(returnedAt - lostAt), cpuAway, Seconds(*moments.back - returnedAt), toPolling);
    } else {
        RunUntil([] { return false; }, 1500);  // time for an attempt that must not come
        EXPECT_EQ(boxes_.errors, std::vector<std::string>{"The serial line on " + link +
                                                          " was lost (the device went away or hung up). "
                                                          "The port has been closed."});
        EXPECT_FALSE(f.ComPort.Connected());
        EXPECT_FALSE(f.SpeedButton1->isChecked());
        EXPECT_EQ(Latin1(f.SpeedButton1->text()), "Open Port");
        EXPECT_EQ(unattended->Reconnect().RetryTimer(), nullptr);
        EXPECT_FALSE(moments.back.has_value());
    }

    f.Hub.Unsubscribe(moments);
    if (f.SpeedButton1->isChecked())
        f.SpeedButton1->click();
    unattended.reset();  // the program's end
    InstallMessages(&boxes_);

    const std::vector<std::string> lines = LogLines(dir_.Path() / "logs");
    for (const std::string& line : lines)
        std::printf("  %s\n", line.c_str());
    const int start = Find(lines, " program-start Varnetrix Reader");
    const int opened = Find(lines, " port-opened " + link);
    const int lost = Find(lines, " port-lost " + link + ": device went away or hung up");
    const int back = Find(lines, " port-reconnected " + link + " after ");
    const int end = Find(lines, " program-end");
    EXPECT_EQ(start, 0);
    EXPECT_LT(start, opened);
    EXPECT_LT(opened, lost);
    EXPECT_EQ(end, static_cast<int>(lines.size()) - 1);
    if (reconnect) {
        EXPECT_LT(lost, back);
        EXPECT_EQ(Find(lines, " error "), -1);
    } else {
        EXPECT_EQ(back, -1);
        EXPECT_GT(Find(lines, " error The serial line on " + link + " was lost"), lost);
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, Unplugged, ::testing::Bool(),
                         [](const auto& info) { return info.param ? std::string("Reconnect") : std::string("Off"); });

} // namespace
