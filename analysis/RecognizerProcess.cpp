#include "analysis/RecognizerProcess.h"

#include "analysis/BackgroundWork.h"
#include "analysis/TextRecognizer.h"
#include "analysis/engine/RecognizerProtocol.h"
#include "core/ModuleLoader.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
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
    // Reports a failed exec: closed unread when the exec succeeds.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    const QByteArray path = QFile::encodeName(program);
    char* argv[] = {const_cast<char*>(path.constData()), nullptr};
    const pid_t parent = ::getpid();
    // fork, not posix_spawn: the child must ask to be killed with this process before it
    // runs anything, so that it never outlives it, not even stopped. The signal comes when
    // the thread that forked ends; the background thread lives as long as the process.
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to the exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);  // the parent is already gone
        // A group of its own: while it is stopped, a group it shared with the tray that became
        // orphaned (the starting shell gone) would get SIGHUP, and the tray would quit on it.
        ::setpgid(0, 0);
        // dup2 onto itself would keep close-on-exec.
        const bool placed =
            fds[1] == kChannel ? ::fcntl(kChannel, F_SETFD, 0) == 0 : ::dup2(fds[1], kChannel) >= 0;
        if (placed && ::close_range(kChannel + 1, ~0u, CLOSE_RANGE_CLOEXEC) == 0)
            ::execve(path.constData(), argv, environ);
        const int err = errno;
        [[maybe_unused]] const ssize_t n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(fds[1]);
    ::close(report[1]);
    int execError = 0;
    if (pid > 0) {
        ssize_t n = 0;
        while ((n = ::read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        if (n != ssize_t(sizeof execError))
            execError = 0;
        if (execError != 0) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    ::close(report[0]);
    if (pid < 0 || execError != 0) {
        ::close(fds[0]);
        *error = QStringLiteral("%1: %2").arg(
            program, QString::fromLocal8Bit(strerror(pid < 0 ? forkError : execError)));
        return false;
    }
    c.fd = fds[0];
    c.pid = pid;
    return true;
}

// The CPU time the process has used so far, in clock ticks; -1 when it cannot be read.
long long cpuTicks(pid_t pid)
{
    char path[40];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0)
        return -1;
    buf[n] = 0;
    // After the name in parentheses (which may hold anything): state, then fields 4.. ;
    // utime and stime are fields 14 and 15.
    const char* p = std::strrchr(buf, ')');
    if (!p)
        return -1;
    long long utime = 0, stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld", &utime, &stime) != 2)
        return -1;
    return utime + stime;
}

std::atomic<qint64> g_stallMs{kDefaultStallMs};

// Images are handed over in bands of at most this many pixels, each read as an image of its own:
// the process holds a few copies of what it reads (the request, the grey page, the page turned
// dark on white, its blocks), so that its memory follows the band rather than the image. A 4K
// screen is one band; the largest image Kaptorix opens (16384 × 16384) is thirty-two.
constexpr qint64 kBandPixels = qint64(8) * 1024 * 1024;
// How far above a band's planned end an even row is looked for, so that no line is cut.
constexpr int kBandCutSearchRows = 400;

// Rows of the band that ends in the middle of the even rows nearest its planned end, so that
// the lines on either side keep a margin; all its rows when there are none.
int bandRows(const QImage& grey)
{
    const int last = grey.height() - 1;
    const int lowest = std::max(grey.height() / 2, last - kBandCutSearchRows);
    int cut = last;
    while (cut >= lowest && !uniformRow(grey, cut))
        --cut;
    if (cut < lowest)
        return grey.height();
    int top = cut;
    while (top > lowest && uniformRow(grey, top - 1))
        --top;
    return (top + cut) / 2 + 1;
}

// Marks a request as handed over, its reply awaited, while it lives.
struct InFlight {
    explicit InFlight(Child& c) : c_(c) { c_.reading = true; }
    ~InFlight() { c_.reading = false; }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    Child& c_;
};

enum class Wait { Reply, Died, Stalled };

// Waits for the reply, stopping the process while background work is held. A process whose
// CPU time does not move for the stall time (while it is not held) is stuck: it is not
// waited for any longer.
Wait awaitReply(Child& c, QByteArray* reply)
{
    FrameReader reader;
    using Clock = std::chrono::steady_clock;
    long long ticks = cpuTicks(c.pid);
    Clock::time_point moved = Clock::now();
    for (;;) {
        // Closing: a hold no longer blocks, so this would only spin on it.
        if (cancelFlag().load() || BackgroundWork::closing())
            return Wait::Died;
        if (BackgroundWork::held()) {
            ::kill(c.pid, SIGSTOP);
            c.paused = true;
            BackgroundWork::waitWhileHeld(&cancelFlag());
            ::kill(c.pid, SIGCONT);
            c.paused = false;
            moved = Clock::now();
            continue;
        }
        if (const long long now = cpuTicks(c.pid); now != ticks) {
            ticks = now;
            moved = Clock::now();
        } else if (Clock::now() - moved >= std::chrono::milliseconds(g_stallMs.load())) {
            return Wait::Stalled;
        }
        pollfd p{c.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);  // short, to see holds and cancellation in time
        if (ready < 0 && errno != EINTR)
            return Wait::Died;
        if (ready <= 0)
            continue;
        switch (reader.readSome(c.fd)) {
            case FrameReader::State::Done:
                *reply = reader.take();
                return Wait::Reply;
            case FrameReader::State::Broken:
                return Wait::Died;
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

// Reads one request in the process, starting it when needed. Nothing when it cannot be started.
std::optional<OCRResult> exchange(Child& c, const QString& program, const QByteArray& request)
{
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
        QByteArray reply;
        const Wait waited = awaitReply(c, &reply);
        if (cancelFlag().load()) {
            endChild(c);
            return failed(QStringLiteral("cancelled"));
        }
        if (waited == Wait::Stalled) {
            endChild(c);
            return failed(QStringLiteral("the recognition process made no progress for %1 s")
                              .arg(g_stallMs.load() / 1000.0));
        }
        if (waited == Wait::Died) {
            // It died while reading this image: not retried, the image may be what kills it.
            return failed(endChild(c));
        }
        const std::optional<RecognizeReply> decoded = decodeReply(reply);
        if (!decoded) {
            endChild(c);
            return failed(QStringLiteral("the recognition process sent a broken reply"));
        }
        c.engines = decoded->engines;
        return decoded->result;
    }
    return failed(QStringLiteral("the recognition process could not be started"));
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

    Child& c = child();
    const std::lock_guard lock(c.use);
    OCRResult all;
    all.ok = true;
    const int planned = int(std::clamp<qint64>(kBandPixels / image.width(), 64, image.height()));
    for (int top = 0; top < image.height();) {
        // This process prepares one band at a time too: its grey copy and request follow the band.
        const int rows = std::min(planned, image.height() - top);
        const QImage band(image.constScanLine(top), image.width(), rows, image.bytesPerLine(),
                          image.format());
        const QImage grey = prepared(band);
        if (grey.isNull())
            return failed(QStringLiteral("out of memory"));
        const int kept = top + rows < image.height() ? bandRows(grey) : rows;
        const QImage part(grey.constBits(), grey.width(), kept, grey.bytesPerLine(),
                          QImage::Format_Grayscale8);
        std::optional<OCRResult> read = exchange(c, program, encodeRequest({part, languages, dataDir}));
        if (!read || !read->ok)
            return read;
        for (TextObservation& line : read->lines) {
            line.box.translate(0, top);
            for (QRectF& box : line.charBoxes)
                box.translate(0, top);
        }
        all.lines.append(std::move(read->lines));
        top += kept;
    }
    return all;
}

void stopRecognizerProcess(bool now)
{
    Child& c = child();
    if (const pid_t pid = c.pid; now && pid > 0)
        ::kill(pid, SIGKILL);  // the request in flight then fails at once
    const std::lock_guard lock(c.use);
    endChild(c);
}

void setRecognizerStallMs(qint64 ms)
{
    g_stallMs.store(ms > 0 ? ms : kDefaultStallMs);
}

RecognizerProcessState recognizerProcessState()
{
    const Child& c = child();
    return {qint64(c.pid.load()), c.reading.load(), c.paused.load(), c.engines.load()};
}

}  // namespace kx::ocr
