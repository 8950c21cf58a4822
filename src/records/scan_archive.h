#pragma once
#include "records/daily_file.h"
#include "records/file_worker.h"
#include "records/write_health.h"
#include "scanner/scan_controller.h"
#include "station/station_hub.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A plotted point of a scan: the frequency tuned and the RSL reply's level
// text, as the scan recorded it.
struct ScanPoint {
    double mhz = 0.0;
    std::string levelText;
};

// "frequency_mhz,level_dbm" and a row per point in X order (equal X in the
// order recorded), the frequency with six decimals, the level as sent.
std::string ScanCsv(std::vector<ScanPoint> points);

// The points the plot shows, with their level texts where the recorded
// points are those of the plot; otherwise the plotted numbers.
std::vector<ScanPoint> PointsShown(const TChartSeries& series, const std::vector<ScanPoint>& recorded);

// "scan-20261211-094107Z.csv" for a scan started at 2026-12-11T09:41:07Z.
std::string ScanArchiveName(std::int64_t startUtcMs);

// Removes the archive's files (ScanArchiveName, with or without a "-N"
// suffix) whose UTC day lies more than keepDays days before nowUtcMs's day;
// other files are left alone. Returns how many went.
int RemoveOldScans(const std::filesystem::path& dir, std::int64_t nowUtcMs, int keepDays);

// Writes text as a new file dir/name, never replacing one: when the name is
// taken, "-2", "-3", ... go before the extension. The text goes to a
// temporary file first and is renamed into place whole, so a crash leaves
// no half file under the real name. False, with the reason, when it could not.
bool WriteNewFile(const std::filesystem::path& dir, const std::string& name, const std::string& text,
                  std::filesystem::path& written, std::string& error);

// Writes text as the whole of the file at path, replacing it (an export the
// operator asked for). False, with the reason, when it could not.
bool WriteWholeFile(const std::filesystem::path& path, const std::string& text, std::string& error);

// Saves every scan that reaches the band's end as scans/scan-<UTC start>.csv
// on the file worker; a stopped scan is not saved. Keeps the points of the
// scan on the plot for the plot's "Save as CSV...". A file that cannot be
// written is said once (note "scanarchive" and a log-error event).
class ScanArchive final : public ScanListener {
public:
    // wake: as for PassLog; it must get TellHealth called on the window's thread.
    // keepDays: archived scans older than that are removed at start (the
    // pass log's KeepDays; negative keeps them all).
    ScanArchive(StationHub& hub, FileWorker& worker, std::filesystem::path dir, std::function<void()> wake = {},
                int keepDays = -1);
    ~ScanArchive() override;  // waits for its files to be written
    ScanArchive(const ScanArchive&) = delete;
    ScanArchive& operator=(const ScanArchive&) = delete;

    // The points of the scan on the plot now (the last one started).
    const std::vector<ScanPoint>& Points() const { return points_; }

    void TellHealth();
    // Waits until the files queued so far are written, then TellHealth.
    void Flush();

    void ScanStarted() override;
    void PointRecorded(double mhz, const std::string& levelText) override;
    void ScanFinished(const TChartSeries& points) override;

private:
    StationHub& hub_;
    FileWorker& worker_;
    const std::filesystem::path dir_;
    std::int64_t startUtcMs_ = 0;
    std::vector<ScanPoint> points_;
    WriteHealth health_;
};
