#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The socket file is ours and a socket; anything else there is replaced.
bool ownSocket(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode) &&
           st.st_uid == ::getuid();
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

SingleInstance::Outcome SingleInstance::start(const QString& display, const QStringList& paths)
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
    if (ownSocket(path) && handOver(path, paths))
        outcome = Outcome::handedOver;
    else if (listen(path))
        outcome = Outcome::primary;
    if (lock >= 0)
        ::close(lock);  // releases the lock
    return outcome;
}

bool SingleInstance::handOver(const QString& path, const QStringList& paths)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(2000))
        return false;  // stale: nobody listens any more
    socket.write(encode(paths));
    socket.flush();
    QByteArray reply;
    QElapsedTimer t;
    t.start();
    while (!reply.contains('\n') && t.elapsed() < 5000 && socket.waitForReadyRead(int(5000 - t.elapsed())))
        reply += socket.readAll();
    return reply.startsWith("OK");
}

bool SingleInstance::listen(const QString& path)
{
    QFile::remove(path);
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
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            const auto paths = decode(*buffer);
            if (!paths)
                return;
            socket->write("OK\n");
            socket->disconnectFromServer();
            buffer->clear();
            if (!paths->isEmpty())
                Q_EMIT filesReceived(*paths);
        });
    }
}

}  // namespace kx
