#include "records/event_log.h"

#include <cstdio>
#include <utility>

namespace {

constexpr std::size_t kMaxDetailBytes = 2000;

void AppendDetail(std::string& out, std::string_view detail)
{
    for (const char ch : detail.substr(0, kMaxDetailBytes)) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\r': out += "\\r"; continue;
        case '\n': out += "\\n"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            // Latin-1 to UTF-8: every code point below 0x100 takes two bytes.
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (detail.size() > kMaxDetailBytes)
        out += "...";
}

} // namespace

std::string EventLine(const StationEvent& event)
{
    std::string line = FormatUtcMs(event.utcMs);
    line += ' ';
    line += EventToken(event.kind);
    if (!event.detail.empty()) {
        line += ' ';
        AppendDetail(line, event.detail);
    }
    line += '\n';
    return line;
}

EventLog::EventLog(StationHub& hub, std::filesystem::path dir, int keepDays, std::uintmax_t maxBytesPerDay)
    : hub_(hub),
      file_({std::move(dir), "events-", ".log", "", maxBytesPerDay}),
      keepDays_(keepDays),
      day_(DaysSinceEpoch(UtcDateOf(hub.Clock().NowUtcMs())))
{
    file_.RemoveOld(hub_.Clock().NowUtcMs(), keepDays_);
    hub_.Subscribe(*this);
}

EventLog::~EventLog() { hub_.Unsubscribe(*this); }

void EventLog::EventRecorded(const StationEvent& event)
{
    // A station that runs for months sheds its old days as it goes, not only at start.
    const std::int64_t day = DaysSinceEpoch(UtcDateOf(event.utcMs));
    if (day > day_) {
        day_ = day;
        file_.RemoveOld(event.utcMs, keepDays_);
    }
    std::string error;
    if (file_.Append(event.utcMs, EventLine(event), error))
        health_.Succeeded();
    else
        health_.Failed(error);
    // Its log-error event comes back here and fails too, which changes nothing.
    health_.Tell(hub_);
}
