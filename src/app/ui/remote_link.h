#pragma once
#include "remote/net/rigctl_server.h"
#include "remote/remote_station.h"
#include "station/listen_settings.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class ScanController;
class TCustomIniFile;
class TForm1;

// Network control wired into the program: reads the section [Remote] at
// start (Enabled, Address, Port; nothing listens unless Enabled=1), switched
// by the operator with "Station > Remote control (rigctld)" (which writes
// Enabled, and nothing else), serves rigctld clients with the main window's
// own sequences, and tells the station hub what happens: the Remote
// indicator (listening, clients), a note when it cannot listen, and the
// clients' comings and goings.
class RemoteLink final : public RemoteStation, private RigctlServerObserver {
public:
    static constexpr std::uint16_t kDefaultPort = 4532;  // rigctld's
    static constexpr const char* kSection = "Remote";
    static constexpr const char* kNoteSource = "remote";

    // scanner: the scanner window's controller, whose scan owns the tuner.
    RemoteLink(TForm1& form, ScanController& scanner, TCustomIniFile& settings);
    ~RemoteLink() override;
    RemoteLink(const RemoteLink&) = delete;
    RemoteLink& operator=(const RemoteLink&) = delete;

    const ListenSettings& Settings() const { return listen_; }
    // The server while it listens, else null.
    RigctlServer* Server() { return server_.get(); }
    QAction* SwitchAction() const { return action_; }

    // RemoteStation
    const StationStatus& Status() const override;
    bool PortOpen() const override;
    bool Scanning() const override;
    void Tune(double mhz) override;
    void ChooseChannel(int index, const std::string& client) override;
    void Recall(int n, const std::string& client) override;

private:
    // RigctlServerObserver
    void ClientConnected(const std::string& client) override;
    void ClientDisconnected(const std::string& client, const std::string& reason) override;
    void ClientRefused(const std::string& client) override;
    void ClientsChanged(int connected) override;

    // Listens or stops as the settings say.
    void Apply(ListenSettings listen);
    void ShowIndicator(int clients);
    std::string Where() const;

    TForm1& form_;
    ScanController& scanner_;
    ListenSettings listen_;
    std::unique_ptr<RigctlServer> server_;
    QPointer<QAction> action_;
};
