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
    std::mutex use;             // one request at a time; stopping waits for it
    std::atomic<pid_t> pid{0};  // written under `use`; read anywhere
    int fd = -1;
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

// Ends the process at once (it holds nothing that needs a clean exit, also when stopped) and
// says how it ended: a process that died by itself keeps its own status.
QString endChild(Child& c)
{
    const pid_t pid = c.pid;
    if (pid <= 0)
        return {};
    ::kill(pid, SIGKILL);
    ::close(c.fd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    c.pid = 0;
    c.fd = -1;
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
    c.fd = fds[0];
    c.pid = pid;
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
            endChild(c);
            continue;
        }
        const InFlight inFlight(c);
        const std::optional<QByteArray> reply = awaitReply(c);
        if (cancelFlag().load()) {
            endChild(c);
            return failed(QStringLiteral("cancelled"));
        }
        if (!reply) {
            // It died while reading this image: not retried, the image may be what kills it.
            return failed(endChild(c));
        }
        const std::optional<RecognizeReply> decoded = decodeReply(*reply);
        if (!decoded) {
            endChild(c);
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
    if (const pid_t pid = c.pid; now && pid > 0)
        ::kill(pid, SIGKILL);  // the request in flight then fails at once
    const std::lock_guard lock(c.use);
    endChild(c);
}

RecognizerProcessState recognizerProcessState()
{
    const Child& c = child();
    return {qint64(c.pid.load()), c.reading.load(), c.paused.load(), c.engines.load()};
}

}  // namespace kx::ocr
