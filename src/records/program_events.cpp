#include "records/program_events.h"

ProgramEvents::ProgramEvents(MessageSink& boxes, UtcClock& clock)
    : boxes_(boxes), clock_(clock), startUtcMs_(clock.NowUtcMs())
{
}

void ProgramEvents::Attach(StationHub& hub, const std::string& startDetail)
{
    hub_ = &hub;
    hub.Record(EventKind::ProgramStart, startDetail, startUtcMs_);
    std::vector<Kept> kept = std::move(kept_);
    kept_.clear();
    for (const Kept& k : kept)
        RecordError(k.utcMs, k.text);
}

void ProgramEvents::Detach(const std::string& endDetail)
{
    if (!hub_)
        return;
    FlushRepeats(clock_.NowUtcMs());
    hub_->Record(EventKind::ProgramEnd, endDetail);
    hub_ = nullptr;
}

void ProgramEvents::ShowMessage(const std::string& text) { boxes_.ShowMessage(text); }

void ProgramEvents::ShowError(const std::string& text)
{
    // Recorded before it is shown: the box is modal and may stay open for hours.
    const std::int64_t now = clock_.NowUtcMs();
    if (hub_)
        RecordError(now, text);
    else if (kept_.size() < kMaxKept)
        kept_.push_back({now, text});
    boxes_.ShowError(text);
}

void ProgramEvents::RecordError(std::int64_t utcMs, const std::string& text)
{
    const bool same = text == lastText_;
    if (same && utcMs >= lastUtcMs_ && utcMs - lastUtcMs_ < kRepeatWindowMs) {
        ++folded_;
        return;
    }
    std::string detail = text;
    if (same)
        detail += Repeats();
    else
        FlushRepeats(utcMs);
    lastText_ = text;
    lastUtcMs_ = utcMs;
    folded_ = 0;
    hub_->Record(EventKind::Error, std::move(detail), utcMs);
}

std::string ProgramEvents::Repeats() const
{
    if (folded_ == 0)
        return {};
    return " (shown " + std::to_string(folded_) + (folded_ == 1 ? " more time" : " more times") + " since " +
           FormatUtcMs(lastUtcMs_) + ")";
}

void ProgramEvents::FlushRepeats(std::int64_t utcMs)
{
    if (folded_ > 0)
        hub_->Record(EventKind::Error, lastText_ + Repeats(), utcMs);
    folded_ = 0;
}
