#include "core/Prefs.h"

#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/PrefsFile.h"
#include "core/PrefsNotifier.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>

namespace kx {

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Store {
    QMutex mutex;
    std::unique_ptr<QSettings> settings;  // guarded by mutex
    QHash<QString, QVariant> defaults;    // guarded by mutex
    QStringList order;
    Prefs::Health health;  // guarded by mutex
    // The file did not parse and could not be kept aside: it is never written, and this run's
    // changes live here (an invalid value: removed).
    bool frozen = false;
    QHash<QString, QVariant> unsaved;
    bool dirty = false;     // changes that have not reached the disk yet
    bool lostTold = false;  // a change that could not be written was announced (again after a recovery)
    FileStamp seen;         // the settings file as this run last read or wrote it

    QSettings& s()
    {
        if (!settings) {
            const QString path = Prefs::settingsPath();
            health = {};
            health.existed = pathTaken(path);
            frozen = false;
            unsaved.clear();
            dirty = false;
            lostTold = false;
            seen = {};
            const QString folderWhy = makeSettingsFilePrivate(path);
            settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
            check(path, folderWhy);
        }
        return *settings;
    }

    void check(const QString& path, const QString& folderWhy)
    {
        // Sections are parsed when first read: a bad line shows in the status only then.
        settings->allKeys();
        if (settings->status() == QSettings::AccessError) {
            // A folder at the path, or a file this user may not read.
            health.readable = false;
            health.writable = false;
            const QByteArray file = QFile::encodeName(path);
            const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
            const int error = fd < 0 ? errno : QFileInfo(path).isDir() ? EISDIR : EIO;
            if (fd >= 0)
                ::close(fd);
            health.reason = systemReason(error);
            return;
        }
        health.reason = folderWhy.isEmpty() ? whySettingsCannotBeWritten(path) : folderWhy;
        health.writable = health.reason.isEmpty();
        if (settings->status() != QSettings::FormatError)
            return;
        // A link (a dotfiles checkout) is written through only while it names settings: a
        // write would replace whatever else it names. The settings get a file of their own in
        // its place; what it named is left as it was, so nothing needs keeping aside.
        if (const QFileInfo link(path); link.isSymLink()) {
            const QString target = link.symLinkTarget();
            const int error = replaceLinkWithFile(path);
            if (error == 0) {
                health.linkedTo = target;
                settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
                check(path, folderWhy);
                return;
            }
            // The link stays: never written through.
            frozen = true;
            health.writable = false;
            health.readWhole = false;
            health.reason = systemReason(error);
            return;
        }
        // QSettings keeps what it could read and writes only that at the next change: the
        // whole file is kept first.
        health.readWhole = false;
        bool made = false;
        health.keptAs = keepCopyAside(path, fileBytes(path), &made);
        if (health.keptAs.isEmpty()) {
            frozen = true;
            health.writable = false;
        }
    }

    bool has(const QString& key)
    {
        if (frozen && unsaved.contains(key))
            return unsaved.value(key).isValid();
        return s().contains(key);
    }
    QVariant stored(const QString& key)
    {
        if (frozen && unsaved.contains(key))
            return unsaved.value(key);
        QSettings& st = s();
        return st.contains(key) ? st.value(key) : QVariant();
    }
};

Store& store()
{
    static Store st;
    return st;
}

QString homePath()
{
    return QDir::homePath();
}

// QSettings writes a moment after a change too, but keeps a failure to itself. Here changes are
// written a moment later, a burst of them (a typed word) once, and a failed write is announced.
void saveSoon()
{
    static std::atomic<bool> queued{false};
    if (queued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &PrefsNotifier::shared(),
        [] {
            queued = false;
            Prefs::sync();
        },
        Qt::QueuedConnection);
}

}  // namespace

QString trimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

QString Prefs::settingsPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = homePath() + "/.config";
    return base + "/Kaptorix/Kaptorix.conf";
}

void Prefs::reloadForTests()
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    st.settings.reset();
}

void Prefs::registerDefaults()
{
    const QString lang = Lang::current();
    const QString aiLanguage = lang == "hu" ? "magyar" : lang == "de" ? "Deutsch" : "English";
    const QList<QPair<QString, QVariant>> table{
        {"language", "en"},
        {"after.editor", true},
        {"after.copy", true},
        {"after.save", false},
        {"after.preview", true},
        {"after.upload", false},
        {"saveFolder", ""},
        {"filePattern", "Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}"},
        {"imageFormat", "png"},
        {"jpegQuality", 0.9},
        {"downscaleRetina", false},
        {"showCursor", false},
        {"playSound", true},
        {"showDock", false},
        {"showLoupe", true},
        {"ocrLanguages", "auto"},
        {"colorFormat", "hex"},
        {"copy.mode", "copy"},
        {"remote.protocol", "webdav"},
        {"remote.host", ""},
        {"remote.port", ""},
        {"remote.user", ""},
        {"remote.folder", ""},
        {"remote.publicURL", ""},
        {"remote.keyPath", ""},
        {"ai.provider", "claude"},
        {"ai.openaiModel", "gpt-5.5"},
        {"upload.copyFormat", "link"},
        {"ai.model", "claude-sonnet-5-5"},
        {"ai.language", aiLanguage},
        {"history.max", 300},
        {"history.days", 30},
        {"scroll.maxHeight", 30000},
    };
    {
        Store& st = store();
        QMutexLocker lock(&st.mutex);
        st.defaults.clear();
        st.order.clear();
        for (const auto& [k, v] : table) {
            st.defaults.insert(k, v);
            st.order.append(k);
        }
        // Settings of an earlier version. Their keyring item is not touched here: a
        // Secret Service call at start-up could block or raise an unlock prompt.
        QSettings& s = st.s();
        for (const char* legacy : {"hub.baseURL", "hub.path", "hub.authHeader"}) {
            const QString key = QString::fromLatin1(legacy);
            if (st.frozen) {
                st.unsaved.insert(key, QVariant());
            } else if (s.contains(key)) {
                // Left to QSettings' own write: a start alone must not be told as a change
                // that was not kept.
                s.remove(key);
                st.dirty = true;
            }
        }
    }
}

QStringList Prefs::registeredKeys()
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    return st.order;
}

QVariant Prefs::value(const QString& key)
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    const QVariant v = st.stored(key);
    return v.isValid() ? v : st.defaults.value(key);
}

QVariant Prefs::storedValue(const QString& key)
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    return st.stored(key);
}

QVariant Prefs::registeredDefault(const QString& key)
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    return st.defaults.value(key);
}

bool Prefs::contains(const QString& key)
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    return st.has(key);
}

QString Prefs::string(const QString& key)
{
    const QVariant v = value(key);
    return v.isValid() ? v.toString() : QString();
}

bool Prefs::boolean(const QString& key)
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        // INI stores booleans as text.
        const QString t = v.toString().trimmed().toLower();
        return t == "true" || t == "1" || t == "yes";
    }
    return v.toBool();
}

QStringList Prefs::stringList(const QString& key)
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString().isEmpty() ? QStringList() : QStringList{v.toString()};
    return v.toStringList();
}

void Prefs::set(const QString& key, const QVariant& value)
{
    Store& st = store();
    {
        QMutexLocker lock(&st.mutex);
        if (st.has(key) && st.stored(key) == value)
            return;
        if (st.frozen)
            st.unsaved.insert(key, value);
        else
            st.s().setValue(key, value);
        st.dirty = true;
    }
    PrefsNotifier::shared().announce(key);
    saveSoon();
}

void Prefs::remove(const QString& key)
{
    Store& st = store();
    {
        QMutexLocker lock(&st.mutex);
        if (!st.has(key))
            return;
        if (st.frozen)
            st.unsaved.insert(key, QVariant());
        else
            st.s().remove(key);
        st.dirty = true;
    }
    PrefsNotifier::shared().announce(key);
    saveSoon();
}

void Prefs::sync()
{
    Store& st = store();
    bool tell = false;
    {
        QMutexLocker lock(&st.mutex);
        QSettings& s = st.s();
        if (!st.dirty) {
            // Only reads what another instance wrote.
            if (st.health.readable && !st.frozen)
                s.sync();
            return;
        }
        // A file that could not be read, or not kept aside, is never written over.
        bool written = false, failed = true;
        if (st.health.readable && !st.frozen) {
            const QString path = settingsPath();
            const FileStamp before = FileStamp::of(path);
            const QSettings::Status was = s.status();
            s.sync();
            written = !(FileStamp::of(path) == before);
            // A write replaces the file. None can mean nothing was left to write (a change taken
            // back); QSettings reports only its first error, so once it has one, the disk is asked.
            failed = !written && (was == QSettings::NoError ? s.status() != QSettings::NoError
                                                            : !whySettingsCannotBeWritten(path).isEmpty());
        }
        if (!failed) {
            st.dirty = false;
            if (written) {
                st.health.writable = true;
                st.health.reason.clear();
                // A disk that fills up again is told again.
                st.lostTold = false;
            }
        } else {
            // QSettings keeps the changes and tries again at the next sync.
            if (st.health.writable) {
                st.health.writable = false;
                st.health.reason = whySettingsCannotBeWritten(settingsPath());
                if (st.health.reason.isEmpty())
                    st.health.reason = systemReason(EIO);
            }
            tell = !st.lostTold;
            st.lostTold = true;
        }
    }
    if (tell)
        PrefsNotifier::shared().announceNotSaved();
}

namespace {

// A value as the file holds it: QSettings keeps this run's values typed (true) and reads them
// back as text ("true"); the same setting must not count as changed.
QString comparable(const QVariant& v)
{
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QChar(0x1f));
    return v.toString();
}

QHash<QString, QString> snapshot(QSettings& s)
{
    QHash<QString, QString> out;
    for (const QString& key : s.allKeys())
        out.insert(key, comparable(s.value(key)));
    return out;
}

}  // namespace

QStringList Prefs::takeChangesElsewhere()
{
    Store& st = store();
    QHash<QString, QString> before;
    {
        QMutexLocker lock(&st.mutex);
        QSettings& s = st.s();
        if (!st.health.readable || st.frozen)
            return {};
        const FileStamp now = FileStamp::of(settingsPath());
        if (now == st.seen && !st.dirty)
            return {};
        before = snapshot(s);
    }
    // Reads the file anew under QSettings' lock and writes this run's unwritten changes on
    // top of it: a key the other changed and this one did not keeps the other's value.
    sync();
    QStringList changed;
    {
        QMutexLocker lock(&st.mutex);
        const QHash<QString, QString> after = snapshot(st.s());
        st.seen = FileStamp::of(settingsPath());
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (!before.contains(it.key()) || before.value(it.key()) != it.value())
                changed.append(it.key());
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!after.contains(it.key()))
                changed.append(it.key());
        }
    }
    for (const QString& key : std::as_const(changed))
        PrefsNotifier::shared().announce(key);
    return changed;
}

void Prefs::followChangesElsewhere(int intervalMs)
{
    PrefsNotifier& owner = PrefsNotifier::shared();
    auto* timer = new QTimer(&owner);
    QObject::connect(timer, &QTimer::timeout, &owner, [] { takeChangesElsewhere(); });
    timer->start(intervalMs);
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &owner, [] { sync(); });
}

Prefs::Health Prefs::health()
{
    Store& st = store();
    QMutexLocker lock(&st.mutex);
    st.s();
    return st.health;
}

bool Prefs::firstRun()
{
    const Health h = health();
    // Settings that cannot be read (or were read in part) are no first start, and one that
    // cannot be remembered would come back at every start.
    return h.readable && h.readWhole && h.writable && !boolean("firstRunDone");
}

bool Prefs::takeFirstRun()
{
    const bool first = firstRun();
    const Health h = health();
    if (h.writable && !boolean("firstRunDone")) {
        set("firstRunDone", true);
        sync();
    }
    return first;
}

QString Prefs::trimmed(const QString& key)
{
    return trimBlanks(string(key));
}

QString Prefs::saveFolderURL()
{
    const QString stored = string("saveFolder");
    // Blank means the default folder; nothing is ever saved into the working directory.
    if (!trimBlanks(stored).isEmpty()) {
        QString path = stored;
        if (path == "~")
            path = homePath();
        else if (path.startsWith("~/"))
            path = homePath() + path.mid(1);
        if (QDir::isRelativePath(path))
            path = homePath() + "/" + path;
        return QDir::cleanPath(path);
    }
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = homePath();
    return QDir::cleanPath(pictures + "/Kaptorix");
}

ImageFormat Prefs::imageFormat()
{
    return fromRaw<ImageFormat>(string("imageFormat")).value_or(ImageFormat::png);
}

CopyMode Prefs::copyMode()
{
    return fromRaw<CopyMode>(string("copy.mode")).value_or(CopyMode::copy);
}

RemoteProtocol Prefs::remoteProtocol()
{
    return fromRaw<RemoteProtocol>(string("remote.protocol")).value_or(RemoteProtocol::webdav);
}

AIProvider Prefs::aiProvider()
{
    return fromRaw<AIProvider>(string("ai.provider")).value_or(AIProvider::claude);
}

UploadCopyFormat Prefs::uploadCopyFormat()
{
    return fromRaw<UploadCopyFormat>(string("upload.copyFormat")).value_or(UploadCopyFormat::link);
}

ColorFormat Prefs::colorFormat()
{
    const QVariant v = value("colorFormat");
    return fromRaw<ColorFormat>(v.isValid() ? v.toString() : "hex").value_or(ColorFormat::hex);
}

std::optional<qint64> Prefs::remotePort()
{
    const QString t = trimmed("remote.port");
    static const QRegularExpression re(QStringLiteral("^[+-]?[0-9]+$"));
    if (t.isEmpty() || !re.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

QStringList Prefs::ocrLanguages()
{
    const QVariant v = value("ocrLanguages");
    const QString text = v.isValid() ? v.toString() : QStringLiteral("auto");
    if (text == "auto" || text.isEmpty())
        return {};
    QStringList out;
    for (const QString& piece : text.split(',')) {
        if (piece.isEmpty())
            continue;
        out.append(trimBlanks(piece));
    }
    return out;
}

}  // namespace kx
