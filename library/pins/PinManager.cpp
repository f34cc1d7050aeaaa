#include "library/pins/PinManager.h"

#include "library/pins/PinWindow.h"

#include <QCoreApplication>

namespace kx {

PinManager& PinManager::shared()
{
    // Parented to the application: pins are windows and must go before it does.
    static PinManager* manager = new PinManager;
    return *manager;
}

PinManager::PinManager() : QObject(QCoreApplication::instance())
{
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            const QList<PinWindow*> all = std::exchange(pins_, {});
            qDeleteAll(all);  // no event loop turn is left for deleteLater
            if (!all.isEmpty())
                Q_EMIT pinsChanged();
        });
    }
}

PinWindow* PinManager::pin(const QImage& image, double scale, const std::optional<QRect>& near)
{
    auto* w = new PinWindow(image, scale, near);
    pins_.append(w);
    w->show();
    w->raise();
    w->activateWindow();
    Q_EMIT pinsChanged();
    return w;
}

void PinManager::remove(PinWindow* pin)
{
    if (pins_.removeAll(pin) == 0)
        return;
    pin->hide();
    pin->deleteLater();
    Q_EMIT pinsChanged();
}

void PinManager::closeAll()
{
    const QList<PinWindow*> all = std::exchange(pins_, {});
    for (PinWindow* p : all) {
        p->hide();
        p->deleteLater();
    }
    if (!all.isEmpty())
        Q_EMIT pinsChanged();
}

void PinManager::makeAllClickable()
{
    for (PinWindow* p : std::as_const(pins_))
        p->setClickThrough(false);
}

}  // namespace kx
