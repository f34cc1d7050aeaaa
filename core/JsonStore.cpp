#include "core/JsonStore.h"

#include "core/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace kx {

namespace {

QByteArray readAll(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

}  // namespace

JsonArrayDecode decodeJsonArray(const QByteArray& bytes, const std::function<bool(const QJsonValue&)>& accept)
{
    JsonArrayDecode result;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return result;
    result.readable = true;
    const QJsonArray array = doc.array();
    for (const QJsonValue& v : array)
        ++(accept(v) ? result.accepted : result.rejected);
    return result;
}

JsonArrayLoad loadJsonArray(const QString& path, const std::function<bool(const QJsonValue&)>& accept)
{
    JsonArrayLoad loaded;
    // Only a path with nothing at all at it is a missing file. A link that leads nowhere or
    // to itself, a folder or a file that cannot be opened is a file that cannot be read: the
    // caller must not take it for an empty list.
    if (!pathTaken(path))
        return loaded;
    bool ok = false;
    const QByteArray bytes = readAll(path, &ok);
    const JsonArrayDecode decoded = ok ? decodeJsonArray(bytes, accept) : JsonArrayDecode{};
    loaded.read = decoded.readable;
    if (!decoded.readable) {
        loaded.unreadable = true;
        loaded.keptAs = setAside(path);
        loaded.keptNow = !loaded.keptAs.isEmpty();
    } else if (decoded.rejected > 0) {
        // The file stays in place (its good elements are the state); the copy keeps the
        // elements the next write drops.
        loaded.rejected = decoded.rejected;
        loaded.keptAs = keepCopyAside(path, bytes, &loaded.keptNow);
    } else {
        return loaded;
    }
    loaded.writable = !loaded.keptAs.isEmpty();
    return loaded;
}

JsonStoreWriter::JsonStoreWriter(QString path, Snapshot snapshot, int debounceMs, QObject* parent)
    : QObject(parent), path_(std::move(path)), snapshot_(std::move(snapshot))
{
    pool_.setObjectName(QStringLiteral("kx-json-store"));
    pool_.setMaxThreadCount(1);  // one writer: states land in submission order
    timer_.setSingleShot(true);
    timer_.setInterval(std::max(0, debounceMs));
    connect(&timer_, &QTimer::timeout, this, &JsonStoreWriter::submit);
}

JsonStoreWriter::~JsonStoreWriter()
{
    flush();
}

void JsonStoreWriter::markChanged()
{
    dirty_ = true;
    // Not restarted by later changes: a steady stream of them must not keep the file stale.
    if (!timer_.isActive())
        timer_.start();
}

void JsonStoreWriter::submit()
{
    timer_.stop();
    dirty_ = false;
    const quint64 sequence = ++submitted_;
    if (!writable_) {
        QMutexLocker lock(&mutex_);
        lastFailed_ = true;
        outcomes_.append({sequence, false});
    } else {
        pool_.start([this, sequence, encode = snapshot_()] {
            // A state already superseded by a newer one is not written (nor reported): the
            // newer one follows on this same thread. Only this thread writes, so the disk is
            // touched outside the lock and deliver() on the owner's thread never waits for it.
            if (sequence < submitted_.load())
                return;
            QString why;
            bool ok = false;
            {
                const std::shared_ptr<void> held = guard_ ? guard_(&why) : nullptr;
                if (!guard_ || held) {
                    const Output out = encode();
                    why = out.error;
                    ok = why.isEmpty() && (out.skip || writeFileAtomically(path_, out.bytes, &why));
                    if (after_)
                        after_(ok);
                }
            }
            {
                QMutexLocker lock(&mutex_);
                if (ok)
                    written_ = sequence;
                lastFailed_ = !ok;
                lastError_ = why;
                outcomes_.append({sequence, ok});
            }
            // The destructor waits for this task, so the object is still there.
            QMetaObject::invokeMethod(this, &JsonStoreWriter::deliver, Qt::QueuedConnection);
        });
        return;
    }
    QMetaObject::invokeMethod(this, &JsonStoreWriter::deliver, Qt::QueuedConnection);
}

void JsonStoreWriter::deliver()
{
    QList<QPair<quint64, bool>> outcomes;
    {
        QMutexLocker lock(&mutex_);
        outcomes.swap(outcomes_);
    }
    for (const auto& [sequence, ok] : outcomes)
        Q_EMIT written(sequence, ok);
}

bool JsonStoreWriter::upToDate()
{
    QMutexLocker lock(&mutex_);
    return written_ == submitted_.load();
}

QString JsonStoreWriter::lastError()
{
    QMutexLocker lock(&mutex_);
    return lastError_;
}

void JsonStoreWriter::flush()
{
    if (dirty_)
        submit();
    pool_.waitForDone();
    bool failed = false;
    {
        QMutexLocker lock(&mutex_);
        failed = lastFailed_ && written_ != submitted_.load();
    }
    // The last write failed (a full disk, a folder in the way): at quit this is the last
    // chance, so the current state is tried once more.
    if (failed && writable_) {
        submit();
        pool_.waitForDone();
    }
    deliver();
}

}  // namespace kx
