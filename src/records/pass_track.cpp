#include "records/pass_track.h"

#include "protocol/numbers.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// The fields of one record from at, which moves past the record's line end.
// RFC 4180: a quoted field may hold commas, doubled quotes and line ends.
std::vector<std::string> NextRecord(std::string_view text, std::size_t& at)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c != '"')
                fields.back() += c;
            else if (at < text.size() && text[at] == '"')
                fields.back() += text[at++];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n') {
            break;
        } else if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
            break;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool ByTime(const PassSample& a, const PassSample& b) { return a.utcMs < b.utcMs; }

} // namespace

double FieldNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '<' || text.front() == '>'))
        text.remove_prefix(1);
    double value = 0.0;
    return TryStrToFloat(std::string(text), value) && std::isfinite(value) ? value : kNaN;
}

bool ParseUtcMs(std::string_view t, std::int64_t& utcMs)
{
    // YYYY-MM-DDTHH:MM:SS[.mmm]Z
    int year, month, day, h, m, s, ms = 0;
    if (t.size() != 20 && t.size() != 24)
        return false;
    if (!Digits(t, 0, 4, year) || t[4] != '-' || !Digits(t, 5, 2, month) || t[7] != '-' || !Digits(t, 8, 2, day) ||
        t[10] != 'T' || !Digits(t, 11, 2, h) || t[13] != ':' || !Digits(t, 14, 2, m) || t[16] != ':' ||
        !Digits(t, 17, 2, s) || t.back() != 'Z')
        return false;
    if (t.size() == 24 && (t[19] != '.' || !Digits(t, 20, 3, ms)))
        return false;
    if (month < 1 || month > 12 || day < 1 || h > 23 || m > 59 || s > 59)
        return false;
    const UtcDate date{year, static_cast<unsigned>(month), static_cast<unsigned>(day)};
    const std::int64_t days = DaysSinceEpoch(date);
    if (UtcDateOf(days * 86'400'000).day != date.day)  // 2026-02-30 and the like
        return false;
    utcMs = days * 86'400'000 + ((h * 60 + m) * 60 + s) * 1000LL + ms;
    return true;
}

PassSample SampleOf(const StationStatus& status)
{
    PassSample s;
    s.utcMs = status.statusUtcMs;
    s.levelDbm = FieldNumber(status.statusFields[0]);
    s.ebnoDb = FieldNumber(status.statusFields[4]);
    s.offsetHz = status.haveOffset ? FieldNumber(status.offsetText) : kNaN;
    s.lock = status.lock;
    return s;
}

PassLogReading ReadPassLogText(std::string_view text)
{
    PassLogReading reading;
    std::size_t at = 0;
    const std::vector<std::string> header = NextRecord(text, at);
    const auto column = [&header](std::string_view name) -> std::ptrdiff_t {
        const auto it = std::find(header.begin(), header.end(), name);
        return it == header.end() ? -1 : it - header.begin();
    };
    const std::ptrdiff_t time = column("time_utc");
    const std::ptrdiff_t level = column("level_dbm");
    const std::ptrdiff_t ebno = column("ebno_db");
    const std::ptrdiff_t offset = column("offset_hz");
    const std::ptrdiff_t lock = column("lock");
    if (time < 0) {
        reading.error = "not a pass log: its first line names no time_utc column";
        return reading;
    }
    const auto field = [](const std::vector<std::string>& row, std::ptrdiff_t i) -> std::string_view {
        return i >= 0 && static_cast<std::size_t>(i) < row.size() ? std::string_view(row[static_cast<std::size_t>(i)])
                                                                    : std::string_view();
    };
    while (at < text.size()) {
        const std::vector<std::string> row = NextRecord(text, at);
        if (row.size() == 1 && row[0].empty())
            continue;  // a blank line
        PassSample s;
        if (!ParseUtcMs(field(row, time), s.utcMs)) {
            ++reading.badRows;
            continue;
        }
        s.levelDbm = FieldNumber(field(row, level));
        s.ebnoDb = FieldNumber(field(row, ebno));
        s.offsetHz = FieldNumber(field(row, offset));
        const std::string_view l = field(row, lock);
        s.lock = l == "OK" ? LockState::Ok : l == "FAULT" ? LockState::Fault : LockState::Unknown;
        reading.samples.push_back(s);
    }
    std::stable_sort(reading.samples.begin(), reading.samples.end(), ByTime);
    return reading;
}

PassLogReading ReadPassLogFile(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    PassLogReading reading;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        reading.error = "cannot read " + path.string() + ": " + ec.message();
        return reading;
    }
    if (size > maxBytes) {
        reading.error = "cannot read " + path.string() + ": larger than " + std::to_string(maxBytes >> 20) + " MB";
        return reading;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        reading.error = "cannot read " + path.string();
        return reading;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reading.error = "cannot read " + path.string();
        return reading;
    }
    reading = ReadPassLogText(text);
    if (!reading.error.empty())
        reading.error = path.filename().string() + " is " + reading.error;
    return reading;
}

std::vector<TimeSpan> LockSpans(const std::deque<PassSample>& samples, std::int64_t maxGapMs)
{
    std::vector<TimeSpan> spans;
    bool open = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const PassSample& s = samples[i];
        if (open && s.utcMs - spans.back().to > maxGapMs)
            open = false;  // the rows stopped: the span ends at its last locked row
        if (s.lock == LockState::Ok) {
            if (!open)
                spans.push_back({s.utcMs, s.utcMs});
            spans.back().to = s.utcMs;
            open = true;
        } else if (open) {
            spans.back().to = s.utcMs;
            open = false;
        }
    }
    return spans;
}

void PassTrack::Add(const PassSample& sample)
{
    if (samples_.empty() || samples_.back().utcMs <= sample.utcMs)
        samples_.push_back(sample);
    else  // the clock went back: keep the order the plot and Nearest rely on
        samples_.insert(std::upper_bound(samples_.begin(), samples_.end(), sample, ByTime), sample);
    Trim();
}

void PassTrack::Merge(std::vector<PassSample> fromFile)
{
    std::deque<PassSample> merged(std::make_move_iterator(fromFile.begin()), std::make_move_iterator(fromFile.end()));
    const std::int64_t last = merged.empty() ? std::numeric_limits<std::int64_t>::min() : merged.back().utcMs;
    for (const PassSample& s : samples_)
        if (s.utcMs > last)
            merged.push_back(s);
    samples_.swap(merged);
    Trim();
}

void PassTrack::Trim()
{
    while (samples_.size() > maxSamples_)
        samples_.pop_front();
}

const PassSample* PassTrack::Nearest(std::int64_t utcMs) const
{
    if (samples_.empty())
        return nullptr;
    PassSample probe;
    probe.utcMs = utcMs;
    const auto after = std::lower_bound(samples_.begin(), samples_.end(), probe, ByTime);
    if (after == samples_.begin())
        return &*after;
    if (after == samples_.end())
        return &samples_.back();
    const auto before = std::prev(after);
    return utcMs - before->utcMs <= after->utcMs - utcMs ? &*before : &*after;
}
