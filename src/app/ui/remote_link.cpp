#include "app/ui/remote_link.h"

#include "app/ui/form1.h"
#include "app/ui/service_switch.h"
#include "platform/ini_file.h"
#include "scanner/scan_controller.h"

#include <QAction>

RemoteLink::RemoteLink(TForm1& form, ScanController& scanner, TCustomIniFile& settings)
    : form_(form), scanner_(scanner)
{
    const ListenSettings listen = ReadListenSettings(settings, kSection, kDefaultPort);
    action_ = AddServiceSwitch(form_, QStringLiteral("Remote control (rigctld)"), QStringLiteral("RemoteControl1"),
                               listen.enabled, settings, kSection, kDefaultPort,
                               [this](const ListenSettings& s) { Apply(s); });
    Apply(listen);
}

RemoteLink::~RemoteLink()
{
    delete action_.data();  // its handler calls into this object
    // The server tells this object of the clients it closes: it goes first.
    server_.reset();
    form_.Hub.SetIndicator(Indicator::Remote, {});
    form_.Hub.SetNote(kNoteSource, {});
}

void RemoteLink::Apply(ListenSettings listen)
{
    StationHub& hub = form_.Hub;
    if (server_ && (!listen.enabled || listen.address != listen_.address || listen.port != listen_.port)) {
        server_.reset();  // its clients are closed and recorded
        hub.SetIndicator(Indicator::Remote, {});
    }
    listen_ = std::move(listen);
    std::string note;
    if (!listen_.enabled) {
        if (!listen_.problem.empty())
            note = "Remote control off: " + listen_.problem;
    } else if (!server_) {
        RigctlServerObserver& observer = *this;
        auto server = std::make_unique<RigctlServer>(*this, observer);
        std::string error;
        if (server->Listen(listen_.address, listen_.port, error)) {
            server_ = std::move(server);
            ShowIndicator(0);
        } else {
            note = "Remote control off: " + Where() + ": " + error;
            hub.Record(EventKind::Error, note);
        }
    }
    if (server_ && !listen_.problem.empty())
        note = "Remote control: " + listen_.problem + " (" + std::to_string(listen_.port) + " used)";
    hub.SetNote(kNoteSource, note);
}

std::string RemoteLink::Where() const { return ListenEndpoint(listen_); }

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
