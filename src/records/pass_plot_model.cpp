#include "records/pass_plot_model.h"

#include "protocol/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void Add(StripPoints& strip, double x, double y)
{
    strip.x.push_back(x);
    strip.y.push_back(y);
}

std::string Value(double v, const char* unit)
{
    return std::isnan(v) ? std::string("-") : FloatToStr(v) + unit;
}

} // namespace

PassPlotData PlotDataOf(const std::deque<PassSample>& samples, std::int64_t maxGapMs)
{
    PassPlotData data;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const PassSample& s = samples[i];
        const double x = static_cast<double>(s.utcMs) / 1000.0;
        if (i > 0 && s.utcMs - samples[i - 1].utcMs > maxGapMs) {
            // A point of no value halfway breaks each line.
            const double mid = (static_cast<double>(samples[i - 1].utcMs) / 1000.0 + x) / 2;
            for (StripPoints* strip : {&data.level, &data.ebno, &data.offset})
                Add(*strip, mid, kNaN);
        }
        Add(data.level, x, s.levelDbm);
        Add(data.ebno, x, s.ebnoDb);
        Add(data.offset, x, s.offsetHz);
    }
    for (const TimeSpan& span : LockSpans(samples, maxGapMs))
        data.lockSpans.emplace_back(static_cast<double>(span.from) / 1000.0, static_cast<double>(span.to) / 1000.0);
    return data;
}

std::pair<double, double> ValueSpan(const StripPoints& points, double x0, double x1)
{
    double lo = kNaN, hi = kNaN;
    const auto first = std::lower_bound(points.x.begin(), points.x.end(), x0);
    for (auto it = first; it != points.x.end() && *it <= x1; ++it) {
        const double y = points.y[static_cast<std::size_t>(it - points.x.begin())];
        if (std::isnan(y))
            continue;
        lo = std::isnan(lo) ? y : std::min(lo, y);
        hi = std::isnan(hi) ? y : std::max(hi, y);
    }
    return {lo, hi};
}

void TimeWindow::Track(double oldest, double newest)
{
    if (!following_)
        return;
    const double span = std::min(width_, std::max(0.0, newest - oldest));
    const double room = std::max(1.0, span / 50);
    from_ = std::max(newest - width_, oldest - room);
    to_ = newest + room;
}

void TimeWindow::Empty(double nowSeconds)
{
    if (!following_)
        return;
    to_ = nowSeconds;
    from_ = to_ - width_;
}

void TimeWindow::Moved(double from, double to)
{
    if (!(to > from))
        return;
    following_ = false;
    from_ = from;
    to_ = to;
    width_ = to - from;
}

void TimeWindow::Follow(bool reset)
{
    following_ = true;
    if (reset)
        width_ = defaultWidth_;
}

void TimeWindow::ShowAll(double first, double last)
{
    following_ = false;
    const double room = std::max(1.0, (last - first) / 50);
    from_ = first - room;
    to_ = last + room;
    width_ = to_ - from_;
}

std::string ReadoutText(const PassSample& s)
{
    const std::string t = FormatUtcMs(s.utcMs);  // 2026-12-11T09:41:07.250Z
    return t.substr(11, 8) + " UTC  " + Value(s.levelDbm, " dBm") + "  Eb/N0 " + Value(s.ebnoDb, " dB") + "  offset " +
           Value(s.offsetHz, " Hz") + "  lock " + std::string(LockStateText(s.lock));
}
