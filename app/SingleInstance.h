#pragma once
// One Kaptorix per user and X display. The first process listens on a local socket in
// $XDG_RUNTIME_DIR (else a 0700 folder of the user's own); a later start hands it the image
// paths of its command line and exits; a start without paths asks it to show itself. What
// arrives is only ever a list of paths. A socket
// that accepts a connection belongs to a live instance and is never taken over; only one
// that refuses connections (its process is gone) is replaced.
#include <QObject>
#include <QStringList>
#include <optional>

class QLocalServer;

namespace kx {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // notAnswering: a live instance holds the socket but did not take the paths in time;
    // blocked: something that is not this user's socket is at the socket's path.
    enum class Outcome { primary, handedOver, notAnswering, blocked, failed };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of this user on `display` (e.g. ":1"); the folder is created (0700) if needed.
    static QString socketPath(const QString& display);
    // Hands `paths` (absolute) to a running instance, waiting up to `waitMs` for its answer,
    // or becomes the one that runs. A socket left by a crashed process is replaced.
    Outcome start(const QString& display, const QStringList& paths, int waitMs = 10000);
    // Hands `paths` to an instance already running on `display`, before this process has an
    // application object: handedOver, or notAnswering for a live one that did not take them;
    // none when no instance listens (the full start() then decides, under its lock).
    static std::optional<Outcome> handOverToRunning(const QString& display, const QStringList& paths,
                                                    int waitMs = 10000);
    // What a start that cannot run tells on stderr (empty for primary and handedOver).
    static QString message(Outcome outcome, const QString& display);
    // Shows that message where a desktop user sees it too (a start from a launcher has no
    // terminal): a notice on the screen, returning once it is gone.
    static void showRefusal(const QString& message);

    // The wire form: one path per line, an empty line at the end. Paths with control
    // characters or that are not absolute are dropped.
    static QByteArray encode(const QStringList& paths);
    // Reads a complete message; none while it is incomplete, and an empty list for junk.
    static std::optional<QStringList> decode(const QByteArray& bytes);
    static constexpr int maxMessageBytes = 256 * 1024;
    // A connection not done by then is closed, however it trickles: it would hold a descriptor
    // (and the memory of its buffer) for good. A start sends its paths at once.
    static constexpr int connectionMs = 5000;
    // For tests: the deadline of connections accepted from now on.
    void setConnectionDeadline(int ms) { connectionMs_ = ms; }

Q_SIGNALS:
    void filesReceived(const QStringList& paths);
    // A start handed over no paths: the user started Kaptorix again, say from a launcher.
    void activated();

private:
    enum class Peer { none, answered, silent };
    static Peer handOver(const QString& path, const QStringList& paths, int waitMs);
    bool listen(const QString& path);
    void accept();

    QLocalServer* server_ = nullptr;
    int connectionMs_ = connectionMs;
};

}  // namespace kx
