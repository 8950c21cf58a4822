#include "serial/com_thread.h"

#include "platform/sync_call.h"
#include "platform/thread_priority.h"
#include "serial/comport.h"
#include "serial/ecomport.h"

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

const std::array<std::pair<TComEvent, void (TCustomComPort::*)()>, 10> TComThread::kDispatchOrder = {{
    {evError, &TCustomComPort::CallError},     {evRxChar, &TCustomComPort::CallRxChar},
    {evTxEmpty, &TCustomComPort::CallTxEmpty}, {evBreak, &TCustomComPort::CallBreak},
    {evRing, &TCustomComPort::CallRing},       {evCTS, &TCustomComPort::CallCTSChange},
    {evDSR, &TCustomComPort::CallDSRChange},   {evRxFlag, &TCustomComPort::CallRxFlag},
    {evRLSD, &TCustomComPort::CallRLSDChange}, {evRx80Full, &TCustomComPort::CallRx80Full},
}};

namespace {

ThreadPriorityLevel LevelOf(TThreadPriority priority)
{
    switch (priority) {
    case tpIdle: return ThreadPriorityLevel::Idle;
    case tpLowest: return ThreadPriorityLevel::Lowest;
    case tpLower: return ThreadPriorityLevel::Lower;
    case tpNormal: return ThreadPriorityLevel::Normal;
    case tpHigher: return ThreadPriorityLevel::Higher;
    case tpHighest: return ThreadPriorityLevel::Highest;
    case tpTimeCritical: return ThreadPriorityLevel::TimeCritical;
    }
    return ThreadPriorityLevel::Normal;
}

} // namespace

TComThread::TComThread(TCustomComPort& port)
    : port_(port), stop_(port.Device().CreateStopSignal()), syncMethod_(port.SyncMethod()),
      priority_(port.EventThreadPriority()), session_(port.session_.load())
{
    // Without its mask the device would report nothing: the port would look
    // open and stay silent.
    if (int code = port.Device().SetCommMask(EventsToMask(port.Events())))
        throw EComPort(CE_OpenFailed, code);
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
    // A level the system refuses (raising it as a normal user on Linux)
    // leaves the thread at its normal priority; it mostly sleeps in the wait.
    if (priority_ != tpNormal)
        SetCurrentThreadPriority(LevelOf(priority_));
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
    const TComEvents e = events_;
    const std::uint64_t session = port_.session_.load();
    for (auto [event, call] : kDispatchOrder) {
        if (!e.Contains(event))
            continue;
        (port_.*call)();
        // A handler that closed or reopened its own port ends the batch: the
        // rest belongs to a session that is over.
        if (!port_.connected_ || port_.session_.load() != session)
            return;
    }
}

void TComThread::SendEvents() { port_.PostEvents(events_); }
