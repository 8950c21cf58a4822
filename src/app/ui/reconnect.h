#pragma once
#include "app/ui/form1.h"
#include "station/reconnect_schedule.h"

#include <QAction>
#include <QObject>
#include <QPointer>

#include <string>

class QTimer;
class ScanController;
class TCustomIniFile;

// Opens a lost line again by itself, when the operator has asked for it with
// the Station menu's "Reconnect when the line is lost" ([ComPort]
// Reconnect=1; written only when the entry is changed). The lost line then
// shows no box: the status bar says "Line lost, reconnecting..." and the same
// port is opened with the same settings 1 s later, then with the wait
// doubling up to 30 s (ReconnectSchedule), on one single-shot timer that
// exists only while retrying. Once open, the window shows it open as the
// toggle's open path does and the poll runs again if it ran before the loss.
// The operator clicking the toggle, closing the window, changing the port's
// settings (SettingsChanged) or turning the entry off ends the retrying at once.
//
// Whatever the setting, a scan running when the line goes is stopped, so that
// its next tick does not add a second error to the loss.
class PortReconnect final : public QObject, public PortWatch {
public:
    static constexpr const char* kSettingKey = "Reconnect";
    static constexpr const char* kNoteSource = "reconnect";

    // scanner may be null (no scanner window). Goes before the window does.
    PortReconnect(TForm1& form, TCustomIniFile& settings, ScanController* scanner);
    ~PortReconnect() override;
    PortReconnect(const PortReconnect&) = delete;
    PortReconnect& operator=(const PortReconnect&) = delete;

    bool Enabled() const;
    bool Retrying() const { return schedule_.Retrying(); }
    // Attempts made since the line was lost last.
    int Attempts() const { return schedule_.Attempts(); }
    QAction* Action() const { return action_; }
    // The retry timer; null while not retrying.
    QTimer* RetryTimer() const { return timer_; }

    // The port's settings were changed (the setup dialog): retrying ends and
    // the window shows the port closed.
    void SettingsChanged();

    // PortWatch
    bool LineLost(const std::string& port, bool pollRunning) override;
    void PortInHand() override;

private:
    void MenuTriggered(bool on);
    void Schedule(int waitMs);
    void DropTimer();
    void TryAgain();
    // Ends the retrying with a record of why; the window then shows the port closed.
    void Stop(const std::string& why);

    TForm1& form_;
    TCustomIniFile& settings_;
    ScanController* scanner_;
    QPointer<QAction> action_;
    QTimer* timer_ = nullptr;
    ReconnectSchedule schedule_;
    std::string port_;         // the port being opened again
    bool resumePoll_ = false;  // the poll ran when the line went
};

// Why an open failed, in a few words for the status bar: "device missing",
// "device busy", "no permission", or the error's own text.
std::string OpenFailureText(const std::exception& error);
