#include "metrics/exposition.h"

#include "protocol/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#ifndef VR_PROJECT_VERSION
#define VR_PROJECT_VERSION "unknown"
#endif

std::string_view ProgramVersion() { return VR_PROJECT_VERSION; }

std::optional<double> StatusNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '<')
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '>')
        text.remove_prefix(1);
    double value = 0.0;
    if (!TryStrToFloat(std::string(text), value) || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string SampleValue(double value)
{
    if (value == 0.0)
        return "0";  // no "-0"
    std::array<char, 32> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return ec == std::errc() ? std::string(buf.data(), end) : std::string("0");
}

std::string LabelValue(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x80)
            out += ch;
        else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

class Exposition {
public:
    void Family(std::string_view name, std::string_view type, std::string_view help)
    {
        text_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        text_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }
    void Sample(std::string_view name, std::string_view value)
    {
        text_.append(name).append(" ").append(value).append("\n");
    }
    void Sample(std::string_view name, std::string_view label, std::string_view labelValue, std::string_view value)
    {
        text_.append(name).append("{").append(label).append("=\"").append(LabelValue(labelValue));
        text_.append("\"} ").append(value).append("\n");
    }
    void Gauge(std::string_view name, std::string_view help, std::optional<double> value)
    {
        Family(name, "gauge", help);
        if (value)
            Sample(name, SampleValue(*value));
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

bool Fresh(bool have, std::int64_t atUtcMs, std::int64_t nowUtcMs)
{
    // A clock set back makes the reply look as if from the future: not
    // shown until the next one, which comes with the next poll tick.
    return have && nowUtcMs >= atUtcMs && nowUtcMs - atUtcMs <= kFreshReplyMs;
}

std::string Count(std::uint64_t n) { return std::to_string(n); }

}  // namespace

std::string MetricsText(const StationStatus& s, std::int64_t nowUtcMs, std::string_view version)
{
    Exposition out;

    struct StatusGauge {
        std::string_view name;
        std::string_view help;
    };
    // In the order of the reply's fields.
    static constexpr std::array<StatusGauge, 7> kStatusGauges{{
        {"varnetrix_signal_level_dbm", "Signal level of the last status reply (BCAS), dBm."},
        {"varnetrix_raw_ber", "Raw bit error rate of the last status reply (BCAS)."},
        {"varnetrix_corrected_ber", "Corrected bit error rate of the last status reply (BCAS)."},
        {"varnetrix_read_error", "Internal read error of the last status reply (BCAS)."},
        {"varnetrix_ebno_db", "Eb/N0 of the last status reply (BCAS), dB."},
        {"varnetrix_buffer_fill_percent", "Buffer fill of the last status reply (BCAS), percent."},
        {"varnetrix_frame_ber", "Frame bit error rate statistic of the last status reply (BCAS)."},
    }};
    const bool statusFresh = Fresh(s.haveStatus, s.statusUtcMs, nowUtcMs);
    for (std::size_t k = 0; k < kStatusGauges.size(); ++k) {
        out.Gauge(kStatusGauges[k].name, kStatusGauges[k].help,
                  statusFresh ? StatusNumber(s.statusFields[k]) : std::nullopt);
    }

    const bool offsetFresh = Fresh(s.haveOffset, s.offsetUtcMs, nowUtcMs);
    out.Gauge("varnetrix_frequency_offset_hz", "Frequency offset of the last CSV reply, Hz.",
              offsetFresh ? StatusNumber(s.offsetText) : std::nullopt);
    std::optional<double> locked;
    if (offsetFresh && s.lock != LockState::Unknown)
        locked = s.lock == LockState::Ok ? 1.0 : 0.0;
    out.Gauge("varnetrix_decoder_locked", "Decoder lock as shown: 1 OK, 0 FAULT; absent while unknown.", locked);

    std::optional<double> tunedHz;
    if (s.haveTuned && s.haveTunedMHz)
        tunedHz = std::round(s.tunedMHz * 1e6);  // sent with 1 Hz resolution
    out.Gauge("varnetrix_tuned_frequency_hz", "Frequency of the last tuning request (DF) sent, Hz.", tunedHz);
    out.Gauge("varnetrix_port_open", "1 while the serial port is open.", s.portOpen ? 1.0 : 0.0);
    out.Gauge("varnetrix_poll_running", "1 while the status poll runs.", s.pollRunning ? 1.0 : 0.0);
    std::optional<double> statusTime;
    if (s.haveStatus)
        statusTime = static_cast<double>(s.statusUtcMs) / 1000.0;
    out.Gauge("varnetrix_last_status_timestamp_seconds", "Unix time of the last status reply (BCAS).", statusTime);

    out.Family("varnetrix_replies_total", "counter", "Replies handled since start, by kind.");
    static constexpr std::array<std::string_view, 4> kMnemonics{"BCAS", "CSV", "RSL", "DF"};
    static_assert(static_cast<int>(ReplyKind::Csv) == 1 && static_cast<int>(ReplyKind::Df) == 3);
    for (std::size_t k = 0; k < kMnemonics.size(); ++k)
        out.Sample("varnetrix_replies_total", "mnemonic", kMnemonics[k], Count(s.replies[k]));
    out.Family("varnetrix_line_losses_total", "counter", "Serial lines lost since start.");
    out.Sample("varnetrix_line_losses_total", Count(s.lineLosses));
    out.Family("varnetrix_requests_total", "counter", "Requests written to the modem since start.");
    out.Sample("varnetrix_requests_total", Count(s.requests));

    out.Family("varnetrix_build_info", "gauge", "The program's version; always 1.");
    out.Sample("varnetrix_build_info", "version", version, "1");
    out.Family("varnetrix_channel_info", "gauge", "The satellite channel chosen last; always 1, absent before any.");
    if (s.channelIndex >= 0)
        out.Sample("varnetrix_channel_info", "channel", s.channelText, "1");
    return out.Take();
}
