// The real kaptorix binary redacting a full-screen capture: a light notes window half as wide
// as the screen over the black root window, Ctrl+Alt+2 into the editor, Redact in its header,
// then the editor closed. The capture's history image reads with every private item before,
// and none after (the closed editor writes the redacted image back). The test reads the image
// itself at its own priority: the history's reading runs in the idle class, which a busy
// machine starves.
#include "FixtureClient.h"
#include "TestSupport.h"
#include "analysis/OCRService.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kx::test;

namespace {

const QStringList kPrivate{"lukas.brenner@kaptorix-demo.com",
                           "sofia.marin@kaptorix-demo.com",
                           "10.1.20.5",
                           "4111 1111 1111 1111",
                           "5500 0000 0000 0004",
                           "+49 89 5550 1234"};

QString compact(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

QStringList readable(const QString& text)
{
    QStringList out;
    for (const QString& item : kPrivate)
        if (compact(text).contains(compact(item)))
            out << item;
    return out;
}

// The history's own reading, on the user's recognition pool at this process's priority.
QString textOf(const QImage& image)
{
    return kx::OCRService::observations(image).result().text();
}

QImage screen()
{
    QByteArray png;
    run("import", {"-window", "root", "png:-"}, &png);
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

// The client area of a visible window whose name starts with `prefix`.
QRect windowNamed(const QString& prefix, QString* id)
{
    QByteArray ids;
    run("xdotool", {"search", "--onlyvisible", "--name", prefix}, &ids);
    for (const QByteArray& w : ids.trimmed().split('\n')) {
        QByteArray geo;
        if (w.isEmpty() || run("xdotool", {"getwindowgeometry", "--shell", w}, &geo) != 0)
            continue;
        QHash<QByteArray, int> v;
        for (const QByteArray& line : geo.split('\n'))
            if (const auto kv = line.split('='); kv.size() == 2)
                v[kv[0]] = kv[1].toInt();
        *id = QString::fromLatin1(w);
        return QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]);
    }
    return {};
}

// Where a word of the window's header bar is, read off the screen as a user reads it.
QPoint wordOnScreen(const QRect& window, const QString& word)
{
    const QRect header(window.x(), window.y(), window.width(), std::min(80, window.height()));
    const kx::OCRResult read = kx::OCRService::recognize(screen().copy(header), {"eng"});
    for (const kx::TextObservation& line : read.lines) {
        const qsizetype at = line.text.indexOf(word);
        if (const auto box = line.boundingBox(at, word.size()); at >= 0 && box)
            return header.topLeft() + box->center().toPoint();
    }
    return {};
}

class App {
public:
    explicit App(const QString& home) : home_(home)
    {
        QDir().mkpath(home_ + "/config/Kaptorix");
        QFile conf(home_ + "/config/Kaptorix/Kaptorix.conf");
        if (conf.open(QIODevice::WriteOnly))
            conf.write("[General]\nfirstRunDone=true\nafter.editor=true\nafter.copy=false\n");
        process_.setProcessEnvironment(kx::test::appEnvironment(home_));
        process_.start(qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix", {});
    }
    ~App()
    {
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
    }
    bool started() { return process_.waitForStarted(); }
    QString notices()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }
    QJsonArray entries() const
    {
        QFile f(home_ + "/history/index.json");
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).array() : QJsonArray();
    }
    // The first entry's image in the history; null until it is there.
    QImage picture() const
    {
        const QString id = entries().first().toObject().value("id").toString();
        return id.isEmpty() ? QImage()
                            : QImage(home_ + "/history/" + id + ".png").convertToFormat(QImage::Format_RGB32);
    }
    // The tray icon is listed once the hot keys are registered.
    bool inTray() const
    {
        QByteArray out;
        run("xwininfo", {"-root", "-tree"}, &out);
        return out.contains("(\"kaptorix\" \"Kaptorix\")");
    }

private:
    QString home_;
    QProcess process_;
    QByteArray log_;
};

}  // namespace

TEST(RedactDesktop, ALightWindowOverABlackDesktopIsReadAndEveryItemCovered)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    ASSERT_EQ(run("xsetroot", {"-solid", "black"}), 0);
    FixtureClient notes({"--notes", "--at", "460", "200"});
    ASSERT_TRUE(notes.waitReady());
    QTemporaryDir home;
    App app(home.path());
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(waitFor([&] { return app.inTray(); }, 30000)) << "icon not in the tray";

    xdotool({"mousemove", "5", "5", "key", "ctrl+alt+2"});
    QImage captured;
    ASSERT_TRUE(waitFor([&] { return !(captured = app.picture()).isNull(); }, 90000))
        << app.notices().toStdString();
    const QString before = textOf(captured);
    EXPECT_EQ(readable(before).join(", "), kPrivate.join(", ")) << "read as:\n" << before.toStdString();

    QString editor;
    QRect window;
    ASSERT_TRUE(waitFor([&] { return (window = windowNamed("Kaptorix — ", &editor)).width() > 400; }, 30000));
    QPoint redact;
    ASSERT_TRUE(waitFor([&] { return !(redact = wordOnScreen(window, "Redact")).isNull(); }, 30000))
        << "no Redact button in the editor's header";
    xdotool({"mousemove", QString::number(redact.x()), QString::number(redact.y()), "click", "1"});
    static const QRegularExpression pixelated(
        QStringLiteral("notice: (\\d+) item\\(s\\) pixelated|notice: Nothing sensitive found"));
    QRegularExpressionMatch done;
    ASSERT_TRUE(waitFor([&] { return (done = pixelated.match(app.notices())).hasMatch(); }, 90000))
        << app.notices().toStdString();
    EXPECT_GE(done.captured(1).toInt(), kPrivate.size());
    run("import", {"-window", "root", artifactDir("editor") + "/redacted.png"});

    // Closing writes the redacted image back into the history, which reads it again.
    xdotool({"windowactivate", "--sync", editor, "key", "ctrl+w"});
    QImage redacted;
    ASSERT_TRUE(waitFor(
        [&] {
            redacted = app.picture();
            return !redacted.isNull() && redacted != captured;
        },
        90000))
        << app.notices().toStdString();
    const QString after = textOf(redacted);
    EXPECT_EQ(readable(after).join(", "), QString()) << "read as:\n" << after.toStdString();
    EXPECT_TRUE(after.contains("migration weekend")) << after.toStdString();  // the rest still reads
}
