#pragma once
#include <cstdint>
#include <string>

// Wall-clock time, milliseconds since 1970-01-01T00:00:00Z. Logs and metrics
// stamp with it; tests install their own.
class UtcClock {
public:
    virtual ~UtcClock() = default;
    virtual std::int64_t NowUtcMs() = 0;
};

// The system's clock.
UtcClock& SystemUtcClock();

// A calendar day in UTC.
struct UtcDate {
    int year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

UtcDate UtcDateOf(std::int64_t utcMs);

// Days since 1970-01-01 of a UTC date (negative before it).
std::int64_t DaysSinceEpoch(const UtcDate& date);

// "2026-12-11"
std::string FormatUtcDate(const UtcDate& date);

// "2026-12-11T09:41:07.250Z"
std::string FormatUtcMs(std::int64_t utcMs);
