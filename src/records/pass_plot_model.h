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

// The time range on show. While it follows, it holds the samples from the
// oldest to the newest but reaches at most its width (an hour) back from the
// newest, with a little room after it; the operator's zoom or pan stops
// that, and following again keeps the width the operator chose.
class TimeWindow {
public:
    explicit TimeWindow(double widthSeconds = 3600) : defaultWidth_(widthSeconds), width_(widthSeconds) {}

    // The samples on hand run from oldest to newest (seconds); the range
    // moves to them while following.
    void Track(double oldest, double newest);
    // No samples: the width up to now, while following.
    void Empty(double nowSeconds);
    // The operator moved the range.
    void Moved(double from, double to);
    // Following again, at the width shown or (reset) at the first width.
    void Follow(bool reset);
    // The whole of a file's samples.
    void ShowAll(double first, double last);

    bool Following() const { return following_; }
    double From() const { return from_; }
    double To() const { return to_; }

private:
    const double defaultWidth_;
    double width_;
    bool following_ = true;
    double from_ = 0;
    double to_ = 1;
};

// "09:41:07 UTC  -45.2 dBm  Eb/N0 7.1 dB  offset 1500 Hz  lock OK".
std::string ReadoutText(const PassSample& sample);
