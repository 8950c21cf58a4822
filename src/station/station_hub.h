#pragma once
#include "protocol/reply_parser.h"
#include "station/utc_clock.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The decoder lock as the window shows it: unknown until a CSV reply brings
// "OK" or "FLT".
enum class LockState { Unknown, Ok, Fault };
std::string_view LockStateText(LockState lock);  // "UNKN", "OK", "FAULT"

// Who started a sequence.
enum class Origin { Operator, Remote };

// What the station log records.
enum class EventKind {
    ProgramStart,
    ProgramEnd,
    PortOpened,
    PortClosed,
    PortLost,
    PortReconnected,
    ChannelChosen,
    Recall,
    OffsetCorrection,
    ScanStarted,
    ScanFinished,
    ScanStopped,
    RemoteConnected,
    RemoteDisconnected,
    Error,     // an error shown to the operator
    LogError,  // a log or archive that could not be written
};

// The event's word in the station log: "program-start", "port-lost", ...
std::string_view EventToken(EventKind kind);

struct StationEvent {
    std::int64_t utcMs = 0;
    EventKind kind = EventKind::Error;
    std::string detail;
};

// What the station is doing now, as far as the program knows it.
struct StationStatus {
    // The last BCAS reply: its seven fields as sent, and when it arrived.
    bool haveStatus = false;
    std::array<std::string, 7> statusFields;
    std::int64_t statusUtcMs = 0;
    // The last CSV reply's offset text and when it arrived; the lock as shown.
    bool haveOffset = false;
    std::string offsetText;
    std::int64_t offsetUtcMs = 0;
    LockState lock = LockState::Unknown;
    // The last DF request written, by whichever sender: its argument as sent
    // and as a number (haveTunedMHz false when the text is no number).
    bool haveTuned = false;
    std::string tunedText;
    bool haveTunedMHz = false;
    double tunedMHz = 0.0;
    // The satellite channel chosen last: 0..14 and its list text; -1 before any.
    int channelIndex = -1;
    std::string channelText;
    bool portOpen = false;
    bool pollRunning = false;
    // Counters since start.
    std::array<std::uint64_t, 4> replies{};  // by ReplyKind
    std::uint64_t requests = 0;
    std::uint64_t lineLosses = 0;
};

// The two narrow status-bar panels free for additions.
enum class Indicator { Remote, Metrics };

struct IndicatorText {
    std::string shortText;  // fits a 32-pixel panel
    std::string longText;   // its tooltip
};

class StationListener {
public:
    virtual ~StationListener() = default;
    // A BCAS reply has updated the status.
    virtual void StatusReplied(const StationStatus&) {}
    // A request went out whole (its text without the carriage return).
    virtual void RequestWritten(std::string_view /*request*/) {}
    virtual void EventRecorded(const StationEvent&) {}
    // A note or an indicator changed.
    virtual void NotesChanged() {}
};

// One per program, owned by the main window: the senders, the parser and the
// windows report here what they did; logs, network control, metrics and the
// status bar listen. Runs on the user-interface thread only.
class StationHub {
public:
    explicit StationHub(UtcClock& clock = SystemUtcClock());
    StationHub(const StationHub&) = delete;
    StationHub& operator=(const StationHub&) = delete;

    UtcClock& Clock() { return clock_; }
    const StationStatus& Status() const { return status_; }

    // Listeners are told in the order they subscribed; one may unsubscribe
    // (itself or another) while being told.
    void Subscribe(StationListener& listener);
    void Unsubscribe(StationListener& listener);

    // A request went out whole (its text without the carriage return).
    void RequestWritten(std::string_view request);
    void Replied(const ParsedReply& reply);
    void SetPollRunning(bool running);

    void PortOpened(const std::string& port);
    // Recorded only while the port counts as open (a lost line was recorded already).
    void PortClosed(const std::string& port);
    void PortLost(const std::string& port, const std::string& why);
    void PortReconnected(const std::string& port, int attempts);
    // A channel sequence began: by the operator, or by a remote client (by names it).
    void ChannelChosen(int index, std::string_view listText, Origin origin, std::string_view by = {});

    void Record(EventKind kind, std::string detail);
    // The same for an event that happened before it could be recorded (while
    // the main window, and so the hub, was still being made).
    void Record(EventKind kind, std::string detail, std::int64_t utcMs);

    // Notes for the status bar: one per source, the newest shown; an empty
    // text withdraws the source's note.
    void SetNote(std::string_view source, std::string text);
    std::string NewestNote() const;
    std::vector<std::string> NoteTexts() const;  // oldest first
    void SetIndicator(Indicator which, IndicatorText text);
    const IndicatorText& IndicatorOf(Indicator which) const;

private:
    template <class F>
    void Tell(F&& f);

    UtcClock& clock_;
    StationStatus status_;
    std::vector<StationListener*> listeners_;
    std::vector<std::pair<std::string, std::string>> notes_;
    std::array<IndicatorText, 2> indicators_;
};
