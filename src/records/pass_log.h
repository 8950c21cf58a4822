#pragma once
#include "platform/ini_file.h"
#include "records/daily_file.h"
#include "records/file_worker.h"
#include "records/write_health.h"
#include "station/station_hub.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// The pass log's settings:
//   [PassLog]
//   Enabled=0     ; default 1: every poll reply is logged
//   KeepDays=<n>  ; default 31: older files are removed at start
// Read with these defaults; only the operator's own change writes a key.
struct PassLogSettings {
    bool enabled = true;
    int keepDays = 31;
    // Set when a value could not be used (the default stands instead).
    std::string problem;
};

inline constexpr std::string_view kPassLogSection = "PassLog";

PassLogSettings ReadPassLogSettings(TCustomIniFile& settings);
// The operator switched the log on or off.
void WritePassLogEnabled(TCustomIniFile& settings, bool enabled);

// The first line of every pass log file.
inline constexpr std::string_view kPassLogHeader =
    "time_utc,channel,frequency_mhz,level_dbm,raw_ber,corrected_ber,read_error,ebno_db,buffer_fill,frame_ber,"
    "offset_hz,lock\n";

// The row of the status the hub holds after a BCAS reply, with its line end.
// Texts as the modem sent them; the frequency of the last DF request in the
// general number format (empty before any, or when it was no number).
std::string PassLogRow(const StationStatus& status);

// Appends one row to logs/pass-YYYY-MM-DD.csv for every BCAS reply that
// arrives while the status poll runs (a reply to a request typed by hand
// while the poll is off is no part of a pass). The rows are written on the
// file worker: the receive handler only formats and queues them. A file
// that cannot be written is said once (note "passlog" and a log-error event)
// and the poll goes on; the rows of that time are lost.
class PassLog final : public StationListener {
public:
    struct Options {
        std::filesystem::path dir;  // the folder of the daily files
        PassLogSettings settings;
        // Called on the worker's thread when there is news of the writes;
        // it must get TellHealth called on the window's thread.
        std::function<void()> wake;
    };

    PassLog(StationHub& hub, FileWorker& worker, Options options);
    ~PassLog() override;  // waits for its rows to be written
    PassLog(const PassLog&) = delete;
    PassLog& operator=(const PassLog&) = delete;

    // The operator's switch; turning it on the first time also removes the old files.
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    // How many days of files are kept; the scan archive keeps as many.
    int KeepDays() const { return keepDays_; }

    // Passes on to the hub how the writes went (window thread).
    void TellHealth();
    // Waits until the rows queued so far are written, then TellHealth.
    void Flush();

    std::filesystem::path FileFor(std::int64_t utcMs) const { return daily_.PathFor(UtcDateOf(utcMs)); }

    void StatusReplied(const StationStatus& status) override;

private:
    void Start();

    StationHub& hub_;
    FileWorker& worker_;
    const int keepDays_;
    bool enabled_;
    bool started_ = false;
    DailyFile daily_;  // touched on the worker's thread only
    WriteHealth health_;
};
