#include "station/station_hub.h"
#include "station/utc_clock.h"

#include "parsed_replies.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class FixedClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = 0;
};

// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kMorning = 1'796'982'067'250;

struct TimeCase {
    std::int64_t ms;
    const char* text;
};

TEST(UtcTime, FormatsMillisecondsAndDays)
{
    const TimeCase cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {kMorning, "2026-12-11T09:41:07.250Z"},
        {1'798'761'599'999, "2026-12-31T23:59:59.999Z"},
        {1'798'761'600'000, "2027-01-01T00:00:00.000Z"},
        {951'782'400'000, "2000-02-29T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const TimeCase& c : cases)
        EXPECT_EQ(FormatUtcMs(c.ms), c.text) << c.ms;
}

TEST(UtcTime, DaysRoundTrip)
{
    for (std::int64_t ms : {std::int64_t{0}, kMorning, std::int64_t{951'782'400'000}, std::int64_t{-86'400'001}}) {
        const UtcDate d = UtcDateOf(ms);
        EXPECT_EQ(DaysSinceEpoch(d), ms >= 0 ? ms / 86'400'000 : (ms / 86'400'000) - 1) << ms;
    }
    EXPECT_EQ(FormatUtcDate(UtcDateOf(kMorning)), "2026-12-11");
}

// Keeps what the hub tells, one readable line each.
class Recorder final : public StationListener {
public:
    void StatusReplied(const StationStatus& s) override { log.push_back("status " + s.statusFields[0]); }
    void EventRecorded(const StationEvent& e) override
    {
        log.push_back(std::string(EventToken(e.kind)) + (e.detail.empty() ? "" : " " + e.detail));
        times.push_back(e.utcMs);
    }
    void NotesChanged() override { log.push_back("notes"); }
    void RequestWritten(std::string_view request) override { log.push_back("request " + std::string(request)); }
    std::vector<std::string> log;
    std::vector<std::int64_t> times;
};

class Hub : public ::testing::Test {
protected:
    void SetUp() override { hub.Subscribe(recorder); }
    FixedClock clock;
    StationHub hub{clock};
    Recorder recorder;
};

ParsedReply Bcas(std::string level)
{
    return BcasReply({std::move(level), "<1.0E-9", "2.0E-5", "0", "7.5", "50", "1.0E-3"});
}

TEST_F(Hub, TunedFrequencyFollowsEveryDfRequestWhoeverSentIt)
{
    hub.RequestWritten("<1/REM_");
    EXPECT_FALSE(hub.Status().haveTuned);
    hub.RequestWritten("<1/DF_147.800000");
    EXPECT_EQ(hub.Status().tunedText, "147.800000");
    EXPECT_TRUE(hub.Status().haveTunedMHz);
    EXPECT_DOUBLE_EQ(hub.Status().tunedMHz, 147.8);
    hub.RequestWritten("<1/DF_abc");  // a hand-typed request: kept as text, no number
    EXPECT_EQ(hub.Status().tunedText, "abc");
    EXPECT_FALSE(hub.Status().haveTunedMHz);
    hub.RequestWritten("<1/DFX_1");  // another mnemonic that begins alike
    EXPECT_EQ(hub.Status().tunedText, "abc");
    EXPECT_EQ(hub.Status().requests, 4u);
    // Listeners hear of every request, tuning or not.
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"request <1/REM_", "request <1/DF_147.800000",
                                                      "request <1/DF_abc", "request <1/DFX_1"}));
}

TEST_F(Hub, StatusReplyKeepsFieldsTimeAndTellsListeners)
{
    clock.now = kMorning;
    hub.Replied(Bcas("-45.2"));
    EXPECT_TRUE(hub.Status().haveStatus);
    EXPECT_EQ(hub.Status().statusFields[1], "<1.0E-9");
    EXPECT_EQ(hub.Status().statusUtcMs, kMorning);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"status -45.2"}));
    EXPECT_EQ(hub.Status().replies[static_cast<int>(ReplyKind::Bcas)], 1u);
}

TEST_F(Hub, LockChangesOnlyWithTheTwoLockTexts)
{
    EXPECT_EQ(LockStateText(hub.Status().lock), "UNKN");
    struct Step {
        const char* text;
        const char* shown;
    };
    const Step steps[] = {{"OK", "OK"}, {"", "OK"}, {"FLT", "FAULT"}, {"ok", "FAULT"}, {"OK", "OK"}};
    for (const Step& s : steps) {
        ++clock.now;
        hub.Replied(CsvReply("+120", s.text));
        EXPECT_EQ(LockStateText(hub.Status().lock), s.shown) << s.text;
        EXPECT_EQ(hub.Status().offsetUtcMs, clock.now) << "every CSV reply is stamped";
    }
    EXPECT_EQ(hub.Status().offsetText, "+120");
    EXPECT_EQ(hub.Status().replies[static_cast<int>(ReplyKind::Csv)], 5u);
}

TEST_F(Hub, PortEventsCountALostLineOnceAndNoCloseAfterIt)
{
    clock.now = 5;
    hub.PortOpened("/dev/ttyUSB0");
    hub.SetPollRunning(true);
    hub.PortLost("/dev/ttyUSB0", "device went away");
    hub.PortClosed("/dev/ttyUSB0");  // the close path that follows the loss
    EXPECT_FALSE(hub.Status().portOpen);
    EXPECT_FALSE(hub.Status().pollRunning);
    EXPECT_EQ(hub.Status().lineLosses, 1u);
    hub.PortReconnected("/dev/ttyUSB0", 3);
    hub.PortClosed("/dev/ttyUSB0");
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"port-opened /dev/ttyUSB0",
                                                      "port-lost /dev/ttyUSB0: device went away",
                                                      "port-reconnected /dev/ttyUSB0 after 3 attempts",
                                                      "port-closed /dev/ttyUSB0"}));
    EXPECT_EQ(recorder.times.front(), 5);
}

TEST_F(Hub, ChannelChoiceNamesWhoChose)
{
    hub.ChannelChosen(3, "FY3A", Origin::Operator);
    hub.ChannelChosen(0, "Metop-A", Origin::Remote, "127.0.0.1:40512");
    EXPECT_EQ(hub.Status().channelIndex, 0);
    EXPECT_EQ(hub.Status().channelText, "Metop-A");
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"channel FY3A by the operator",
                                                      "channel Metop-A by remote client 127.0.0.1:40512"}));
}

TEST_F(Hub, NewestNoteShowsAndWithdrawingBringsBackTheOneBefore)
{
    hub.SetNote("remote", "Remote: port 4532 in use");
    hub.SetNote("passlog", "Pass log: cannot write");
    EXPECT_EQ(hub.NewestNote(), "Pass log: cannot write");
    hub.SetNote("passlog", "Pass log: cannot write");  // no change: nobody told
    hub.SetNote("passlog", "");
    EXPECT_EQ(hub.NewestNote(), "Remote: port 4532 in use");
    hub.SetNote("unknown", "");  // nothing to withdraw
    EXPECT_EQ(hub.NoteTexts(), (std::vector<std::string>{"Remote: port 4532 in use"}));
    hub.SetIndicator(Indicator::Remote, {"R 2", "Remote control on 127.0.0.1:4532, 2 clients"});
    EXPECT_EQ(hub.IndicatorOf(Indicator::Remote).shortText, "R 2");
    EXPECT_EQ(hub.IndicatorOf(Indicator::Metrics).shortText, "");
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"notes", "notes", "notes", "notes"}));
}

// A listener that leaves while it is being told, taking another with it.
class Leaver final : public StationListener {
public:
    Leaver(StationHub& hub, StationListener* other) : hub_(hub), other_(other) {}
    void EventRecorded(const StationEvent&) override
    {
        ++told;
        hub_.Unsubscribe(*this);
        if (other_)
            hub_.Unsubscribe(*other_);
    }
    int told = 0;

private:
    StationHub& hub_;
    StationListener* other_;
};

TEST(HubListeners, OneMayUnsubscribeItselfAndOthersWhileBeingTold)
{
    StationHub hub;
    Recorder later;
    Leaver leaver(hub, &later);
    hub.Subscribe(leaver);
    hub.Subscribe(later);
    hub.Record(EventKind::Recall, "1");
    hub.Record(EventKind::Recall, "2");
    EXPECT_EQ(leaver.told, 1);
    EXPECT_TRUE(later.log.empty());
}

} // namespace
