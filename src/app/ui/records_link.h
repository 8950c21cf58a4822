#pragma once
#include "platform/ini_file.h"
#include "records/file_worker.h"
#include "records/pass_log.h"
#include "records/scan_archive.h"

#include <QObject>

class QAction;
class TForm1;
class TForm3;

// The records in the running program: the pass log and the scan archive in
// the working directory (logs/, scans/) on one file worker, and their
// entries in the Station menu. Made after the windows, gone before them.
class RecordsLink final : public QObject {
public:
    RecordsLink(TForm1& form1, TForm3& form3, TCustomIniFile& settings);
    ~RecordsLink() override;

    PassLog& Passes() { return passes_; }
    ScanArchive& Scans() { return scans_; }
    // Station menu: "Pass log" (ticked while rows are written).
    QAction* PassLogAction = nullptr;

private:
    // On the worker's thread: the window's thread passes the writers' news on.
    void Wake();
    void PassLogToggled(bool on);

    TForm1& form1_;
    TForm3& form3_;
    TCustomIniFile& settings_;
    FileWorker worker_;
    PassLog passes_;
    ScanArchive scans_;
};
