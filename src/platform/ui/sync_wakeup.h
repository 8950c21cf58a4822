#pragma once
#include <QObject>

// Wakes the user-interface thread for the synchronised call: every enqueue
// posts an empty event to the application object, and this filter runs the
// queued calls when that event is delivered, by the main event loop or by a
// nested modal loop (message boxes, dialogs) alike.
// Create it on the user-interface thread once the application object exists;
// destroying it removes the wake-up.
class SyncWakeUp final : public QObject {
public:
    SyncWakeUp();
    ~SyncWakeUp() override;
    SyncWakeUp(const SyncWakeUp&) = delete;
    SyncWakeUp& operator=(const SyncWakeUp&) = delete;

    // Wake-up events delivered so far.
    int Deliveries() const { return deliveries_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int deliveries_ = 0;
};
