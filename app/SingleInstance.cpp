#include "app/SingleInstance.h"

#include "capture/coordinator/Notices.h"
#include "core/Localisation.h"
#include "ui/Toast.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

bool ownPrivateFolder(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

QString runtimeFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && ownPrivateFolder(xdg))
        return xdg;
    const QString own = QDir::tempPath() + QStringLiteral("/kaptorix-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (ownPrivateFolder(own))
        return own;
    return {};
}

enum class AtPath { nothing, ourSocket, foreign };

AtPath whatIsAt(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? AtPath::nothing : AtPath::foreign;
    return S_ISSOCK(st.st_mode) && st.st_uid == ::getuid() ? AtPath::ourSocket : AtPath::foreign;
}

bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd p{fd, events, 0};
    while (!deadline.hasExpired()) {
        const int r = ::poll(&p, 1, int(std::min<qint64>(deadline.remainingTime(), 200)));
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
    return false;
}

bool alive(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

bool peerIsUs(QLocalSocket* socket)
{
    struct ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 &&
           cred.uid == ::getuid();
}

bool cleanPath(const QString& p)
{
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f\\x7f]"));
    return QDir::isAbsolutePath(p) && !p.contains(control);
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent)
{
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();  // removes the socket file
}

QString SingleInstance::socketPath(const QString& display)
{
    const QString folder = runtimeFolder();
    if (folder.isEmpty())
        return {};
    QString name = display.isEmpty() ? QStringLiteral("none") : display;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    return folder + QStringLiteral("/kaptorix-%1.sock").arg(name);
}

QByteArray SingleInstance::encode(const QStringList& paths)
{
    QByteArray out;
    for (const QString& p : paths)
        if (cleanPath(p))
            out += p.toUtf8() + '\n';
    return out + '\n';
}

std::optional<QStringList> SingleInstance::decode(const QByteArray& bytes)
{
    const qsizetype end = bytes.startsWith('\n') ? 0 : bytes.indexOf("\n\n");
    if (end < 0)
        return bytes.size() > maxMessageBytes ? std::optional<QStringList>(QStringList()) : std::nullopt;
    QStringList paths;
    for (const QByteArray& line : bytes.left(end).split('\n')) {
        const QString p = QString::fromUtf8(line);
        if (cleanPath(p))
            paths << p;
    }
    return paths;
}

SingleInstance::Outcome SingleInstance::start(const QString& display, const QStringList& paths, int waitMs)
{
    const QString path = socketPath(display);
    if (path.isEmpty())
        return Outcome::failed;
    // Two starts at once: the check and the listen happen under one lock.
    const int lock = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock >= 0)
        ::flock(lock, LOCK_EX);
    Outcome outcome = Outcome::failed;
    switch (whatIsAt(path)) {
        case AtPath::foreign:
            outcome = Outcome::blocked;
            break;
        case AtPath::ourSocket:
            switch (handOver(path, paths, waitMs)) {
                case Peer::answered:
                    outcome = Outcome::handedOver;
                    break;
                case Peer::silent:
                    outcome = Outcome::notAnswering;
                    break;
                case Peer::none:
                    // Nobody listens: the socket of a process that is gone.
                    ::unlink(QFile::encodeName(path).constData());
                    outcome = listen(path) ? Outcome::primary : Outcome::failed;
                    break;
            }
            break;
        case AtPath::nothing:
            outcome = listen(path) ? Outcome::primary : Outcome::failed;
            break;
    }
    if (lock >= 0)
        ::close(lock);  // releases the lock
    return outcome;
}

std::optional<SingleInstance::Outcome> SingleInstance::handOverToRunning(const QString& display,
                                                                         const QStringList& paths, int waitMs)
{
    const QString path = socketPath(display);
    if (path.isEmpty() || whatIsAt(path) != AtPath::ourSocket)
        return std::nullopt;
    switch (handOver(path, paths, waitMs)) {
        case Peer::answered:
            return Outcome::handedOver;
        case Peer::silent:
            return Outcome::notAnswering;
        case Peer::none:
            break;
    }
    return std::nullopt;
}

QString SingleInstance::message(Outcome outcome, const QString& display)
{
    switch (outcome) {
        case Outcome::notAnswering:
            return kx::tr("Kaptorix is already running but does not answer.",
                          "A Kaptorix már fut, de nem válaszol.",
                          "Kaptorix läuft bereits, antwortet aber nicht.");
        case Outcome::blocked:
            return kx::tr(
                       "Kaptorix cannot start: %1 is in the place of its socket and is not one. Remove it "
                       "and start again.",
                       "A Kaptorix nem indul el: a foglalatának helyén ez áll, és nem foglalat: %1. "
                       "Távolítsd el, és indítsd újra.",
                       "Kaptorix startet nicht: An der Stelle seines Sockets liegt %1, und das ist keiner. "
                       "Entferne es und starte erneut.")
                .arg(socketPath(display));
        case Outcome::failed:
            return kx::tr(
                "Kaptorix: cannot open the single-instance socket; running without it.",
                "Kaptorix: az egypéldányos foglalat nem nyitható meg; nélküle fut.",
                "Kaptorix: Der Socket für die einzelne Instanz lässt sich nicht öffnen; es läuft ohne ihn.");
        case Outcome::primary:
        case Outcome::handedOver:
            break;
    }
    return {};
}

void SingleInstance::showRefusal(const QString& message)
{
    constexpr double kSeconds = 5;
    Notices::show(
        kx::tr("Kaptorix did not start", "A Kaptorix nem indult el", "Kaptorix wurde nicht gestartet"),
        message, QStringLiteral("exclamationmark.triangle.fill"), kSeconds);
    // Until it has faded out (with a bound, should it never show).
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (!Toast::current())
            loop.quit();
    });
    poll.start(100);
    QTimer::singleShot(int(kSeconds * 1000) + 3000, &loop, &QEventLoop::quit);
    loop.exec();
}

SingleInstance::Peer SingleInstance::handOver(const QString& path, const QStringList& paths, int waitMs)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof addr.sun_path)
        return Peer::none;
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Peer::none;
    const QDeadlineTimer deadline(waitMs);
    // A full backlog (the instance is stopped or busy) is a live instance too.
    int r = -1;
    while ((r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr)) != 0 &&
           (errno == EAGAIN || errno == EINTR) && !deadline.hasExpired())
        QThread::msleep(50);
    if (r != 0) {
        const bool refused = errno == ECONNREFUSED || errno == ENOENT;
        ::close(fd);
        return refused ? Peer::none : Peer::silent;
    }
    ucred cred{};
    socklen_t len = sizeof cred;
    const pid_t owner = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 ? cred.pid : 0;

    const QByteArray message = encode(paths);
    qsizetype sent = 0;
    QByteArray reply;
    Peer peer = Peer::silent;
    while (!deadline.hasExpired()) {
        if (sent < message.size()) {
            if (!waitFor(fd, POLLOUT, deadline))
                break;
            const ssize_t n =
                ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            continue;
        }
        if (!waitFor(fd, POLLIN, deadline))
            break;
        char buf[64];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 0) {
            reply.append(buf, n);
            if (reply.contains('\n')) {
                peer = reply.startsWith("OK") ? Peer::answered : Peer::silent;
                break;
            }
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    ::close(fd);
    // An instance that closed without answering and is gone was quitting: its place is free.
    if (peer == Peer::silent && owner > 0 && !alive(owner))
        return Peer::none;
    return peer;
}

bool SingleInstance::listen(const QString& path)
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsUs(socket)) {
            socket->abort();
            continue;
        }
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QLocalSocket::abort);
        deadline->start(connectionMs_);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            const auto paths = decode(*buffer);
            if (!paths)
                return;
            socket->write("OK\n");
            socket->disconnectFromServer();
            const bool nothingHanded = buffer->startsWith('\n');
            buffer->clear();
            if (nothingHanded)
                Q_EMIT activated();
            else if (!paths->isEmpty())
                Q_EMIT filesReceived(*paths);
        });
    }
}

}  // namespace kx
