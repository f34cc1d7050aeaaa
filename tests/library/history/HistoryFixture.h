#pragma once
// A generated history folder: index.json with `count` entries (one a minute back from
// `newest`) and small image files for the first `withFiles` of them.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryStore.h"
#include "library/history/HistoryActions.h"

#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <memory>

namespace kx::test {

inline QList<HistoryEntry> generateHistory(const QString& dir, int count, int withFiles,
                                           const QDateTime& newest)
{
    QList<HistoryEntry> entries;
    QImage img(24, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::darkCyan);
    for (int i = 0; i < count; ++i) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        e.date = newest.addSecs(-60 * i).toUTC();
        e.width = 24 + i % 7;
        e.height = 16;
        e.kind = static_cast<SourceKind>(i % 7);
        if (i % 3 != 0)
            e.title = QStringLiteral("Window %1").arg(i);
        if (i % 5 == 0)
            e.ocrText = QStringLiteral("invoice number %1").arg(i);
        entries.append(e);
        if (i < withFiles) {
            img.save(QDir(dir).filePath(uuidText(e.id) + QStringLiteral(".png")));
            img.save(QDir(dir).filePath(uuidText(e.id) + QStringLiteral(".thumb.jpg")));
        }
    }
    writeIndex(QDir(dir).filePath(QStringLiteral("index.json")), entries);
    return entries;
}

inline std::unique_ptr<HistoryStore> openStore(const QString& dir)
{
    HistoryStore::Options o;
    o.dir = dir;
    o.recognize = [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>()); };
    return std::make_unique<HistoryStore>(o);
}

// Services that record instead of acting.
struct Recorded {
    QStringList toasts;  // "title|subtitle|symbol"
    QList<QString> clipboardTexts;
    int clipboardImages = 0;
    QList<QUuid> opened;
    QList<DeleteConfirmation> questions;
    std::function<void()> accept;  // of the last question
    HistoryServices services(HistoryStore* store)
    {
        HistoryServices s;
        s.store = store;
        s.toast = [this](const QString& t, const QString& sub, const QString& sym, double) {
            toasts.append(t + '|' + sub + '|' + sym);
        };
        s.setClipboard = [this](QMimeData* d) {
            if (d->hasImage() || d->hasFormat(QStringLiteral("image/png")))
                ++clipboardImages;
            else
                clipboardTexts.append(d->text());
            delete d;
        };
        s.openEditor = [this](const CaptureResult&, const QUuid& id) { opened.append(id); };
        s.confirm = [this](const DeleteConfirmation& q, std::function<void()> yes) {
            questions.append(q);
            accept = std::move(yes);
        };
        return s;
    }
};

}  // namespace kx::test
