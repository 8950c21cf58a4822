#pragma once
#include "station/station_hub.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// How a writer of the records is doing, for the operator. Writes run on the
// file worker, the station hub lives on the window's thread: the worker says
// Failed or Succeeded after each write, and Tell (window thread) passes on
// what changed. The first failure of a run of failures becomes one note in
// the status bar and one log-error event; the next success withdraws the
// note. A failure that lasts is thus said once, not at every row.
class WriteHealth {
public:
    // source names the note ("passlog"); label starts its text ("Pass log").
    // wake, when set, is called (on the thread that saw the change) whenever
    // there is something to tell; it must get Tell called on the window's thread.
    WriteHealth(std::string source, std::string label, std::function<void()> wake = {});

    // Any thread.
    void Failed(const std::string& error);
    void Succeeded();

    // The window's thread: the changes since the last call go to the hub.
    void Tell(StationHub& hub);

private:
    void Changed(std::optional<std::string> change);

    const std::string source_;
    const std::string label_;
    const std::function<void()> wake_;
    std::mutex mutex_;
    bool failing_ = false;
    // In order: an error text for a failure, nullopt for a recovery.
    std::vector<std::optional<std::string>> changes_;
};
