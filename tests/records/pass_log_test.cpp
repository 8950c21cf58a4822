// The pass log: one row per poll reply, by UTC day, written on the file
// worker; its settings; what the operator is told when it cannot write.
#include "records/pass_log.h"

#include "memory_ini_file.h"
#include "parsed_replies.h"
#include "temp_dir.h"
#ifndef _WIN32
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
// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kMorning = 1'796'982'067'250;
// 2026-12-11T23:59:59.900Z and 2026-12-12T00:00:00.400Z
constexpr std::int64_t kBeforeMidnight = 1'797'033'599'900;
constexpr std::int64_t kAfterMidnight = 1'797'033'600'400;

const std::string kHeader(kPassLogHeader);

class FixedClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = kMorning;
};

// What the hub tells: events as "token detail", and how many status replies.
class Listener final : public StationListener {
public:
    void StatusReplied(const StationStatus&) override { ++replies; }
    void EventRecorded(const StationEvent& e) override { events.push_back(std::string(EventToken(e.kind)) + " " + e.detail); }
    int replies = 0;
    std::vector<std::string> events;
};

const std::array<std::string, 7> kFields = {"-45.2", "<1.0E-9", "2.0E-5", "0", "7.5", "50", "<1.0E-9"};

// A hub on a fixed clock with the poll running, and a pass log in a fresh folder.
class PassLogTest : public ::testing::Test {
protected:
    PassLogTest()
    {
        hub.SetPollRunning(true);
        hub.Subscribe(listener);
    }
    ~PassLogTest() override { hub.Unsubscribe(listener); }

    PassLog& Make(PassLogSettings settings = {})
    {
        log = std::make_unique<PassLog>(hub, worker, PassLog::Options{Logs(), settings, {}});
        return *log;
    }
    fs::path Logs() const { return dir.Path() / "logs"; }
    std::string Read(const char* name) const { return ReadFileBytes((Logs() / name).string()); }
    void ReplyAt(std::int64_t utcMs, const std::array<std::string, 7>& fields = kFields)
    {
        clock.now = utcMs;
        hub.Replied(BcasReply(fields));
    }

    TempDir dir;
    FixedClock clock;
    StationHub hub{clock};
    Listener listener;
    FileWorker worker;
    std::unique_ptr<PassLog> log;
};

TEST_F(PassLogTest, HeaderThenARowPerReplyWithTheLastChannelFrequencyOffsetAndLock)
{
    PassLog& passes = Make();
    ReplyAt(kMorning);  // before any channel, DF or CSV reply
    hub.ChannelChosen(1, "Metop-A", Origin::Operator);
    hub.RequestWritten("<1/DF_147.800000");
    hub.Replied(CsvReply("+1500", "FLT"));
    ReplyAt(kMorning + 500, {"-41.0", "3.5E-4", "<1.0E-9", "0", "9.1", "48", "0.0E+0"});
    hub.RequestWritten("<1/DF_147.798500");  // the offset correction's DF
    hub.Replied(CsvReply("-2", "OK"));
    ReplyAt(kMorning + 1000);
    passes.Flush();

    EXPECT_EQ(Read("pass-2026-12-11.csv"),
              kHeader +
                  "2026-12-11T09:41:07.250Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n"
                  "2026-12-11T09:41:07.750Z,Metop-A,147.8,-41.0,3.5E-4,<1.0E-9,0,9.1,48,0.0E+0,+1500,FAULT\n"
                  "2026-12-11T09:41:08.250Z,Metop-A,147.7985,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,-2,OK\n");
    EXPECT_TRUE(hub.NoteTexts().empty());
}

TEST_F(PassLogTest, FieldsWithQuotesCommasOrLineEndsAreQuoted)
{
    PassLog& passes = Make();
    hub.ChannelChosen(0, "FY3,\"B\"", Origin::Remote, "sched");
    hub.RequestWritten("<1/DF_abc");  // typed by hand: no number, no frequency
    hub.Replied(CsvReply("+1\r\n2", "OK"));
    ReplyAt(kMorning, {"-4\"5", "", "a,b", "0", "7.5", "50", "1"});
    passes.Flush();
    EXPECT_EQ(Read("pass-2026-12-11.csv"),
              kHeader + "2026-12-11T09:41:07.250Z,\"FY3,\"\"B\"\"\",,\"-4\"\"5\",,\"a,b\",0,7.5,50,1,\"+1\r\n2\",OK\n");
}

TEST_F(PassLogTest, RowsGoToTheFileOfTheirUtcDay)
{
    PassLog& passes = Make();
    ReplyAt(kBeforeMidnight);
    ReplyAt(kAfterMidnight);
    passes.Flush();
    EXPECT_EQ(Read("pass-2026-12-11.csv"), kHeader + "2026-12-11T23:59:59.900Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n");
    EXPECT_EQ(Read("pass-2026-12-12.csv"), kHeader + "2026-12-12T00:00:00.400Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n");
    EXPECT_EQ(passes.FileFor(kAfterMidnight), Logs() / "pass-2026-12-12.csv");
}

TEST_F(PassLogTest, OnlyRepliesWhileThePollRunsAreLogged)
{
    PassLog& passes = Make();
    hub.SetPollRunning(false);
    ReplyAt(kMorning);  // a BCAS request typed by hand
    passes.Flush();
    EXPECT_FALSE(fs::exists(Logs() / "pass-2026-12-11.csv"));
    hub.SetPollRunning(true);
    ReplyAt(kMorning + 500);
    passes.Flush();
    EXPECT_EQ(Read("pass-2026-12-11.csv"), kHeader + "2026-12-11T09:41:07.750Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n");
}

TEST_F(PassLogTest, DisabledItWritesAndRemovesNothingUntilSwitchedOn)
{
    fs::create_directories(Logs());
    WriteFileBytes((Logs() / "pass-2020-01-01.csv").string(), "old");
    PassLogSettings off;
    off.enabled = false;
    PassLog& passes = Make(off);
    ReplyAt(kMorning);
    passes.Flush();
    EXPECT_EQ(std::distance(fs::directory_iterator(Logs()), fs::directory_iterator()), 1);

    passes.SetEnabled(true);
    ReplyAt(kMorning + 500);
    passes.Flush();
    EXPECT_FALSE(fs::exists(Logs() / "pass-2020-01-01.csv"));
    EXPECT_EQ(Read("pass-2026-12-11.csv"), kHeader + "2026-12-11T09:41:07.750Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n");
}

TEST_F(PassLogTest, FilesOlderThanKeepDaysGoAtStart)
{
    struct Case {
        int keepDays;
        std::vector<const char*> kept;
    };
    // Today is 2026-12-11.
    const std::vector<const char*> all = {"pass-2026-12-11.csv", "pass-2026-12-10.csv", "pass-2026-11-10.csv",
                                          "pass-2026-11-09.csv", "pass-2025-12-11.csv"};
    const Case cases[] = {
        {31, {"pass-2026-12-11.csv", "pass-2026-12-10.csv", "pass-2026-11-10.csv"}},
        {1, {"pass-2026-12-11.csv", "pass-2026-12-10.csv"}},
        {0, {"pass-2026-12-11.csv"}},
        {400, {"pass-2026-12-11.csv", "pass-2026-12-10.csv", "pass-2026-11-10.csv", "pass-2026-11-09.csv",
               "pass-2025-12-11.csv"}},
    };
    for (const Case& c : cases) {
        fs::create_directories(Logs());
        for (const char* name : all)
            WriteFileBytes((Logs() / name).string(), "x");
        WriteFileBytes((Logs() / "events-2020-01-01.log").string(), "not ours");
        PassLogSettings settings;
        settings.keepDays = c.keepDays;
        Make(settings).Flush();
        std::vector<std::string> left;
        for (const char* name : all)
            if (fs::exists(Logs() / name))
                left.push_back(name);
        EXPECT_EQ(left, std::vector<std::string>(c.kept.begin(), c.kept.end())) << "KeepDays=" << c.keepDays;
        EXPECT_TRUE(fs::exists(Logs() / "events-2020-01-01.log"));
        log.reset();
        fs::remove_all(Logs());
    }
}

TEST(PassLogSettingsTest, ReadWithDefaultsAndWrittenOnlyByTheOperator)
{
    struct Case {
        const char* enabled;  // nullptr: no key
        const char* keepDays;
        bool wantEnabled;
        int wantKeepDays;
        const char* problem;
    };
    const Case cases[] = {
        {nullptr, nullptr, true, 31, ""},
        {"0", "7", false, 7, ""},
        {"1", "0", true, 0, ""},
        {"yes", nullptr, true, 31, "Enabled=yes is not 0 or 1"},
        {nullptr, "-3", true, 31, "KeepDays=-3 is not a number of days"},
        {nullptr, "week", true, 31, "KeepDays=week is not a number of days"},
    };
    for (const Case& c : cases) {
        MemoryIniFile ini;
        if (c.enabled)
            ini.Set("PassLog", "Enabled", c.enabled);
        if (c.keepDays)
            ini.Set("PassLog", "KeepDays", c.keepDays);
        const PassLogSettings s = ReadPassLogSettings(ini);
        EXPECT_EQ(s.enabled, c.wantEnabled) << c.enabled;
        EXPECT_EQ(s.keepDays, c.wantKeepDays) << c.keepDays;
        EXPECT_EQ(s.problem, c.problem);
        EXPECT_TRUE(ini.writes.empty());
    }
    MemoryIniFile ini;
    WritePassLogEnabled(ini, false);
    ASSERT_EQ(ini.writes.size(), 1u);
    EXPECT_EQ(ini.writes[0].section + "/" + ini.writes[0].key + "=" + ini.writes[0].value, "PassLog/Enabled=0");
}

TEST_F(PassLogTest, AnUnusableSettingIsNotedAndItsDefaultStands)
{
    PassLogSettings settings;
    settings.problem = "KeepDays=week is not a number of days";
    Make(settings);
    EXPECT_EQ(hub.NoteTexts(), std::vector<std::string>{"Pass log settings: KeepDays=week is not a number of days"});
}

#ifdef __linux__
TEST_F(PassLogTest, AFullDiskIsSaidOnceAndThePollGoesOn)
{
    fs::create_directories(Logs());
    fs::create_symlink("/dev/full", Logs() / "pass-2026-12-11.csv");  // every write: no space left
    PassLog& passes = Make();
    for (int i = 0; i < 3; ++i)
        ReplyAt(kMorning + 500 * i);
    passes.Flush();
    EXPECT_EQ(listener.replies, 3);
    ASSERT_EQ(listener.events.size(), 1u);
    EXPECT_NE(listener.events[0].find("log-error Pass log: cannot write"), std::string::npos) << listener.events[0];
    EXPECT_NE(listener.events[0].find("No space left on device"), std::string::npos) << listener.events[0];
    ASSERT_EQ(hub.NoteTexts().size(), 1u);
    EXPECT_EQ("log-error " + hub.NewestNote(), listener.events[0]);

    ReplyAt(kAfterMidnight);  // the next day's file is on a disk with room again
    passes.Flush();
    EXPECT_TRUE(hub.NoteTexts().empty()) << "the note goes once rows are written again";
    EXPECT_EQ(listener.events.size(), 1u);
}
#endif

#ifndef _WIN32
TEST_F(PassLogTest, AReadOnlyFolderIsSaidOnceThePollGoesOnAndWritingResumesWhenItIsWritable)
{
    fs::create_directories(Logs());
    ASSERT_TRUE(GiveToUnprivilegedUser(Logs().string()));
    fs::permissions(Logs(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    RunUnprivileged([&] {
        {
            PassLog passes(hub, worker, {Logs(), {}, {}});
            for (int i = 0; i < 3; ++i)
                ReplyAt(kMorning + 500 * i);
            passes.Flush();
            EXPECT_EQ(listener.replies, 3) << "the other listeners hear every reply";
            ASSERT_EQ(listener.events.size(), 1u);
            EXPECT_NE(listener.events[0].find("Permission denied"), std::string::npos) << listener.events[0];
            ASSERT_EQ(hub.NoteTexts().size(), 1u);
            EXPECT_EQ(hub.NewestNote().rfind("Pass log: cannot write", 0), 0u) << hub.NewestNote();

            fs::permissions(Logs(), fs::perms::owner_write, fs::perm_options::add);
            ReplyAt(kMorning + 1500);
            passes.Flush();
            EXPECT_TRUE(hub.NoteTexts().empty()) << hub.NewestNote();
        }
        EXPECT_EQ(ReadFileBytes((Logs() / "pass-2026-12-11.csv").string()),
                  kHeader + "2026-12-11T09:41:08.750Z,,,-45.2,<1.0E-9,2.0E-5,0,7.5,50,<1.0E-9,,UNKN\n");
    });
}
#endif

} // namespace
