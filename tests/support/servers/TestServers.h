#pragma once
// Real servers for upload tests, each on a free 127.0.0.1 port from a temporary
// configuration, waited for until it listens and stopped by PID when the object goes:
// rclone (WebDAV), pyftpdlib (FTP), a private sshd (SFTP) and a server that never answers.
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

namespace kx::test {

// A port nothing listens on right now.
quint16 freeLoopbackPort();
// True once a connection to 127.0.0.1:port succeeds.
bool waitForListening(quint16 port, int timeoutMs = 20000);

class ServerProcess {
public:
    virtual ~ServerProcess();
    // Serves `root` for `user` with `password`; false when it did not come up.
    virtual bool start(const QString& root, const QString& user, const QString& password) = 0;
    quint16 port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    // SIGTERM, then SIGKILL if it has not ended within 3 s.
    void stop();
    QString log();
    QString workDir() const { return work_.path(); }
    // Before start(): the served folder becomes a tmpfs of `bytes` in a mount namespace of the
    // server's own, so its disk fills for real and nothing else sees it.
    void setRootOnTmpfs(qint64 bytes) { tmpfsBytes_ = bytes; }
    // `path` as the server sees it (inside its mount namespace), for reading and writing there.
    QString seen(const QString& path) const;

protected:
    bool launch(const QString& program, const QStringList& args);
    QTemporaryDir work_;
    QProcess process_;
    quint16 port_ = 0;
    qint64 tmpfsBytes_ = 0;
    QString root_;
};

// rclone serve webdav over `root` with basic authentication.
class WebDavServer : public ServerProcess {
public:
    bool start(const QString& root, const QString& user, const QString& password) override;
};

// pyftpdlib (Debian's python3) over `root`, writable for the user.
class FtpServer : public ServerProcess {
public:
    bool start(const QString& root, const QString& user, const QString& password) override;
};

// sshd with key logins only, for the current user (`user` is not used). The user key is
// protected by `password` (so a client gives it through askpass); sessions start in `root`.
class SftpServer : public ServerProcess {
public:
    // What the SFTP side does, set before start().
    enum class Kind {
        plain,
        dropAtRename,   // the connection drops when a rename is asked for, after the put
        refuseRename,   // every rename is refused
        obeyFileModes,  // the sftp server lacks root's override of file modes
    };
    void setKind(Kind kind) { kind_ = kind; }
    bool start(const QString& root, const QString& user, const QString& password) override;
    QString userName() const;
    QString keyPath() const { return work_.filePath("user_key"); }
    QString knownHostsPath() const { return work_.filePath("known_hosts"); }

private:
    Kind kind_ = Kind::plain;
};

// An HTTP server (Debian's python3) that answers every request with a 301 whose Location is
// relative ("/moved" + the path asked for, with a query and a fragment), as a server does for a
// folder address without its final slash. `root`, `user` and `password` are not used.
class RedirectingServer : public ServerProcess {
public:
    bool start(const QString& root, const QString& user, const QString& password) override;
};

// Accepts connections and never sends a byte.
class StalledServer {
public:
    bool start();
    quint16 port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
};

}  // namespace kx::test
