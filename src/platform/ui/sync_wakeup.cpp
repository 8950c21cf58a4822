#include "platform/ui/sync_wakeup.h"

#include "platform/sync_call.h"
#include "platform/ui/guard.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

QEvent::Type WakeUpType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

SyncWakeUp::SyncWakeUp()
{
    const QEvent::Type type = WakeUpType();
    SetSyncMainThread();
    QCoreApplication::instance()->installEventFilter(this);
    // The application object outlives every worker: the windows (and with
    // them the port and its event thread) are gone before it is.
    SetSyncWakeUp([type] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QCoreApplication::postEvent(app, new QEvent(type));
    });
}

SyncWakeUp::~SyncWakeUp()
{
    SetSyncWakeUp({});
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool SyncWakeUp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == WakeUpType() && watched == QCoreApplication::instance()) {
        ++deliveries_;
        // A queued call handles its own errors; nothing may escape into Qt.
        RunGuarded([] { RunPendingSyncCalls(); });
        return true;
    }
    return QObject::eventFilter(watched, event);
}
