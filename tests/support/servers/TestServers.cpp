#include "TestServers.h"

#include <pwd.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <csignal>

namespace kx::test {

namespace {

bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

const char* kFtpScript = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
port, root, user, pwfile = sys.argv[1:5]
auth = DummyAuthorizer()
auth.add_user(user, open(pwfile, encoding="utf-8").read(), root, perm="elradfmwMT")
FTPHandler.authorizer = auth
FTPServer(("127.0.0.1", int(port)), FTPHandler).serve_forever()
)";

const char* kRedirectScript = R"(import sys
from http.server import BaseHTTPRequestHandler, HTTPServer
class Moved(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if self.headers.get("Expect", "").lower() == "100-continue":
            self.send_response_only(100)
            self.end_headers()
        if length:
            self.rfile.read(length)
        self.send_response(301)
        self.send_header("Location", "/moved" + self.path.split("?")[0] + "?session=42#top")
        self.send_header("Content-Length", "0")
        self.send_header("Connection", "close")
        self.end_headers()
    do_GET = do_HEAD = do_PUT = do_PROPFIND = answer
HTTPServer(("127.0.0.1", int(sys.argv[1])), Moved).serve_forever()
)";

// Stands between ssh and the sftp server and ends the connection when a rename is asked for:
// the put before it has been answered in full.
const char* kDropAtRenameScript = R"(import os, subprocess, sys, threading
server = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
def back():
    while True:
        b = os.read(server.stdout.fileno(), 65536)
        if not b:
            break
        os.write(1, b)
threading.Thread(target=back, daemon=True).start()
buf = b""
while True:
    b = os.read(0, 65536)
    if not b:
        break
    buf += b
    while len(buf) >= 5 and len(buf) >= 4 + int.from_bytes(buf[:4], "big"):
        n = 4 + int.from_bytes(buf[:4], "big")
        packet, buf = buf[:n], buf[n:]
        if packet[4] == 18:  # SSH_FXP_RENAME
            server.kill()
            os._exit(0)
        server.stdin.write(packet)
        server.stdin.flush()
server.stdin.close()
server.wait()
)";

}  // namespace

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitForListening(quint16 port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

ServerProcess::~ServerProcess()
{
    stop();
}

void ServerProcess::stop()
{
    const qint64 id = process_.processId();
    if (id <= 0 || process_.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(id), SIGTERM);
    if (!process_.waitForFinished(3000)) {
        ::kill(pid_t(id), SIGKILL);
        process_.waitForFinished(3000);
    }
}

QString ServerProcess::log()
{
    return QString::fromUtf8(process_.readAll());
}

QString ServerProcess::seen(const QString& path) const
{
    if (tmpfsBytes_ <= 0)
        return path;
    return "/proc/" + QString::number(process_.processId()) + "/root" + path;
}

bool ServerProcess::launch(const QString& givenProgram, const QStringList& givenArgs)
{
    QString program = givenProgram;
    QStringList args = givenArgs;
    if (tmpfsBytes_ > 0) {
        // unshare runs the server in its own process (no fork), so its PID is the server's.
        args =
            QStringList{
                "-m",      "--propagation",
                "private", "/bin/sh",
                "-c",      "mount -t tmpfs -o size=\"$1\",mode=0755 kx-test \"$2\" && shift 2 && exec \"$@\"",
                "sh",      QString::number(tmpfsBytes_),
                root_,     program} +
            args;
        program = "unshare";
    }
    // A port found free may be taken before the server binds it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort();
        QStringList a = args;
        a.replaceInStrings(QStringLiteral("@PORT@"), QString::number(port_));
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, a);
        if (!process_.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && !process_.waitForFinished(20)) {
            if (waitForListening(port_, 200))
                return true;
        }
        stop();
    }
    return false;
}

bool WebDavServer::start(const QString& root, const QString& user, const QString& password)
{
    writeText(work_.filePath("rclone.conf"), "");
    return launch("rclone",
                  {"serve", "webdav", root, "--addr", "127.0.0.1:@PORT@", "--user", user, "--pass", password,
                   "--config", work_.filePath("rclone.conf"), "--cache-dir", work_.filePath("cache")});
}

bool FtpServer::start(const QString& root, const QString& user, const QString& password)
{
    root_ = root;
    writeText(work_.filePath("ftp.py"), kFtpScript);
    writeText(work_.filePath("password"), password.toUtf8());
    return launch("/usr/bin/python3",
                  {work_.filePath("ftp.py"), "@PORT@", root, user, work_.filePath("password")});
}

QString SftpServer::userName() const
{
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

bool SftpServer::start(const QString& root, const QString&, const QString& password)
{
    root_ = root;
    const QString w = work_.path();
    QProcess keygen;
    for (const auto& [file, phrase] :
         {std::pair{QString("host_key"), QString()}, {QString("user_key"), password}}) {
        keygen.start("ssh-keygen",
                     {"-q", "-t", "ed25519", "-N", phrase, "-C", "kx-test", "-f", w + '/' + file});
        if (!keygen.waitForFinished(20000) || keygen.exitCode() != 0)
            return false;
    }
    QFile::copy(w + "/user_key.pub", w + "/authorized_keys");
    writeText(w + "/known_hosts", "");
    const QString server = "/usr/lib/openssh/sftp-server";
    QString subsystem = "internal-sftp";
    if (kind_ == Kind::dropAtRename) {
        writeText(w + "/drop.py", kDropAtRenameScript);
        subsystem = "/usr/bin/python3 " + w + "/drop.py " + server;
    } else if (kind_ == Kind::refuseRename) {
        subsystem = server + " -P rename";
    } else if (kind_ == Kind::obeyFileModes) {
        subsystem = "/usr/bin/setpriv --bounding-set -dac_override,-dac_read_search " + server;
    }
    if (::getuid() == 0)
        QDir().mkpath("/run/sshd");  // sshd's privilege separation folder, when run as root
    const QByteArray config =
        "ListenAddress 127.0.0.1:LISTEN_PORT\nHostKey " + w.toUtf8() + "/host_key\nPidFile none\n" +
        // Without PAM, sshd refuses accounts with a locked password, as most unprivileged
        // test users have; as root it runs without.
        (::getuid() == 0 ? "UsePAM no\n" : "UsePAM yes\n") +
        "PasswordAuthentication no\nKbdInteractiveAuthentication no\n" +
        "PubkeyAuthentication yes\nAuthorizedKeysFile " + w.toUtf8() + "/authorized_keys\n" +
        "PermitRootLogin prohibit-password\nStrictModes no\nLogLevel VERBOSE\n" + "Subsystem sftp " +
        subsystem.toUtf8() + " -d " + root.toUtf8() + "\n";
    // The port is only known in launch(): each attempt fills it in.
    writeText(w + "/sshd_config", config);
    return launch(
        "/bin/sh",
        {"-c", "sed 's/LISTEN_PORT/'\"$1\"'/' \"$2\" > \"$2.run\" && exec /usr/sbin/sshd -D -e -f \"$2.run\"",
         "sh", "@PORT@", w + "/sshd_config"});
}

bool RedirectingServer::start(const QString&, const QString&, const QString&)
{
    writeText(work_.filePath("moved.py"), kRedirectScript);
    return launch("/usr/bin/python3", {work_.filePath("moved.py"), "@PORT@"});
}

bool StalledServer::start()
{
    if (!server_.listen(QHostAddress::LocalHost, 0))
        return false;
    // Connections are taken and held open without a word.
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection())
            s->setParent(&server_);
    });
    return true;
}

}  // namespace kx::test
