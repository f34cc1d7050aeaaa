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

void PrefsNotifier::onOwnThread(std::function<void()> signal)
{
    if (QThread::currentThread() == thread())
        signal();
    else
        QMetaObject::invokeMethod(this, std::move(signal), Qt::QueuedConnection);
}

void PrefsNotifier::announce(const QString& key)
{
    onOwnThread([this, key] { Q_EMIT changed(key); });
}

void PrefsNotifier::announceNotSaved()
{
    onOwnThread([this] { Q_EMIT notSaved(); });
}

}  // namespace kx
