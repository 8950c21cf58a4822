#pragma once
#include "form_fixture.h"

#include <optional>

// The program in a working directory of its own, with recorded boxes and
// the hand-over wake-up that the real entry installs: the fixture of the
// end-to-end tests against the modem simulator.
class SimFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        wakeUp_.emplace();
    }
    TempDir dir_;
    WorkingDirectory cwd_{dir_.Path()};
    RecordedMessages boxes_;
    std::optional<SyncWakeUp> wakeUp_;
};
