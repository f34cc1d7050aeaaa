#include "app/DisplayCheck.h"

#include "core/Localisation.h"

namespace kx {

DisplayEnvironment DisplayEnvironment::current()
{
    return {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE")};
}

QString displayProblem(const DisplayEnvironment& env, const std::function<bool(const QByteArray&)>& opens)
{
    const QString head = kx::tr("Kaptorix needs an X11 display: ", "A Kaptorixnak X11-kijelző kell: ",
                                "Kaptorix braucht ein X11-Display: ");
    if (env.display.trimmed().isEmpty()) {
        if (!env.waylandDisplay.isEmpty() || env.sessionType.trimmed().toLower() == "wayland")
            return head + kx::tr("this is a Wayland session without XWayland.",
                                 "ez egy Wayland-munkamenet XWayland nélkül.",
                                 "dies ist eine Wayland-Sitzung ohne XWayland.");
        return head +
               kx::tr("DISPLAY is not set.", "a DISPLAY nincs beállítva.", "DISPLAY ist nicht gesetzt.");
    }
    if (opens && !opens(env.display))
        return head +
               kx::tr("%1 cannot be opened.", "a(z) %1 nem nyitható meg.", "%1 lässt sich nicht öffnen.")
                   .arg(QString::fromLocal8Bit(env.display));
    return {};
}

}  // namespace kx
