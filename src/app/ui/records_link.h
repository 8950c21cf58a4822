#pragma once
#include "platform/ini_file.h"
#include "records/file_worker.h"
#include "records/pass_log.h"
#include "records/scan_archive.h"

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class TForm1;
class TForm3;
class TPassPlot;

// The records in the running program: the pass log and the scan archive in
// the working directory (logs/, scans/) on one file worker, the pass plot
// window, their entries in the Station menu, and the scan plot's "Save as
// CSV..." and "Save as PNG..." (its context menu). Made after the windows,
// gone before them.
class RecordsLink final : public QObject {
public:
    RecordsLink(TForm1& form1, TForm3& form3, TCustomIniFile& settings);
    ~RecordsLink() override;

    PassLog& Passes() { return passes_; }
    ScanArchive& Scans() { return scans_; }
    // Made at its first opening.
    TPassPlot* PassPlot() const { return plot_.get(); }

    // Station menu: "Pass plot..." and "Pass log" (ticked while rows are written).
    QAction* PassPlotAction = nullptr;
    QAction* PassLogAction = nullptr;
    // The scan plot's context menu.
    QAction* SaveCsvAction = nullptr;
    QAction* SavePngAction = nullptr;

    // Opens the pass plot on today's log.
    void ShowPassPlot();
    // The points on the scan plot as CSV, the scan plot as drawn as PNG;
    // raise with the reason when the file cannot be written.
    void SaveScanCsv(const QString& path);
    void SaveScanPng(const QString& path);

private:
    // On the worker's thread: the window's thread passes the writers' news on.
    void Wake();
    void PassLogToggled(bool on);
    void SaveCsvClicked();
    void SavePngClicked();

    TForm1& form1_;
    TForm3& form3_;
    TCustomIniFile& settings_;
    FileWorker worker_;
    PassLog passes_;
    ScanArchive scans_;
    std::unique_ptr<TPassPlot> plot_;
};
