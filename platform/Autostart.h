#pragma once
// Launch at login: the XDG autostart entry $XDG_CONFIG_HOME/autostart/kaptorix.desktop,
// present only while the option is on. The calls touch the disk: run them off the UI thread.
#include <QString>

namespace kx {

class Autostart {
public:
    struct Result {
        bool ok = false;
        QString message;  // localised reason when !ok
    };

    // Where the entry lives (the folder follows XDG_CONFIG_HOME, else ~/.config).
    static QString filePath();
    // Whether the entry is there now (read from the disk at each call).
    static bool isEnabled();
    // Writes (atomically) or removes the entry. `executable` is the absolute path started at
    // login; empty means the running binary.
    static Result setEnabled(bool on, const QString& executable = QString());

    // The entry's text for an executable path; empty when the path cannot be written into
    // one (not absolute, or holding control characters).
    static QString desktopEntry(const QString& executable);
    // The path as one quoted argument of an Exec key, escaped as the Desktop Entry
    // format asks (quoting rules, then the string escapes, then %%).
    static QString quotedExec(const QString& executable);
};

}  // namespace kx
