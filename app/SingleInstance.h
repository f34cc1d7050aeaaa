#pragma once
// One Kaptorix per user and X display. The first process listens on a local socket in
// $XDG_RUNTIME_DIR (else a 0700 folder of the user's own); a later start hands it the image
// paths of its command line and exits. What arrives is only ever a list of paths.
#include <QObject>
#include <QStringList>

class QLocalServer;

namespace kx {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome { primary, handedOver, failed };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of this user on `display` (e.g. ":1"); the folder is created (0700) if needed.
    static QString socketPath(const QString& display);
    // Hands `paths` (absolute) to a running instance, or becomes the one that runs.
    // A socket left by a crashed process, or one not owned by this user, is replaced.
    Outcome start(const QString& display, const QStringList& paths);

    // The wire form: one path per line, an empty line at the end. Paths with control
    // characters or that are not absolute are dropped.
    static QByteArray encode(const QStringList& paths);
    // Reads a complete message; none while it is incomplete, and an empty list for junk.
    static std::optional<QStringList> decode(const QByteArray& bytes);
    static constexpr int maxMessageBytes = 256 * 1024;

Q_SIGNALS:
    void filesReceived(const QStringList& paths);

private:
    bool handOver(const QString& path, const QStringList& paths);
    bool listen(const QString& path);
    void accept();

    QLocalServer* server_ = nullptr;
};

}  // namespace kx
