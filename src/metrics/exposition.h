#pragma once
#include "station/station_hub.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The station's status in Prometheus's text exposition format, version 0.0.4.

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4";

// The numbers of a reply are shown only this long after it arrived: a poll
// that stopped never shows its last numbers as live.
inline constexpr std::int64_t kFreshReplyMs = 5000;

// The program's version as the build names it ("0.4.3").
std::string_view ProgramVersion();

// A number as the modem sent it, with one leading "<" and then one leading
// ">" removed (a reading beyond the meter's range gives its bound). Nothing
// for a text that is no finite number.
std::optional<double> StatusNumber(std::string_view text);

// A sample value: the shortest text that reads back as the same double, "."
// whatever the locale ("-45.2", "1e-09", "1765445867.25"). value is finite.
std::string SampleValue(double value);

// A label value from an 8-bit text: UTF-8, with backslash, double quote and
// line feed escaped.
std::string LabelValue(std::string_view latin1);

// Every metric of the status at nowUtcMs (UTC milliseconds), HELP and TYPE
// lines for each; a value that is unknown or stale is left out.
std::string MetricsText(const StationStatus& status, std::int64_t nowUtcMs, std::string_view version);
