#pragma once
// The developer options of the command line, decided from the arguments alone.
#include <QString>
#include <QStringList>

namespace kx {

enum class LaunchMode { app, selfTest, renderDemo, snapshotUi, stressSettings, frameTest };

struct Launch {
    LaunchMode mode = LaunchMode::app;
    QString value;  // the path or folder of renderDemo, snapshotUi and frameTest
    bool operator==(const Launch&) const = default;
};

// `args` without the program name. Options are tested in a fixed order and the first match
// wins; an option needing a value takes the argument after its first occurrence, and is
// ignored when that occurrence is the last argument. A "--" ends the options: what follows it
// is files only, "-shot.png" and "--self-test" included.
Launch dispatch(const QStringList& args);

// The arguments that are neither options nor the values of Qt's own options (files to open),
// in order, and every argument after "--".
QStringList fileArguments(const QStringList& args);

// The value of Qt's option `name` ("display" for -display or --display), empty when absent.
QString qtOptionValue(const QStringList& args, const QString& name);

// `args` for the application object: every -platform of the command line and everything from
// "--" on left out, and xcb asked for. The argument outranks QT_QPA_PLATFORM, which stays as
// the user set it for the programs Kaptorix starts.
QStringList x11Arguments(const QStringList& args);

}  // namespace kx
