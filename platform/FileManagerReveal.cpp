#include "platform/FileManagerReveal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace kx {

namespace {
constexpr int kCallTimeoutMs = 3000;

bool openFolder(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
}  // namespace

void revealInFileManager(const QString& path, std::function<void(bool)> done)
{
    showInFileManager(path, [done = std::move(done)](RevealOutcome o) {
        if (done)
            done(o == RevealOutcome::fileManager);
    });
}

void showInFileManager(const QString& path, std::function<void(RevealOutcome)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const bool opened = openFolder(path);
        if (done)
            done(opened ? RevealOutcome::folder : RevealOutcome::failed);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)}
         << QString();
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, path, done = std::move(done)] {
                         RevealOutcome outcome = RevealOutcome::fileManager;
                         if (watcher->isError())
                             outcome = openFolder(path) ? RevealOutcome::folder : RevealOutcome::failed;
                         if (done)
                             done(outcome);
                         watcher->deleteLater();
                     });
}

}  // namespace kx
