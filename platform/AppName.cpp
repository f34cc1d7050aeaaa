#include "platform/AppName.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

namespace kx {

namespace {

struct DesktopEntry {
    QString name;
    QString startupWMClass;
};

// The keys of the [Desktop Entry] group that matter here.
DesktopEntry readEntry(const QString& path)
{
    DesktopEntry e;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024)
        return e;
    bool inEntry = false;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        if (line.startsWith("Name=") && e.name.isEmpty())
            e.name = QString::fromUtf8(line.mid(5)).trimmed();
        else if (line.startsWith("StartupWMClass="))
            e.startupWMClass = QString::fromUtf8(line.mid(15)).trimmed();
    }
    return e;
}

// A name usable as a desktop-file id: no path parts.
bool plainId(const QString& id)
{
    return !id.isEmpty() && !id.contains(QLatin1Char('/')) && id != QLatin1String(".") &&
           id != QLatin1String("..");
}

class Index {
public:
    explicit Index(const QStringList& dirs) : dirs_(dirs) {}

    QString byId(const QString& id)
    {
        if (!plainId(id))
            return {};
        for (const QString& dir : std::as_const(dirs_)) {
            const QString path = dir + QLatin1Char('/') + id + QStringLiteral(".desktop");
            if (QFile::exists(path))
                return readEntry(path).name;
        }
        return {};
    }

    QString byStartupClass(const QString& cls)
    {
        if (cls.isEmpty())
            return {};
        if (!scanned_) {
            scanned_ = true;
            // Earlier folders win, as for ids.
            for (auto dir = dirs_.crbegin(); dir != dirs_.crend(); ++dir) {
                for (const QString& file : QDir(*dir).entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
                    const DesktopEntry e = readEntry(*dir + QLatin1Char('/') + file);
                    if (!e.startupWMClass.isEmpty() && !e.name.isEmpty())
                        startupClasses_.insert(e.startupWMClass.toLower(), e.name);
                }
            }
        }
        return startupClasses_.value(cls.toLower());
    }

private:
    QStringList dirs_;
    bool scanned_ = false;
    QHash<QString, QString> startupClasses_;
};

QString lookUp(const WindowClassHints& h, Index& index)
{
    const QString candidates[] = {h.gtkApplicationId, h.instance, h.className, h.className.toLower(),
                                  h.instance.toLower()};
    for (const QString& id : candidates) {
        if (const QString name = index.byId(id); !name.isEmpty())
            return name;
    }
    if (const QString name = index.byStartupClass(h.className); !name.isEmpty())
        return name;
    if (const QString name = index.byStartupClass(h.instance); !name.isEmpty())
        return name;
    return h.className;
}

}  // namespace

QStringList applicationDirs()
{
    QStringList dirs;
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << d + QStringLiteral("/applications");
    return dirs;
}

QString applicationName(const WindowClassHints& hints, const QStringList& dirs)
{
    Index index(dirs);
    return lookUp(hints, index);
}

QString applicationName(const WindowClassHints& hints)
{
    // The window list asks for every window at each capture: answers are kept for the run.
    static QMutex mutex;
    static QHash<QString, QString> answers;
    static Index* index = nullptr;
    const QString key = hints.gtkApplicationId + QChar(0) + hints.instance + QChar(0) + hints.className;
    QMutexLocker lock(&mutex);
    if (const auto it = answers.constFind(key); it != answers.constEnd())
        return *it;
    if (!index)
        index = new Index(applicationDirs());
    const QString name = lookUp(hints, *index);
    answers.insert(key, name);
    return name;
}

}  // namespace kx
