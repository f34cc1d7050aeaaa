#pragma once
// Runs kxtestwin (a separate X client) for a desktop test and follows its output.
#include <QProcess>
#include <QStringList>

namespace kx::test {

class TestClient {
public:
    explicit TestClient(const QStringList& args);
    ~TestClient();  // stops the client by its PID

    // Waits (event loop running) until the client printed "READY <id>"; false on time-out.
    bool waitReady(int timeoutMs = 15000);
    quint32 windowId() const { return m_windowId; }
    qint64 pid() const { return m_process.processId(); }
    // Every line printed so far.
    QStringList lines();
    // Waits until a printed line satisfies `match`.
    bool waitForLine(const std::function<bool(const QString&)>& match, int timeoutMs = 10000);
    // Waits until the client exited by itself; its exit code, or -1 on time-out or crash.
    int waitExited(int timeoutMs = 10000);
    void stop();

private:
    QProcess m_process;
    QStringList m_lines;
    QByteArray m_partial;
    quint32 m_windowId = 0;
};

// Waits until a window manager runs (the session starts it, but on a busy machine it may not
// be up yet when the test begins).
bool waitForWindowManager(int timeoutMs = 20000);

// Runs an X tool (xdotool, xprop, ...) to completion; true when it exited with 0.
bool runTool(const QString& program, const QStringList& args, QByteArray* out = nullptr);

}  // namespace kx::test
