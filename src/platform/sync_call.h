#pragma once
#include <functional>

// The synchronised call: a worker thread hands a call to the user-interface
// thread and waits until it has run there. One queue, guarded by one lock,
// holds the calls; the worker wakes the user-interface thread through the
// installed wake-up function (the program posts an empty Qt event whose
// handler calls RunPendingSyncCalls; Qt's modal loops deliver posted events,
// so hand-overs also run inside message boxes and dialogs).

// The thread that counts as the user-interface thread: by default the one
// that started the process. SetSyncMainThread makes the calling thread it.
void SetSyncMainThread();
bool IsSyncMainThread();

// Installs the wake-up function, called on the worker thread after each
// enqueue (outside the lock). An empty function removes it.
void SetSyncWakeUp(std::function<void()> wakeUp);

// Worker side: runs call on the user-interface thread and blocks until it has
// run. An exception raised by the call is caught there and rethrown here.
// Called on the user-interface thread itself, the call runs at once.
void Synchronize(const std::function<void()>& call);

// Worker side: queues call for the user-interface thread and returns at once.
// The call must handle its own errors (one that escapes is shown in the
// standard error box).
void QueueSyncCall(std::function<void()> call);

// User-interface side: runs the calls queued so far, in order, and those
// queued while they run. Returns true when it ran any.
bool RunPendingSyncCalls();

// User-interface side: runs queued calls as they arrive until done() holds.
// done is evaluated under the queue's lock, so a worker makes it true and then
// calls NotifySyncWaiters (used by Close to wait for the event thread while
// still running the hand-overs it queued).
void RunSyncCallsUntil(const std::function<bool()>& done);
// Worker side: wakes a user-interface thread waiting in RunSyncCallsUntil.
void NotifySyncWaiters();

// For tests without an event loop, acting as the user-interface thread:
// waits up to timeoutMs for calls to arrive and runs them; true when any ran.
bool WaitForSyncCalls(int timeoutMs);
// Runs calls as they arrive during the whole period of ms milliseconds.
void RunSyncCallsFor(int ms);
