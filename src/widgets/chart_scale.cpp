#include "widgets/chart_scale.h"

#include <cmath>
#include <cstdio>

double NiceIncrement(double span, int maxMarks)
{
    if (!(span > 0) || !std::isfinite(span) || maxMarks < 1)
        return 1.0;
    const double raw = span / maxMarks;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (;;) {
        for (const double m : {1.0, 2.0, 5.0}) {
            if (m * power >= raw * (1 - 1e-9))
                return m * power;
        }
        power *= 10;
    }
}

double TimeIncrement(double spanSeconds, int maxMarks)
{
    static constexpr double kSteps[] = {1,    2,    5,    10,   15,    30,    60,    120,   300,
                                        600,  900,  1800, 3600, 7200,  10800, 21600, 43200, 86400};
    if (!(spanSeconds > 0) || !std::isfinite(spanSeconds) || maxMarks < 1)
        return 1.0;
    const double raw = spanSeconds / maxMarks;
    if (raw < 1)
        return NiceIncrement(spanSeconds, maxMarks);
    for (const double step : kSteps) {
        if (step >= raw * (1 - 1e-9))
            return step;
    }
    return 86400 * NiceIncrement(spanSeconds / 86400, maxMarks);
}

AxisRange NiceRange(double lo, double hi, int maxMarks, AxisRange fallback)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo > hi)
        return fallback;
    if (hi - lo < 1e-9 * std::max(1.0, std::fabs(lo))) {
        const double room = std::max(1.0, std::fabs(lo) * 0.05);
        lo -= room;
        hi += room;
    }
    // The rounding out can need a larger step: widen until it fits.
    for (double inc = NiceIncrement(hi - lo, maxMarks);; inc = NiceIncrement(inc * maxMarks * 1.01, maxMarks)) {
        const double a = std::floor(lo / inc + 1e-9) * inc;
        const double b = std::ceil(hi / inc - 1e-9) * inc;
        if ((b - a) / inc <= maxMarks + 1e-9)
            return {a, b, inc};
    }
}

std::string TimeLabel(double utcSeconds, double increment)
{
    const double inDay = utcSeconds - std::floor(utcSeconds / 86400) * 86400;
    const long s = std::lround(inDay) % 86400;
    char text[16];
    if (increment >= 60 - 1e-9)
        std::snprintf(text, sizeof text, "%02ld:%02ld", s / 3600, s / 60 % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}
