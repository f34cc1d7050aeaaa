#pragma once
// Fake services for editor window tests: notices, clipboard and features are recorded.

#include "capture/history/HistoryStore.h"
#include "editor/window/EditorServices.h"

#include <QDateTime>
#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <memory>

namespace kx::test {

struct Recorded {
    QStringList toasts;  // "title|subtitle"
    std::unique_ptr<QMimeData> clipboard;
    QStringList revealed;
    QString saveFolder;
};

inline EditorServices fakeServices(const std::shared_ptr<Recorded>& r)
{
    EditorServices s;
    s.toast = [r](const QString& t, const QString& sub, const QString&) {
        r->toasts << t + QLatin1Char('|') + sub;
    };
    s.setClipboard = [r](QMimeData* d) { r->clipboard.reset(d); };
    s.pin = [](const QImage&, double) {};
    s.upload = [](const QImage&, double, const QUuid&, const std::optional<QString>&) {};
    s.revealFile = [r](const QString& path) { r->revealed << path; };
    s.saveFolder = [r] { return r->saveFolder; };
    s.shareFolder = [r] { return r->saveFolder; };
    s.saveWithPanel = [](const QImage&, double, SourceKind, const std::optional<QString>&, QWidget*) {
        return Exporter::SaveOutcome{Exporter::SaveOutcome::Status::cancelled, {}, {}};
    };
    // One moment: saves in a row get the same base name.
    s.now = [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); };
    return s;
}

// A history in `folder` whose one entry (`image` at scale 2) is on disk, with recognition
// that finds nothing.
struct OneCaptureHistory {
    std::unique_ptr<HistoryStore> store;
    CaptureResult capture;
    HistoryEntry entry;
};
inline OneCaptureHistory oneCaptureHistory(const QString& folder, const QImage& image)
{
    HistoryStore::Options o;
    o.dir = folder;
    o.recognize = [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>(QString())); };
    OneCaptureHistory h{
        std::make_unique<HistoryStore>(o),
        CaptureResult{image, 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()},
        {}};
    h.entry = h.store->add(h.capture);
    h.store->flush();
    return h;
}

}  // namespace kx::test
