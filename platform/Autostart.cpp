#include "platform/Autostart.h"

#include "core/AtomicFile.h"
#include "core/Localisation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kx {

QString Autostart::filePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/kaptorix.desktop");
}

bool Autostart::isEnabled()
{
    return QFileInfo(filePath()).isFile();
}

QString Autostart::quotedExec(const QString& executable)
{
    QString quoted;
    for (QChar c : executable) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted = '"' + quoted + '"';
    // The value is also a string of the file format, whose own escape doubles a backslash.
    quoted.replace('\\', QStringLiteral("\\\\"));
    quoted.replace('%', QStringLiteral("%%"));
    return quoted;
}

QString Autostart::desktopEntry(const QString& executable)
{
    if (!QDir::isAbsolutePath(executable))
        return {};
    for (QChar c : executable) {
        if (c.category() == QChar::Other_Control)
            return {};
    }
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Kaptorix\n"
               "Comment=Screenshots from the tray\n"
               "Exec=%1\n"
               "Icon=kaptorix\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedExec(executable));
}

Autostart::Result Autostart::setEnabled(bool on, const QString& executable)
{
    const QString path = filePath();
    if (!on) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return {true, {}};
        return {false, tr("Could not remove the autostart entry %1.",
                          "Az automatikus indítás bejegyzése nem törölhető: %1.",
                          "Der Autostart-Eintrag %1 konnte nicht entfernt werden.")
                           .arg(QDir::toNativeSeparators(path))};
    }
    const QString exe = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    const QString entry = desktopEntry(exe);
    if (entry.isEmpty())
        return {false, tr("The program's path cannot be started at login.",
                          "A program útvonala nem indítható bejelentkezéskor.",
                          "Der Pfad des Programms kann nicht beim Anmelden gestartet werden.")};
    QString error;
    if (!writeFileAtomically(path, entry.toUtf8(), &error))
        return {false, tr("Could not write the autostart entry %1.",
                          "Az automatikus indítás bejegyzése nem írható: %1.",
                          "Der Autostart-Eintrag %1 konnte nicht geschrieben werden.")
                           .arg(QDir::toNativeSeparators(path))};
    return {true, {}};
}

}  // namespace kx
