#pragma once
#include "records/daily_file.h"
#include "records/write_health.h"
#include "station/station_hub.h"

#include <cstdint>
#include <filesystem>
#include <string>

// The station log: every event of the hub as one line of
// <dir>/events-YYYY-MM-DD.log (UTC day), appended and flushed at once:
//   2026-12-11T03:12:44.120Z port-lost /dev/ttyUSB0: device went away
// A line that cannot be written is said once (a note in the status bar,
// withdrawn when lines go out again, and a log-error event for whoever else
// listens); nothing else changes.
class EventLog final : public StationListener {
public:
    static constexpr std::uintmax_t kMaxBytesPerDay = 64u * 1024u * 1024u;
    static constexpr const char* kNoteSource = "events";

    // Subscribes to the hub and removes the log's files older than keepDays
    // days (the hub's clock tells today).
    EventLog(StationHub& hub, std::filesystem::path dir, int keepDays,
             std::uintmax_t maxBytesPerDay = kMaxBytesPerDay);
    ~EventLog() override;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    void EventRecorded(const StationEvent& event) override;

private:
    StationHub& hub_;
    DailyFile file_;
    int keepDays_;
    std::int64_t day_;  // days since the epoch of the last line; old files go when it changes
    WriteHealth health_{kNoteSource, "Station log"};
};

// One line of the log, with its line end. The detail's control characters
// are written as \r, \n, \t or \xHH so that an event is always one line; its
// 8-bit (Latin-1) text becomes UTF-8; a detail beyond 2000 bytes is cut.
std::string EventLine(const StationEvent& event);
