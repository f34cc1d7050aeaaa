#pragma once
// Fake services for editor window tests: notices, clipboard and features are recorded.

#include "editor/window/EditorServices.h"

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

}  // namespace kx::test
