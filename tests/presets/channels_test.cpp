#include "presets/channels.h"

#include "protocol/numbers.h"

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

class FakeChannelView final : public ChannelView {
public:
    void SetSelectorGreen() override { green = true; }
    void ShowTunedFrequency(const std::string& text) override { label9.push_back(text); }

    bool green = false; // red until a sequence starts
    std::vector<std::string> label9;
};

struct ChannelFixture : ::testing::Test {
    void Choose(int index) { ChooseChannel({port, state}, settings, index, view); }

    VirtualClock clock;
    RecordedMessages boxes;
    RecordingPort port;
    ProgramState state;
    MemoryIniFile settings; // empty: as if there were no settings file
    FakeChannelView view;
};

TEST_F(ChannelFixture, MetopAWithoutSettingsFileSendsTheDefaultsPaced)
{
    Choose(0);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, "<1/DF_147.800000\r"},
                                               {600, "<1/SDRV_3/4_3500.000\r"},
                                               {1000, "<1/DSR_INV\r"}}));
    EXPECT_EQ(clock.NowMs(), 1000); // no pause after DSR
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 147.8);
    EXPECT_EQ(view.label9, (std::vector<std::string>{"147.8"}));
    EXPECT_TRUE(view.green);
    EXPECT_EQ(state.LastCommand, "<1/DSR_INV");
    // Each value is read just before the request that carries it.
    EXPECT_EQ(settings.reads, (std::vector<MemoryIniFile::Access>{{200, "Frequency", "MetopA", "147.800000"},
                                                                  {600, "Datarate", "MetopA", "3/4_3500.000"},
                                                                  {1000, "Spectrum", "MetopA", "INV"}}));
    EXPECT_TRUE(boxes.messages.empty());
}

struct RowCase {
    int index;
    const char* listText;
    const char* key;
    const char* df;   // requests without a settings file, after "<1/REM_"
    const char* sdrv;
    const char* dsr;
    const char* label9;
};

const RowCase kRows[] = {
    {0, "Metop-A", "MetopA", "<1/DF_147.800000", "<1/SDRV_3/4_3500.000", "<1/DSR_INV", "147.8"},
    {1, "Metop-B", "MetopB", "<1/DF_147.800000", "<1/SDRV_3/4_3500.000", "<1/DSR_INV", "147.8"},
    {2, "Metop-C", "MetopC", "<1/DF_147.800000", "<1/SDRV_3/4_3500.000", "<1/DSR_INV", "147.8"},
    {3, "FY3A", "FY3A", "<1/DF_151.000000", "<1/SDRV_QPSK_5600.000", "<1/DSR_NRM", "151"},
    {4, "FY3B", "FY3B", "<1/DF_151.000000", "<1/SDRV_QPSK_5600.000", "<1/DSR_NRM", "151"},
    {5, "FY3C", "FY3C", "<1/DF_147.900000", "<1/SDRV_QPSK_4600.000", "<1/DSR_NRM", "147.9"},
    {6, "LRIT", "LRIT", "<1/DF_137.500000", "<1/SDRV_BP12_146.941", "<1/DSR_INV", "137.5"},
    {7, "NOAA-15", "NOAA15", "<1/DF_149.000000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "149"},
    {8, "NOAA-16", "NOAA16", "<1/DF_144.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "144.5"},
    {9, "NOAA-18", "NOAA18", "<1/DF_153.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "153.5"},
    {10, "NOAA-19", "NOAA19", "<1/DF_144.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "144.5"},
    {11, "Meteor-MN1", "MeteorMN1", "<1/DF_146.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "146.5"},
    {12, "Meteor-MN2", "MeteorMN2", "<1/DF_146.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "146.5"},
    {13, "Meteor-MN22", "MeteorMN22", "<1/DF_146.500000", "<1/SDRV_BP12_1330.800", "<1/DSR_INV", "146.5"},
    {14, "FY1D", "FY1D", "<1/DF_146.900000", "<1/SDRV_BP12_2661.600", "<1/DSR_INV", "146.9"},
};

class EveryChannel : public ChannelFixture, public ::testing::WithParamInterface<RowCase> {};

TEST_P(EveryChannel, WithoutSettingsFileSendsItsDefaults)
{
    const RowCase& r = GetParam();
    EXPECT_EQ(kChannels[r.index].listText, r.listText);
    Choose(r.index);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, std::string(r.df) + "\r"},
                                               {600, std::string(r.sdrv) + "\r"},
                                               {1000, std::string(r.dsr) + "\r"}}));
    EXPECT_EQ(view.label9, (std::vector<std::string>{r.label9}));
}

TEST_P(EveryChannel, ReadsItsOwnKeys)
{
    const RowCase& r = GetParam();
    // Every key of every row gets a value of its own, so a row reading a
    // neighbour's key (or its default) would send the wrong text.
    for (const RowCase& other : kRows) {
        const std::string n = std::to_string(other.index);
        settings.Set("Frequency", other.key, "1" + std::to_string(20 + other.index) + ".25");
        settings.Set("Datarate", other.key, "M" + n + "_" + n + "00.000");
        settings.Set("Spectrum", other.key, "S" + n);
    }
    Choose(r.index);
    const std::string n = std::to_string(r.index);
    const std::string freq = "1" + std::to_string(20 + r.index) + ".25";
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, "<1/DF_" + freq + "\r"},
                                               {600, "<1/SDRV_M" + n + "_" + n + "00.000\r"},
                                               {1000, "<1/DSR_S" + n + "\r"}}));
    EXPECT_EQ(view.label9, (std::vector<std::string>{freq}));
}

INSTANTIATE_TEST_SUITE_P(Rows, EveryChannel, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.key); });

TEST_F(ChannelFixture, StoredFrequencyIsSentAsItStandsAndTheRestDefaults)
{
    settings.Set("frequency", "noaa19", "137.1"); // names are found whatever their case
    Choose(10);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, "<1/DF_137.1\r"},
                                               {600, "<1/SDRV_BP12_1330.800\r"},
                                               {1000, "<1/DSR_INV\r"}}));
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 137.1);
    EXPECT_EQ(view.label9, (std::vector<std::string>{"137.1"}));
}

struct BadFrequencyCase {
    const char* name;
    const char* stored;
};

class BadFrequency : public ChannelFixture, public ::testing::WithParamInterface<BadFrequencyCase> {};

TEST_P(BadFrequency, DfGoesOutThenTheConversionErrorEndsTheSequence)
{
    const std::string stored = GetParam().stored;
    settings.Set("Frequency", "MetopA", stored);
    state.ChannelFrequency = 137.1; // from an earlier choice
    try {
        Choose(0);
        FAIL() << "expected the conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + stored + "' is not a valid floating point value");
    }
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"}, {200, "<1/DF_" + stored + "\r"}}));
    EXPECT_TRUE(view.green);
    EXPECT_TRUE(view.label9.empty());
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 137.1);
    EXPECT_EQ(state.LastCommand, "<1/DF_" + stored);
}

INSTANTIATE_TEST_SUITE_P(Texts, BadFrequency,
                         ::testing::Values(BadFrequencyCase{"Comma", "147,8"},
                                           BadFrequencyCase{"WithUnit", "147.8 MHz"},
                                           BadFrequencyCase{"Empty", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelFixture, EmptyDataRateAndSpectrumSendTheMnemonicsAlone)
{
    settings.Set("Datarate", "LRIT", "");
    settings.Set("Spectrum", "LRIT", "");
    Choose(6);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"},
                                               {200, "<1/DF_137.500000\r"},
                                               {600, "<1/SDRV_\r"},
                                               {1000, "<1/DSR_\r"}}));
}

TEST_F(ChannelFixture, ClosedPortShowsTheGuardAndRewritesLabel9Only)
{
    port.open = false;
    state.ChannelFrequency = 147.8; // a corrected frequency may be on show: it goes back to this
    Choose(3);
    EXPECT_EQ(boxes.messages, (std::vector<std::string>{"First, open Com Port please !"}));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(settings.reads.empty());
    EXPECT_FALSE(view.green);
    EXPECT_EQ(view.label9, (std::vector<std::string>{"147.8"}));
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 147.8);
}

TEST_F(ChannelFixture, IndexOutsideTheTableSendsNothing)
{
    for (int index : {-1, 15}) {
        view.label9.clear();
        Choose(index);
        EXPECT_TRUE(port.writes.empty()) << index;
        EXPECT_FALSE(view.green) << index;
        EXPECT_EQ(view.label9, (std::vector<std::string>{"0"})) << index;
    }
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(ChannelFixture, PortErrorEndsTheSequenceAtThatRequest)
{
    port.failAfter = 2; // REM and DF go out, SDRV fails
    EXPECT_THROW(Choose(3), std::runtime_error);
    EXPECT_EQ(port.writes, (std::vector<Write>{{0, "<1/REM_\r"}, {200, "<1/DF_151.000000\r"}}));
    EXPECT_DOUBLE_EQ(state.ChannelFrequency, 151.0); // converted before the failing write
    EXPECT_TRUE(view.label9.empty());
}

} // namespace
