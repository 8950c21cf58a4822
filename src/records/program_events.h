#pragma once
#include "platform/messages.h"
#include "station/station_hub.h"
#include "station/utc_clock.h"

#include <cstdint>
#include <string>
#include <vector>

// The program's own events for the station log: its start, its end and every
// error shown to the operator. Installed as the message sink in front of the
// boxes from the very start, so errors of the main window's creation are kept
// (with their time) until the window's hub exists and then recorded after the
// start. The plain messages (the About text, the port guard's refusal of a
// click) only answer the operator's own clicks and are not recorded.
//
// An error text shown again within a minute of its last record is counted
// instead of recorded; the next record of it (or a line when another error or
// the end comes) says how often it came meanwhile, so a fault that repeats
// every poll tick writes a line a minute, not two a second.
class ProgramEvents final : public MessageSink {
public:
    static constexpr std::int64_t kRepeatWindowMs = 60'000;
    static constexpr std::size_t kMaxKept = 32;  // errors kept before the hub exists

    // Notes now as the program's start.
    explicit ProgramEvents(MessageSink& boxes, UtcClock& clock = SystemUtcClock());
    ProgramEvents(const ProgramEvents&) = delete;
    ProgramEvents& operator=(const ProgramEvents&) = delete;

    // Records the start (at the time noted), then the errors kept meanwhile;
    // from now on every error goes to the hub as it is shown.
    void Attach(StationHub& hub, const std::string& startDetail);
    // Records the program's end; later errors are only shown.
    void Detach(const std::string& endDetail = {});

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

private:
    struct Kept {
        std::int64_t utcMs;
        std::string text;
    };
    void RecordError(std::int64_t utcMs, const std::string& text);
    // " (shown N more times since <time>)" for the repeats of the last text.
    std::string Repeats() const;
    // Records the last text's repeats that are still only counted.
    void FlushRepeats(std::int64_t utcMs);

    MessageSink& boxes_;
    UtcClock& clock_;
    std::int64_t startUtcMs_;
    StationHub* hub_ = nullptr;
    std::vector<Kept> kept_;
    // The last error recorded, when, and how often it came since without a record.
    std::string lastText_;
    std::int64_t lastUtcMs_ = 0;
    int folded_ = 0;
};
