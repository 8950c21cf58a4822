#pragma once
#include "platform/serial_device.h"
#include "serial/com_types.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

class TCustomComPort;

// The event thread of an open port: waits for line events on the device and
// dispatches each batch by the port's SyncMethod. It exists only while the
// port is open with a non-empty Events.
class TComThread {
public:
    // Sets the device's event mask from the port's Events, then starts; the
    // thread sets its own priority from the port's EventThreadPriority.
    // Raises error 1 with the system's code when the mask is refused.
    explicit TComThread(TCustomComPort& port);
    // Stop, then wait until the thread has ended (running queued hand-overs
    // meanwhile when called on the user-interface thread).
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Raises the stop signal and yields the processor once.
    void Stop();
    // Waits until the thread has ended, running queued hand-overs meanwhile.
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    // True when the calling thread is inside this thread's current dispatch
    // (a handler closing its own port): waiting for the thread would then
    // wait for the caller itself.
    bool CalledFromDispatch() const;
    // For that case: stop, and once the dispatch returns, end without touching
    // the device again, so that it can be closed (and reopened) meanwhile.
    void Abandon();

    // The events found by the last completed wait.
    TComEvents Events() const { return events_; }

    // The line-event mask for a set of events and back.
    static std::uint32_t EventsToMask(TComEvents events);
    static TComEvents MaskToEvents(std::uint32_t mask);

    // The order in which a batch of events is handled, and the operation
    // of the port each one runs.
    static const std::array<std::pair<TComEvent, void (TCustomComPort::*)()>, 10> kDispatchOrder;

private:
    void Execute();
    void DispatchComMsg();
    void DoEvents();
    void SendEvents();

    TCustomComPort& port_;
    std::unique_ptr<StopSignal> stop_;
    TComEvents events_;
    TSyncMethod syncMethod_;
    TThreadPriority priority_;
    std::uint64_t session_; // the port's open count when this thread started
    std::atomic<bool> finished_{false};
    std::atomic<bool> abandoned_{false};
    std::atomic<std::thread::id> dispatchingOn_{}; // set while a dispatch runs
    std::thread thread_;
};
