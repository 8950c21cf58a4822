#pragma once
#include "station/station_hub.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// One moment of a pass as the pass plot shows it. A value the row did not
// hold as a number is NaN (the plot leaves a gap there).
struct PassSample {
    std::int64_t utcMs = 0;
    double levelDbm = std::numeric_limits<double>::quiet_NaN();
    double ebnoDb = std::numeric_limits<double>::quiet_NaN();
    double offsetHz = std::numeric_limits<double>::quiet_NaN();
    LockState lock = LockState::Unknown;
};

// The number a field of the modem stands for: a bound such as "<1.0E-9" or
// ">12.5" gives the bound; text that is no number gives NaN.
double FieldNumber(std::string_view text);

// "2026-12-11T09:41:07.250Z" (milliseconds optional); false for anything else.
bool ParseUtcMs(std::string_view text, std::int64_t& utcMs);

// The sample of the status the hub holds after a BCAS reply.
PassSample SampleOf(const StationStatus& status);

struct PassLogReading {
    std::vector<PassSample> samples;  // in time order
    std::size_t badRows = 0;          // rows without a time
    std::string error;                // set when nothing could be read
};

// The rows of a pass log, found by the header's column names. Fields are
// read as RFC 4180 writes them (quotes, doubled quotes, line ends inside).
PassLogReading ReadPassLogText(std::string_view text);
// The same from a file; a file larger than maxBytes is refused.
PassLogReading ReadPassLogFile(const std::filesystem::path& path, std::uintmax_t maxBytes = 64u << 20);

// Where the decoder was locked: from the first sample that shows the lock
// to the next sample that does not (or the last locked one when the rows
// end or stop for longer than maxGapMs).
struct TimeSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
    bool operator==(const TimeSpan&) const = default;
};
std::vector<TimeSpan> LockSpans(const std::deque<PassSample>& samples, std::int64_t maxGapMs);

// The samples on show: a file's and those arriving live, in time order and
// bounded (the oldest go first).
class PassTrack {
public:
    explicit PassTrack(std::size_t maxSamples = 200'000) : maxSamples_(maxSamples > 0 ? maxSamples : 1) {}

    // A live sample.
    void Add(const PassSample& sample);
    // A file's samples in place of what is held; live samples newer than its
    // last one stay (they arrived while it was read).
    void Merge(std::vector<PassSample> fromFile);
    void Clear() { samples_.clear(); }

    const std::deque<PassSample>& Samples() const { return samples_; }
    // The sample nearest in time to utcMs; nullptr when there is none.
    const PassSample* Nearest(std::int64_t utcMs) const;

private:
    void Trim();

    std::size_t maxSamples_;
    std::deque<PassSample> samples_;
};
