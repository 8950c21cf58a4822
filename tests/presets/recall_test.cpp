#include "presets/recall.h"

#include "memory_ini_file.h"
#include "recorded_messages.h"
#include "recording_port.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Write = RecordingPort::Write;

struct RecallFixture : ::testing::Test {
    VirtualClock clock;
    RecordedMessages boxes;
    RecordingPort port;
    ProgramState state;
};

class RecallButtons : public RecallFixture, public ::testing::WithParamInterface<int> {};

TEST_P(RecallButtons, SendsRemThenRmcWithTheButtonsDigit)
{
    const int n = GetParam();
    const std::string rmc = "<1/RMC_" + std::to_string(n);
    state.ChannelFrequency = 137.1;
    Recall({port, state}, n);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"}, {400, rmc + "\r"}}));
    EXPECT_EQ(state.LastCommand, rmc);
    EXPECT_EQ(clock.NowMs(), 400);
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 137.1);
}

INSTANTIATE_TEST_SUITE_P(Buttons, RecallButtons, ::testing::Values(1, 3, 5));

TEST_F(RecallFixture, ClosedPortShowsTheGuardAndSendsNothing)
{
    port.open = false;
    state.LastCommand = "<1/DSR_INV";
    Recall({port, state}, 3);
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(state.LastCommand, "<1/DSR_INV");
    EXPECT_EQ(clock.NowMs(), 0);
}

TEST_F(RecallFixture, PortErrorAfterRemLeavesRmcUnsent)
{
    port.failAfter = 1;
    EXPECT_THROW(Recall({port, state}, 2), std::runtime_error);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"}}));
}

TEST_F(RecallFixture, NumberOutsideOneToFiveIsRejectedBeforeSending)
{
    for (int n : {0, 6})
        EXPECT_THROW(Recall({port, state}, n), std::invalid_argument) << n;
    EXPECT_TRUE(port.writes.empty());
}

TEST(RecallCaptions, WithoutSettingsFileTheDefaultsAreReadInKeyOrder)
{
    MemoryIniFile settings;
    EXPECT_EQ(ReadRecallCaptions(settings), (RecallCaptions{"MetOp", "FY3A", "FY3B", "LRIT", "Conf.5"}));
    std::vector<std::string> keys;
    for (const auto& r : settings.reads) {
        EXPECT_EQ(r.section, "Recall");
        keys.push_back(r.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Recall1", "Recall2", "Recall3", "Recall4", "Recall5"}));
}

TEST(RecallCaptions, StoredCaptionsWinAndAnEmptyOneStaysEmpty)
{
    MemoryIniFile settings;
    settings.Set("Recall", "Recall2", "NOAA");
    settings.Set("Recall", "Recall4", "");
    EXPECT_EQ(ReadRecallCaptions(settings), (RecallCaptions{"MetOp", "NOAA", "FY3B", "", "Conf.5"}));
}

TEST(RecallCaptions, WrittenInKeyOrder)
{
    MemoryIniFile settings;
    WriteRecallCaptions(settings, {"MetOp", "NOAA", "FY3B", "", "Conf.5"});
    std::vector<std::string> written;
    for (const auto& w : settings.writes)
        written.push_back(w.section + "/" + w.key + "=" + w.value);
    EXPECT_EQ(written, (std::vector<std::string>{"Recall/Recall1=MetOp", "Recall/Recall2=NOAA",
                                                 "Recall/Recall3=FY3B", "Recall/Recall4=",
                                                 "Recall/Recall5=Conf.5"}));
}

TEST(RecallCaptions, RefusedWriteStopsTheLaterKeys)
{
    MemoryIniFile settings;
    settings.failWritesFrom = 2;
    EXPECT_THROW(WriteRecallCaptions(settings, {"a", "b", "c", "d", "e"}), EIniFileException);
    ASSERT_EQ(settings.writes.size(), 2u);
    EXPECT_EQ(settings.writes.back().key, "Recall2");
    EXPECT_FALSE(settings.Has("Recall", "Recall3"));
}

} // namespace
