#include "library/upload/UploadNames.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace kx {

namespace {

constexpr int kMaxNameBytes = 255;
constexpr int kLockWaitMs = 5000;

QString key(const QString& name)
{
    return name.toCaseFolded();
}

}  // namespace

UploadNames::UploadNames(const QString& path)
    : path_(path),
      lockPath_(QFileInfo(path).dir().filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".lock")))
{
    const std::shared_ptr<void> held = lock();
    takeIn();
}

std::shared_ptr<void> UploadNames::lock() const
{
    // A folder removed while running is made again: the lock file lives in it.
    makePrivateFolder(QFileInfo(path_).absolutePath());
    return lockFile(lockPath_, kLockWaitMs);
}

void UploadNames::add(const Use& use)
{
    byName_.insert(key(use.name), uses_.size());
    uses_.append(use);
}

void UploadNames::takeIn()
{
    const std::optional<FileIdentity> now = fileIdentity(path_);
    if (now && now == identity_)
        return;
    QList<Use> read;
    const JsonArrayLoad load = loadJsonArray(path_, [&read](const QJsonValue& v) {
        const QString name = v[QLatin1String("name")].toString();
        if (name.isEmpty())
            return false;
        const QUuid id(v[QLatin1String("entryID")].toString());
        read.append({name, id.isNull() ? std::nullopt : std::optional<QUuid>(id)});
        return true;
    });
    identity_ = fileIdentity(path_);
    writable_ = load.writable;
    // A file that was set aside takes nothing with it: what this one knew is written anew.
    if (!load.read) {
        if (load.unreadable)
            unsaved_ = uses_;
        return;
    }
    const QList<Use> mine = std::exchange(unsaved_, {});
    uses_.clear();
    byName_.clear();
    for (const Use& use : read) {
        if (!byName_.contains(key(use.name)))
            add(use);
    }
    // A name the file gives another capture stays that one's (the file was first).
    for (const Use& use : mine) {
        if (!byName_.contains(key(use.name))) {
            add(use);
            unsaved_.append(use);
        }
    }
}

QString UploadNames::numbered(const QString& base, int n, const QString& extension)
{
    const QString suffix = (n > 1 ? ' ' + QString::number(n) : QString()) + extension;
    QString b = base;
    while (!b.isEmpty() && (b + suffix).toUtf8().size() > kMaxNameBytes)
        b.chop(b.size() >= 2 && b.back().isLowSurrogate() ? 2 : 1);
    return b + suffix;
}

QString UploadNames::reserve(const QString& base, const QString& extension,
                             const std::optional<QUuid>& entryID, const QStringList& held)
{
    QSet<QString> queued;
    for (const QString& name : held)
        queued.insert(key(name));
    // Chosen and written under the lock: the other Kaptorix cannot give the same name meanwhile.
    const std::shared_ptr<void> locked = lock();
    if (locked)
        takeIn();
    for (int n = 1;; ++n) {
        const QString name = numbered(base, n, extension);
        if (queued.contains(key(name)))
            continue;
        const auto it = byName_.constFind(key(name));
        if (it == byName_.cend()) {
            add({name, entryID});
            unsaved_.append(uses_.last());
            save(locked != nullptr);
            return name;
        }
        if (entryID && uses_[*it].entryID == entryID)
            return uses_[*it].name;
    }
}

bool UploadNames::takenByOther(const QString& name, const std::optional<QUuid>& entryID,
                               const QStringList& held)
{
    for (const QString& h : held) {
        if (key(h) == key(name))
            return true;
    }
    if (fileIdentity(path_) != identity_) {
        const std::shared_ptr<void> locked = lock();
        if (locked)
            takeIn();
    }
    const auto it = byName_.constFind(key(name));
    return it != byName_.cend() && !(entryID && uses_[*it].entryID == entryID);
}

bool UploadNames::record(const QString& name, const std::optional<QUuid>& entryID)
{
    const std::shared_ptr<void> locked = lock();
    if (locked)
        takeIn();
    if (const auto it = byName_.constFind(key(name)); it != byName_.cend())
        return entryID && uses_[*it].entryID == entryID;
    add({name, entryID});
    unsaved_.append(uses_.last());
    save(locked != nullptr);
    return true;
}

UploadNames::Parts UploadNames::split(const QString& name)
{
    Parts parts;
    const qsizetype dot = name.lastIndexOf('.');
    parts.base = dot > 0 ? name.left(dot) : name;
    parts.extension = dot > 0 ? name.mid(dot) : QString();
    const qsizetype space = parts.base.lastIndexOf(' ');
    if (space > 0) {
        const QString digits = parts.base.mid(space + 1);
        bool ok = false;
        const int n = digits.toInt(&ok);
        // Only the numbers this list writes: "2" and up, no sign, no leading zero.
        if (ok && n >= 2 && digits == QString::number(n)) {
            parts.base.truncate(space);
            parts.n = n;
        }
    }
    return parts;
}

void UploadNames::save(bool locked)
{
    // Unlocked, the write could drop what the other Kaptorix gave: the names wait in unsaved_
    // for the next write that has the lock.
    if (!locked || !writable_)
        return;
    QJsonArray list;
    for (const Use& use : uses_) {
        QJsonObject o{{QStringLiteral("name"), use.name}};
        if (use.entryID)
            o.insert(QStringLiteral("entryID"), use.entryID->toString(QUuid::WithoutBraces).toUpper());
        list.append(o);
    }
    // A failed write keeps the names of this session taken; the next upload writes them again.
    if (!writeFileAtomically(path_, QJsonDocument(list).toJson(QJsonDocument::Compact)))
        return;
    identity_ = fileIdentity(path_);
    unsaved_.clear();
}

}  // namespace kx
