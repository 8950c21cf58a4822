#include "app/ui/metrics_link.h"

#include "app/ui/form1.h"
#include "metrics/exposition.h"
#include "platform/ui/guard.h"

#include <QAction>
#include <QMenu>

namespace {

constexpr const char* kSection = "Metrics";
constexpr const char* kNoteSource = "metrics";

std::string Endpoint(const ListenSettings& s)
{
    const bool v6 = s.address.find(':') != std::string::npos;
    return (v6 ? "[" + s.address + "]" : s.address) + ":" + std::to_string(s.port);
}

}  // namespace

MetricsLink::MetricsLink(TForm1& form, TCustomIniFile& settings, MetricsServer::Limits limits)
    : form_(form),
      settings_(settings),
      server_([&hub = form.Hub] { return MetricsText(hub.Status(), hub.Clock().NowUtcMs(), ProgramVersion()); },
              limits)
{
    const ListenSettings s = ReadListenSettings(settings_, kSection, kDefaultPort);
    action_ = form_.StationMenu()->addAction(QStringLiteral("Serve metrics to Prometheus"));
    action_->setObjectName(QStringLiteral("ServeMetrics1"));
    action_->setCheckable(true);
    action_->setChecked(s.enabled);
    QObject::connect(action_, &QAction::triggered, action_, Guard([this] { ServeToggled(); }));
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
        hub.SetIndicator(Indicator::Metrics, {"M", "Metrics served at http://" + Endpoint(s) + "/metrics"});
    } else {
        note = "Metrics: cannot listen on " + Endpoint(s) + ": " + server_.Error().toStdString();
        hub.SetIndicator(Indicator::Metrics, {"M!", note});
    }
    hub.SetNote(kNoteSource, note);
}

void MetricsLink::ServeToggled()
{
    const bool on = action_->isChecked();
    try {
        settings_.WriteValue(kSection, "Enabled", on ? "1" : "0");
    } catch (...) {
        action_->setChecked(!on);  // nothing changed; the guard shows why
        throw;
    }
    Apply(ReadListenSettings(settings_, kSection, kDefaultPort));
}
