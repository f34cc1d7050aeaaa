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

// What an upload ended with: the name the server has the file under, and its public link.
struct Sent {
    QString name;
    Link link;
};

// Names looked at on the server for one upload before giving up.
constexpr int kMaxNameChecks = 64;
// Names one sftp session looks at.
constexpr int kSftpNamesPerCheck = 8;

// One upload: its first name, and the number it has come to while the server had the names.
struct Job {
    UploadSettings s;
    Endpoint endpoint;
    QString password;
    std::shared_ptr<WorkFolder> work;
    QString local;
    QString first;
    UploadNames::Parts parts;
    std::optional<QUuid> entryID;
    int n = 1;
    int checks = 0;

    QString name(int number) const
    {
        return number == parts.n ? first : UploadNames::numbered(parts.base, number, parts.extension);
    }
    // The next number whose name no other upload of this program has.
    int nextNumber(int after) const
    {
        QStringList held;
        for (const PendingUpload& item : queue().items()) {
            if (item.fileName != first)
                held << item.fileName;
        }
        int number = after + 1;
        while (names().takenByOther(name(number), entryID, held))
            ++number;
        return number;
    }
    bool webdav() const { return s.protocol == RemoteProtocol::webdav; }
    // Takes a number the server has free, unless another upload took its name meanwhile: two
    // uploads moving on from the same taken name must not both pick the next one. The first
    // name was given to this upload before it started.
    bool claim(int number) const
    {
        if (number == parts.n)
            return true;
        if (names().takenByOther(name(number), entryID, {}))
            return false;
        names().record(name(number), entryID);
        return true;
    }
};
using JobPtr = std::shared_ptr<Job>;

QFuture<Outcome<Sent>> failed(const JobPtr& job, const UploadError& error)
{
    job->work->remove();
    return ready(Outcome<Sent>(error));
}

QFuture<Outcome<Sent>> failedRun(const JobPtr& job, const ProcessOutput& r)
{
    return failed(job, UploadError{failureMessage(r.err, r.exitCode, Lang::current())});
}

QFuture<Outcome<Sent>> done(const JobPtr& job, const QString& name)
{
    job->work->remove();
    names().record(name, job->entryID);
    return ready(Outcome<Sent>(Sent{name, publicLink(name, job->s.publicURL)}));
}

QFuture<Outcome<Sent>> checkName(const JobPtr& job);

// The server had the name: on to the next number.
QFuture<Outcome<Sent>> nextName(const JobPtr& job)
{
    job->n = job->nextNumber(job->n);
    return checkName(job);
}

QFuture<Outcome<Sent>> curlPut(const JobPtr& job)
{
    const QString name = job->name(job->n);
    Outcome<QString> url = fileUrl(name, job->endpoint);
    if (!url.ok())
        return failed(job, url.error());
    ChildRequest request = curlRequest(
        curlUploadConfig(job->s.user, job->password, job->local, url.value(), job->webdav(), true));
    request.anyExitStatus = true;
    return runChild(request)
        .then(&RemoteUploader::shared(),
              [job, name](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  if (r.value().exitCode == 0)
                      return done(job, name);
                  // A server that keeps conditions had the name after all.
                  if (job->webdav() && refusedAsExisting(r.value()))
                      return nextName(job);
                  return failedRun(job, r.value());
              })
        .unwrap();
}

QFuture<Outcome<Sent>> sftpPut(const JobPtr& job)
{
    const QString name = job->name(job->n);
    const SftpUploadPlan plan = sftpUploadCommands(job->local, name, job->endpoint);
    Outcome<ChildRequest> request =
        sftpRequest(plan.commands, job->endpoint, job->s, job->password, *job->work);
    if (!request.ok())
        return failed(job, request.error());
    return runChild(request.value())
        .then(&RemoteUploader::shared(),
              [job, name, remote = plan.remote](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  const Outcome<bool> arrived = judgeSftpUpload(r.value(), remote);
                  return arrived.ok() ? done(job, name) : failed(job, arrived.error());
              })
        .unwrap();
}

// Looks at a few names in one session and puts the file under the first the server lacks.
QFuture<Outcome<Sent>> sftpCheck(const JobPtr& job)
{
    QList<int> numbers{job->n};
    while (numbers.size() < kSftpNamesPerCheck)
        numbers << job->nextNumber(numbers.last());
    QStringList remotes;
    for (int number : numbers)
        remotes << sftpRemotePath(job->name(number), job->endpoint);
    job->checks += int(numbers.size()) - 1;
    Outcome<ChildRequest> request =
        sftpRequest(sftpCheckCommands(remotes), job->endpoint, job->s, job->password, *job->work);
    if (!request.ok())
        return failed(job, request.error());
    return runChild(request.value())
        .then(&RemoteUploader::shared(),
              [job, numbers, remotes](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  for (const qsizetype i : absentOnes(r.value(), remotes)) {
                      if (job->claim(numbers[i])) {
                          job->n = numbers[i];
                          return sftpPut(job);
                      }
                  }
                  job->n = numbers.last();
                  return nextName(job);
              })
        .unwrap();
}

// Never replaces a file: the server is asked whether it has the name before the upload.
QFuture<Outcome<Sent>> checkName(const JobPtr& job)
{
    if (++job->checks > kMaxNameChecks)
        return failed(job, UploadError{everyNameTakenText()});
    if (job->s.protocol == RemoteProtocol::sftp)
        return sftpCheck(job);
    Outcome<QString> url = fileUrl(job->name(job->n), job->endpoint);
    if (!url.ok())
        return failed(job, url.error());
    ChildRequest request =
        curlRequest(curlCheckConfig(job->s.user, job->password, url.value(), job->webdav()));
    request.arguments = curlCheckArguments();
    request.anyExitStatus = true;
    return runChild(request)
        .then(&RemoteUploader::shared(),
              [job](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  switch (judgeCurlCheck(r.value(), job->webdav())) {
                      case NameCheck::free:
                          return job->claim(job->n) ? curlPut(job) : nextName(job);
                      case NameCheck::taken:
                          return nextName(job);
                      case NameCheck::failed:
                          break;
                  }
                  return failedRun(job, r.value());
              })
        .unwrap();
}

QFuture<Outcome<Sent>> transfer(const UploadSettings& s, const Endpoint& endpoint, const QString& password,
                                const QByteArray& png, const QString& fileName,
                                const std::optional<QUuid>& entryID)
{
    if (auto bad = checkValues(s, password, fileName))
        return ready(Outcome<Sent>(*bad));
    auto work = std::make_shared<WorkFolder>();
    if (!work->ok())
        return ready(Outcome<Sent>(UploadError{workDirFailedText()}));
    const QString local = work->path() + '/' + fileName;
    QString why;
    if (hasControlCharacter(local))
        return ready(Outcome<Sent>(UploadError{controlCharacterText()}));
    if (!WorkFolder::writeImage(local, png, &why))
        return ready(Outcome<Sent>(UploadError{why}));
    auto job = std::make_shared<Job>();
    job->s = s;
    job->endpoint = endpoint;
    job->password = password;
    job->work = work;
    job->local = local;
    job->first = fileName;
    job->parts = UploadNames::split(fileName);
    job->entryID = entryID;
    job->n = job->parts.n;
    return checkName(job);
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
                          // Not kept: say so, with the reasons, instead of promising a retry.
                          report = notice(
                              kx::tr("Upload failed", "A feltöltés nem sikerült", "Hochladen fehlgeschlagen"),
                              r.message() + QStringLiteral(" – ") + why, warn, 6);
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
        sendAs(png, item.fileName, item.entryID).then(this, [this, item](const Outcome<Sent>& r) {
            if (r.ok()) {
                if (r.value().link && item.entryID)
                    history().setUploadURL(*item.entryID, *r.value().link);
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
