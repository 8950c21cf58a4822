#include "scanner/scan_controller.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "protocol/numbers.h"
#include "protocol/requests.h"

#include <algorithm>
#include <exception>
#include <optional>

ScanController::ScanController(ProgramState& state, RequestPort& port, ScanView& view)
    : state_(state), port_(port), view_(view)
{
}

void ScanController::Send(std::string command)
{
    ScanCommand = std::move(command);
    port_.WriteStr(ScanCommand + std::string(Request::Terminator));
}

void ScanController::Start()
{
    if (!port_.Connected()) {
        ShowMessage(std::string(kPortGuardMessage));
        return;
    }
    view_.SetStartEnabled(false);
    state_.ScanLevelPending = true;  // ScanLevelRequested keeps its value
    view_.Series().Clear();
    view_.StartTimer();
    ScanFrequency = ScanStartMHz;
    levelErrorShown_ = false;
    scanning_ = true;
    for (ScanListener* l : listeners_)
        l->ScanStarted();
    try {
        Send(std::string(Request::REM));
        Pause(Pacing::ScanBeforeSdrvMs);
        view_.SetStatus("Busy", ScanBusyColor);
        Send(std::string(Request::SDRV) + std::string(Request::ScanDataRate));
        Pause(Pacing::ScanBeforeFirstDfMs);
        TuneScanFrequency();
    } catch (const std::exception& e) {
        FailScan(e.what());
    }
}

void ScanController::TuneScanFrequency()
{
    const std::string f = FloatToStrF(ScanFrequency, ffFixed, 5, 1);
    Send(std::string(Request::DF) + f + "00000");
    view_.SetFrequencyText(f + " MHz");
    Pause(view_.SlowScan() ? Pacing::ScanSlowSettleMs : Pacing::ScanSettleMs);
    if (ScanFrequency > ScanEndMHz) {
        // The modem stays on the frequency just requested.
        view_.StopTimer();
        ScanFrequency = ScanStartMHz;
        view_.SetStatus("Free", ScanFreeColor);
        view_.SetStartEnabled(true);
        if (scanning_) {
            scanning_ = false;
            for (ScanListener* l : listeners_)
                l->ScanFinished(view_.Series());
        }
    }
}

void ScanController::Tick()
{
    try {
        if (!state_.ScanLevelRequested) {
            Send(std::string(Request::RSL));
            state_.ScanLevelRequested = true;
        } else if (state_.ScanLevelPending) {
            // A reply is awaited.
        } else {
            RecordLevel();
        }
    } catch (const std::exception& e) {
        FailScan(e.what());
    }
}

void ScanController::RecordLevel()
{
    double level = 0.0;
    std::optional<std::string> badLevel;
    try {
        level = StrToFloat(state_.ScanLevelText);
    } catch (const EConvertError& e) {
        badLevel = e.what();
    }
    if (badLevel) {
        // The text is gone (another receive event emptied it) or was never a
        // number: ask again at this frequency rather than failing every tick.
        state_.ScanLevelPending = true;
        state_.ScanLevelRequested = false;
        if (!levelErrorShown_) {
            levelErrorShown_ = true;
            // Last: a modal box runs the event loop, and ticks must find the
            // state already settled.
            Messages().ShowError(*badLevel);
        }
        return;
    }
    view_.Series().AddXY(ScanFrequency, level, std::string(), UseSeriesColor);
    for (ScanListener* l : listeners_)
        l->PointRecorded(ScanFrequency, state_.ScanLevelText);
    view_.RepaintChart();
    state_.ScanLevelPending = true;
    ScanFrequency += view_.FineStep() ? ScanFineStepMHz : ScanStepMHz;
    TuneScanFrequency();
}

void ScanController::FailScan(const std::string& message)
{
    // Stopped before the box is shown, so no tick runs into the same fault.
    Stop();
    Messages().ShowError(message);
}

void ScanController::Stop()
{
    view_.StopTimer();
    view_.SetStatus("Free", ScanFreeColor);
    view_.SetStartEnabled(true);
    if (scanning_) {
        scanning_ = false;
        for (ScanListener* l : listeners_)
            l->ScanStopped();
    }
}

void ScanController::AddListener(ScanListener& listener) { listeners_.push_back(&listener); }

void ScanController::RemoveListener(ScanListener& listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener), listeners_.end());
}

void ScanController::Close() { view_.StopTimer(); }
