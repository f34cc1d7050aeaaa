#include "library/upload/UploadNames.h"

#include "core/AtomicFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace kx {

namespace {

constexpr int kMaxNameBytes = 255;

QString key(const QString& name)
{
    return name.toCaseFolded();
}

}  // namespace

UploadNames::UploadNames(const QString& path) : path_(path)
{
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    f.close();
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        setAside(path_);
        return;
    }
    for (const QJsonValue& v : doc.array()) {
        const QString name = v[QLatin1String("name")].toString();
        if (name.isEmpty())
            continue;
        const QUuid id(v[QLatin1String("entryID")].toString());
        byName_.insert(key(name), uses_.size());
        uses_.append({name, id.isNull() ? std::nullopt : std::optional<QUuid>(id)});
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
    for (int n = 1;; ++n) {
        const QString name = numbered(base, n, extension);
        if (queued.contains(key(name)))
            continue;
        const auto it = byName_.constFind(key(name));
        if (it == byName_.cend()) {
            byName_.insert(key(name), uses_.size());
            uses_.append({name, entryID});
            save();
            return name;
        }
        if (entryID && uses_[*it].entryID == entryID)
            return uses_[*it].name;
    }
}

bool UploadNames::takenByOther(const QString& name, const std::optional<QUuid>& entryID,
                               const QStringList& held) const
{
    for (const QString& h : held) {
        if (key(h) == key(name))
            return true;
    }
    const auto it = byName_.constFind(key(name));
    return it != byName_.cend() && !(entryID && uses_[*it].entryID == entryID);
}

void UploadNames::record(const QString& name, const std::optional<QUuid>& entryID)
{
    if (byName_.contains(key(name)))
        return;
    byName_.insert(key(name), uses_.size());
    uses_.append({name, entryID});
    save();
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

void UploadNames::save() const
{
    QJsonArray list;
    for (const Use& use : uses_) {
        QJsonObject o{{QStringLiteral("name"), use.name}};
        if (use.entryID)
            o.insert(QStringLiteral("entryID"), use.entryID->toString(QUuid::WithoutBraces).toUpper());
        list.append(o);
    }
    // A failed write keeps the names of this session taken; the next upload writes them again.
    writeFileAtomically(path_, QJsonDocument(list).toJson(QJsonDocument::Compact));
}

}  // namespace kx
