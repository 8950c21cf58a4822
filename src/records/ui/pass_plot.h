#pragma once
#include "records/file_worker.h"
#include "records/pass_plot_model.h"
#include "records/pass_track.h"
#include "station/station_hub.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class TChart;

// The pass plot: signal level, Eb/N0 and frequency offset against UTC time
// in three strips that share the time axis, with the decoder's lock shaded.
// It shows today's pass log and, while shown, each poll reply as it comes
// (the time axis follows it), or a pass log file opened from it. Files are
// read on the file worker, so a slow disk never holds up the window.
class TPassPlot : public QWidget, private StationListener {
    Q_OBJECT
public:
    // todayFile: the pass log file of a moment (the day's file).
    TPassPlot(StationHub& hub, FileWorker& worker, std::function<std::filesystem::path(std::int64_t)> todayFile,
              QWidget* parent = nullptr);
    ~TPassPlot() override;

    // Today's log from the last hour on, then live.
    void OpenToday();
    // A pass log file as a whole; today's goes on live.
    void OpenFile(const std::filesystem::path& path);

    TChart* LevelChart() const { return charts_[0]; }
    TChart* EbnoChart() const { return charts_[1]; }
    TChart* OffsetChart() const { return charts_[2]; }
    QLabel* Readout() const { return readout_; }
    QCheckBox* FollowBox() const { return follow_; }
    const PassTrack& Track() const { return track_; }
    const TimeWindow& Shown() const { return window_; }
    bool Live() const { return live_; }
    // The file read last (or being read), and whether its reading is done.
    const std::filesystem::path& ShownFile() const { return file_; }
    bool Loading() const { return loading_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StatusReplied(const StationStatus& status) override;
    void Read(const std::filesystem::path& path, bool live);
    void Loaded(std::uint64_t generation, PassLogReading reading);
    void OpenClicked();
    void FollowToggled(bool on);
    void ViewChanged(TChart* chart, bool undone);
    void Hover(std::optional<double> x);
    // The time range follows the samples on hand (while following).
    void FollowSamples();
    // Puts the samples of the range shown into the strips.
    void Refresh();
    void ShowReadout();
    double NowSeconds() const;

    StationHub& hub_;
    FileWorker& worker_;
    std::function<std::filesystem::path(std::int64_t)> todayFile_;
    PassTrack track_;
    TimeWindow window_;
    bool live_ = false;
    bool subscribed_ = false;
    bool loading_ = false;
    std::filesystem::path file_;
    std::uint64_t generation_ = 0;
    std::optional<std::int64_t> hoverMs_;
    TChart* charts_[3] = {};
    QLabel* readout_ = nullptr;
    QLabel* source_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* today_ = nullptr;
    QCheckBox* follow_ = nullptr;
};
