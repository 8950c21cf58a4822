#include "app/ui/remote_link.h"

#include "app/ui/form1.h"
#include "platform/ini_file.h"
#include "scanner/scan_controller.h"

RemoteLink::RemoteLink(TForm1& form, ScanController& scanner, TCustomIniFile& settings)
    : form_(form), scanner_(scanner), settings_(ReadListenSettings(settings, kSection, kDefaultPort))
{
    StationHub& hub = form_.Hub;
    if (!settings_.enabled) {
        if (!settings_.problem.empty())
            hub.SetNote(kNoteSource, "Remote control off: " + settings_.problem);
        return;
    }
    RigctlServerObserver& observer = *this;
    auto server = std::make_unique<RigctlServer>(*this, observer);
    std::string error;
    if (!server->Listen(settings_.address, settings_.port, error)) {
        const std::string note = "Remote control off: " + Where() + ": " + error;
        hub.SetNote(kNoteSource, note);
        hub.Record(EventKind::Error, note);
        return;
    }
    server_ = std::move(server);
    if (!settings_.problem.empty())
        hub.SetNote(kNoteSource, "Remote control: " + settings_.problem + " (" + std::to_string(settings_.port) + " used)");
    ShowIndicator(0);
}

RemoteLink::~RemoteLink()
{
    // The server tells this object of the clients it closes: it goes first.
    server_.reset();
    form_.Hub.SetIndicator(Indicator::Remote, {});
}

std::string RemoteLink::Where() const
{
    const bool v6 = settings_.address.find(':') != std::string::npos;
    return (v6 ? "[" + settings_.address + "]" : settings_.address) + ":" + std::to_string(settings_.port);
}

const StationStatus& RemoteLink::Status() const { return form_.Hub.Status(); }
bool RemoteLink::PortOpen() const { return form_.ComPort.Connected(); }
bool RemoteLink::Scanning() const { return scanner_.Scanning(); }
void RemoteLink::Tune(double mhz) { form_.RemoteTune(mhz); }
void RemoteLink::ChooseChannel(int index, const std::string& client) { form_.RemoteChooseChannel(index, client); }
void RemoteLink::Recall(int n, const std::string& client) { form_.RemoteRecall(n, client); }

void RemoteLink::ClientConnected(const std::string& client) { form_.Hub.Record(EventKind::RemoteConnected, client); }

void RemoteLink::ClientDisconnected(const std::string& client, const std::string& reason)
{
    form_.Hub.Record(EventKind::RemoteDisconnected, reason.empty() ? client : client + " (" + reason + ")");
}

void RemoteLink::ClientRefused(const std::string& client)
{
    form_.Hub.Record(EventKind::RemoteDisconnected,
                     client + " (refused: " + std::to_string(RigctlServer::kMaxClients) + " clients connected)");
}

void RemoteLink::ClientsChanged(int connected) { ShowIndicator(connected); }

void RemoteLink::ShowIndicator(int clients)
{
    form_.Hub.SetIndicator(Indicator::Remote,
                           {"RC " + std::to_string(clients),
                            "Remote control (rigctld) listening on " + Where() + ", " + std::to_string(clients) +
                                (clients == 1 ? " client" : " clients") + " connected"});
}
