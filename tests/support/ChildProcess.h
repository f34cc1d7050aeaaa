#pragma once
// A program a desktop test starts (kxtestwin, kxfixture, helpers): follows the lines it
// prints, waits for its "READY <fields…>" line, and stops it by its PID.
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <functional>

namespace kx::test {

class ChildProcess {
public:
    // `display` (e.g. ":1.1") replaces DISPLAY for the child; empty keeps it.
    ChildProcess(const QString& program, const QStringList& args, const QString& display = {});
    virtual ~ChildProcess();  // stops the child

    // Waits, with the event loop running, for a line "READY …"; false on time-out.
    bool waitReady(int timeoutMs = 20000);
    // The words after "READY" (the first is a window id by convention).
    const QStringList& readyFields() const { return ready_; }
    quint32 windowId() const { return ready_.value(0).toUInt(); }
    qint64 pid() const { return process_.processId(); }
    // Every line printed so far.
    QStringList lines();
    bool waitForLine(const std::function<bool(const QString&)>& match, int timeoutMs = 10000);
    // Waits until the child exited by itself; its exit code, or -1 on time-out or crash.
    int waitExited(int timeoutMs = 10000);
    // SIGTERM, then SIGKILL after 5 s.
    void stop();

private:
    QProcess process_;
    QStringList lines_;
    QByteArray partial_;
    QStringList ready_;
};

// Runs a tool (xdotool, xprop, setxkbmap…) to completion; true when it exited with 0.
bool runTool(const QString& program, const QStringList& args, QByteArray* out = nullptr);
inline bool xdotool(const QStringList& args)
{
    return runTool(QStringLiteral("xdotool"), args);
}
// The whole X screen as a user's screenshot sees it (ImageMagick's import), kept as the
// artefact `keepAs` when given; null when it could not be taken.
QImage rootScreenshot(const QString& keepAs = {});
// Waits until a window manager runs (the session starts it, but on a busy machine it may not
// be up yet when the test begins).
bool waitForWindowManager(int timeoutMs = 20000);

}  // namespace kx::test
