#include "station/utc_clock.h"

#include <chrono>
#include <cstdio>

namespace {

class SystemClock final : public UtcClock {
public:
    std::int64_t NowUtcMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
};

// Floor division, so that times before the epoch fall on the day before.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

constexpr std::int64_t kMsPerDay = 86'400'000;

} // namespace

UtcClock& SystemUtcClock()
{
    static SystemClock clock;
    return clock;
}

UtcDate UtcDateOf(std::int64_t utcMs)
{
    using namespace std::chrono;
    const year_month_day ymd{sys_days{days{FloorDiv(utcMs, kMsPerDay)}}};
    return {static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day())};
}

std::int64_t DaysSinceEpoch(const UtcDate& date)
{
    using namespace std::chrono;
    const sys_days d{year{date.year} / month{date.month} / day{date.day}};
    return d.time_since_epoch().count();
}

std::string FormatUtcDate(const UtcDate& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", date.year, date.month, date.day);
    return text;
}

std::string FormatUtcMs(std::int64_t utcMs)
{
    const std::int64_t dayStart = FloorDiv(utcMs, kMsPerDay) * kMsPerDay;
    const std::int64_t inDay = utcMs - dayStart;
    const int h = static_cast<int>(inDay / 3'600'000);
    const int m = static_cast<int>(inDay / 60'000 % 60);
    const int s = static_cast<int>(inDay / 1000 % 60);
    const int ms = static_cast<int>(inDay % 1000);
    char text[48];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02d.%03dZ", FormatUtcDate(UtcDateOf(utcMs)).c_str(), h, m, s, ms);
    return text;
}
