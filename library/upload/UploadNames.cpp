#include "library/upload/UploadNames.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"

#include <QCryptographicHash>
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

QByteArray digestOf(const QString& folded)
{
    return QCryptographicHash::hash(folded.toUtf8(), QCryptographicHash::Sha256).toHex();
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
    if (use.name.isEmpty())
        digests_.insert(use.digest);
    else
        byName_.insert(key(use.name), uses_.size());
    uses_.append(use);
}

bool UploadNames::has(const QString& folded) const
{
    return byName_.contains(folded) || digests_.contains(digestOf(folded));
}

void UploadNames::takeIn()
{
    const std::optional<FileIdentity> now = fileIdentity(path_);
    if (now && now == identity_)
        return;
    QList<Use> read;
    const JsonArrayLoad load = loadJsonArray(path_, [&read](const QJsonValue& v) {
        const QString name = v[QLatin1String("name")].toString();
        const QByteArray digest = v[QLatin1String("taken")].toString().toLatin1();
        if (name.isEmpty() && digest.size() == 64) {
            read.append({QString(), std::nullopt, digest});
            return true;
        }
        if (name.isEmpty())
            return false;
        const QUuid id(v[QLatin1String("entryID")].toString());
        read.append({name, id.isNull() ? std::nullopt : std::optional<QUuid>(id), {}});
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
    digests_.clear();
    for (const Use& use : read) {
        if (use.name.isEmpty() || !has(key(use.name)))
            add(use);
    }
    // A name the file gives another capture stays that one's (the file was first); a capture
    // forgotten here is forgotten there too.
    for (const Use& use : mine) {
        if (use.name.isEmpty()) {
            forgetIn(use);
            unsaved_.append(use);
        } else if (!has(key(use.name))) {
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
        if (it == byName_.cend() && !has(key(name))) {
            add({name, entryID, {}});
            unsaved_.append(uses_.last());
            save(locked != nullptr);
            return name;
        }
        if (it != byName_.cend() && entryID && uses_[*it].entryID == entryID)
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
    if (it == byName_.cend())
        return has(key(name));
    return !(entryID && uses_[*it].entryID == entryID);
}

bool UploadNames::record(const QString& name, const std::optional<QUuid>& entryID)
{
    const std::shared_ptr<void> locked = lock();
    if (locked)
        takeIn();
    if (const auto it = byName_.constFind(key(name)); it != byName_.cend())
        return entryID && uses_[*it].entryID == entryID;
    if (has(key(name)))
        return false;
    add({name, entryID, {}});
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
        if (use.name.isEmpty()) {
            list.append(QJsonObject{{QStringLiteral("taken"), QString::fromLatin1(use.digest)}});
            continue;
        }
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

void UploadNames::forgetIn(const Use& forgotten)
{
    bool there = false;
    for (Use& use : uses_) {
        if (!use.name.isEmpty() && digestOf(key(use.name)) == forgotten.digest) {
            byName_.remove(key(use.name));
            use = forgotten;
        }
        there = there || use.digest == forgotten.digest;
    }
    if (!there)
        uses_.append(forgotten);
    digests_.insert(forgotten.digest);
}

bool UploadNames::forget(const QSet<QUuid>& ids, bool keepOnly)
{
    const std::shared_ptr<void> locked = lock();
    if (locked)
        takeIn();
    bool any = false;
    for (const Use& use : QList<Use>(uses_)) {
        if (use.name.isEmpty() || !use.entryID || ids.contains(*use.entryID) == keepOnly)
            continue;
        const Use digest{QString(), std::nullopt, digestOf(key(use.name))};
        forgetIn(digest);
        unsaved_.removeIf([&](const Use& u) { return u.name == use.name; });
        unsaved_.append(digest);
        any = true;
    }
    if (!any)
        return true;
    save(locked != nullptr);
    return unsaved_.isEmpty();
}

}  // namespace kx
