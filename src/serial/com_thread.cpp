#include "serial/com_thread.h"

#include "platform/sync_call.h"
#include "serial/comport.h"

#include <array>
#include <exception>
#include <utility>

namespace {

constexpr std::array<std::pair<TComEvent, std::uint32_t>, 10> kEventBits = {{
    {evRxChar, serialos::kEvRxChar},
    {evTxEmpty, serialos::kEvTxEmpty},
    {evRxFlag, serialos::kEvRxFlag},
    {evRing, serialos::kEvRing},
    {evBreak, serialos::kEvBreak},
    {evCTS, serialos::kEvCts},
    {evDSR, serialos::kEvDsr},
    {evError, serialos::kEvErr},
    {evRLSD, serialos::kEvRlsd},
    {evRx80Full, serialos::kEvRx80Full},
}};

} // namespace

std::uint32_t TComThread::EventsToMask(TComEvents events)
{
    std::uint32_t mask = 0;
    for (auto [event, bit] : kEventBits)
        if (events.Contains(event))
            mask |= bit;
    return mask;
}

TComEvents TComThread::MaskToEvents(std::uint32_t mask)
{
    TComEvents events;
    for (auto [event, bit] : kEventBits)
        if (mask & bit)
            events.Include(event);
    return events;
}

TComThread::TComThread(TCustomComPort& port)
    : port_(port), stop_(port.Device().CreateStopSignal()), syncMethod_(port.SyncMethod()), session_(port.session_)
{
    // EventThreadPriority has no mapping here: the event thread only sleeps in
    // the device wait, so it runs at the process's normal priority.
    port.Device().SetCommMask(EventsToMask(port.Events()));
    thread_ = std::thread([this] { Execute(); });
}

TComThread::~TComThread()
{
    Stop();
    WaitFor();
}

void TComThread::Stop()
{
    stop_->Raise();
    std::this_thread::yield();
}

bool TComThread::CalledFromDispatch() const { return dispatchingOn_.load() == std::this_thread::get_id(); }

void TComThread::Abandon()
{
    abandoned_.store(true);
    Stop();
}

void TComThread::WaitFor()
{
    if (!thread_.joinable())
        return;
    if (IsSyncMainThread())
        RunSyncCallsUntil([this] { return finished_.load(); });
    thread_.join();
}

void TComThread::Execute()
{
    SerialDevice& device = port_.Device();
    bool lost = false;
    try {
        for (;;) {
            std::uint32_t mask = 0;
            WaitOutcome outcome = device.WaitCommEvent(*stop_, mask);
            if (outcome == WaitOutcome::OutcomeFailed)
                continue; // that wake-up is skipped
            if (outcome == WaitOutcome::WaitFailed) {
                lost = true; // the device went away: waiting again would spin
                break;
            }
            if (outcome != WaitOutcome::Events)
                break; // stopped
            events_ = MaskToEvents(mask);
            DispatchComMsg();
            if (abandoned_.load())
                break;
        }
        if (abandoned_.load()) {
            // The port was closed from inside the dispatch; the device may
            // already belong to the next session.
            finished_.store(true);
            NotifySyncWaiters();
            return;
        }
        device.SetCommMask(0);
        device.PurgeComm(serialos::kPurgeTxClear | serialos::kPurgeRxClear);
        if (lost) {
            port_.lineLost_.store(true);
            // The user-interface side learns of it once; other sync methods
            // have no user-interface thread to tell.
            if (syncMethod_ == smThreadSync)
                port_.PostLineLost(session_);
        }
    } catch (const std::exception& e) {
        // A hand-over raised: delivery ends here, and the user-interface side
        // learns why once instead of the error being swallowed.
        port_.PostEventError(e.what());
    } catch (...) {
        port_.PostEventError("Unknown error in the port's event handling");
    }
    finished_.store(true);
    NotifySyncWaiters();
}

namespace {

// Marks the thread that runs a dispatch for as long as it runs.
class DispatchMark {
public:
    explicit DispatchMark(std::atomic<std::thread::id>& mark) : mark_(mark)
    {
        mark_.store(std::this_thread::get_id());
    }
    ~DispatchMark() { mark_.store(std::thread::id()); }
    DispatchMark(const DispatchMark&) = delete;
    DispatchMark& operator=(const DispatchMark&) = delete;

private:
    std::atomic<std::thread::id>& mark_;
};

} // namespace

void TComThread::DispatchComMsg()
{
    switch (syncMethod_) {
    case smThreadSync:
        Synchronize([this] {
            DispatchMark mark(dispatchingOn_);
            DoEvents();
        });
        break;
    case smWindowSync:
        SendEvents();
        break;
    case smNone: {
        DispatchMark mark(dispatchingOn_);
        DoEvents();
        break;
    }
    }
}

void TComThread::DoEvents()
{
    TComEvents e = events_;
    if (e.Contains(evError)) port_.CallError();
    if (e.Contains(evRxChar)) port_.CallRxChar();
    if (e.Contains(evTxEmpty)) port_.CallTxEmpty();
    if (e.Contains(evBreak)) port_.CallBreak();
    if (e.Contains(evRing)) port_.CallRing();
    if (e.Contains(evCTS)) port_.CallCTSChange();
    if (e.Contains(evDSR)) port_.CallDSRChange();
    if (e.Contains(evRxFlag)) port_.CallRxFlag();
    if (e.Contains(evRLSD)) port_.CallRLSDChange();
    if (e.Contains(evRx80Full)) port_.CallRx80Full();
}

void TComThread::SendEvents() { port_.PostEvents(events_); }
