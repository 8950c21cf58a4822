// The program's start, end and shown errors as station events.
#include "records/program_events.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class StepClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    std::int64_t now = 1'796'958'764'120;  // 2026-12-11T03:12:44.120Z
};

class Boxes final : public MessageSink {
public:
    void ShowMessage(const std::string& text) override { shown.push_back("message " + text); }
    void ShowError(const std::string& text) override { shown.push_back("error " + text); }
    std::vector<std::string> shown;
};

class Events final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override
    {
        log.push_back(FormatUtcMs(e.utcMs).substr(11) + " " + std::string(EventToken(e.kind)) +
                      (e.detail.empty() ? "" : " " + e.detail));
    }
    std::vector<std::string> log;
};

class ProgramEventsTest : public ::testing::Test {
protected:
    void SetUp() override { hub.Subscribe(events); }
    StepClock clock;
    Boxes boxes;
    StationHub hub{clock};
    Events events;
};

TEST_F(ProgramEventsTest, ErrorsBeforeTheHubComeAfterTheStartWithTheirOwnTime)
{
    ProgramEvents program(boxes, clock);
    clock.now += 250;
    program.ShowError("Failed to load settings");
    EXPECT_EQ(boxes.shown, std::vector<std::string>{"error Failed to load settings"}) << "shown at once";
    clock.now += 60'000;  // the operator read the box
    program.Attach(hub, "Varnetrix Reader v. 0.4.3");
    clock.now += 1000;
    program.ShowError("Port Not Open");
    program.ShowMessage("First, open Com Port please !");
    clock.now += 1000;
    program.Detach();
    program.ShowError("after the window");

    EXPECT_EQ(events.log, (std::vector<std::string>{"03:12:44.120Z program-start Varnetrix Reader v. 0.4.3",
                                                    "03:12:44.370Z error Failed to load settings",
                                                    "03:13:45.370Z error Port Not Open",
                                                    "03:13:46.370Z program-end"}));
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"error Failed to load settings", "error Port Not Open",
                                                     "message First, open Com Port please !",
                                                     "error after the window"}));
}

TEST_F(ProgramEventsTest, AnErrorRepeatedWithinAMinuteIsCountedAndSaidWithItsNextRecord)
{
    ProgramEvents program(boxes, clock);
    program.Attach(hub, {});
    events.log.clear();
    for (int tick = 0; tick < 5; ++tick) {  // a poll tick failing twice a second
        program.ShowError("Write failed");
        clock.now += 500;
    }
    clock.now += 60'000;
    program.ShowError("Write failed");
    program.ShowError("Write failed");
    program.ShowError("Another one");
    program.Detach();

    EXPECT_EQ(events.log,
              (std::vector<std::string>{
                  "03:12:44.120Z error Write failed",
                  "03:13:46.620Z error Write failed (shown 4 more times since 2026-12-11T03:12:44.120Z)",
                  "03:13:46.620Z error Write failed (shown 1 more time since 2026-12-11T03:13:46.620Z)",
                  "03:13:46.620Z error Another one", "03:13:46.620Z program-end"}));
    EXPECT_EQ(boxes.shown.size(), 8u) << "every one is shown all the same";
}

TEST_F(ProgramEventsTest, OnlySoManyErrorsAreKeptBeforeTheHubExists)
{
    ProgramEvents program(boxes, clock);
    for (std::size_t i = 0; i < ProgramEvents::kMaxKept + 5; ++i)
        program.ShowError("error " + std::to_string(i));
    program.Attach(hub, {});
    EXPECT_EQ(events.log.size(), ProgramEvents::kMaxKept + 1);
    EXPECT_EQ(events.log.back(), "03:12:44.120Z error error " + std::to_string(ProgramEvents::kMaxKept - 1));
}

} // namespace
