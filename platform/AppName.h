#pragma once
// The name a user reads for a window's application ("Terminal", "Firefox"), not the name of
// its process ("xterm", "python3").
#include <QString>
#include <QStringList>

namespace kx {

struct WindowClassHints {
    QString gtkApplicationId;  // _GTK_APPLICATION_ID
    QString instance;          // WM_CLASS, first part
    QString className;         // WM_CLASS, second part
};

// The Name of the window's .desktop file, found by _GTK_APPLICATION_ID, then WM_CLASS's
// instance and class (also lower-cased), then a desktop file whose StartupWMClass is the
// class; else WM_CLASS's class. Empty when the window has none of these.
QString applicationName(const WindowClassHints& hints);
// The same over the given "applications" folders, read anew (tests).
QString applicationName(const WindowClassHints& hints, const QStringList& applicationDirs);

// The folders desktop files live in: $XDG_DATA_HOME and $XDG_DATA_DIRS, each + "/applications".
QStringList applicationDirs();

}  // namespace kx
