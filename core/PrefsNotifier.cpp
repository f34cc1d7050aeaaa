#include "core/PrefsNotifier.h"

#include <QCoreApplication>
#include <QThread>

namespace kx {

PrefsNotifier& PrefsNotifier::shared()
{
    static PrefsNotifier* notifier = [] {
        auto* n = new PrefsNotifier;
        // Live on the application's thread whichever thread asked first.
        if (QCoreApplication* app = QCoreApplication::instance())
            n->moveToThread(app->thread());
        return n;
    }();
    return *notifier;
}

void PrefsNotifier::announce(const QString& key)
{
    if (QThread::currentThread() == thread()) {
        Q_EMIT changed(key);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, key] { Q_EMIT changed(key); }, Qt::QueuedConnection);
}

}  // namespace kx
