#pragma once
#include "widgets/line_series.h"
#include "scanner/scan_controller.h"

#include <string>
#include <vector>

// The scanner window as the controller sees it, with the window's initial texts.
class FakeScanView final : public ScanView {
public:
    void SetStatus(const std::string& text, TColor background) override
    {
        status = text;
        statusColor = background;
    }
    void SetFrequencyText(const std::string& text) override { frequency = text; }
    void SetStartEnabled(bool enabled) override { startEnabled = enabled; }
    void StartTimer() override { timer = true; }
    void StopTimer() override { timer = false; }
    bool TimerRunning() const override { return timer; }
    bool SlowScan() const override { return slow; }
    bool FineStep() const override { return fine; }
    TChartSeries& Series() override { return series; }
    void RepaintChart() override { countAtRepaint.push_back(series.Count()); }

    std::string status = "Status";
    TColor statusColor = 0xFFFFFFFF;  // none set yet
    std::string frequency = "Frequency";
    bool startEnabled = true;
    bool timer = false;
    bool slow = false;
    bool fine = false;
    TLineSeries series;
    std::vector<int> countAtRepaint;  // points in the series at each immediate repaint
};
