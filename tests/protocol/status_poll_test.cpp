#include "protocol/status_poll.h"

#include "protocol/numbers.h"
#include "protocol/reply_parser.h"
#include "protocol/requests.h"

#include "recorded_messages.h"
#include "recording_port.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Write = RecordingPort::Write;

// The main window's controls as the poll sees them. Like the real check box,
// every actual change of the tick calls the change handler, whoever made it.
class FakePollView final : public PollView {
public:
    struct Change {
        std::int64_t atMs;
        bool on;
        bool operator==(const Change&) const = default;
    };

    bool PollBoxTicked() const override { return ticked; }
    void SetPollBoxTicked(bool t) override
    {
        if (t == ticked)
            return;
        ticked = t;
        boxChanges.push_back({CurrentClock().NowMs(), t});
        if (poll)
            poll->PollBoxChanged();
    }
    bool PollTimerEnabled() const override { return timer; }
    void SetPollTimerEnabled(bool e) override
    {
        timer = e;
        timerSets.push_back({CurrentClock().NowMs(), e});
    }
    std::string OffsetCaption() const override { return label8; }
    void ShowTunedFrequency(const std::string& text) override { label9.push_back(text); }
    void SetLevelBarPosition(double position) override { bar = position; }

    // The operator clicks the box.
    void Click() { SetPollBoxTicked(!ticked); }

    StatusPoll* poll = nullptr;
    bool ticked = false;
    bool timer = false;
    std::string label8 = "Hz";
    std::vector<std::string> label9;
    std::optional<double> bar;
    std::vector<Change> boxChanges;
    std::vector<Change> timerSets;
};

class NullDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int, const std::string&) override {}
    void ShowOffset(const std::string&) override {}
    void ShowDecoderLock(DecoderLock) override {}
    void ShowScanLevel(const std::string&) override {}
};

struct PollFixture : ::testing::Test {
    PollFixture() { view.poll = &poll; }

    // The handler guard of the window around one Timer2 tick: an error goes
    // into a box, and while that modal box is open the event loop keeps
    // delivering Timer2 ticks for as long as the timer stays enabled (here up
    // to ticksLeft of them, which the operator needs to close the box).
    void TimerFires()
    {
        if (ticksLeft-- <= 0)
            return;
        try {
            poll.Tick();
        } catch (const std::exception& e) {
            boxes.ShowError(e.what());
            while (view.timer && ticksLeft > 0) {
                clock.Advance(Pacing::PollPeriodMs);
                TimerFires();
            }
        }
    }
    int ticksLeft = 6;

    VirtualClock clock;
    RecordedMessages boxes;
    RecordingPort port;
    ProgramState state;
    FakePollView view;
    StatusPoll poll{SenderContext{port, state}, view};
};

TEST_F(PollFixture, TickingWithThePortOpenPollsBcasThenCsvEveryPeriod)
{
    view.Click();
    ASSERT_TRUE(view.timer);
    // Timer2 ticks while enabled; virtual time 0 is its first tick.
    for (int k = 0; k < 2 && view.timer; ++k) {
        clock.Advance(k * Pacing::PollPeriodMs - clock.NowMs());
        poll.Tick();
    }
    EXPECT_EQ(port.writes, (std::vector<Write>{
                               {0, "<1/BCAS_\r"}, {200, "<1/CSV_\r"}, {500, "<1/BCAS_\r"}, {700, "<1/CSV_\r"}}));
    EXPECT_EQ(state.LastCommand, "<1/CSV_");

    view.Click();
    EXPECT_FALSE(view.ticked);
    EXPECT_FALSE(view.timer);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PollFixture, TickEmptiesAPartlyReceivedReplyFirst)
{
    state.RxLine = ">1/RSL_-4";
    poll.Tick();
    EXPECT_EQ(state.RxLine, "");
}

struct ClosedPortCase {
    const char* name;
    bool tickedBefore; // the box left ticked from before the port was closed
};

class PollBoxWithPortClosed : public PollFixture, public ::testing::WithParamInterface<ClosedPortCase> {};

TEST_P(PollBoxWithPortClosed, ShowsTheGuardOnceAndLeavesTheBoxUnticked)
{
    port.open = false;
    view.ticked = GetParam().tickedBefore;
    view.Click();
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    EXPECT_FALSE(view.ticked);
    EXPECT_FALSE(view.timer);
    EXPECT_TRUE(view.timerSets.empty());
    EXPECT_TRUE(port.writes.empty());
}

INSTANTIATE_TEST_SUITE_P(Clicks, PollBoxWithPortClosed,
                         ::testing::Values(ClosedPortCase{"Ticking", false}, ClosedPortCase{"Unticking", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LevelCase {
    const char* name;
    std::string levelText;
    std::optional<double> bar; // nullopt: the bar is left alone
    std::string levelAfter;  // LevelText after the tick's mark stripping
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class TickLevel : public PollFixture, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(TickLevel, BarIsTenTimesTheLevelOrLeftAlone)
{
    const LevelCase& c = GetParam();
    state.LevelText = c.levelText;
    EXPECT_NO_THROW(poll.Tick());
    EXPECT_EQ(view.bar, c.bar);
    EXPECT_EQ(state.LevelText, c.levelAfter);
    EXPECT_EQ(port.writes.size(), 2u); // the requests go out whatever the level
}

INSTANTIATE_TEST_SUITE_P(
    Levels, TickLevel,
    ::testing::Values(LevelCase{"InitialLevel", "-60", -600, "-60"},
                      LevelCase{"Tenths", "-45.3", -453, "-45.3"},
                      LevelCase{"BelowMark", "<-60.0", -600, "-60.0"},
                      LevelCase{"AboveMark", ">-20.0", -200, "-20.0"},
                      LevelCase{"BothMarks", "<>-5", -50, "-5"},
                      LevelCase{"Blanks", " -12.5 ", -125, " -12.5 "},
                      LevelCase{"Empty", "", std::nullopt, ""},
                      LevelCase{"MarkAlone", "<", std::nullopt, ""},
                      LevelCase{"NotANumber", "n/a", std::nullopt, "n/a"},
                      LevelCase{"WithUnit", "-45 dBm", std::nullopt, "-45 dBm"},
                      LevelCase{"Exponent", "-4.53e1", -453, "-4.53e1"},
                      // Hundredths pass unrounded; the bar's lit count depends on them.
                      LevelCase{"Hundredths", "-45.37", -45.37 * 10.0, "-45.37"},
                      LevelCase{"JustAboveTheBottom", "-59.96", -59.96 * 10.0, "-59.96"},
                      // Far outside the range: passed on for the bar to clamp.
                      LevelCase{"FarAboveTheRange", "2e8", 2e9, "2e8"},
                      LevelCase{"Huge", "1e300", 1e301, "1e300"},
                      LevelCase{"TenfoldOverflows", "-1.7e308", -INFINITY, "-1.7e308"},
                      LevelCase{"BeyondADouble", "1e400", std::nullopt, "1e400"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PollFixture, BarFollowsTheLevelOfTheReplyBeforeTheTick)
{
    NullDisplay display;
    view.Click();
    poll.Tick(); // before any reply: the initial level
    EXPECT_EQ(view.bar, -600);
    HandleReceived(state, ">1/BCAS_<-45.3,E-ee,E-ee,mE-ee,db,%,mE-ee,]", display);
    EXPECT_EQ(state.LevelText, "<-45.3");
    clock.Advance(300);
    poll.Tick();
    EXPECT_EQ(view.bar, -453);
}

TEST_F(PollFixture, FailingTickStopsThePollBeforeTheErrorIsShownSoBoxesDoNotPileUp)
{
    view.Click();
    port.failAfter = 1; // BCAS goes out, CSV fails, and so would every later write
    TimerFires();
    EXPECT_EQ(boxes.errors, (std::vector<std::string>{"WriteFile function failed (Error: 5)"}));
    EXPECT_TRUE(boxes.messages.empty()); // no guard message on top
    EXPECT_FALSE(view.timer);
    EXPECT_FALSE(view.ticked);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/BCAS_\r"}}));

    // Once the port works again, ticking the box restarts the poll.
    port.failAfter = -1;
    view.Click();
    EXPECT_TRUE(view.timer);
}

struct CorrectionCase {
    const char* name;
    double channel;
    std::string offset;
    std::string label9;
    std::string df;
};

class OffsetCorrection : public PollFixture, public ::testing::WithParamInterface<CorrectionCase> {};

TEST_P(OffsetCorrection, RetunesByTheOffsetAndRestartsThePoll)
{
    const CorrectionCase& c = GetParam();
    state.ChannelFrequency = c.channel;
    view.label8 = c.offset;
    poll.CorrectOffset();
    EXPECT_EQ(view.label9, (std::vector<std::string>{c.label9}));
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"}, {200, c.df + "\r"}}));
    EXPECT_EQ(state.LastCommand, c.df);
    // The box is ticked again after the 400 ms settle, and its rule starts Timer2.
    EXPECT_EQ(view.boxChanges, (std::vector<FakePollView::Change>{{600, true}}));
    EXPECT_EQ(view.timerSets, (std::vector<FakePollView::Change>{{600, true}}));
    EXPECT_EQ(clock.NowMs(), 600);
    EXPECT_EQ(state.ChannelFrequency, c.channel);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, OffsetCorrection,
    ::testing::Values(CorrectionCase{"PositiveLowers", 137.1, "+1500", "137.0985", "<1/DF_137.098500"},
                      CorrectionCase{"NegativeRaises", 137.1, "-250", "137.10025", "<1/DF_137.100250"},
                      CorrectionCase{"NoChannelYet", 0.0, "+1500", "-0.0015", "<1/DF_-0.001500"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PollFixture, CorrectionWhilePollingStopsThePollFirst)
{
    state.ChannelFrequency = 137.1;
    view.Click();
    view.timerSets.clear();
    view.boxChanges.clear();
    view.label8 = "+1500";
    poll.CorrectOffset();
    EXPECT_EQ(view.boxChanges, (std::vector<FakePollView::Change>{{0, false}, {600, true}}));
    EXPECT_EQ(view.timerSets, (std::vector<FakePollView::Change>{{0, false}, {600, true}}));
}

TEST_F(PollFixture, OffsetThatIsNoNumberEndsTheCorrectionWithThePollOff)
{
    state.ChannelFrequency = 137.1;
    view.Click();
    view.label8 = "Hz";
    try {
        poll.CorrectOffset();
        FAIL() << "expected the conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'Hz' is not a valid floating point value");
    }
    EXPECT_FALSE(view.ticked);
    EXPECT_FALSE(view.timer);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(view.label9.empty());
}

TEST_F(PollFixture, TwoCorrectionsInARowStartFromTheChannelFrequency)
{
    state.ChannelFrequency = 137.1;
    view.label8 = "+1500";
    poll.CorrectOffset();
    poll.CorrectOffset();
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, "<1/DF_137.098500\r"},
                                               {600, "<1/REM_\r"},
                                               {800, "<1/DF_137.098500\r"}}));
    EXPECT_EQ(view.label9, (std::vector<std::string>{"137.0985", "137.0985"}));
}

TEST_F(PollFixture, RetuneIsTheCorrectionsTuningStepAloneAndLeavesThePollAsItIs)
{
    for (bool polling : {false, true}) {
        if (polling)
            view.Click();
        port.writes.clear();
        view.boxChanges.clear();
        view.timerSets.clear();
        const std::int64_t t = clock.NowMs();
        poll.Retune(137.1000007);
        EXPECT_EQ(port.writes, (std::vector<Write>{{t, "<1/REM_\r"}, {t + 200, "<1/DF_137.100001\r"}}));
        EXPECT_EQ(clock.NowMs(), t + 200) << "no pause after the DF request";
        EXPECT_EQ(view.label9.back(), "137.1000007");
        EXPECT_TRUE(view.boxChanges.empty());
        EXPECT_TRUE(view.timerSets.empty());
        EXPECT_EQ(view.timer, polling);
    }
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 0.0);
}

TEST_F(PollFixture, CorrectionWithThePortClosedFailsAtTheFirstRequest)
{
    state.ChannelFrequency = 137.1;
    view.ticked = true; // left ticked from before the port was closed
    port.open = false;
    view.label8 = "+1500";
    EXPECT_THROW(poll.CorrectOffset(), std::runtime_error);
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    EXPECT_EQ(view.label9, (std::vector<std::string>{"137.0985"}));
    EXPECT_EQ(state.LastCommand, "<1/REM_");
    EXPECT_FALSE(view.ticked);
}

} // namespace
