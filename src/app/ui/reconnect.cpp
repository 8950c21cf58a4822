#include "app/ui/reconnect.h"

#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/ui/guard.h"
#include "scanner/scan_controller.h"
#include "serial/ecomport.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <system_error>

namespace {

constexpr const char* kLostNote = "Line lost, reconnecting...";

std::string AttemptsText(int n) { return std::to_string(n) + (n == 1 ? " attempt" : " attempts"); }

} // namespace

std::string OpenFailureText(const std::exception& error)
{
    const auto* com = dynamic_cast<const EComPort*>(&error);
    if (!com || com->SystemError() <= 0)
        return error.what();
    const int code = com->SystemError();
#ifdef _WIN32
    // The system's error codes: a port that is not there, or one another
    // program holds (Windows refuses a second open with "access denied").
    constexpr int kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5, kSharingViolation = 32;
    if (code == kFileNotFound || code == kPathNotFound)
        return "device missing";
    if (code == kAccessDenied || code == kSharingViolation)
        return "device busy";
#else
    const std::error_condition c = std::generic_category().default_error_condition(code);
    if (c == std::errc::no_such_file_or_directory || c == std::errc::no_such_device ||
        c == std::errc::no_such_device_or_address)
        return "device missing";
    if (c == std::errc::device_or_resource_busy)
        return "device busy";
    if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted)
        return "no permission";
#endif
    return error.what();
}

PortReconnect::PortReconnect(TForm1& form, TCustomIniFile& settings, ScanController* scanner)
    : form_(form), settings_(settings), scanner_(scanner)
{
    bool on = false;
    try {
        on = settings.ReadIntValue(form.ComPort.Name(), kSettingKey, 0) != 0;
    } catch (const std::exception&) {
        // An unreadable settings file leaves the specified behaviour.
    }
    action_ = form.StationMenu()->addAction(QStringLiteral("Reconnect when the line is lost"));
    action_->setObjectName(QStringLiteral("ReconnectOnLineLoss"));
    action_->setCheckable(true);
    action_->setChecked(on);
    action_->setToolTip(QStringLiteral("Open the port again by itself when its device goes away, "
                                       "instead of closing it with a message"));
    connect(action_, &QAction::triggered, this, [this](bool checked) { RunGuarded([&] { MenuTriggered(checked); }); });
    // The operator's own click on the poll box while the line is away is his
    // word on the poll: it is not started again behind his back.
    connect(form.CheckBox1, &QCheckBox::clicked, this, [this] {
        if (schedule_.Retrying())
            resumePoll_ = false;
    });
    form_.SetPortWatch(this);
}

PortReconnect::~PortReconnect()
{
    form_.SetPortWatch(nullptr);
    DropTimer();
    // The entry belongs to the window's menu, which outlives us.
    delete action_.data();
}

bool PortReconnect::Enabled() const { return action_->isChecked(); }

void PortReconnect::MenuTriggered(bool on)
{
    try {
        settings_.WriteValue(form_.ComPort.Name(), kSettingKey, on ? "1" : "0");
    } catch (...) {
        // Not stored, so not changed: the entry shows what the file says.
        action_->setChecked(!on);
        throw;
    }
    if (!on)
        Stop("reconnecting turned off");
}

bool PortReconnect::LineLost(const std::string& port, bool pollRunning)
{
    try {
        if (scanner_ && scanner_->Scanning())
            scanner_->Stop();
    } catch (const std::exception&) {
        // The scan's own display failed; the line matters more here.
    }
    if (!Enabled())
        return false;
    port_ = port;
    resumePoll_ = pollRunning;
    form_.Hub.SetNote(kNoteSource, kLostNote);
    Schedule(schedule_.Lost(CurrentClock().NowMs()));
    return true;
}

void PortReconnect::PortInHand()
{
    if (schedule_.Retrying())
        Stop("closed by the operator");
    else
        form_.Hub.SetNote(kNoteSource, {});  // an old "reconnected" note has had its day
}

void PortReconnect::SettingsChanged()
{
    Stop("the port's settings were changed");
}

void PortReconnect::Schedule(int waitMs)
{
    if (!timer_) {
        timer_ = new QTimer(this);
        timer_->setObjectName(QStringLiteral("ReconnectTimer"));
        timer_->setSingleShot(true);
        connect(timer_, &QTimer::timeout, this, [this] { TryAgain(); });
    }
    timer_->start(waitMs);
}

void PortReconnect::DropTimer()
{
    if (!timer_)
        return;
    timer_->stop();
    // Perhaps inside its own timeout: deleted once the event loop is back.
    timer_->deleteLater();
    timer_ = nullptr;
}

void PortReconnect::Stop(const std::string& why)
{
    if (!schedule_.Retrying())
        return;
    schedule_.Stopped();
    DropTimer();
    form_.Hub.SetNote(kNoteSource, {});
    form_.Hub.Record(EventKind::PortClosed, port_ + ": " + why + " while reconnecting");
    // The toggle's close path, unless a click on the toggle is running it already.
    if (form_.SpeedButton1->isChecked()) {
        form_.SpeedButton1->setChecked(false);
        RunGuarded([this] { form_.SpeedButton1Click(); });
    }
}

void PortReconnect::TryAgain()
{
    if (!schedule_.Retrying())
        return;
    const int attempt = schedule_.Attempt();
    const bool resume = resumePoll_;
    std::string failure;
    try {
        form_.ReopenPort();
    } catch (const std::exception& e) {
        failure = OpenFailureText(e);
    } catch (...) {
        failure = "unknown error";
    }
    if (!failure.empty()) {
        // Said in the status bar, never in a box: nobody asked for this attempt.
        const int wait = schedule_.Failed();
        form_.Hub.SetNote(kNoteSource, std::string(kLostNote) + " (attempt " + std::to_string(attempt) + ": " +
                                           failure + "; next in " + std::to_string(wait / 1000) + " s)");
        Schedule(wait);
        return;
    }
    schedule_.Succeeded(CurrentClock().NowMs());
    DropTimer();
    form_.Hub.PortReconnected(port_, attempt);
    form_.Hub.SetNote(kNoteSource, "Reconnected after " + AttemptsText(attempt));
    if (resume)
        form_.CheckBox1->setChecked(true);  // the poll box's rule starts the poll
}
