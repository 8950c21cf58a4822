#include "protocol/status_poll.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "protocol/numbers.h"
#include "protocol/requests.h"

#include <cmath>
#include <string>

namespace {

// Unticks the box without the rule running for that untick; restores the
// flag also when the view throws.
class SuppressedUntick {
public:
    explicit SuppressedUntick(bool& flag) : flag_(flag) { flag_ = true; }
    ~SuppressedUntick() { flag_ = false; }
    SuppressedUntick(const SuppressedUntick&) = delete;
    SuppressedUntick& operator=(const SuppressedUntick&) = delete;

private:
    bool& flag_;
};

void StripLevelMarks(std::string& level)
{
    if (!level.empty() && level.front() == '<')
        level.erase(0, 1);
    if (!level.empty() && level.front() == '>')
        level.erase(0, 1);
}

} // namespace

void StatusPoll::PollBoxChanged()
{
    if (suppressRule_)
        return;
    if (ctx_.port.Connected()) {
        view_.SetPollTimerEnabled(view_.PollBoxTicked());
        return;
    }
    ShowMessage(std::string(kPortGuardMessage));
    SuppressedUntick guard(suppressRule_);
    view_.SetPollBoxTicked(false);
}

void StatusPoll::Tick()
{
    ctx_.state.RxLine.clear();
    try {
        SendRequest(ctx_, Request::BCAS);
        Pause(Pacing::PollBeforeCsvMs);
        SendRequest(ctx_, Request::CSV);
    } catch (...) {
        // A failing port fails every tick. The error box the window shows for
        // this one runs a modal loop in which Timer2 would keep ticking and
        // open a box per tick, so the poll stops before the error leaves here.
        // The box is unticked too, so that it shows the poll is off and a new
        // tick restarts it; the rule stays out of it (no guard message on top).
        view_.SetPollTimerEnabled(false);
        SuppressedUntick guard(suppressRule_);
        view_.SetPollBoxTicked(false);
        throw;
    }

    StripLevelMarks(ctx_.state.LevelText);
    // A BCAS reply with an empty or non-numeric first field leaves the bar
    // where it is: the requests are out, nothing else depends on the level.
    double level = 0.0;
    if (!TryStrToFloat(ctx_.state.LevelText, level) || std::isnan(level))
        return;
    // Tenths of a dBm as they are: rounding here would light the wrong count
    // near the segment and band edges. A level far outside the range (even
    // one whose tenfold overflows) is the bar's to clamp.
    view_.SetLevelBarPosition(level * 10.0);
}

void StatusPoll::CorrectOffset()
{
    view_.SetPollBoxTicked(false); // runs the rule: stops Timer2 (or the guard message)

    const double offsetHz = StrToFloat(view_.OffsetCaption());
    const double corrected = ctx_.state.ChannelFrequency - offsetHz * 0.000001;
    Retune(corrected);
    Pause(Pacing::CorrectionAfterDfMs);

    view_.SetPollBoxTicked(true); // runs the rule: the poll runs after every correction
}

void StatusPoll::Retune(double mhz)
{
    view_.ShowTunedFrequency(FloatToStr(mhz));
    SendRequest(ctx_, Request::REM);
    Pause(Pacing::CorrectionBeforeDfMs);
    SendRequest(ctx_, std::string(Request::DF) + FloatToStrF(mhz, ffFixed, 9, 6));
}
