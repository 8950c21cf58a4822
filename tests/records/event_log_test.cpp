// The station log: one line per hub event in logs/events-YYYY-MM-DD.log,
// old days removed, and a folder that cannot be written said once.
#include "records/event_log.h"

#include "temp_dir.h"
#if !defined(_WIN32)
#include "unprivileged.h"
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDay = 86'400'000;
// 2026-12-11T03:12:44.120Z
constexpr std::int64_t kNight = 1'796'958'764'120;

class FixedClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = kNight;
};

// Keeps the events and counts the note changes the hub tells.
class Listener final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override { events.push_back(std::string(EventToken(e.kind))); }
    void NotesChanged() override { ++noteChanges; }
    std::vector<std::string> events;
    int noteChanges = 0;
};

struct LineCase {
    const char* what;
    StationEvent event;
    std::string line;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.what; }

class EventLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(EventLines, AreTimeTokenAndDetailOnOneLine)
{
    EXPECT_EQ(EventLine(GetParam().event), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EventLines,
    ::testing::Values(
        LineCase{"PortLost", {kNight, EventKind::PortLost, "/dev/ttyUSB0: device went away"},
                 "2026-12-11T03:12:44.120Z port-lost /dev/ttyUSB0: device went away\n"},
        LineCase{"NoDetail", {kNight, EventKind::ProgramEnd, ""}, "2026-12-11T03:12:44.120Z program-end\n"},
        LineCase{"LineEndsAndControls", {kNight, EventKind::Error, "'12\r\n\t\x01' is not a valid floating point value"},
                 "2026-12-11T03:12:44.120Z error '12\\r\\n\\t\\x01' is not a valid floating point value\n"},
        LineCase{"Latin1BecomesUtf8", {kNight, EventKind::Recall, "1 (Gr\xFC\xDF" "e)"},
                 "2026-12-11T03:12:44.120Z recall 1 (Gr\xC3\xBC\xC3\x9F" "e)\n"},
        LineCase{"LongDetailIsCut", {kNight, EventKind::Error, std::string(2500, 'x')},
                 "2026-12-11T03:12:44.120Z error " + std::string(2000, 'x') + "...\n"}),
    [](const auto& info) { return std::string(info.param.what); });

class StationLog : public ::testing::Test {
protected:
    fs::path Logs() const { return dir.Path() / "logs"; }
    std::string Read(const std::string& name) const { return ReadFileBytes((Logs() / name).string()); }

    TempDir dir;
    FixedClock clock;
    StationHub hub{clock};
};

TEST_F(StationLog, EveryEventIsOneLineInTheFileOfItsUtcDay)
{
    EventLog log(hub, Logs(), 31);
    hub.PortOpened("/dev/ttyUSB0");
    // Read while the log holds the file open: the line is on disk already.
    EXPECT_EQ(Read("events-2026-12-11.log"), "2026-12-11T03:12:44.120Z port-opened /dev/ttyUSB0\n");
    clock.now += 1500;
    hub.PortLost("/dev/ttyUSB0", "device went away or hung up");
    clock.now = kNight + kDay;
    hub.PortReconnected("/dev/ttyUSB0", 3);

    EXPECT_EQ(Read("events-2026-12-11.log"),
              "2026-12-11T03:12:44.120Z port-opened /dev/ttyUSB0\n"
              "2026-12-11T03:12:45.620Z port-lost /dev/ttyUSB0: device went away or hung up\n");
    EXPECT_EQ(Read("events-2026-12-12.log"), "2026-12-12T03:12:44.120Z port-reconnected /dev/ttyUSB0 after 3 attempts\n");
    EXPECT_TRUE(hub.NoteTexts().empty());
}

TEST_F(StationLog, AnExistingDayIsAppendedTo)
{
    fs::create_directories(Logs());
    WriteFileBytes((Logs() / "events-2026-12-11.log").string(), "2026-12-11T01:00:00.000Z program-start\n");
    EventLog log(hub, Logs(), 31);
    hub.Record(EventKind::ScanStarted, {});
    EXPECT_EQ(Read("events-2026-12-11.log"),
              "2026-12-11T01:00:00.000Z program-start\n2026-12-11T03:12:44.120Z scan-started\n");
}

TEST_F(StationLog, DaysOlderThanKeepDaysGoAtStartAndWhenTheDayChanges)
{
    fs::create_directories(Logs());
    const char* kept[] = {"events-2026-11-10.log", "events-2026-12-10.log", "pass-2026-01-01.csv", "notes.txt"};
    for (const char* name : kept)
        WriteFileBytes((Logs() / name).string(), "x");
    WriteFileBytes((Logs() / "events-2026-11-09.log").string(), "x");

    EventLog log(hub, Logs(), 31);  // today 2026-12-11: 2026-11-10 is 31 days back and stays
    EXPECT_FALSE(fs::exists(Logs() / "events-2026-11-09.log"));
    for (const char* name : kept)
        EXPECT_TRUE(fs::exists(Logs() / name)) << name;

    // Running on, the first event of a later day sheds what is now too old.
    clock.now = kNight + 2 * kDay;  // 2026-12-13
    hub.Record(EventKind::ScanStopped, {});
    EXPECT_FALSE(fs::exists(Logs() / "events-2026-11-10.log"));
    EXPECT_TRUE(fs::exists(Logs() / "events-2026-12-10.log"));
    EXPECT_TRUE(fs::exists(Logs() / "pass-2026-01-01.csv")) << "another log's files are its own business";
}

TEST_F(StationLog, AFolderThatCannotBeMadeIsSaidOnceAndWithdrawnWhenLinesGoOutAgain)
{
    Listener listener;
    hub.Subscribe(listener);
    WriteFileBytes(Logs().string(), "a file where the folder should be");
    EventLog log(hub, Logs(), 31);
    hub.PortOpened("COM1");
    hub.PortClosed("COM1");
    hub.Record(EventKind::ScanStarted, {});
    EXPECT_EQ(listener.noteChanges, 1) << "said once";
    ASSERT_EQ(hub.NoteTexts().size(), 1u);
    EXPECT_EQ(hub.NewestNote().rfind("Station log: cannot create ", 0), 0u) << hub.NewestNote();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"port-opened", "log-error", "port-closed", "scan-started"}))
        << "nothing else changes";

    fs::remove(Logs());
    hub.Record(EventKind::ScanStopped, {});
    EXPECT_TRUE(hub.NoteTexts().empty());
    EXPECT_EQ(Read("events-2026-12-11.log"), "2026-12-11T03:12:44.120Z scan-stopped\n");
    hub.Unsubscribe(listener);
}

TEST_F(StationLog, AFullDayIsSaidLikeAnUnwritableFolder)
{
    EventLog log(hub, Logs(), 31, 100);
    hub.Record(EventKind::Error, std::string(40, 'a'));
    hub.Record(EventKind::Error, std::string(40, 'b'));
    EXPECT_NE(hub.NewestNote().find("limit of 100 bytes"), std::string::npos) << hub.NewestNote();
    clock.now += kDay;
    hub.Record(EventKind::ScanStarted, {});
    EXPECT_TRUE(hub.NoteTexts().empty()) << "a new day, a new file";
}

#if !defined(_WIN32)
TEST_F(StationLog, AReadOnlyFolderIsSaidOnceAndTheHubGoesOn)
{
    // Read-only for everyone; only the superuser would write it anyway.
    fs::create_directories(Logs());
    fs::permissions(Logs(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    RunUnprivileged([&] {
        Listener listener;
        hub.Subscribe(listener);
        EventLog log(hub, Logs(), 31);
        hub.PortOpened("/dev/ttyUSB0");
        hub.PortLost("/dev/ttyUSB0", "device went away");
        EXPECT_EQ(listener.events, (std::vector<std::string>{"port-opened", "log-error", "port-lost"}));
        EXPECT_EQ(listener.noteChanges, 1);
        EXPECT_NE(hub.NewestNote().find("Permission denied"), std::string::npos) << hub.NewestNote();
        EXPECT_FALSE(fs::exists(Logs() / "events-2026-12-11.log"));
        hub.Unsubscribe(listener);
    });
}
#endif

} // namespace
