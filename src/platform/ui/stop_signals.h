#pragma once
#include <functional>
#include <memory>

// The system asks the program to end (on POSIX: SIGTERM from a service
// manager or a shutdown, SIGINT, SIGHUP when the session goes): onStop runs
// on the user-interface thread from the event loop, never inside a signal
// handler. A second signal while the first is handled ends the process the
// system's way, so a stuck shutdown can still be stopped. On Windows the
// toolkit delivers the session's end as a window close; nothing to do here.
class StopSignals {
public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
