#include "analysis/RecognizerProcess.h"

#include "analysis/BackgroundWork.h"
#include "analysis/TextRecognizer.h"
#include "analysis/engine/RecognizerProtocol.h"
#include "core/ModuleLoader.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <mutex>

extern char** environ;

namespace kx::ocr {

namespace {

constexpr int kChannel = 3;  // the child's end of the socket

struct Child {
    std::mutex use;  // one request at a time; stopping waits for it
    pid_t pid = 0;
    int fd = -1;
    std::atomic<qint64> shownPid{0};
    std::atomic<bool> reading{false};
    std::atomic<bool> paused{false};
    std::atomic<int> engines{0};
};

Child& child()
{
    static auto* c = new Child;  // never destroyed: a request may still run at exit
    return *c;
}

QString describeStatus(int status)
{
    if (WIFSIGNALED(status))
        return QStringLiteral("the recognition process ended with signal %1").arg(WTERMSIG(status));
    return QStringLiteral("the recognition process ended with status %1").arg(WEXITSTATUS(status));
}

// Ends the process; `kill`: at once, else by closing its socket (it ends when it sees that).
QString endChild(Child& c, bool kill)
{
    if (c.pid <= 0)
        return {};
    if (kill) {
        ::kill(c.pid, SIGKILL);
    }
    ::close(c.fd);
    if (!kill)
        ::kill(c.pid, SIGCONT);  // a process stopped while held would never see the close
    int status = 0;
    while (::waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
    }
    c.pid = 0;
    c.fd = -1;
    c.shownPid = 0;
    c.paused = false;
    return describeStatus(status);
}

bool startChild(Child& c, const QString& program, QString* error)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kChannel);  // dup2 clears close-on-exec
    posix_spawn_file_actions_addclosefrom_np(&actions, kChannel + 1);
    const QByteArray path = QFile::encodeName(program);
    char* argv[] = {const_cast<char*>(path.constData()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        *error = QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(strerror(rc)));
        return false;
    }
    c.pid = pid;
    c.fd = fds[0];
    c.shownPid = pid;
    return true;
}

// Marks a request as handed over, its reply awaited, while it lives.
struct InFlight {
    explicit InFlight(Child& c) : c_(c) { c_.reading = true; }
    ~InFlight() { c_.reading = false; }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    Child& c_;
};

// Waits for the reply, stopping the process while background work is held.
std::optional<QByteArray> awaitReply(Child& c)
{
    FrameReader reader;
    for (;;) {
        if (cancelFlag().load())
            return std::nullopt;
        if (BackgroundWork::held()) {
            ::kill(c.pid, SIGSTOP);
            c.paused = true;
            BackgroundWork::waitWhileHeld(&cancelFlag());
            ::kill(c.pid, SIGCONT);
            c.paused = false;
            continue;
        }
        pollfd p{c.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);  // short, to see holds and cancellation in time
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready <= 0)
            continue;
        switch (reader.readSome(c.fd)) {
            case FrameReader::State::Done:
                return reader.take();
            case FrameReader::State::Broken:
                return std::nullopt;
            case FrameReader::State::More:
                break;
        }
    }
}

OCRResult failed(const QString& why)
{
    OCRResult r;
    r.error = why;
    return r;
}

}  // namespace

std::optional<OCRResult> recognizeInProcess(const QImage& image, const QStringList& languages,
                                            const QString& dataDir)
{
    static const QString program = moduleFile(QStringLiteral("kaptorix-recognizer"));
    if (program.isEmpty())
        return std::nullopt;
    if (image.isNull())
        return failed(QStringLiteral("no image"));
    if (languages.isEmpty())
        return failed(QStringLiteral("no language data installed in %1").arg(dataDir));
    const QImage grey = prepared(image);
    if (grey.isNull())
        return failed(QStringLiteral("out of memory"));
    const QByteArray request = encodeRequest({grey, languages, dataDir});

    Child& c = child();
    const std::lock_guard lock(c.use);
    // A process that ended while idle (killed, out of memory) is replaced once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (c.pid <= 0) {
            QString error;
            if (!startChild(c, program, &error)) {
                qWarning("kaptorix: recognition process not started, reading here: %s", qPrintable(error));
                return std::nullopt;
            }
        }
        if (!sendFrame(c.fd, request)) {
            endChild(c, true);
            continue;
        }
        const InFlight inFlight(c);
        const std::optional<QByteArray> reply = awaitReply(c);
        if (cancelFlag().load()) {
            endChild(c, true);
            return failed(QStringLiteral("cancelled"));
        }
        if (!reply) {
            // It died while reading this image: not retried, the image may be what kills it.
            return failed(endChild(c, true));
        }
        const std::optional<RecognizeReply> decoded = decodeReply(*reply);
        if (!decoded) {
            endChild(c, true);
            return failed(QStringLiteral("the recognition process sent a broken reply"));
        }
        c.engines = decoded->engines;
        return decoded->result;
    }
    return failed(QStringLiteral("the recognition process could not be started"));
}

void stopRecognizerProcess(bool now)
{
    Child& c = child();
    if (now && c.shownPid.load() > 0)
        ::kill(pid_t(c.shownPid.load()), SIGKILL);  // the request in flight then fails at once
    const std::lock_guard lock(c.use);
    endChild(c, now);
}

RecognizerProcessState recognizerProcessState()
{
    const Child& c = child();
    return {c.shownPid.load(), c.reading.load(), c.paused.load(), c.engines.load()};
}

}  // namespace kx::ocr
