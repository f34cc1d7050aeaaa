#include "core/ScreenGeometry.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace kx {

int screenIndexContaining(const QList<QRect>& frames, const QPointF& p, int primary)
{
    if (frames.isEmpty())
        return -1;
    for (int i = 0; i < frames.size(); ++i) {
        const QRect& f = frames[i];
        if (p.x() >= f.x() && p.x() < f.x() + f.width() && p.y() >= f.y() && p.y() < f.y() + f.height())
            return i;
    }
    return (primary >= 0 && primary < frames.size()) ? primary : 0;
}

QScreen* screenContaining(const QPointF& globalPoint)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return nullptr;
    QList<QRect> frames;
    for (QScreen* s : screens)
        frames.append(s->geometry());
    const int primary = int(screens.indexOf(QGuiApplication::primaryScreen()));
    const int i = screenIndexContaining(frames, globalPoint, primary);
    return i >= 0 ? screens[i] : nullptr;
}

QScreen* screenUnderPointer()
{
    return screenContaining(QCursor::pos());
}

}  // namespace kx
