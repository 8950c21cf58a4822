#pragma once
#include "protocol/program_state.h"
#include "protocol/request_port.h"
#include "widgets/line_series.h"

#include <string>
#include <vector>

// Status label colours of the scanner window.
inline constexpr TColor ScanBusyColor = 0x000000FF;  // red, RGB 255,0,0
inline constexpr TColor ScanFreeColor = 0x00008000;  // green, RGB 0,128,0

inline constexpr double ScanStartMHz = 136.0;
inline constexpr double ScanEndMHz = 155.0;  // the scan ends after tuning past this
inline constexpr double ScanStepMHz = 0.2;
inline constexpr double ScanFineStepMHz = 0.1;

// What the scan controller drives on the scanner window.
class ScanView {
public:
    virtual ~ScanView() = default;
    virtual void SetStatus(const std::string& text, TColor background) = 0;  // Label2
    virtual void SetFrequencyText(const std::string& text) = 0;              // Label3
    virtual void SetStartEnabled(bool enabled) = 0;                          // Button1
    virtual void StartTimer() = 0;                                           // Timer1
    virtual void StopTimer() = 0;
    virtual bool TimerRunning() const = 0;
    virtual bool SlowScan() const = 0;   // CheckBox1 "Slow scann"
    virtual bool FineStep() const = 0;   // CheckBox2 "0.1 MHz step"
    virtual TChartSeries& Series() = 0;  // Series1 of Chart1
    virtual void RepaintChart() = 0;     // immediate, not deferred
};

// Told when a scan begins and ends (logs, the scan archive). A scan ends
// finished when it tunes past the band's end, stopped when the operator stops
// it or a write fails.
class ScanListener {
public:
    virtual ~ScanListener() = default;
    virtual void ScanStarted() {}
    // A point went onto the plot: its frequency and the level text it was read from.
    virtual void PointRecorded(double /*mhz*/, const std::string& /*levelText*/) {}
    virtual void ScanFinished(const TChartSeries& /*points*/) {}
    virtual void ScanStopped() {}
};

// Steps the receive frequency across 136..155 MHz in a handshake with the
// reply parser, which it sees only through ScanLevelRequested (cleared by DF
// replies), ScanLevelPending (cleared by RSL replies) and ScanLevelText.
// Requests go straight to the port as ScanCommand + CR; LastCommand belongs
// to the main window and is never touched here.
//
// Two failures end in a report instead of repeating at every tick:
// - a level text that is not a number: one error box per scan, and the level
//   is asked for again at the same frequency;
// - a write that fails: the scan stops ("Free", Button1 enabled) and the
//   error is shown once.
// Start and Tick never raise.
class ScanController {
public:
    ScanController(ProgramState& state, RequestPort& port, ScanView& view);

    void Start();              // Button1Click
    void TuneScanFrequency();  // DF for ScanFrequency, label, settle, end test; raises on a failed write
    void Tick();               // Timer1Timer
    void Stop();               // Label2Click
    void Close();              // FormClose: stops the tick only

    // Listeners are told in the order added; each must outlive the controller
    // or be removed first.
    void AddListener(ScanListener& listener);
    void RemoveListener(ScanListener& listener);
    bool Scanning() const { return scanning_; }

    double ScanFrequency = 0.0;  // MHz, accumulated by repeated addition
    std::string ScanCommand;     // last request composed, without its CR

private:
    void Send(std::string command);
    void RecordLevel();
    void FailScan(const std::string& message);

    ProgramState& state_;
    RequestPort& port_;
    ScanView& view_;
    bool levelErrorShown_ = false;  // this scan has already reported a bad level
    bool scanning_ = false;         // between Start and the scan's end
    std::vector<ScanListener*> listeners_;
};
