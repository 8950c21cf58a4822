#include "app/ui/records_link.h"

#include "app/ui/form1.h"
#include "platform/ui/form_layout.h"
#include "platform/ui/guard.h"
#include "platform/workdir.h"
#include "records/ui/pass_plot.h"
#include "scanner/ui/form3.h"
#include "widgets/ui/chart.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMetaObject>
#include <QPixmap>

#include <filesystem>
#include <stdexcept>

namespace {

std::filesystem::path Beside(const char* folder)
{
    // Absolute: the folders stay beside the settings file whatever happens
    // to the working directory later.
    return std::filesystem::path(GetWorkingDirectory()) / folder;
}

QString ToQ(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

} // namespace

RecordsLink::RecordsLink(TForm1& form1, TForm3& form3, TCustomIniFile& settings)
    : form1_(form1),
      form3_(form3),
      settings_(settings),
      passes_(form1.Hub, worker_, {Beside("logs"), ReadPassLogSettings(settings), [this] { Wake(); }}),
      scans_(form1.Hub, worker_, Beside("scans"), [this] { Wake(); }, passes_.KeepDays())
{
    setObjectName(QStringLiteral("Records"));
    form3_.Controller().AddListener(scans_);

    QMenu* menu = form1_.StationMenu();
    PassPlotAction = menu->addAction(QStringLiteral("Pass plot..."));
    PassPlotAction->setObjectName(QStringLiteral("PassPlot1"));
    connect(PassPlotAction, &QAction::triggered, this, Guard([this] { ShowPassPlot(); }));
    PassLogAction = menu->addAction(QStringLiteral("Pass log"));
    PassLogAction->setObjectName(QStringLiteral("PassLog1"));
    PassLogAction->setCheckable(true);
    PassLogAction->setChecked(passes_.Enabled());
    PassLogAction->setToolTip(QStringLiteral("Write a row to logs/pass-<UTC date>.csv for every poll reply"));
    // triggered: the operator's own change only, so the key is written then and never at start.
    connect(PassLogAction, &QAction::triggered, this, [this](bool on) { RunGuarded([this, on] { PassLogToggled(on); }); });

    TChart* chart = form3_.Chart1();
    SaveCsvAction = new QAction(QStringLiteral("Save as CSV..."), chart);
    SaveCsvAction->setObjectName(QStringLiteral("SaveScanCsv"));
    SavePngAction = new QAction(QStringLiteral("Save as PNG..."), chart);
    SavePngAction->setObjectName(QStringLiteral("SaveScanPng"));
    chart->addAction(SaveCsvAction);
    chart->addAction(SavePngAction);
    connect(SaveCsvAction, &QAction::triggered, this, Guard([this] { SaveCsvClicked(); }));
    connect(SavePngAction, &QAction::triggered, this, Guard([this] { SavePngClicked(); }));
}

RecordsLink::~RecordsLink()
{
    form3_.Controller().RemoveListener(scans_);
    plot_.reset();
}

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

void RecordsLink::ShowPassPlot()
{
    if (!plot_) {
        plot_ = std::make_unique<TPassPlot>(form1_.Hub, worker_,
                                            [this](std::int64_t utcMs) { return passes_.FileFor(utcMs); });
        // Beside the main window where the screen has room, so that the
        // operator's controls stay in sight and in reach.
        MoveClearOf(plot_.get(), &form1_);
    }
    plot_->show();
    plot_->OpenToday();
    plot_->raise();
    plot_->activateWindow();
}

void RecordsLink::SaveScanCsv(const QString& path)
{
    const std::string csv = ScanCsv(PointsShown(form3_.Chart1()->Series1(), scans_.Points()));
    std::string error;
    if (!WriteWholeFile(std::filesystem::path(path.toStdString()), csv, error))
        throw std::runtime_error(error);
}

void RecordsLink::SaveScanPng(const QString& path)
{
    // The chart as drawn, at its size on the screen (or more, on a dense one).
    if (!form3_.Chart1()->grab().save(path, "PNG"))
        throw std::runtime_error("cannot write " + path.toStdString());
}

void RecordsLink::SaveCsvClicked()
{
    const QString name = ToQ(Beside("scans") / ScanArchiveName(form1_.Hub.Clock().NowUtcMs()));
    const QString path =
        QFileDialog::getSaveFileName(&form3_, QStringLiteral("Save the scan as CSV"), name, QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        SaveScanCsv(path);
}

void RecordsLink::SavePngClicked()
{
    QString name = ToQ(Beside("scans") / ScanArchiveName(form1_.Hub.Clock().NowUtcMs()));
    name.replace(QStringLiteral(".csv"), QStringLiteral(".png"));
    const QString path =
        QFileDialog::getSaveFileName(&form3_, QStringLiteral("Save the scan plot as PNG"), name, QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty())
        SaveScanPng(path);
}
