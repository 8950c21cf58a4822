#pragma once
#include <memory>

class EventLog;
class PortReconnect;
class ProgramEvents;
class ScanController;
class TCustomIniFile;
class TForm1;

// What a station that runs on its own needs, wired to the windows: the
// station log (logs/events-YYYY-MM-DD.log in the working directory, old days
// removed as [PassLog] KeepDays says), the program's start, end and errors in
// it, and the reconnection of a lost line with the setup dialog ending it
// when the port's settings change. Made after the windows, gone before them.
class Unattended {
public:
    Unattended(TForm1& form, ScanController& scanner, TCustomIniFile& settings, ProgramEvents& programEvents);
    ~Unattended();
    Unattended(const Unattended&) = delete;
    Unattended& operator=(const Unattended&) = delete;

    PortReconnect& Reconnect() { return *reconnect_; }

private:
    ProgramEvents& programEvents_;
    std::unique_ptr<EventLog> log_;
    std::unique_ptr<PortReconnect> reconnect_;
};
