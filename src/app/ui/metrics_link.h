#pragma once
#include "metrics/net/metrics_server.h"
#include "platform/ini_file.h"
#include "station/listen_settings.h"

#include <QPointer>

#include <cstdint>

class QAction;
class TForm1;

// The metrics endpoint of the main window's station: started at start when
// the settings file's [Metrics] section says Enabled=1, switched by the
// operator with "Station > Serve metrics to Prometheus" (which writes
// Enabled, and nothing else). Its state shows in the Metrics panel of the
// status bar; a port it cannot have is a note there, never a box.
class MetricsLink {
public:
    static constexpr std::uint16_t kDefaultPort = 9775;

    MetricsLink(TForm1& form, TCustomIniFile& settings, MetricsServer::Limits limits = MetricsServer::Limits());
    ~MetricsLink();
    MetricsLink(const MetricsLink&) = delete;
    MetricsLink& operator=(const MetricsLink&) = delete;

    MetricsServer& Server() { return server_; }
    QAction* ServeAction() const { return action_; }

private:
    void Apply(const ListenSettings& s);

    TForm1& form_;
    TCustomIniFile& settings_;
    MetricsServer server_;
    QPointer<QAction> action_;
};
