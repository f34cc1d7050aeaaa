#include "TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <random>

namespace kx::test {

bool writeOversizedPng(const QString& path)
{
    QImage big(20000, 20000, QImage::Format_Mono);
    big.fill(0);
    return big.save(path, "png");
}

QProcessEnvironment appEnvironment(const QString& home)
{
    const QString runtime = home + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    auto e = QProcessEnvironment::systemEnvironment();
    e.insert("XDG_CONFIG_HOME", home + "/config");
    e.insert("XDG_RUNTIME_DIR", runtime);
    e.insert("KAPTORIX_DATA_DIR", home + "/history");
    e.insert("KAPTORIX_LOG_NOTICES", "1");
    e.insert("QT_QPA_PLATFORM", "xcb");
    return e;
}

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

bool signalChild(qint64 pid, int sig)
{
    return pid > 0 && ::kill(pid_t(pid), sig) == 0;
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

QString kaptorixProgram()
{
    return qEnvironmentVariable("KX_BINARY_DIR") + QStringLiteral("/app/kaptorix");
}

QString sourcePath(const QString& relative)
{
    QString base = qEnvironmentVariable("KX_SOURCE_DIR");
    if (base.isEmpty())
        base = QStringLiteral(KX_TEST_SOURCE_DIR);
    return base + "/" + relative;
}

QStringList productSources()
{
    const QString root = QDir::cleanPath(sourcePath(QStringLiteral(".")));
    const QStringList outside{"tests", "bench", "build", "scripts", "cmake", "resources", "docs"};
    QStringList out;
    QDirIterator it(root, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next().mid(root.size() + 1);
        const QString top = path.section('/', 0, 0);
        if (!top.startsWith('.') && !top.startsWith("build") && !outside.contains(top))
            out.append(path);
    }
    return out;
}

QImage noiseImage(QSize size, unsigned seed)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    return img;
}

namespace {
// The largest channel difference of each pair of pixels (images of equal size).
QList<int> pixelDifferences(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    QList<int> out;
    out.reserve(qsizetype(x.width()) * x.height());
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; i += 4) {
            int d = 0;
            for (int c = i; c < i + 4; ++c)
                d = std::max(d, std::abs(int(p[c]) - int(q[c])));
            out.append(d);
        }
    }
    return out;
}
}  // namespace

QByteArray monoPng(QSize size, QColor colour)
{
    QImage mono(size, QImage::Format_Mono);
    mono.setColorTable({colour.rgb(), qRgb(255, 255, 255)});
    mono.fill(0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    mono.save(&buffer, "png");
    return bytes;
}

int maxDistanceFrom(const QImage& image, QColor colour)
{
    int worst = image.isNull() ? 255 : 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            worst = std::max({worst, std::abs(c.red() - colour.red()), std::abs(c.green() - colour.green()),
                              std::abs(c.blue() - colour.blue()), std::abs(c.alpha() - colour.alpha())});
        }
    return worst;
}

int maxChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QList<int> d = pixelDifferences(a, b);
    return d.isEmpty() ? 0 : *std::max_element(d.cbegin(), d.cend());
}

bool matchesGolden(const QImage& actual, const QString& goldenPath, int tolerance, QString* why,
                   double maxBadFraction)
{
    if (qEnvironmentVariable("KX_UPDATE_GOLDENS") == "1") {
        QDir().mkpath(QFileInfo(goldenPath).absolutePath());
        actual.save(goldenPath, "PNG");
        return true;
    }
    const QString actualPath = QString(goldenPath).replace(".png", ".actual.png");
    const QImage golden(goldenPath);
    QString problem;
    if (golden.isNull()) {
        problem = "golden missing: " + goldenPath + " (run with KX_UPDATE_GOLDENS=1)";
    } else if (golden.size() != actual.size()) {
        problem = QString("size %1x%2, golden %3x%4")
                      .arg(actual.width())
                      .arg(actual.height())
                      .arg(golden.width())
                      .arg(golden.height());
    } else {
        const QList<int> d = pixelDifferences(actual, golden);
        const qsizetype bad = std::count_if(d.cbegin(), d.cend(), [&](int v) { return v > tolerance; });
        if (double(bad) / std::max<qsizetype>(1, d.size()) > maxBadFraction)
            problem = QString("%1 pixel(s) differ by more than %2 (worst %3); actual written to %4")
                          .arg(bad)
                          .arg(tolerance)
                          .arg(*std::max_element(d.cbegin(), d.cend()))
                          .arg(actualPath);
    }
    if (problem.isEmpty())
        return true;
    actual.save(actualPath, "PNG");
    if (why)
        *why = problem;
    return false;
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

QRect kaptorixTrayIcon()
{
    QByteArray out;
    run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, &out);
    // The tree indents each level further; the first window listed is a child of the root.
    // Before the tray embeds it, the icon's window is such a child, placed anywhere.
    static const QRegularExpression window(QStringLiteral(R"re(^( +)0x[0-9a-f]+ )re"),
                                           QRegularExpression::MultilineOption);
    const auto first = window.match(QString::fromUtf8(out));
    if (!first.hasMatch())
        return {};
    const int topLevel = first.capturedLength(1);
    static const QRegularExpression re(
        QStringLiteral(
            R"re(^( +)0x[0-9a-f]+ .*\("kaptorix" "Kaptorix"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re"),
        QRegularExpression::MultilineOption);
    for (auto it = re.globalMatch(QString::fromUtf8(out)); it.hasNext();) {
        const auto m = it.next();
        if (m.capturedLength(1) > topLevel && m.captured(2).toInt() <= 64)
            return QRect(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(),
                         m.captured(3).toInt());
    }
    return {};
}

}  // namespace kx::test
