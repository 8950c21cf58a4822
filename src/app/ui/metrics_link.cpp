#include "app/ui/metrics_link.h"

#include "app/ui/form1.h"
#include "app/ui/service_switch.h"
#include "metrics/exposition.h"

#include <QAction>

namespace {

constexpr const char* kSection = "Metrics";
constexpr const char* kNoteSource = "metrics";

}  // namespace

MetricsLink::MetricsLink(TForm1& form, TCustomIniFile& settings, MetricsServer::Limits limits)
    : form_(form),
      settings_(settings),
      server_([&hub = form.Hub] { return MetricsText(hub.Status(), hub.Clock().NowUtcMs(), ProgramVersion()); },
              limits)
{
    const ListenSettings s = ReadListenSettings(settings_, kSection, kDefaultPort);
    action_ = AddServiceSwitch(form_, QStringLiteral("Serve metrics to Prometheus"), QStringLiteral("ServeMetrics1"),
                               s.enabled, settings_, kSection, kDefaultPort,
                               [this](const ListenSettings& changed) { Apply(changed); });
    Apply(s);
}

MetricsLink::~MetricsLink()
{
    delete action_.data();  // its handler calls into this object
    server_.Close();
    form_.Hub.SetIndicator(Indicator::Metrics, {});
    form_.Hub.SetNote(kNoteSource, {});
}

void MetricsLink::Apply(const ListenSettings& s)
{
    StationHub& hub = form_.Hub;
    std::string note = s.problem.empty() ? std::string() : "Metrics settings: " + s.problem;
    if (!s.enabled) {
        server_.Close();
        hub.SetIndicator(Indicator::Metrics, {});
    } else if (server_.Listen(QString::fromStdString(s.address), s.port)) {
        hub.SetIndicator(Indicator::Metrics, {"M", "Metrics served at http://" + ListenEndpoint(s) + "/metrics"});
    } else {
        note = "Metrics: cannot listen on " + ListenEndpoint(s) + ": " + server_.Error().toStdString();
        hub.SetIndicator(Indicator::Metrics, {"M!", note});
    }
    hub.SetNote(kNoteSource, note);
}
