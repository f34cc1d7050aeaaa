#include "library/upload/UploadTransfer.h"

#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/ModuleLoader.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/ServerAnswer.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadPlan.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <functional>

namespace kx::upload {

namespace {

int g_timeLimitMs = 300'000;
UploadQueue* g_queue = nullptr;

UploadQueue& queue()
{
    return queueInUse();
}

UploadNames& names()
{
    return namesInUse();
}

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
// Tests: the programs' stand-in, and a step between the look at a name and the upload.
ChildRunnerFunction g_runner;
std::function<void(const QString&)> g_beforeUpload;

QFuture<Outcome<ProcessOutput>> run(const ChildRequest& request)
{
    return g_runner ? g_runner(request) : runChild(request);
}

QString sshMissingText()
{
    return kx::tr(
        "A part of Kaptorix is missing: kaptorix-ssh. Reinstall Kaptorix to upload over SFTP.",
        "A Kaptorix egy része hiányzik: kaptorix-ssh. Telepítsd újra a Kaptorixot az SFTP-feltöltéshez.",
        "Ein Teil von Kaptorix fehlt: kaptorix-ssh. Installiere Kaptorix neu, um über SFTP hochzuladen.");
}

// sftp with its environment: the askpass script when there is a password.
Outcome<ChildRequest> sftpRequest(const QStringList& commands, const Endpoint& endpoint,
                                  const UploadSettings& s, const QString& password, const WorkFolder& work,
                                  bool stopAtFailure = false)
{
    ChildRequest request;
    request.program = QStringLiteral("/usr/bin/sftp");
    const QString known = g_knownHosts;
    if (hasControlCharacter(known))
        return UploadError{controlCharacterText()};
    // ssh through a launcher that ends it with sftp: sftp dies with this program, but its ssh,
    // with the pass phrase in its environment, would otherwise live on.
    static const QString ssh = moduleFile(QStringLiteral("kaptorix-ssh"));
    if (ssh.isEmpty())
        return UploadError{sshMissingText()};
    request.arguments =
        sftpArguments(endpoint, s.user, expandHome(s.keyPath, QDir::homePath()), known, ssh, stopAtFailure);
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
    request.secret = password;
    return request;
}

ChildRequest curlRequest(const QStringList& config, const QString& password)
{
    ChildRequest request{
        QStringLiteral("/usr/bin/curl"), curlArguments(), {}, inputText(config).toUtf8(), g_timeLimitMs};
    request.secret = password;
    return request;
}

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
    QString temporary;        // sftp: the file's path on the server until its rename
    bool putStarted = false;  // sftp: the temporary file may be on the server
    qint64 size = 0;          // bytes of the image

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
        // One step under the names' lock: the other Kaptorix may be at the same number.
        return names().record(name(number), entryID);
    }
};
using JobPtr = std::shared_ptr<Job>;

// The reason goes to a toast, the queue's file and the settings as it is: what it quotes of a
// server or a program was made without the password where it was quoted.
QFuture<Outcome<Sent>> failed(const JobPtr& job, const UploadError& error)
{
    job->work->remove();
    return ready(Outcome<Sent>(error));
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

// Longest run of a clean-up after a failure: a server that stopped answering keeps the
// failure's notice waiting no longer than this.
int cleanupLimitMs()
{
    return std::min(g_timeLimitMs, 30'000);
}

// FTP writes under the final name: a transfer cut short leaves a truncated file there, which is
// deleted (the name was free when the upload looked at it).
QFuture<Outcome<Sent>> ftpFailed(const JobPtr& job, const QString& name, const UploadError& error)
{
    ChildRequest request =
        curlRequest(curlDeleteConfig(job->s.user, job->password, name, job->endpoint), job->password);
    request.anyExitStatus = true;
    request.timeLimitMs = cleanupLimitMs();
    return run(request)
        .then(&RemoteUploader::shared(),
              [job, error](const Outcome<ProcessOutput>&) { return failed(job, error); })
        .unwrap();
}

QFuture<Outcome<Sent>> curlPut(const JobPtr& job)
{
    const QString name = job->name(job->n);
    Outcome<QString> url = fileUrl(name, job->endpoint);
    if (!url.ok())
        return failed(job, url.error());
    ChildRequest request = curlRequest(
        curlUploadConfig(job->s.user, job->password, job->local, url.value(), job->webdav(), true),
        job->password);
    request.anyExitStatus = true;
    return run(request)
        .then(&RemoteUploader::shared(),
              [job, name](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return job->webdav() ? failed(job, r.error()) : ftpFailed(job, name, r.error());
                  const Outcome<Stored> stored =
                      judgeCurlUpload(r.value(), job->webdav(), job->password, {name});
                  if (!stored.ok()) {
                      if (!job->webdav() && ftpMayHaveWritten(r.value()))
                          return ftpFailed(job, name, stored.error());
                      return failed(job, stored.error());
                  }
                  // A server that keeps conditions had the name after all.
                  return stored.value() == Stored::yes ? done(job, name) : nextName(job);
              })
        .unwrap();
}

// After giving up, the temporary file is removed from the server in a session of its own: the
// one that failed may have lost its connection. A put that failed on a disk with no space left
// says so.
QFuture<Outcome<Sent>> failedAfterPut(const JobPtr& job, const UploadError& error, bool putFailed = false)
{
    if (!job->putStarted)
        return failed(job, error);
    Outcome<ChildRequest> request = sftpRequest(sftpRemoveCommands(job->temporary, job->endpoint),
                                                job->endpoint, job->s, job->password, *job->work);
    if (!request.ok())
        return failed(job, error);
    ChildRequest cleanup = request.value();
    cleanup.anyExitStatus = true;
    cleanup.timeLimitMs = cleanupLimitMs();
    return run(cleanup)
        .then(&RemoteUploader::shared(),
              [job, error, putFailed](const Outcome<ProcessOutput>& r) {
                  if (putFailed && r.ok() && sftpDiskFull(r.value()))
                      return failed(job, UploadError{diskFullText()});
                  return failed(job, error);
              })
        .unwrap();
}

QFuture<Outcome<Sent>> sftpRename(const JobPtr& job);

// The rename found the name taken (another computer wrote it after the look): the next
// number this program has not given away, with the file already on the server.
QFuture<Outcome<Sent>> renamedElsewhere(const JobPtr& job)
{
    do {
        if (++job->checks > kMaxNameChecks)
            return failedAfterPut(job, UploadError{everyNameTakenText()});
        job->n = job->nextNumber(job->n);
    } while (!job->claim(job->n));
    return sftpRename(job);
}

QFuture<Outcome<Sent>> sftpRun(const JobPtr& job, const QStringList& commands)
{
    const QString name = job->name(job->n);
    Outcome<ChildRequest> request =
        sftpRequest(commands, job->endpoint, job->s, job->password, *job->work, true);
    if (!request.ok())
        return failedAfterPut(job, request.error());
    // The batch stops at a failed put; what ran is judged from the listings.
    ChildRequest batch = request.value();
    batch.anyExitStatus = true;
    job->putStarted = true;
    return run(batch)
        .then(&RemoteUploader::shared(),
              [job, name, remote = sftpRemotePath(name, job->endpoint)](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failedAfterPut(job, r.error());
                  bool putFailed = false;
                  const Outcome<Stored> stored = judgeSftpUpload(r.value(), job->temporary, remote, job->size,
                                                                 &putFailed, job->password);
                  if (!stored.ok())
                      return failedAfterPut(job, stored.error(), putFailed);
                  if (stored.value() == Stored::yes)
                      return done(job, name);
                  return renamedElsewhere(job);
              })
        .unwrap();
}

QFuture<Outcome<Sent>> sftpRename(const JobPtr& job)
{
    return sftpRun(job, sftpRenameCommands(job->temporary, sftpRemotePath(job->name(job->n), job->endpoint)));
}

// Writes under a temporary name and renames without replacing: a file another computer put
// there after the look stays as it is.
QFuture<Outcome<Sent>> sftpPut(const JobPtr& job)
{
    const QString temporaryName = QStringLiteral(".kaptorix-") +
                                  QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                  QStringLiteral(".part");
    const SftpUploadPlan plan =
        sftpUploadCommands(job->local, temporaryName, job->name(job->n), job->endpoint);
    job->temporary = plan.temporary;
    return sftpRun(job, plan.commands);
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
    return run(request.value())
        .then(&RemoteUploader::shared(),
              [job, numbers, remotes](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  for (const qsizetype i : absentOnes(r.value(), remotes)) {
                      if (job->claim(numbers[i])) {
                          job->n = numbers[i];
                          if (g_beforeUpload)
                              g_beforeUpload(job->name(job->n));
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
        curlRequest(curlCheckConfig(job->s.user, job->password, url.value(), job->webdav()), job->password);
    request.anyExitStatus = true;
    return run(request)
        .then(&RemoteUploader::shared(),
              [job](const Outcome<ProcessOutput>& r) {
                  if (!r.ok())
                      return failed(job, r.error());
                  const Outcome<NameCheck> check =
                      judgeCurlCheck(r.value(), job->webdav(), job->password, {job->name(job->n)});
                  if (!check.ok())
                      return failed(job, check.error());
                  if (check.value() == NameCheck::taken || !job->claim(job->n))
                      return nextName(job);
                  if (g_beforeUpload)
                      g_beforeUpload(job->name(job->n));
                  return curlPut(job);
              })
        .unwrap();
}

}  // namespace

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
    job->size = png.size();
    job->first = fileName;
    job->parts = UploadNames::split(fileName);
    job->entryID = entryID;
    job->n = job->parts.n;
    return checkName(job);
}

QFuture<QString> connectionTest(const UploadSettings& s, const Endpoint& endpoint, const QString& password)
{
    if (auto bad = checkValues(s, password, std::nullopt))
        return ready(bad->message);
    if (s.protocol != RemoteProtocol::sftp) {
        Outcome<QString> url = fileUrl(std::nullopt, endpoint);
        if (!url.ok())
            return ready(url.message());
        const bool webdav = s.protocol == RemoteProtocol::webdav;
        ChildRequest request = curlRequest(curlTestConfig(s.user, password, url.value(), webdav), password);
        request.anyExitStatus = true;
        return run(request).then(&RemoteUploader::shared(),
                                 [webdav, password](const Outcome<ProcessOutput>& r) {
                                     if (!r.ok())
                                         return r.message();
                                     const Outcome<bool> judged = judgeCurlTest(r.value(), webdav, password);
                                     return judged.ok() ? connectedText() : judged.message();
                                 });
    }
    auto work = std::make_shared<WorkFolder>();
    if (!work->ok())
        return ready(workDirFailedText());
    Outcome<ChildRequest> request = sftpRequest(sftpTestCommands(endpoint), endpoint, s, password, *work);
    if (!request.ok())
        return ready(request.message());
    return run(request.value()).then(&RemoteUploader::shared(), [work](const Outcome<ProcessOutput>& r) {
        work->remove();
        if (!r.ok())
            return r.message();
        const Outcome<bool> judged = judgeSftpTest(r.value());
        return judged.ok() ? connectedText() : judged.message();
    });
}

UploadQueue& queueInUse()
{
    return g_queue ? *g_queue : UploadQueue::shared();
}

void useQueue(UploadQueue* q)
{
    g_queue = q;
}

// The names given so far, in a file beside the queue in use.
UploadNames& namesInUse()
{
    static std::unique_ptr<UploadNames> names;
    const QString path = queueInUse().dir() + QStringLiteral("/uploaded-names.json");
    if (!names || names->path() != path)
        names = std::make_unique<UploadNames>(path);
    return *names;
}

void setTimeLimitMs(int ms)
{
    g_timeLimitMs = ms;
}

void setKnownHosts(const QString& path)
{
    g_knownHosts = path;
}

void setChildRunnerForTests(ChildRunnerFunction runner)
{
    g_runner = std::move(runner);
}

void setBeforeUploadForTests(std::function<void(const QString&)> step)
{
    g_beforeUpload = std::move(step);
}

}  // namespace kx::upload
