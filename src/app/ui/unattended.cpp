#include "app/ui/unattended.h"

#include "app/ui/app_texts.h"
#include "app/ui/form1.h"
#include "app/ui/reconnect.h"
#include "platform/workdir.h"
#include "records/event_log.h"
#include "records/pass_log.h"
#include "records/program_events.h"
#include "serial/ui/com_setup.h"

#include <exception>
#include <filesystem>

namespace {

// The settings the setup dialog edits, to tell whether OK changed any.
struct DialogSettings {
    explicit DialogSettings(const TCustomComPort& p)
        : port(p.Port()), baudRate(p.BaudRate()), customBaudRate(p.CustomBaudRate()), dataBits(p.DataBits()),
          stopBits(p.StopBits()), parity(p.Parity().Bits()), flowControl(p.FlowControl().FlowControl())
    {
    }
    bool operator==(const DialogSettings&) const = default;

    std::string port;
    TBaudRate baudRate;
    std::int32_t customBaudRate;
    TDataBits dataBits;
    TStopBits stopBits;
    TParityBits parity;
    TFlowControl flowControl;
};

// The station log keeps its days as long as the pass log does.
int KeepDays(TCustomIniFile& settings)
{
    try {
        return ReadPassLogSettings(settings).keepDays;
    } catch (const std::exception&) {
        return PassLogSettings().keepDays;  // an unreadable settings file is reported where the window reads it
    }
}

} // namespace

Unattended::Unattended(TForm1& form, ScanController& scanner, TCustomIniFile& settings, ProgramEvents& programEvents)
    : programEvents_(programEvents)
{
    log_ = std::make_unique<EventLog>(form.Hub, std::filesystem::path(GetWorkingDirectory()) / "logs",
                                      KeepDays(settings));
    programEvents_.Attach(form.Hub, kApplicationTitle);
    reconnect_ = std::make_unique<PortReconnect>(form, settings, &scanner);
    SetEditComPortFunction([this](TCustomComPort& port) {
        const DialogSettings before(port);
        struct Compare {
            const DialogSettings& before;
            TCustomComPort& port;
            PortReconnect& reconnect;
            // Also after a setter's error: what was applied up to it has changed.
            ~Compare()
            {
                try {
                    if (!(DialogSettings(port) == before))
                        reconnect.SettingsChanged();
                } catch (...) {
                    // Ending the retries only records and redraws; nothing to report.
                }
            }
        } compare{before, port, *reconnect_};
        EditComPort(port);
    });
}

Unattended::~Unattended()
{
    RegisterComSetupDialog();  // the plain dialog again
    reconnect_.reset();
    programEvents_.Detach();
    log_.reset();
}
