#pragma once
#include <string>

// Scales of a chart axis whose range follows its data (the pass plot); the
// scan plot's axes are fixed and use none of this.

// The step between an axis' labels: 1, 2 or 5 times a power of ten, the
// smallest that puts at most maxMarks labels on span.
double NiceIncrement(double span, int maxMarks);

// The same for a time axis in seconds: steps a clock reads easily (1, 2, 5,
// 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6, 12 h, then days).
double TimeIncrement(double spanSeconds, int maxMarks);

struct AxisRange {
    double minimum = 0;
    double maximum = 1;
    double increment = 1;
};

// A range holding lo..hi that begins and ends on a label, with at most
// maxMarks labels. A single value gets room around it; no values (NaN) give
// fallback as it is.
AxisRange NiceRange(double lo, double hi, int maxMarks, AxisRange fallback);

// The label of a time axis mark, UTC: "09:41" for steps of a minute or
// more, "09:41:05" below.
std::string TimeLabel(double utcSeconds, double increment);
