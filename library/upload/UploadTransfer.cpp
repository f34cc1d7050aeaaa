#include "library/upload/UploadTransfer.h"

#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/ServerAnswer.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadPlan.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/WorkFolder.h"

#include <QDir>
#include <QFile>

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

}  // namespace kx::upload
