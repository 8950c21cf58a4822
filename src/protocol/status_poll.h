#pragma once
#include "protocol/sender.h"

#include <string>

// The main-window controls the poll and the offset correction work on.
class PollView {
public:
    virtual ~PollView() = default;
    // CheckBox1 "BCAS Analog parameters". Setting it must notify the change
    // handler (StatusPoll::PollBoxChanged) exactly as an operator click does,
    // whenever the tick actually changes: the rule runs on every change.
    virtual bool PollBoxTicked() const = 0;
    virtual void SetPollBoxTicked(bool ticked) = 0;
    // Timer2, interval Pacing::PollPeriodMs.
    virtual bool PollTimerEnabled() const = 0;
    virtual void SetPollTimerEnabled(bool enabled) = 0;
    // Label8 caption (the measured frequency offset in Hz).
    virtual std::string OffsetCaption() const = 0;
    // Label9 caption (tuned frequency, MHz).
    virtual void ShowTunedFrequency(const std::string& text) = 0;
    // iLedBar1 Position in tenths of a dBm, as computed (the bar clamps it
    // to its range). Always a number, never NaN.
    virtual void SetLevelBarPosition(double position) = 0;
};

// Status poll and frequency-offset correction of the main window.
class StatusPoll {
public:
    StatusPoll(SenderContext ctx, PollView& view) : ctx_(ctx), view_(view) {}

    // CheckBox1Click: runs on every change of the tick. Port open: Timer2
    // follows the tick. Port closed: the guard message once, then the box is
    // unticked without the rule running again for that untick.
    void PollBoxChanged();

    // Timer2Timer: RxLine emptied; BCAS; 200 ms; CSV; "<" then ">" stripped
    // from LevelText in place; bar := level * 10, unrounded (the bar clamps
    // what lies outside its range). A level that is empty or no number
    // leaves the bar as it is. If a request fails, Timer2 is disabled
    // and the box unticked (rule suppressed) BEFORE the error propagates, so
    // the window's error box is shown once and no tick runs behind it.
    void Tick();

    // Label8DblClick: untick the poll; O := Label8 as a number (a conversion
    // error propagates: poll off, nothing sent); F := ChannelFrequency - O*1e-6;
    // Label9 := F in general format; REM; 200 ms; DF + F as F9.6; 400 ms;
    // tick the poll again.
    void CorrectOffset();

    // The correction's tuning step on its own, for network control: Label9 :=
    // mhz in general format; REM; 200 ms; DF + mhz as F9.6. The poll is left
    // as it is.
    void Retune(double mhz);

private:
    SenderContext ctx_;
    PollView& view_;
    // Set while this class unticks the box itself, so that untick does not run the rule.
    bool suppressRule_ = false;
};
