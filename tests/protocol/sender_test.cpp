#include "protocol/requests.h"
#include "protocol/sender.h"

#include "recorded_messages.h"
#include "recording_port.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Write = RecordingPort::Write;

struct SenderFixture : ::testing::Test {
    VirtualClock clock;
    RecordedMessages boxes;
    RecordingPort port;
    ProgramState state;
    SenderContext ctx{port, state};
};

TEST_F(SenderFixture, SendRequestStoresTheTextAndWritesItWithCarriageReturnInOneWrite)
{
    clock.Advance(70);
    SendRequest(ctx, "<1/DF_147.800000");
    EXPECT_EQ(state.LastCommand, "<1/DF_147.800000");
    EXPECT_EQ(port.writes, (std::vector<Write>{{70, "<1/DF_147.800000\r"}}));
}

TEST_F(SenderFixture, AWriteErrorPropagatesWithLastCommandAlreadySet)
{
    port.open = false;
    EXPECT_THROW(
        {
            try {
                SendRequest(ctx, "<1/REM_");
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Port Not Open");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(state.LastCommand, "<1/REM_");
    EXPECT_TRUE(port.writes.empty());
}

struct ManualCase {
    const char* name;
    std::function<void(SenderContext)> click;
    std::string request; // LastCommand afterwards; written with "\r"
};

class ManualSenders : public SenderFixture, public ::testing::WithParamInterface<ManualCase> {};

TEST_P(ManualSenders, OpenPortSendsOneRequestWithoutPause)
{
    const ManualCase& c = GetParam();
    c.click(ctx);
    EXPECT_EQ(state.LastCommand, c.request);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, c.request + "\r"}}));
    EXPECT_EQ(clock.NowMs(), 0);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_P(ManualSenders, ClosedPortShowsTheGuardOnceAndChangesNothing)
{
    const ManualCase& c = GetParam();
    port.open = false;
    state.LastCommand = "<1/CSV_";
    c.click(ctx); // must not throw: the guard refuses before any write
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    EXPECT_TRUE(boxes.errors.empty());
    EXPECT_EQ(state.LastCommand, "<1/CSV_");
    EXPECT_TRUE(port.writes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ManualSenders,
    ::testing::Values(
        ManualCase{"BCS", [](SenderContext c) { SendBCS(c); }, "<1/BCS_"},
        ManualCase{"CES", [](SenderContext c) { SendCES(c); }, "<1/CES_"},
        ManualCase{"SendRem", [](SenderContext c) { SendEditText(c, "<1/REM_"); }, "<1/REM_"},
        // An empty edit box still sends: a lone carriage return.
        ManualCase{"SendEmpty", [](SenderContext c) { SendEditText(c, ""); }, ""},
        // The edit box is sent as typed, form unchecked.
        ManualCase{"SendFreeText", [](SenderContext c) { SendEditText(c, "hello 1/RSL"); }, "hello 1/RSL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortGuard, OpenPortPassesSilently)
{
    RecordedMessages boxes;
    RecordingPort port;
    ProgramState state;
    EXPECT_TRUE(PortGuard({port, state}));
    port.open = false;
    EXPECT_FALSE(PortGuard({port, state}));
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{std::string(kPortGuardMessage)}));
}

} // namespace
