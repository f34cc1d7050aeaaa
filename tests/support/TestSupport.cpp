#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>

namespace kx::test {

void isolateUserFolders(const QString& root)
{
    const QStringList subs{"config", "data", "cache", "Pictures"};
    for (const QString& s : subs)
        QDir().mkpath(root + "/" + s);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
    qputenv("XDG_PICTURES_DIR", (root + "/Pictures").toUtf8());
    qunsetenv("KAPTORIX_DATA_DIR");
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

QString artifactDir(const QString& sub)
{
    QString base = qEnvironmentVariable("KX_ARTIFACT_DIR");
    if (base.isEmpty())
        base = QDir::tempPath() + "/kaptorix-artifacts";
    const QString dir = sub.isEmpty() ? base : base + "/" + sub;
    QDir().mkpath(dir);
    return dir;
}

QString sourcePath(const QString& relative)
{
    QString base = qEnvironmentVariable("KX_SOURCE_DIR");
    if (base.isEmpty())
        base = QStringLiteral(KX_TEST_SOURCE_DIR);
    return base + "/" + relative;
}

int maxChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const uchar*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uchar*>(y.constScanLine(row));
        for (int i = 0; i < x.width() * 4; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

bool matchesGolden(const QImage& actual, const QString& goldenPath, int tolerance, QString* why,
                   double maxBadFraction)
{
    auto say = [&](const QString& s) {
        if (why)
            *why = s;
    };
    if (qEnvironmentVariable("KX_UPDATE_GOLDENS") == "1") {
        QDir().mkpath(QFileInfo(goldenPath).absolutePath());
        actual.save(goldenPath, "PNG");
        return true;
    }
    const QString actualPath = QString(goldenPath).replace(".png", ".actual.png");
    QImage golden(goldenPath);
    if (golden.isNull()) {
        actual.save(actualPath, "PNG");
        say("golden missing: " + goldenPath + " (run with KX_UPDATE_GOLDENS=1)");
        return false;
    }
    if (golden.size() != actual.size()) {
        actual.save(actualPath, "PNG");
        say(QString("size %1x%2, golden %3x%4")
                .arg(actual.width())
                .arg(actual.height())
                .arg(golden.width())
                .arg(golden.height()));
        return false;
    }
    const QImage x = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage y = golden.convertToFormat(QImage::Format_ARGB32);
    qint64 bad = 0;
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const uchar*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uchar*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            int d = 0;
            for (int c = 0; c < 4; ++c)
                d = std::max(d, std::abs(int(p[col * 4 + c]) - int(q[col * 4 + c])));
            worst = std::max(worst, d);
            if (d > tolerance)
                ++bad;
        }
    }
    const double fraction = double(bad) / std::max<qint64>(1, qint64(x.width()) * x.height());
    if (fraction > maxBadFraction) {
        actual.save(actualPath, "PNG");
        say(QString("%1 pixel(s) differ by more than %2 (worst %3); actual written to %4")
                .arg(bad)
                .arg(tolerance)
                .arg(worst)
                .arg(actualPath));
        return false;
    }
    return true;
}

int run(const QString& program, const QStringList& args, QByteArray* out, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs))
        return -1;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return -1;
    }
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool haveDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    return run(QStringLiteral("xdpyinfo"), {}, nullptr, 5000) == 0;
}

}  // namespace kx::test
