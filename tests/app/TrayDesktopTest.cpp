// The real kaptorix binary around its tray: Hide Kaptorix, the first start, the icon on a
// light and a dark tray, a key two actions need after a layout change, and starting
// without a display.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kx::test;

namespace {

QString program()
{
    return qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix";
}

// One Kaptorix process with private settings, runtime folder and history.
class App {
public:
    explicit App(const QString& home) : home_(home) {}
    ~App() { stop(); }

    void writeSettings(const QByteArray& settings)
    {
        QDir().mkpath(home_ + "/config/Kaptorix");
        QFile conf(settingsFile());
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) &&
                    conf.write("[General]\nafter.editor=false\n" + settings));
    }
    void start()
    {
        process_.setProcessEnvironment(kx::test::appEnvironment(home_));
        log_.clear();
        process_.start(program(), {});
        ASSERT_TRUE(process_.waitForStarted());
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    QString notices()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }
    QString settingsFile() const { return home_ + "/config/Kaptorix/Kaptorix.conf"; }
    QByteArray settings() const
    {
        QFile f(settingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString home_;
    QProcess process_;
    QByteArray log_;
};

// The tray icon's window on the current display, as the tray embedded it.
QRect trayIcon()
{
    return kaptorixTrayIcon();
}

// Visible Kaptorix windows by name.
QHash<QString, QString> visibleWindows()
{
    QHash<QString, QString> out;
    QByteArray ids;
    run("xdotool", {"search", "--onlyvisible", "--classname", "kaptorix"}, &ids);
    for (const QByteArray& id : ids.trimmed().split('\n')) {
        QByteArray name;
        if (!id.isEmpty() && run("xdotool", {"getwindowname", id}, &name) == 0)
            out.insert(QString::fromUtf8(name.trimmed()), QString::fromLatin1(id));
    }
    return out;
}

QString waitForWindow(const QString& name, int ms = 20000)
{
    QString id;
    waitFor([&] { return !(id = visibleWindows().value(name)).isEmpty(); }, ms);
    return id;
}

bool iconic(const QString& id)
{
    QByteArray out;
    run("xprop", {"-id", id, "WM_STATE"}, &out);
    return out.contains("Iconic");
}

class TrayDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDisplay())
            GTEST_SKIP() << "no X display";
    }
    QTemporaryDir dir_;
};

// A private X server with a trayer of one colour; DISPLAY points at it while the object lives.
class PrivateTray {
public:
    explicit PrivateTray(const QString& tint)
    {
        saved_ = qgetenv("DISPLAY");
        xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        xvfb_.setReadChannel(QProcess::StandardOutput);
        if (!xvfb_.waitForReadyRead(20000))
            return;
        display_ = ":" + QString::fromLatin1(xvfb_.readAllStandardOutput()).trimmed();
        qputenv("DISPLAY", display_.toLocal8Bit());
        trayer_.start("trayer",
                      {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "160",
                       "--height", "28", "--transparent", "true", "--alpha", "0", "--tint", tint});
        trayer_.waitForStarted();
    }
    ~PrivateTray()
    {
        for (QProcess* p : {&trayer_, &xvfb_}) {
            p->terminate();
            if (!p->waitForFinished(10000))
                p->kill();
            p->waitForFinished(5000);
        }
        qputenv("DISPLAY", saved_);
    }
    bool ready() const { return !display_.isEmpty() && trayer_.state() == QProcess::Running; }

private:
    QByteArray saved_;
    QString display_;
    QProcess xvfb_, trayer_;
};

double luminance(const QColor& c)
{
    return 0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue();
}

}  // namespace

// Ctrl+H in an editor minimises it and the history window alike.
TEST_F(TrayDesktop, HideKaptorixMinimisesEveryShownWindow)
{
    App app(dir_.path());
    app.writeSettings("firstRunDone=true\n");
    app.start();
    ASSERT_TRUE(waitFor([] { return trayIcon().isValid(); }, 20000)) << "icon not in trayer";
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(dir_.filePath("a.png")));
    QProcess second;  // hands the file over to the running instance
    second.setProcessEnvironment([&] {
        auto e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
        e.insert("XDG_RUNTIME_DIR", dir_.filePath("runtime"));
        e.insert("KAPTORIX_DATA_DIR", dir_.filePath("history"));
        return e;
    }());
    second.start(program(), {dir_.filePath("a.png")});
    ASSERT_TRUE(second.waitForFinished(20000));
    const QString editor = waitForWindow("Kaptorix — File 64×48");
    ASSERT_FALSE(editor.isEmpty()) << app.notices().toStdString();
    ASSERT_TRUE(waitFor(
        [] {
            return run("xdotool", {"key", "ctrl+alt+0"}) == 0 &&
                   !waitForWindow("Kaptorix History", 2000).isEmpty();
        },
        30000));
    const QString history = waitForWindow("Kaptorix History");
    ASSERT_FALSE(iconic(editor) || iconic(history));
    run("xdotool", {"windowactivate", "--sync", editor, "key", "ctrl+h"});
    EXPECT_TRUE(waitFor([&] { return iconic(editor) && iconic(history); }))
        << "editor iconic " << iconic(editor) << ", history iconic " << iconic(history);
}

// The first start opens the settings and records it; the next start does not.
TEST_F(TrayDesktop, FirstStartOpensTheSettingsOnlyOnce)
{
    App app(dir_.path());
    app.writeSettings({});
    app.start();
    EXPECT_FALSE(waitForWindow("Kaptorix Settings").isEmpty()) << app.notices().toStdString();
    EXPECT_TRUE(app.settings().contains("firstRunDone=true")) << app.settings().constData();
    app.stop();
    ASSERT_TRUE(waitFor([] { return visibleWindows().isEmpty(); }));

    app.start();
    ASSERT_TRUE(waitFor([] { return trayIcon().isValid(); }, 20000));
    // Once a hot key works the launch (first-run step included) is over.
    ASSERT_TRUE(waitFor(
        [] {
            return run("xdotool", {"key", "ctrl+alt+0"}) == 0 &&
                   !waitForWindow("Kaptorix History", 2000).isEmpty();
        },
        30000));
    EXPECT_FALSE(visibleWindows().contains("Kaptorix Settings"));
}

// On a light tray the icon is drawn dark and on a dark one light, with no stroke of the other
// kind: neither the white icon on a light panel nor the outlined one where the tray is known.
TEST_F(TrayDesktop, TheIconReadsOnALightAndOnADarkTray)
{
    for (const QString tint : {"0xc0c0c0", "0x202020"}) {
        QTemporaryDir home;
        PrivateTray tray(tint);
        ASSERT_TRUE(tray.ready()) << "no private X server or trayer";
        App app(home.path());
        app.writeSettings("firstRunDone=true\n");
        app.start();
        ASSERT_TRUE(waitFor([] { return trayIcon().isValid(); }, 30000)) << tint.toStdString();
        const double panel = luminance(QColor(QRgb(tint.toUInt(nullptr, 16))));
        const bool lightPanel = panel > 128;
        double darker = 0, lighter = 0;
        const bool readable = waitFor(
            [&] {
                QByteArray png;
                run("import", {"-window", "root", "png:-"}, &png);
                const QImage shot = QImage::fromData(png, "PNG").copy(trayIcon());
                darker = lighter = 0;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x) {
                        const double d = luminance(shot.pixelColor(x, y)) - panel;
                        darker = std::max(darker, -d);
                        lighter = std::max(lighter, d);
                    }
                return lightPanel ? darker > 150 && lighter < 20 : lighter > 150 && darker < 20;
            },
            20000);
        EXPECT_TRUE(readable) << tint.toStdString() << ": darker by " << darker << ", lighter by " << lighter;
        QByteArray png;
        run("import", {"-window", "root", "png:-"}, &png);
        QImage::fromData(png, "PNG")
            .copy(600, 540, 200, 60)
            .save(artifactDir("tray") + "/tray-" + tint + ".png");
    }
}

// On a US layout Ctrl+Alt+"&" (recorded on a French one) needs the 7 key: the toast names the
// action that keeps it, and a later layout change does not say it again.
TEST_F(TrayDesktop, AKeyTwoActionsNeedIsToldOnceWithTheActionThatKeepsIt)
{
    QByteArray query;
    ASSERT_EQ(run("setxkbmap", {"-query"}, &query), 0);
    const QString layout =
        QString::fromUtf8(query).section(QStringLiteral("layout:"), 1).trimmed().section('\n', 0, 0);
    const QString home = layout.isEmpty() ? QStringLiteral("us") : layout;
    auto restore = qScopeGuard([&] { run("setxkbmap", {home}); });
    ASSERT_EQ(run("setxkbmap", {"us"}), 0);

    App app(dir_.path());
    // XK_ampersand (0x26) with Control + Alt.
    app.writeSettings(
        "firstRunDone=true\nhotkey.area=\"@ByteArray({\\\"keyCode\\\":38,\\\"cocoaModifiers\\\":786432,"
        "\\\"label\\\":\\\"&\\\"})\"\n");
    app.start();
    const QString told = "notice: Ctrl+Alt+7|“Color picker” has no shortcut: this key starts “Capture area”.";
    ASSERT_TRUE(waitFor([&] { return app.notices().contains(told); }, 30000)) << app.notices().toStdString();
    EXPECT_FALSE(app.notices().contains("taken by another app"));

    // A layout change and back grabs every key again; the same clash is not told twice.
    // Back to us only once the de regrab was seen: switched at once, the app may see only the
    // final map.
    ASSERT_EQ(run("setxkbmap", {"de"}), 0);
    ASSERT_TRUE(waitFor([&] { return app.notices().count("notice: ") >= 2; }, 30000))
        << app.notices().toStdString();  // de puts "&" on the 6 key: the OCR key is told
    ASSERT_EQ(run("setxkbmap", {"us"}), 0);
    run("xdotool", {"key", "ctrl+alt+0"});  // a later event, after the regrab's notices
    ASSERT_FALSE(waitForWindow("Kaptorix History").isEmpty());
    EXPECT_EQ(app.notices().count(told), 1) << app.notices().toStdString();
}

// Without an X display Kaptorix says what it needs in one line and exits 1; a developer mode
// that needs none still runs.
TEST_F(TrayDesktop, WithoutADisplayOneLineAndExitStatusOne)
{
    const auto runWithout = [&](const QStringList& args, const QMap<QString, QString>& extra,
                                QByteArray* err) {
        QProcess p;
        auto e = QProcessEnvironment::systemEnvironment();
        for (const char* key : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"})
            e.remove(key);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            e.insert(it.key(), it.value());
        e.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
        e.insert("XDG_RUNTIME_DIR", dir_.filePath("runtime"));
        p.setProcessEnvironment(e);
        p.start(program(), args);
        p.waitForFinished(60000);
        *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QDir().mkpath(dir_.filePath("runtime"));
    QByteArray err;
    EXPECT_EQ(runWithout({}, {}, &err), 1);
    EXPECT_EQ(err, "Kaptorix needs an X11 display: DISPLAY is not set.\n");
    EXPECT_EQ(runWithout({}, {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_SESSION_TYPE", "wayland"}}, &err), 1);
    EXPECT_EQ(err, "Kaptorix needs an X11 display: this is a Wayland session without XWayland.\n");
    EXPECT_EQ(runWithout({"--render-demo", dir_.filePath("demo.png")}, {}, &err), 0) << err.constData();
    EXPECT_TRUE(QFile::exists(dir_.filePath("demo.png")));
}
