#include "station/station_hub.h"

#include "protocol/numbers.h"
#include "protocol/requests.h"

#include <algorithm>
#include <cmath>

std::string_view LockStateText(LockState lock)
{
    switch (lock) {
    case LockState::Ok:
        return "OK";
    case LockState::Fault:
        return "FAULT";
    case LockState::Unknown:
        break;
    }
    return "UNKN";
}

std::string_view EventToken(EventKind kind)
{
    switch (kind) {
    case EventKind::ProgramStart: return "program-start";
    case EventKind::ProgramEnd: return "program-end";
    case EventKind::PortOpened: return "port-opened";
    case EventKind::PortClosed: return "port-closed";
    case EventKind::PortLost: return "port-lost";
    case EventKind::PortReconnected: return "port-reconnected";
    case EventKind::ChannelChosen: return "channel";
    case EventKind::Recall: return "recall";
    case EventKind::OffsetCorrection: return "offset-correction";
    case EventKind::ScanStarted: return "scan-started";
    case EventKind::ScanFinished: return "scan-finished";
    case EventKind::ScanStopped: return "scan-stopped";
    case EventKind::RemoteConnected: return "remote-connected";
    case EventKind::RemoteDisconnected: return "remote-disconnected";
    case EventKind::Error: return "error";
    case EventKind::LogError: return "log-error";
    }
    return "event";
}

StationHub::StationHub(UtcClock& clock) : clock_(clock) {}

void StationHub::Subscribe(StationListener& listener)
{
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
        listeners_.push_back(&listener);
}

void StationHub::Unsubscribe(StationListener& listener)
{
    std::replace(listeners_.begin(), listeners_.end(), &listener, static_cast<StationListener*>(nullptr));
}

template <class F>
void StationHub::Tell(F&& f)
{
    // By index, over the list as it was: a listener that unsubscribes leaves
    // a hole that is skipped now and swept afterwards.
    const std::size_t n = listeners_.size();
    for (std::size_t i = 0; i < n && i < listeners_.size(); ++i) {
        if (listeners_[i])
            f(*listeners_[i]);
    }
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), nullptr), listeners_.end());
}

void StationHub::RequestWritten(std::string_view request)
{
    ++status_.requests;
    if (request.substr(0, Request::DF.size()) == Request::DF) {
        status_.haveTuned = true;
        status_.tunedText.assign(request.substr(Request::DF.size()));
        double mhz = 0.0;
        status_.haveTunedMHz = TryStrToFloat(status_.tunedText, mhz) && std::isfinite(mhz);
        status_.tunedMHz = status_.haveTunedMHz ? mhz : 0.0;
    }
    Tell([request](StationListener& l) { l.RequestWritten(request); });
}

void StationHub::Replied(const ParsedReply& reply)
{
    ++status_.replies[static_cast<std::size_t>(reply.kind)];
    switch (reply.kind) {
    case ReplyKind::Bcas:
        status_.haveStatus = true;
        status_.statusFields = reply.fields;
        status_.statusUtcMs = clock_.NowUtcMs();
        Tell([this](StationListener& l) { l.StatusReplied(status_); });
        break;
    case ReplyKind::Csv:
        status_.haveOffset = true;
        status_.offsetText = reply.offset;
        status_.offsetUtcMs = clock_.NowUtcMs();
        // Only the two lock texts change the display; any other leaves it.
        if (const auto lock = DecoderLockFromText(reply.lockText))
            status_.lock = *lock == DecoderLock::Ok ? LockState::Ok : LockState::Fault;
        break;
    case ReplyKind::Rsl:
    case ReplyKind::Df:
        break;
    }
}

void StationHub::SetPollRunning(bool running) { status_.pollRunning = running; }

void StationHub::PortOpened(const std::string& port)
{
    status_.portOpen = true;
    Record(EventKind::PortOpened, port);
}

void StationHub::PortClosed(const std::string& port)
{
    if (!status_.portOpen)
        return;
    status_.portOpen = false;
    status_.pollRunning = false;
    Record(EventKind::PortClosed, port);
}

void StationHub::PortLost(const std::string& port, const std::string& why)
{
    status_.portOpen = false;
    status_.pollRunning = false;
    ++status_.lineLosses;
    Record(EventKind::PortLost, why.empty() ? port : port + ": " + why);
}

void StationHub::PortReconnected(const std::string& port, int attempts)
{
    status_.portOpen = true;
    Record(EventKind::PortReconnected,
           port + " after " + std::to_string(attempts) + (attempts == 1 ? " attempt" : " attempts"));
}

void StationHub::ChannelChosen(int index, std::string_view listText, Origin origin, std::string_view by)
{
    status_.channelIndex = index;
    status_.channelText.assign(listText);
    std::string detail(listText);
    if (origin == Origin::Operator)
        detail += " by the operator";
    else
        detail += by.empty() ? std::string(" by a remote client") : " by remote client " + std::string(by);
    Record(EventKind::ChannelChosen, std::move(detail));
}

void StationHub::Record(EventKind kind, std::string detail) { Record(kind, std::move(detail), clock_.NowUtcMs()); }

void StationHub::Record(EventKind kind, std::string detail, std::int64_t utcMs)
{
    const StationEvent event{utcMs, kind, std::move(detail)};
    Tell([&event](StationListener& l) { l.EventRecorded(event); });
}

void StationHub::SetNote(std::string_view source, std::string text)
{
    const auto it = std::find_if(notes_.begin(), notes_.end(), [&](const auto& n) { return n.first == source; });
    if (it != notes_.end()) {
        if (it->second == text && std::next(it) == notes_.end())
            return;
        notes_.erase(it);
    } else if (text.empty()) {
        return;
    }
    if (!text.empty())
        notes_.emplace_back(std::string(source), std::move(text));
    Tell([](StationListener& l) { l.NotesChanged(); });
}

std::string StationHub::NewestNote() const { return notes_.empty() ? std::string() : notes_.back().second; }

std::vector<std::string> StationHub::NoteTexts() const
{
    std::vector<std::string> texts;
    texts.reserve(notes_.size());
    for (const auto& n : notes_)
        texts.push_back(n.second);
    return texts;
}

void StationHub::SetIndicator(Indicator which, IndicatorText text)
{
    IndicatorText& slot = indicators_[static_cast<std::size_t>(which)];
    if (slot.shortText == text.shortText && slot.longText == text.longText)
        return;
    slot = std::move(text);
    Tell([](StationListener& l) { l.NotesChanged(); });
}

const IndicatorText& StationHub::IndicatorOf(Indicator which) const
{
    return indicators_[static_cast<std::size_t>(which)];
}
