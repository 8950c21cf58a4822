#include "app/ui/records_link.h"

#include "app/ui/form1.h"
#include "platform/ui/guard.h"
#include "platform/workdir.h"
#include "scanner/ui/form3.h"

#include <QAction>
#include <QMenu>
#include <QMetaObject>

#include <filesystem>

namespace {

std::filesystem::path Beside(const char* folder)
{
    // Absolute: the folders stay beside the settings file whatever happens
    // to the working directory later.
    return std::filesystem::path(GetWorkingDirectory()) / folder;
}

} // namespace

RecordsLink::RecordsLink(TForm1& form1, TForm3& form3, TCustomIniFile& settings)
    : form1_(form1),
      form3_(form3),
      settings_(settings),
      passes_(form1.Hub, worker_, {Beside("logs"), ReadPassLogSettings(settings), [this] { Wake(); }}),
      scans_(form1.Hub, worker_, Beside("scans"), [this] { Wake(); })
{
    setObjectName(QStringLiteral("Records"));
    form3_.Controller().AddListener(scans_);

    QMenu* menu = form1_.StationMenu();
    PassLogAction = menu->addAction(QStringLiteral("Pass log"));
    PassLogAction->setObjectName(QStringLiteral("PassLog1"));
    PassLogAction->setCheckable(true);
    PassLogAction->setChecked(passes_.Enabled());
    PassLogAction->setToolTip(QStringLiteral("Write a row to logs/pass-<UTC date>.csv for every poll reply"));
    // triggered: the operator's own change only, so the key is written then and never at start.
    connect(PassLogAction, &QAction::triggered, this, [this](bool on) { RunGuarded([this, on] { PassLogToggled(on); }); });
}

RecordsLink::~RecordsLink() { form3_.Controller().RemoveListener(scans_); }

void RecordsLink::Wake()
{
    // The link outlives every job (the writers wait for theirs), so the
    // queued call finds it; pending calls go with it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            passes_.TellHealth();
            scans_.TellHealth();
        },
        Qt::QueuedConnection);
}

void RecordsLink::PassLogToggled(bool on)
{
    passes_.SetEnabled(on);
    WritePassLogEnabled(settings_, on);
}
