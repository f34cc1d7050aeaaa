#include "library/upload/RemoteUploader.h"

#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/FileNaming.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadPlan.h"
#include "library/upload/UploadQueue.h"
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

int g_timeLimitMs = 300'000;
UploadQueue* g_queue = nullptr;
HistoryStore* g_history = nullptr;

UploadQueue& queue()
{
    return g_queue ? *g_queue : UploadQueue::shared();
}

HistoryStore& history()
{
    return g_history ? *g_history : HistoryStore::shared();
}

// The names given so far, in a file beside the queue in use.
UploadNames& names()
{
    static std::unique_ptr<UploadNames> names;
    const QString path = queue().dir() + QStringLiteral("/uploaded-names.json");
    if (!names || names->path() != path)
        names = std::make_unique<UploadNames>(path);
    return *names;
}

// A remote name no other capture's upload has; queued items keep theirs.
QString uniqueRemoteName(const QString& base, const std::optional<QUuid>& entryID)
{
    QStringList held;
    for (const PendingUpload& item : queue().items())
        held << item.fileName;
    return names().reserve(base, QStringLiteral(".png"), entryID, held);
}

using Link = std::optional<QString>;

template <class T>
QFuture<T> ready(T value)
{
    return QtFuture::makeReadyFuture(std::move(value));
}

QString workDirFailedText()
{
    return kx::tr("Could not create a temporary folder.", "Nem sikerült ideiglenes mappát létrehozni.",
                  "Ein temporärer Ordner konnte nicht angelegt werden.");
}

// Tests: ssh's known-hosts file (empty: ssh's own).
QString g_knownHosts;

// sftp with its environment: the askpass script when there is a password.
Outcome<ChildRequest> sftpRequest(const QStringList& commands, const Endpoint& endpoint,
                                  const UploadSettings& s, const QString& password, const WorkFolder& work)
{
    ChildRequest request;
    request.program = QStringLiteral("/usr/bin/sftp");
    const QString known = g_knownHosts;
    if (hasControlCharacter(known))
        return UploadError{controlCharacterText()};
    request.arguments = sftpArguments(endpoint, s.user, expandHome(s.keyPath, QDir::homePath()), known);
    if (!password.isEmpty()) {
        const QString script = work.path() + QStringLiteral("/askpass.sh");
        QString why;
        if (!writeFileAtomically(script, askpassScript(), &why))
            return UploadError{why};
        if (!QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return UploadError{QFile(script).errorString()};
        request.environment = {{QStringLiteral("SSH_ASKPASS"), script},
                               {QStringLiteral("SSH_ASKPASS_REQUIRE"), QStringLiteral("force")},
                               {QStringLiteral("KX_SFTP_PASS"), password}};
    }
    request.input = inputText(commands).toUtf8();
    request.timeLimitMs = g_timeLimitMs;
    return request;
}

ChildRequest curlRequest(const QStringList& config)
{
    return {QStringLiteral("/usr/bin/curl"), curlArguments(), {}, inputText(config).toUtf8(), g_timeLimitMs};
}

QFuture<Outcome<Link>> transfer(const UploadSettings& s, const Endpoint& endpoint, const QString& password,
                                const QByteArray& png, const QString& fileName)
{
    if (auto bad = checkValues(s, password, fileName))
        return ready(Outcome<Link>(*bad));
    auto work = std::make_shared<WorkFolder>();
    if (!work->ok())
        return ready(Outcome<Link>(UploadError{workDirFailedText()}));
    const QString local = work->path() + '/' + fileName;
    QString why;
    if (hasControlCharacter(local))
        return ready(Outcome<Link>(UploadError{controlCharacterText()}));
    if (!WorkFolder::writePrivate(local, png, &why))
        return ready(Outcome<Link>(UploadError{why}));

    ChildRequest request;
    QString remote;
    if (s.protocol == RemoteProtocol::sftp) {
        SftpUploadPlan plan = sftpUploadCommands(local, fileName, endpoint);
        Outcome<ChildRequest> r = sftpRequest(plan.commands, endpoint, s, password, *work);
        if (!r.ok())
            return ready(Outcome<Link>(r.error()));
        request = r.value();
        remote = plan.remote;
    } else {
        Outcome<QString> url = fileUrl(fileName, endpoint);
        if (!url.ok())
            return ready(Outcome<Link>(url.error()));
        request = curlRequest(
            curlUploadConfig(s.user, password, local, url.value(), s.protocol == RemoteProtocol::webdav));
    }
    const bool sftp = s.protocol == RemoteProtocol::sftp;
    const QString publicURL = s.publicURL;
    return runChild(request).then(&RemoteUploader::shared(),
                                  [work, sftp, remote, fileName, publicURL](const Outcome<ProcessOutput>& r) {
                                      work->remove();
                                      if (!r.ok())
                                          return Outcome<Link>(r.error());
                                      if (sftp) {
                                          Outcome<bool> arrived = judgeSftpUpload(r.value(), remote);
                                          if (!arrived.ok())
                                              return Outcome<Link>(arrived.error());
                                      }
                                      return Outcome<Link>(publicLink(fileName, publicURL));
                                  });
}

QFuture<QString> connectionTest(const UploadSettings& s, const Endpoint& endpoint, const QString& password)
{
    if (auto bad = checkValues(s, password, std::nullopt))
        return ready(bad->message);
    if (s.protocol != RemoteProtocol::sftp) {
        Outcome<QString> url = fileUrl(std::nullopt, endpoint);
        if (!url.ok())
            return ready(url.message());
        return runChild(curlRequest(curlTestConfig(s.user, password, url.value(),
                                                   s.protocol == RemoteProtocol::webdav)))
            .then(&RemoteUploader::shared(),
                  [](const Outcome<ProcessOutput>& r) { return r.ok() ? connectedText() : r.message(); });
    }
    auto work = std::make_shared<WorkFolder>();
    if (!work->ok())
        return ready(workDirFailedText());
    Outcome<ChildRequest> request = sftpRequest(sftpTestCommands(endpoint), endpoint, s, password, *work);
    if (!request.ok())
        return ready(request.message());
    return runChild(request.value()).then(&RemoteUploader::shared(), [work](const Outcome<ProcessOutput>& r) {
        work->remove();
        if (!r.ok())
            return r.message();
        const Outcome<bool> judged = judgeSftpTest(r.value());
        return judged.ok() ? connectedText() : judged.message();
    });
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
    g_timeLimitMs = ms;
}

void RemoteUploader::useForTests(UploadQueue* q, HistoryStore* h)
{
    g_queue = q;
    g_history = h;
}

void RemoteUploader::setKnownHostsForTests(const QString& path)
{
    g_knownHosts = path;
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
    const UploadSettings s = UploadSettings::fromPrefs();
    // Everything but the password is checked before the keyring is asked.
    if (auto bad = checkValues(s, QString(), fileName))
        return ready(Outcome<Link>(*bad));
    const Outcome<Endpoint> endpoint = endpointFor(s);
    if (!endpoint.ok())
        return ready(Outcome<Link>(endpoint.error()));
    const Endpoint e = endpoint.value();
    return password()
        .then(&shared(),
              [s, e, png, fileName](const QString& pw) { return transfer(s, e, pw, png, fileName); })
        .unwrap();
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
    return send(bytes, fileName)
        .then(&shared(),
              [bytes, fileName, entryID, warn](const Outcome<Link>& r) -> QFuture<UploadReport> {
                  if (!r.ok()) {
                      QString why;
                      const bool queued =
                          queue().enqueue(bytes, fileName, entryID, r.message(), &why).has_value();
                      UploadReport report;
                      if (queued) {
                          report = notice(upload::queuedFailureText(), r.message(), warn, 6);
                      } else {
                          // Not kept: say so, with the reasons, instead of promising a retry.
                          report = notice(
                              kx::tr("Upload failed", "A feltöltés nem sikerült", "Hochladen fehlgeschlagen"),
                              r.message() + QStringLiteral(" – ") + why, warn, 6);
                      }
                      report.queued = queued;
                      return ready(report);
                  }
                  UploadReport report;
                  if (const Link& link = r.value()) {
                      if (entryID)
                          history().setUploadURL(*entryID, *link);
                      const qsizetype dot = fileName.lastIndexOf('.');
                      const QString alt = dot >= 0 ? fileName.left(dot) : fileName;
                      if (QClipboard* clipboard = QGuiApplication::clipboard()) {
                          clipboard->clear();
                          clipboard->setText(uploadCopyText(Prefs::uploadCopyFormat(), *link, alt));
                      }
                      report = notice(kx::tr("Uploaded – copied to the clipboard", "Feltöltve – a vágólapon",
                                             "Hochgeladen – in der Zwischenablage"),
                                      *link, "link"_sym, 5);
                  } else {
                      report = notice(kx::tr("Uploaded", "Feltöltve", "Hochgeladen"), fileName,
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
    while (pass_->next < pass_->items.size()) {
        const PendingUpload item = pass_->items[pass_->next++];
        const QString path = queue().pngPath(item.id);
        if (!QFileInfo::exists(path)) {
            queue().remove(item.id);
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // The image is still there: keep the item for a later pass.
            queue().recordFailure(item.id, file.errorString());
            continue;
        }
        const QByteArray png = file.readAll();
        send(png, item.fileName).then(this, [this, item](const Outcome<Link>& r) {
            if (r.ok()) {
                if (r.value() && item.entryID)
                    history().setUploadURL(*item.entryID, *r.value());
                queue().remove(item.id);
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
