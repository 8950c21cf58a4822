#pragma once
#include "station/station_hub.h"

#include <string>

// What network control may see and do of the program. The main window
// implements it with the operator's own sequences, so that pacing, displays
// and echo are the same whoever asked. Everything runs on the user-interface
// thread.
class RemoteStation {
public:
    virtual ~RemoteStation() = default;

    virtual const StationStatus& Status() const = 0;
    virtual bool PortOpen() const = 0;
    // A scan owns the tuner while it runs.
    virtual bool Scanning() const = 0;

    // The sequences, called only with the port open and no scan running. A
    // failed write or a conversion error raises; nothing is shown for it.
    // Tune: "<1/REM_", 200 ms, "<1/DF_" + mhz in F9.6, Label9 showing mhz;
    // the poll is left as it is.
    virtual void Tune(double mhz) = 0;
    // Satellite channel 0..14, as if the operator had picked that item.
    // client names who asked ("127.0.0.1:50112").
    virtual void ChooseChannel(int index, const std::string& client) = 0;
    // Recall button n, 1..5.
    virtual void Recall(int n, const std::string& client) = 0;
};
