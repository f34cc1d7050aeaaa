#include "ChildProcess.h"

#include "TestSupport.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace kx::test {

ChildProcess::ChildProcess(const QString& program, const QStringList& args, const QString& display)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process_.setProcessEnvironment(env);
    }
    process_.start(program, args);
}

ChildProcess::~ChildProcess()
{
    stop();
}

void ChildProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QStringList ChildProcess::lines()
{
    partial_ += process_.readAllStandardOutput();
    for (qsizetype nl; (nl = partial_.indexOf('\n')) >= 0;) {
        lines_ << QString::fromUtf8(partial_.left(nl));
        partial_.remove(0, nl + 1);
    }
    return lines_;
}

bool ChildProcess::waitForLine(const std::function<bool(const QString&)>& match, int timeoutMs)
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

bool ChildProcess::waitReady(int timeoutMs)
{
    return waitForLine(
        [this](const QString& l) {
            if (!l.startsWith(QLatin1String("READY ")))
                return false;
            ready_ = l.mid(6).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            return true;
        },
        timeoutMs);
}

int ChildProcess::waitExited(int timeoutMs)
{
    if (!waitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

bool runTool(const QString& program, const QStringList& args, QByteArray* out)
{
    return run(program, args, out, 20000) == 0;
}

QImage rootScreenshot(const QString& keepAs)
{
    QTemporaryDir dir;
    const QString path = keepAs.isEmpty() ? dir.filePath(QStringLiteral("screen.png")) : keepAs;
    QFile::remove(path);
    if (run(QStringLiteral("import"), {"-window", "root", "png:" + path}) != 0)
        return {};
    return QImage(path).convertToFormat(QImage::Format_RGB32);
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

}  // namespace kx::test
