#include "metrics/exposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

// 2026-12-11T09:41:07.250Z
constexpr std::int64_t kMorning = 1'796'982'067'250;

// A station polling a locked carrier, its last replies 400 ms old.
StationStatus Polling()
{
    StationStatus s;
    s.haveStatus = true;
    s.statusFields = {"-45.2", "<1.0E-9", "2.0E-5", "0", "7.5", "50", "1.0E-3"};
    s.statusUtcMs = kMorning;
    s.haveOffset = true;
    s.offsetText = "+120";
    s.offsetUtcMs = kMorning;
    s.lock = LockState::Ok;
    s.haveTuned = true;
    s.tunedText = "147.800000";
    s.haveTunedMHz = true;
    s.tunedMHz = 147.8;
    s.channelIndex = 0;
    s.channelText = "Metop-A";
    s.portOpen = true;
    s.pollRunning = true;
    s.replies = {10, 9, 2, 3};
    s.requests = 25;
    s.lineLosses = 1;
    return s;
}

bool Has(const std::string& text, const std::string& line) { return text.find("\n" + line + "\n") != std::string::npos; }

// The sample lines of one metric name (labels included), without HELP/TYPE.
std::string SamplesOf(const std::string& text, const std::string& name)
{
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.rfind(name + " ", 0) == 0 || line.rfind(name + "{", 0) == 0)
            out += line + "\n";
        at = end + 1;
    }
    return out;
}

TEST(Exposition, PollingStationInFull)
{
    EXPECT_EQ(MetricsText(Polling(), kMorning + 400, "0.4.3"),
              "# HELP varnetrix_signal_level_dbm Signal level of the last status reply (BCAS), dBm.\n"
              "# TYPE varnetrix_signal_level_dbm gauge\n"
              "varnetrix_signal_level_dbm -45.2\n"
              "# HELP varnetrix_raw_ber Raw bit error rate of the last status reply (BCAS).\n"
              "# TYPE varnetrix_raw_ber gauge\n"
              "varnetrix_raw_ber 1e-09\n"
              "# HELP varnetrix_corrected_ber Corrected bit error rate of the last status reply (BCAS).\n"
              "# TYPE varnetrix_corrected_ber gauge\n"
              "varnetrix_corrected_ber 2e-05\n"
              "# HELP varnetrix_read_error Internal read error of the last status reply (BCAS).\n"
              "# TYPE varnetrix_read_error gauge\n"
              "varnetrix_read_error 0\n"
              "# HELP varnetrix_ebno_db Eb/N0 of the last status reply (BCAS), dB.\n"
              "# TYPE varnetrix_ebno_db gauge\n"
              "varnetrix_ebno_db 7.5\n"
              "# HELP varnetrix_buffer_fill_percent Buffer fill of the last status reply (BCAS), percent.\n"
              "# TYPE varnetrix_buffer_fill_percent gauge\n"
              "varnetrix_buffer_fill_percent 50\n"
              "# HELP varnetrix_frame_ber Frame bit error rate statistic of the last status reply (BCAS).\n"
              "# TYPE varnetrix_frame_ber gauge\n"
              "varnetrix_frame_ber 0.001\n"
              "# HELP varnetrix_frequency_offset_hz Frequency offset of the last CSV reply, Hz.\n"
              "# TYPE varnetrix_frequency_offset_hz gauge\n"
              "varnetrix_frequency_offset_hz 120\n"
              "# HELP varnetrix_decoder_locked Decoder lock as shown: 1 OK, 0 FAULT; absent while unknown.\n"
              "# TYPE varnetrix_decoder_locked gauge\n"
              "varnetrix_decoder_locked 1\n"
              "# HELP varnetrix_tuned_frequency_hz Frequency of the last tuning request (DF) sent, Hz.\n"
              "# TYPE varnetrix_tuned_frequency_hz gauge\n"
              "varnetrix_tuned_frequency_hz 147800000\n"
              "# HELP varnetrix_port_open 1 while the serial port is open.\n"
              "# TYPE varnetrix_port_open gauge\n"
              "varnetrix_port_open 1\n"
              "# HELP varnetrix_poll_running 1 while the status poll runs.\n"
              "# TYPE varnetrix_poll_running gauge\n"
              "varnetrix_poll_running 1\n"
              "# HELP varnetrix_last_status_timestamp_seconds Unix time of the last status reply (BCAS).\n"
              "# TYPE varnetrix_last_status_timestamp_seconds gauge\n"
              "varnetrix_last_status_timestamp_seconds 1796982067.25\n"
              "# HELP varnetrix_replies_total Replies handled since start, by kind.\n"
              "# TYPE varnetrix_replies_total counter\n"
              "varnetrix_replies_total{mnemonic=\"BCAS\"} 10\n"
              "varnetrix_replies_total{mnemonic=\"CSV\"} 9\n"
              "varnetrix_replies_total{mnemonic=\"RSL\"} 2\n"
              "varnetrix_replies_total{mnemonic=\"DF\"} 3\n"
              "# HELP varnetrix_line_losses_total Serial lines lost since start.\n"
              "# TYPE varnetrix_line_losses_total counter\n"
              "varnetrix_line_losses_total 1\n"
              "# HELP varnetrix_requests_total Requests written to the modem since start.\n"
              "# TYPE varnetrix_requests_total counter\n"
              "varnetrix_requests_total 25\n"
              "# HELP varnetrix_build_info The program's version; always 1.\n"
              "# TYPE varnetrix_build_info gauge\n"
              "varnetrix_build_info{version=\"0.4.3\"} 1\n"
              "# HELP varnetrix_channel_info The satellite channel chosen last; always 1, absent before any.\n"
              "# TYPE varnetrix_channel_info gauge\n"
              "varnetrix_channel_info{channel=\"Metop-A\"} 1\n");
}

TEST(Exposition, FreshStart)
{
    const std::string text = MetricsText(StationStatus{}, kMorning, "0.4.3");
    // Every family is described, even one without a value yet.
    EXPECT_TRUE(Has(text, "# TYPE varnetrix_signal_level_dbm gauge"));
    EXPECT_TRUE(Has(text, "# TYPE varnetrix_channel_info gauge"));
    for (const char* absent : {"varnetrix_signal_level_dbm", "varnetrix_frame_ber", "varnetrix_frequency_offset_hz",
                               "varnetrix_decoder_locked", "varnetrix_tuned_frequency_hz",
                               "varnetrix_last_status_timestamp_seconds", "varnetrix_channel_info"})
        EXPECT_EQ(SamplesOf(text, absent), "") << absent;
    EXPECT_EQ(SamplesOf(text, "varnetrix_port_open"), "varnetrix_port_open 0\n");
    EXPECT_EQ(SamplesOf(text, "varnetrix_poll_running"), "varnetrix_poll_running 0\n");
    EXPECT_EQ(SamplesOf(text, "varnetrix_replies_total"),
              "varnetrix_replies_total{mnemonic=\"BCAS\"} 0\nvarnetrix_replies_total{mnemonic=\"CSV\"} 0\n"
              "varnetrix_replies_total{mnemonic=\"RSL\"} 0\nvarnetrix_replies_total{mnemonic=\"DF\"} 0\n");
    EXPECT_EQ(SamplesOf(text, "varnetrix_build_info"), "varnetrix_build_info{version=\"0.4.3\"} 1\n");
}

TEST(Exposition, ReplyNumbersGoStaleAfterFiveSecondsAndTheTimestampStays)
{
    struct Age {
        std::int64_t nowMs;
        bool shown;
    };
    const Age ages[] = {
        {kMorning, true},
        {kMorning + kFreshReplyMs, true},
        {kMorning + kFreshReplyMs + 1, false},
        {kMorning - 1, false},  // the clock was set back: not shown as live
    };
    for (const Age& a : ages) {
        const std::string text = MetricsText(Polling(), a.nowMs, "0.4.3");
        SCOPED_TRACE(a.nowMs - kMorning);
        EXPECT_EQ(SamplesOf(text, "varnetrix_signal_level_dbm") != "", a.shown);
        EXPECT_EQ(SamplesOf(text, "varnetrix_ebno_db") != "", a.shown);
        EXPECT_EQ(SamplesOf(text, "varnetrix_frequency_offset_hz") != "", a.shown);
        EXPECT_EQ(SamplesOf(text, "varnetrix_decoder_locked") != "", a.shown);
        EXPECT_EQ(SamplesOf(text, "varnetrix_last_status_timestamp_seconds"),
                  "varnetrix_last_status_timestamp_seconds 1796982067.25\n");
        EXPECT_EQ(SamplesOf(text, "varnetrix_tuned_frequency_hz"), "varnetrix_tuned_frequency_hz 147800000\n");
    }

    // The lock reply kept coming while the status reply stopped: each by its own age.
    StationStatus s = Polling();
    s.offsetUtcMs = kMorning + 4000;
    const std::string text = MetricsText(s, kMorning + 6000, "0.4.3");
    EXPECT_EQ(SamplesOf(text, "varnetrix_signal_level_dbm"), "");
    EXPECT_EQ(SamplesOf(text, "varnetrix_decoder_locked"), "varnetrix_decoder_locked 1\n");
}

TEST(Exposition, LockAsShown)
{
    const std::pair<LockState, const char*> cases[] = {
        {LockState::Ok, "varnetrix_decoder_locked 1\n"},
        {LockState::Fault, "varnetrix_decoder_locked 0\n"},
        {LockState::Unknown, ""},
    };
    for (const auto& [lock, sample] : cases) {
        StationStatus s = Polling();
        s.lock = lock;
        EXPECT_EQ(SamplesOf(MetricsText(s, kMorning, "v"), "varnetrix_decoder_locked"), sample)
            << LockStateText(lock);
    }
}

TEST(Exposition, AFieldThatIsNoNumberLeavesOnlyItsMetricOut)
{
    StationStatus s = Polling();
    s.statusFields[0] = "";
    s.statusFields[4] = "n/a";
    s.offsetText = "Hz";
    s.tunedText = "abc";
    s.haveTunedMHz = false;
    const std::string text = MetricsText(s, kMorning, "v");
    EXPECT_EQ(SamplesOf(text, "varnetrix_signal_level_dbm"), "");
    EXPECT_EQ(SamplesOf(text, "varnetrix_ebno_db"), "");
    EXPECT_EQ(SamplesOf(text, "varnetrix_frequency_offset_hz"), "");
    EXPECT_EQ(SamplesOf(text, "varnetrix_tuned_frequency_hz"), "");
    EXPECT_EQ(SamplesOf(text, "varnetrix_raw_ber"), "varnetrix_raw_ber 1e-09\n");
    EXPECT_EQ(SamplesOf(text, "varnetrix_decoder_locked"), "varnetrix_decoder_locked 1\n");
}

TEST(Exposition, StatusNumbers)
{
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"-45.2", -45.2},  {"<-60.0", -60.0},  {">-20.0", -20.0}, {"<>-5", -5.0},    {"<1.0E-9", 1e-9},
        {"+1500", 1500.0}, {" 7.5 ", 7.5},     {"50", 50.0},      {"", std::nullopt}, {"<", std::nullopt},
        {"><-5", std::nullopt}, {"abc", std::nullopt}, {"1E999", std::nullopt}, {"NaN", std::nullopt},
        {"inf", std::nullopt},  {"0x10", std::nullopt}, {"-45,2", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StatusNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(Exposition, SampleValuesKeepFullPrecisionWithAPoint)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {-45.2, "-45.2"},
        {1.0e-9, "1e-09"},
        {0.1 + 0.2, "0.30000000000000004"},
        {147800000.0, "147800000"},
        {1796982067.25, "1796982067.25"},
        {-0.0, "0"},
        {1.5e300, "1.5e+300"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SampleValue(c.value), c.text);
    // What the modem writes reads back to the very same number.
    EXPECT_EQ(std::stod(SampleValue(*StatusNumber("1.0E-9"))), 1.0e-9);
}

TEST(Exposition, LabelValuesAreEscapedUtf8)
{
    EXPECT_EQ(LabelValue("FY3A"), "FY3A");
    EXPECT_EQ(LabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
    EXPECT_EQ(LabelValue("M\xe9t\xe9o\xff"), "M\xc3\xa9t\xc3\xa9o\xc3\xbf");

    StationStatus s = Polling();
    s.channelText = "Sat \"1\"";
    EXPECT_EQ(SamplesOf(MetricsText(s, kMorning, "0.4.3-dev \\x"), "varnetrix_channel_info"),
              "varnetrix_channel_info{channel=\"Sat \\\"1\\\"\"} 1\n");
    EXPECT_EQ(SamplesOf(MetricsText(s, kMorning, "0.4.3-dev \\x"), "varnetrix_build_info"),
              "varnetrix_build_info{version=\"0.4.3-dev \\\\x\"} 1\n");
}

TEST(Exposition, TunedFrequencyInWholeHertz)
{
    const std::pair<double, const char*> cases[] = {
        {137.0985, "137098500"}, {147.9, "147900000"}, {-0.0015, "-1500"}, {0.0, "0"}};
    for (const auto& [mhz, hz] : cases) {
        StationStatus s = Polling();
        s.tunedMHz = mhz;
        EXPECT_EQ(SamplesOf(MetricsText(s, kMorning, "v"), "varnetrix_tuned_frequency_hz"),
                  std::string("varnetrix_tuned_frequency_hz ") + hz + "\n");
    }
}

TEST(Exposition, VersionIsTheProjectVersion)
{
    EXPECT_EQ(ProgramVersion(), VR_EXPECTED_VERSION);
}

} // namespace
