#pragma once
#include "scanner/scan_controller.h"
#include "station/station_hub.h"

#include <string>

// Puts the scanner's starts and ends into the station's events.
class ScanEventsToHub final : public ScanListener {
public:
    ScanEventsToHub(ScanController& controller, StationHub& hub) : controller_(controller), hub_(hub)
    {
        controller_.AddListener(*this);
    }
    ~ScanEventsToHub() override { controller_.RemoveListener(*this); }
    ScanEventsToHub(const ScanEventsToHub&) = delete;
    ScanEventsToHub& operator=(const ScanEventsToHub&) = delete;

    void ScanStarted() override { hub_.Record(EventKind::ScanStarted, {}); }
    void ScanFinished(const TChartSeries& points) override
    {
        hub_.Record(EventKind::ScanFinished, std::to_string(points.Count()) + " points");
    }
    void ScanStopped() override { hub_.Record(EventKind::ScanStopped, {}); }

private:
    ScanController& controller_;
    StationHub& hub_;
};
