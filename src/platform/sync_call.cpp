#include "platform/sync_call.h"

#include "platform/messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

struct Entry {
    std::function<void()> call;
    bool waited = false; // a Synchronize caller blocks on done
    bool done = false;
    std::exception_ptr error;
    std::condition_variable doneChanged;
};

std::mutex queueLock;
std::condition_variable queueChanged; // user-interface side waits here
std::deque<std::shared_ptr<Entry>> queue;
std::function<void()> wakeUp;
// Dynamic initialisation runs on the thread that starts the process.
std::thread::id mainThread = std::this_thread::get_id();

void Enqueue(const std::shared_ptr<Entry>& entry)
{
    std::function<void()> wake;
    {
        std::lock_guard lock(queueLock);
        queue.push_back(entry);
        queueChanged.notify_all();
        wake = wakeUp;
    }
    if (wake)
        wake();
}

std::string Describe(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

} // namespace

void SetSyncMainThread()
{
    std::lock_guard lock(queueLock);
    mainThread = std::this_thread::get_id();
}

bool IsSyncMainThread()
{
    std::lock_guard lock(queueLock);
    return mainThread == std::this_thread::get_id();
}

void SetSyncWakeUp(std::function<void()> wake)
{
    std::lock_guard lock(queueLock);
    wakeUp = std::move(wake);
}

void Synchronize(const std::function<void()>& call)
{
    if (IsSyncMainThread()) {
        call();
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->call = call;
    entry->waited = true;
    Enqueue(entry);
    std::exception_ptr error;
    {
        std::unique_lock lock(queueLock);
        entry->doneChanged.wait(lock, [&] { return entry->done; });
        // Taken out so that the error object is released on this thread only.
        error = std::move(entry->error);
        entry->error = nullptr;
    }
    if (error)
        std::rethrow_exception(error);
}

void QueueSyncCall(std::function<void()> call)
{
    auto entry = std::make_shared<Entry>();
    entry->call = std::move(call);
    Enqueue(entry);
}

bool RunPendingSyncCalls()
{
    bool ran = false;
    for (;;) {
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard lock(queueLock);
            if (queue.empty())
                break;
            entry = std::move(queue.front());
            queue.pop_front();
        }
        ran = true;
        std::exception_ptr error;
        try {
            entry->call();
        } catch (...) {
            error = std::current_exception();
        }
        if (entry->waited) {
            std::lock_guard lock(queueLock);
            entry->error = std::move(error);
            entry->done = true;
            entry->doneChanged.notify_all();
        } else if (error) {
            Messages().ShowError(Describe(error));
        }
    }
    return ran;
}

void RunSyncCallsUntil(const std::function<bool()>& done)
{
    for (;;) {
        {
            std::unique_lock lock(queueLock);
            queueChanged.wait(lock, [&] { return !queue.empty() || done(); });
            if (done())
                return;
        }
        RunPendingSyncCalls();
    }
}

void NotifySyncWaiters()
{
    std::lock_guard lock(queueLock);
    queueChanged.notify_all();
}

bool WaitForSyncCalls(int timeoutMs)
{
    {
        std::unique_lock lock(queueLock);
        if (!queueChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return !queue.empty(); }))
            return false;
    }
    return RunPendingSyncCalls();
}

void RunSyncCallsFor(int ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::unique_lock lock(queueLock);
            if (!queueChanged.wait_until(lock, deadline, [] { return !queue.empty(); }))
                return;
        }
        RunPendingSyncCalls();
    }
}
