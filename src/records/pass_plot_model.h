#pragma once
#include "records/pass_track.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

// The points of one strip of the pass plot: x in UTC seconds, y the value;
// a NaN y between two points breaks the line where the rows stopped.
struct StripPoints {
    std::vector<double> x;
    std::vector<double> y;
};

// What the pass plot's three strips draw.
struct PassPlotData {
    StripPoints level;   // dBm
    StripPoints ebno;    // dB
    StripPoints offset;  // Hz
    std::vector<std::pair<double, double>> lockSpans;  // UTC seconds
};

// Rows further apart than this are not joined: the poll was off between them.
inline constexpr std::int64_t kPassGapMs = 5000;

PassPlotData PlotDataOf(const std::deque<PassSample>& samples, std::int64_t maxGapMs = kPassGapMs);

// The lowest and highest value of y whose x lies in [x0, x1] (NaN, NaN when none).
std::pair<double, double> ValueSpan(const StripPoints& points, double x0, double x1);

// The time range on show. While it follows, its right end keeps the newest
// sample in view with a little room; the operator's zoom or pan stops that,
// and Follow starts it again at the width shown.
class TimeWindow {
public:
    explicit TimeWindow(double widthSeconds = 3600) : width_(widthSeconds) {}

    // The range ending at nowSeconds (the window opens on the last hour).
    void ShowUntil(double nowSeconds);
    // A new newest sample; moves the range when following.
    void Newest(double seconds);
    // The operator moved the range.
    void Moved(double from, double to);
    void Follow(double newestSeconds);
    // The whole of a file's samples.
    void ShowAll(double first, double last);

    bool Following() const { return following_; }
    double From() const { return from_; }
    double To() const { return to_; }

private:
    double width_;
    bool following_ = true;
    double from_ = 0;
    double to_ = 1;
};

// "09:41:07 UTC  -45.2 dBm  Eb/N0 7.1 dB  offset 1500 Hz  lock OK".
std::string ReadoutText(const PassSample& sample);
