#include "TestClient.h"

#include "TestSupport.h"

namespace kx::test {

TestClient::TestClient(const QStringList& args)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(KX_TESTWIN), args);
}

TestClient::~TestClient()
{
    stop();
}

void TestClient::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
}

QStringList TestClient::lines()
{
    m_partial += m_process.readAllStandardOutput();
    int nl;
    while ((nl = int(m_partial.indexOf('\n'))) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(nl));
        m_partial.remove(0, nl + 1);
    }
    return m_lines;
}

int TestClient::waitExited(int timeoutMs)
{
    if (!waitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool TestClient::waitForLine(const std::function<bool(const QString&)>& match, int timeoutMs)
{
    return waitFor(
        [&] {
            for (const QString& l : lines()) {
                if (match(l))
                    return true;
            }
            return false;
        },
        timeoutMs);
}

bool TestClient::waitReady(int timeoutMs)
{
    const bool ok =
        waitForLine([](const QString& l) { return l.startsWith(QLatin1String("READY ")); }, timeoutMs);
    if (ok) {
        for (const QString& l : m_lines) {
            if (l.startsWith(QLatin1String("READY ")))
                m_windowId = l.mid(6).toUInt();
        }
    }
    return ok;
}

bool waitForWindowManager(int timeoutMs)
{
    return waitFor(
        [] {
            QByteArray out;
            return runTool(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, &out) &&
                   out.contains("window id");
        },
        timeoutMs);
}

bool runTool(const QString& program, const QStringList& args, QByteArray* out)
{
    return run(program, args, out, 20000) == 0;
}

}  // namespace kx::test
