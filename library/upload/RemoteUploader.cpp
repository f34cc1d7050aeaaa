#include "library/upload/RemoteUploader.h"

#include "capture/history/HistoryStore.h"
#include "core/FileNaming.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadPlan.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"
#include "library/upload/WorkFolder.h"
#include "platform/Keychain.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPromise>

namespace kx {

using namespace upload;

namespace {

HistoryStore* g_history = nullptr;

UploadQueue& queue()
{
    return queueInUse();
}

HistoryStore& history()
{
    return g_history ? *g_history : HistoryStore::shared();
}

// A remote name no other capture's upload has; queued items keep theirs.
QString uniqueRemoteName(const QString& base, const std::optional<QUuid>& entryID)
{
    QStringList held;
    for (const PendingUpload& item : queue().items())
        held << item.fileName;
    return namesInUse().reserve(base, QStringLiteral(".png"), entryID, held);
}

using Link = std::optional<QString>;

template <class T>
QFuture<T> ready(T value)
{
    return QtFuture::makeReadyFuture(std::move(value));
}

QFuture<QString> password();

// One transfer without any notice.
QFuture<Outcome<Sent>> sendAs(const QByteArray& png, const QString& fileName,
                              const std::optional<QUuid>& entryID)
{
    const UploadSettings s = UploadSettings::fromPrefs();
    // Everything but the password is checked before the keyring is asked.
    if (auto bad = checkValues(s, QString(), fileName))
        return ready(Outcome<Sent>(*bad));
    const Outcome<Endpoint> endpoint = endpointFor(s);
    if (!endpoint.ok())
        return ready(Outcome<Sent>(endpoint.error()));
    const Endpoint e = endpoint.value();
    return password()
        .then(&RemoteUploader::shared(),
              [s, e, png, fileName, entryID](const QString& pw) {
                  return transfer(s, e, pw, png, fileName, entryID);
              })
        .unwrap();
}

// The password is read on the keyring's worker: the keyring may take seconds to answer.
QFuture<QString> password()
{
    return Keychain::getAsync(QStringLiteral("remote.password"))
        .then(&RemoteUploader::shared(),
              [](const std::optional<QString>& v) { return v.value_or(QString()); });
}

void showToast(const UploadReport& report, const QString& symbol, double seconds)
{
    Toast::present(new ToastView(report.title, report.subtitle, symbol), seconds);
}

UploadReport notice(const QString& title, const QString& subtitle, const QString& symbol, double seconds)
{
    UploadReport report{false, false, title, subtitle};
    showToast(report, symbol, seconds);
    return report;
}

}  // namespace

UploadSettings UploadSettings::fromPrefs()
{
    UploadSettings s;
    s.protocol = Prefs::remoteProtocol();
    s.host = Prefs::trimmed(QStringLiteral("remote.host"));
    s.folder = Prefs::trimmed(QStringLiteral("remote.folder"));
    s.user = Prefs::trimmed(QStringLiteral("remote.user"));
    s.keyPath = Prefs::trimmed(QStringLiteral("remote.keyPath"));
    s.publicURL = Prefs::trimmed(QStringLiteral("remote.publicURL"));
    s.port = Prefs::remotePort();
    return s;
}

struct RemoteUploader::Pass {
    QList<PendingUpload> items;
    qsizetype next = 0;
    std::shared_ptr<void> claim;  // on the item being sent
    RetryTally tally;
    QPromise<RetryTally> promise;
    QFuture<RetryTally> future;
};

RemoteUploader& RemoteUploader::shared()
{
    static RemoteUploader* uploader = new RemoteUploader;
    return *uploader;
}

RemoteUploader::~RemoteUploader() = default;

void RemoteUploader::setTimeLimitMs(int ms)
{
    upload::setTimeLimitMs(ms);
}

void RemoteUploader::useForTests(UploadQueue* q, HistoryStore* h)
{
    useQueue(q);
    g_history = h;
}

void RemoteUploader::followHistory()
{
    // Without the file there is nothing to forget, and no folder is made for it.
    const auto forget = [](const QSet<QUuid>& ids, bool keepOnly) {
        if (QFileInfo::exists(queueInUse().dir() + QStringLiteral("/uploaded-names.json")))
            namesInUse().forget(ids, keepOnly);
    };
    HistoryStore& h = history();
    // A history that was not read whole names too little to judge by.
    if (h.keptBadIndex().isEmpty()) {
        QSet<QUuid> ids;
        for (const HistoryEntry& e : h.entries())
            ids.insert(e.id);
        forget(ids, true);
    }
    QObject::connect(&h, &HistoryStore::removed, &shared(), [forget](const QList<QUuid>& ids) {
        forget(QSet<QUuid>(ids.cbegin(), ids.cend()), false);
    });
}

void RemoteUploader::setKnownHostsForTests(const QString& path)
{
    setKnownHosts(path);
}

void RemoteUploader::abandonTransfers()
{
    endAllChildren();
    WorkFolder::removeAll();
}

int RemoteUploader::sweepStaleWorkFolders()
{
    return WorkFolder::sweepStale(QDir::tempPath());
}

QFuture<Outcome<Link>> RemoteUploader::send(const QByteArray& png, const QString& fileName)
{
    return sendAs(png, fileName, std::nullopt).then(&shared(), [](const Outcome<Sent>& r) {
        return r.ok() ? Outcome<Link>(r.value().link) : Outcome<Link>(r.error());
    });
}

QFuture<QString> RemoteUploader::testConnection()
{
    const UploadSettings s = UploadSettings::fromPrefs();
    if (auto bad = checkValues(s, QString(), std::nullopt))
        return ready(bad->message);
    const Outcome<Endpoint> endpoint = endpointFor(s);
    if (!endpoint.ok())
        return ready(endpoint.message());
    const Endpoint e = endpoint.value();
    return password()
        .then(&shared(), [s, e](const QString& pw) { return connectionTest(s, e, pw); })
        .unwrap();
}

QFuture<UploadReport> RemoteUploader::upload(const QImage& image, double scale,
                                             const std::optional<HistoryEntry>& entry,
                                             const std::optional<QString>& title)
{
    const QString warn = "exclamationmark.triangle.fill"_sym;
    if (Prefs::trimmed(QStringLiteral("remote.host")).isEmpty())
        return ready(notice(
            kx::tr("Upload is not configured", "A feltöltés nincs beállítva",
                   "Hochladen ist nicht eingerichtet"),
            kx::tr("Settings → Upload", "Beállítások → Feltöltés", "Einstellungen → Hochladen"), warn, 3));
    const std::optional<QByteArray> png = encoded(image, ImageFormat::png, 0.9, scale);
    if (!png)
        return ready(notice(kx::tr("Could not encode the image", "A kép kódolása sikertelen",
                                   "Das Bild konnte nicht kodiert werden."),
                            QString(), warn, 3));
    const QDateTime date = entry ? entry->date : QDateTime::currentDateTime();
    const std::optional<QString> name = title ? title : entry ? entry->title : std::nullopt;
    const std::optional<QUuid> entryID = entry ? std::optional<QUuid>(entry->id) : std::nullopt;
    // The pattern alone would give two captures one name, and the later upload would replace
    // the file an earlier link points at.
    const QString fileName =
        uniqueRemoteName(FileNaming::baseName(date, name, entry ? entry->kind : SourceKind::area), entryID);
    notice(kx::tr("Uploading…", "Feltöltés…", "Wird hochgeladen…"), QString(), "icloud.and.arrow.up"_sym, 20);

    const QByteArray bytes = *png;
    return sendAs(bytes, fileName, entryID)
        .then(&shared(),
              [bytes, fileName, entryID, warn](const Outcome<Sent>& r) -> QFuture<UploadReport> {
                  if (!r.ok()) {
                      QString why;
                      const bool queued =
                          queue().enqueue(bytes, fileName, entryID, r.message(), &why).has_value();
                      UploadReport report;
                      if (queued) {
                          report = notice(upload::queuedFailureText(), r.message(), warn, 6);
                      } else {
                          // Not kept: say so, with both reasons, instead of promising a retry. Why
                          // it was not kept comes first: the toast may not show all of the second.
                          report = notice(upload::notKeptFailureText(),
                                          why + QStringLiteral(" – ") + r.message(), warn, 6);
                      }
                      report.queued = queued;
                      return ready(report);
                  }
                  UploadReport report;
                  // The server may have had the name: the file went under the next number.
                  const QString sentName = r.value().name;
                  if (const Link& link = r.value().link) {
                      if (entryID)
                          history().setUploadURL(*entryID, *link);
                      const qsizetype dot = sentName.lastIndexOf('.');
                      const QString alt = dot >= 0 ? sentName.left(dot) : sentName;
                      if (QClipboard* clipboard = QGuiApplication::clipboard()) {
                          clipboard->clear();
                          clipboard->setText(uploadCopyText(Prefs::uploadCopyFormat(), *link, alt));
                      }
                      report = notice(kx::tr("Uploaded – copied to the clipboard", "Feltöltve – a vágólapon",
                                             "Hochgeladen – in der Zwischenablage"),
                                      *link, "link"_sym, 5);
                  } else {
                      report = notice(kx::tr("Uploaded", "Feltöltve", "Hochgeladen"), sentName,
                                      "checkmark.circle.fill"_sym, 3);
                  }
                  report.sent = true;
                  return shared().retryPass().then(&shared(), [report](const RetryTally&) { return report; });
              })
        .unwrap();
}

QFuture<RetryTally> RemoteUploader::retryPass()
{
    if (pass_)
        return pass_->future;
    pass_ = std::make_unique<Pass>();
    pass_->items = queue().items();
    pass_->tally.total = int(pass_->items.size());
    pass_->future = pass_->promise.future();
    pass_->promise.start();
    const QFuture<RetryTally> future = pass_->future;
    Q_EMIT retryingChanged(true);
    nextInPass();  // may end the pass at once (nothing to send)
    return future;
}

void RemoteUploader::nextInPass()
{
    pass_->claim.reset();
    while (pass_->next < pass_->items.size()) {
        const PendingUpload item = pass_->items[pass_->next++];
        // Another Kaptorix of this user may be in a pass over the same queue: only the one
        // that claims an item sends it.
        UploadQueue::Claim claim = queue().claim(item.id);
        switch (claim.state) {
            case UploadQueue::Claim::State::elsewhere:
                --pass_->tally.total;  // not this pass's to send
                continue;
            case UploadQueue::Claim::State::noImage:
                queue().remove(item.id);
                continue;
            case UploadQueue::Claim::State::unreadable:
                // The image is still there: keep the item for a later pass.
                queue().recordFailure(item.id, claim.error);
                continue;
            case UploadQueue::Claim::State::claimed:
                break;
        }
        QFile file(queue().pngPath(item.id));
        if (!file.open(QIODevice::ReadOnly)) {
            queue().recordFailure(item.id, file.errorString());
            continue;
        }
        pass_->claim = std::move(claim.held);
        const QByteArray png = file.readAll();
        sendAs(png, item.fileName, item.entryID).then(this, [this, item](const Outcome<Sent>& r) {
            if (r.ok()) {
                if (r.value().link && item.entryID)
                    history().setUploadURL(*item.entryID, *r.value().link);
                // The claim goes with the removal: held until the saved queue lacks the item.
                queue().remove(item.id, std::exchange(pass_->claim, nullptr));
                ++pass_->tally.sent;
            } else {
                queue().recordFailure(item.id, r.message());
            }
            nextInPass();
        });
        return;
    }
    endPass();
}

void RemoteUploader::endPass()
{
    std::unique_ptr<Pass> pass = std::move(pass_);
    pass->promise.addResult(pass->tally);
    pass->promise.finish();
    Q_EMIT retryingChanged(false);
}

}  // namespace kx
