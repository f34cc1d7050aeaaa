#pragma once
// The tray runs on an X11 display; without one Qt would abort, or on a display-less platform
// start invisibly and grab nothing. The check comes before the application object is made
// and says in one line what is missing.
#include <QByteArray>
#include <QString>
#include <functional>

namespace kx {

struct DisplayEnvironment {
    QByteArray display;         // DISPLAY
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray sessionType;     // XDG_SESSION_TYPE

    static DisplayEnvironment current();
};

// The one-line message when no X11 display can be used, empty when one can, whatever Qt
// platform the environment asks for. `opens` tries a display name.
QString displayProblem(const DisplayEnvironment& env, const std::function<bool(const QByteArray&)>& opens);

}  // namespace kx
