// The real kaptorix binary under the desktop harness: tray icon, status menu, hot keys to
// the clipboard and the history, the single-instance hand-over, and quitting by signal.
#include "FixtureClient.h"
#include "TestSupport.h"
#include "platform/WindowList.h"

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

QImage screenNow()
{
    QByteArray png;
    run("import", {"-window", "root", "png:-"}, &png);
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

QImage clipboardPng()
{
    QByteArray png;
    if (run("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"}, &png, 5000) != 0)
        return {};
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

QString clipboardText()
{
    QByteArray text;
    run("xclip", {"-selection", "clipboard", "-o"}, &text, 5000);
    return QString::fromUtf8(text);
}

// A client window's frame (decorations included), as the window list reports it.
QRect frameOf(quint32 id)
{
    for (const kx::WindowInfo& w : kx::WindowList::onScreen(true))
        if (w.id == id)
            return w.frame;
    return {};
}

// A visible Kaptorix window at least `minHeight` tall (a menu, the overlay).
bool waitForWindow(int minHeight, int ms = 10000)
{
    return waitFor(
        [&] {
            QByteArray ids;
            run("xdotool", {"search", "--onlyvisible", "--classname", "kaptorix"}, &ids);
            for (const QByteArray& id : ids.trimmed().split('\n')) {
                QByteArray geo;
                run("xdotool", {"getwindowgeometry", "--shell", QString::fromLatin1(id)}, &geo);
                const qsizetype at = geo.indexOf("HEIGHT=");
                if (at >= 0 && geo.mid(at + 7).split('\n').first().toInt() >= minHeight)
                    return true;
            }
            return false;
        },
        ms);
}

class Kaptorix {
public:
    explicit Kaptorix(const QString& home) : home_(home)
    {
        QDir().mkpath(runtime());
        ::chmod(QFile::encodeName(runtime()).constData(), 0700);
    }
    ~Kaptorix()
    {
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
    }

    QProcessEnvironment env() const
    {
        auto e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_CONFIG_HOME", home_ + "/config");
        e.insert("XDG_RUNTIME_DIR", runtime());
        e.insert("KAPTORIX_DATA_DIR", historyDir());
        e.insert("KAPTORIX_LOG_NOTICES", "1");
        e.insert("QT_QPA_PLATFORM", "xcb");
        return e;
    }
    void start()
    {
        QDir().mkpath(home_ + "/config/Kaptorix");
        QFile conf(home_ + "/config/Kaptorix/Kaptorix.conf");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) &&
                    conf.write("[General]\nfirstRunDone=true\nafter.editor=false\n"));
        conf.close();
        process_.setProcessEnvironment(env());
        process_.start(program(), {});
        ASSERT_TRUE(process_.waitForStarted());
    }
    int startAgain(const QStringList& args, QByteArray* err)
    {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(program(), args);
        p.waitForFinished(20000);
        *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QString notices()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }
    QJsonArray entries() const
    {
        QFile f(historyDir() + "/index.json");
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).array() : QJsonArray();
    }
    bool waitForEntries(int n, int ms = 10000)
    {
        return waitFor([&] { return entries().size() >= n; }, ms);
    }
    QRect trayIcon() const
    {
        QByteArray out;
        run("xwininfo", {"-root", "-tree"}, &out);
        static const QRegularExpression re(
            R"re(\("kaptorix" "Kaptorix"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(\d+)\+(\d+))re");
        const auto m = re.match(QString::fromUtf8(out));
        if (!m.hasMatch() || m.captured(1).toInt() > 64)
            return {};
        return QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                     m.captured(2).toInt());
    }
    QString historyDir() const { return home_ + "/history"; }
    bool waitForPng(int ms) const
    {
        return waitFor([&] { return !QDir(historyDir()).entryList({"*.png"}).isEmpty(); }, ms);
    }
    QProcess& process() { return process_; }
    static QString program() { return qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix"; }

private:
    QString runtime() const { return home_ + "/runtime"; }
    QString home_;
    QProcess process_;
    QByteArray log_;
};

class AppDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDisplay())
            GTEST_SKIP() << "no X display";
        app_ = std::make_unique<Kaptorix>(dir_.path());
    }
    void startApp()
    {
        app_->start();
        ASSERT_TRUE(waitFor([&] { return app_->trayIcon().isValid(); }, 20000)) << "icon not in trayer";
    }
    QTemporaryDir dir_;
    std::unique_ptr<Kaptorix> app_;
};

}  // namespace

TEST_F(AppDesktop, TrayMenuCapturesFullscreenIntoTheHistory)
{
    startApp();
    // The icon can be listed before it takes input, or move while the tray settles, on a loaded
    // machine: look it up and click again until the menu shows.
    bool opened = false;
    for (int attempt = 0; attempt < 4 && !opened; ++attempt) {
        const QRect icon = app_->trayIcon();
        xdotool({"mousemove", QString::number(icon.center().x()), QString::number(icon.center().y()),
                 "click", "1"});
        opened = waitForWindow(200, 5000);
    }
    ASSERT_TRUE(opened) << "the status menu did not open";
    xdotool({"key", "Down", "Down", "Down"});  // the header row, Capture area, Capture fullscreen
    xdotool({"key", "Return"});
    ASSERT_TRUE(app_->waitForEntries(1));
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "fullscreen");
}

TEST_F(AppDesktop, HotKeysPutTheScreenAndAnAreaOnTheClipboard)
{
    startApp();
    xdotool({"mousemove", "5", "5"});
    const QImage before = screenNow();
    xdotool({"key", "ctrl+alt+2"});
    QImage clip;
    ASSERT_TRUE(waitFor([&] { return !(clip = clipboardPng()).isNull(); }));
    EXPECT_EQ(maxChannelDifference(clip, before), 0);
    ASSERT_TRUE(app_->waitForEntries(1));

    // Repeat-last before any area says so; after a dragged area it grabs that area again.
    xdotool({"key", "ctrl+alt+9"});
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains("notice: No previous area yet|"); }));
    kx::test::FixtureClient fixture({"--at", "300", "200"});
    ASSERT_TRUE(fixture.waitReady());
    const QImage page = screenNow();
    xdotool({"key", "ctrl+alt+1"});
    ASSERT_TRUE(waitForWindow(1080));  // the overlay
    xdotool({"mousemove", "320", "240", "mousedown", "1", "mousemove", "400", "300", "mousemove", "520",
             "390", "mouseup", "1"});
    ASSERT_TRUE(app_->waitForEntries(2));
    ASSERT_TRUE(waitFor([&] { return (clip = clipboardPng()).size() == QSize(200, 150); }));
    EXPECT_EQ(maxChannelDifference(clip, page.copy(320, 240, 200, 150)), 0);
    xdotool({"key", "ctrl+alt+9"});
    ASSERT_TRUE(app_->waitForEntries(3));
    EXPECT_EQ(app_->entries().at(0).toObject().value("width").toInt(), 200);
    for (const auto& e : app_->entries())
        EXPECT_TRUE(QFile::exists(app_->historyDir() + "/" + e.toObject().value("id").toString() + ".png"));
}

// Ctrl+Alt+8 pins the dragged area over the screen; Ctrl+Alt+0 opens the history window.
TEST_F(AppDesktop, PinAndHistoryKeysOpenTheirWindows)
{
    startApp();
    const auto shown = [](const char* name) {
        return waitFor(
            [&] {
                return run("xdotool", {"search", "--onlyvisible", "--name", name}) == 0;
            },
            20000);
    };
    xdotool({"key", "ctrl+alt+8"});
    ASSERT_TRUE(waitForWindow(1080));  // the overlay
    xdotool({"mousemove", "600", "400", "mousedown", "1", "mousemove", "700", "480", "mousemove", "840",
             "580", "mouseup", "1"});
    EXPECT_TRUE(shown("^Pin$")) << "no pin window";
    xdotool({"key", "ctrl+alt+0"});
    EXPECT_TRUE(shown("^Kaptorix History$")) << "no history window";
}

// A second start hands over its file and exits; SIGTERM before the index's debounce keeps it.
TEST_F(AppDesktop, SecondStartHandsOverAndTerminationKeepsTheEntry)
{
    startApp();
    QImage img(64, 48, QImage::Format_RGB32);
    ASSERT_TRUE(img.save(dir_.filePath("a.png")));
    QByteArray err;
    EXPECT_EQ(app_->startAgain({dir_.filePath("a.png")}, &err), 0);
    EXPECT_EQ(app_->startAgain({}, &err), 0);
    EXPECT_TRUE(err.contains("already running")) << err.constData();
    ASSERT_TRUE(app_->waitForPng(10000));
    ::kill(pid_t(app_->process().processId()), SIGTERM);
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    ASSERT_EQ(app_->entries().size(), 1);
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "file");
    EXPECT_EQ(app_->entries().at(0).toObject().value("title").toString(), "a");
}

TEST_F(AppDesktop, ATakenShortcutIsNamedAndTheOthersWork)
{
    QProcess holder;  // another client grabs Ctrl+Alt+3 first
    holder.start(qEnvironmentVariable("KX_BINARY_DIR") + "/tests/platform/kxtestwin",
                 {"grab-key", "0x33", "0xC"});
    if (!holder.waitForStarted() || !holder.waitForReadyRead(10000))
        GTEST_SKIP() << "no key holder";
    startApp();
    ASSERT_TRUE(waitFor([&] {
        return app_->notices().contains(
            "notice: Ctrl+Alt+3|This shortcut is taken by another app or the system.");
    })) << app_->notices().toStdString();
    xdotool({"key", "ctrl+alt+2"});
    EXPECT_TRUE(app_->waitForEntries(1));
    holder.kill();
    holder.waitForFinished();
}

TEST_F(AppDesktop, WindowTextAndColourKeysReadTheFixture)
{
    startApp();
    FixtureClient fixture({"--at", "400", "150"});
    ASSERT_TRUE(fixture.waitReady());
    const QRect frame = frameOf(fixture.windowId());
    const QImage screen = screenNow();
    QImage clip;

    // 3: the active window; 4: the window picked with a click.
    for (const char* key : {"ctrl+alt+3", "ctrl+alt+4"}) {
        run("xclip", {"-selection", "clipboard", "/dev/null"});
        xdotool({"windowactivate", "--sync", QString::number(fixture.windowId())});
        xdotool({"key", key});
        if (QByteArray(key).endsWith('4')) {
            ASSERT_TRUE(waitForWindow(1080));
            xdotool({"mousemove", QString::number(frame.center().x()), QString::number(frame.center().y()),
                     "click", "1"});
        }
        ASSERT_TRUE(waitFor([&] { return (clip = clipboardPng()).size() == frame.size(); }))
            << key << " " << clip.width() << app_->notices().toStdString();
        // The picker's overlay takes the focus for a moment: compare below the title bar.
        const int top = QByteArray(key).endsWith('4') ? 40 : 0;
        EXPECT_EQ(maxChannelDifference(clip.copy(0, top, clip.width(), clip.height() - top),
                                       screen.copy(frame.adjusted(0, top, 0, 0))),
                  0)
            << key;
    }

    // 6: the text under a dragged area; 7: the colour of the header under a click.
    const QRect area = fixture.area();
    // The overlay may map before it takes the pointer: a drag it missed is tried again.
    for (int attempt = 0; attempt < 3 && !app_->notices().contains("notice: Recognizing text"); ++attempt) {
        xdotool({"key", "Escape"});
        xdotool({"key", "ctrl+alt+6"});
        ASSERT_TRUE(waitForWindow(1080));
        xdotool({"mousemove", QString::number(area.x() + 60), QString::number(area.y() + 70), "mousedown",
                 "1", "mousemove", "700", "300", "mousemove", QString::number(area.right() - 10),
                 QString::number(area.y() + 200), "mouseup", "1"});
        waitFor([&] { return app_->notices().contains("notice: Recognizing text"); }, 3000);
    }
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains("notice: Text copied"); }, 90000))
        << app_->notices().toStdString();
    EXPECT_TRUE(clipboardText().contains("quick brown fox")) << clipboardText().toStdString();

    xdotool({"key", "ctrl+alt+7"});
    ASSERT_TRUE(waitForWindow(1080));
    xdotool({"mousemove", QString::number(area.x() + 5), QString::number(area.y() + 5), "click", "1"});
    ASSERT_TRUE(waitFor([&] { return clipboardText().startsWith("#"); })) << app_->notices().toStdString();
    EXPECT_EQ(clipboardText(), "#2E86C1");
    EXPECT_EQ(app_->entries().size(), 2);  // the two window captures; text and colour make none
}

TEST_F(AppDesktop, LosingTheXServerKeepsTheEntry)
{
    // A private X server this test can end.
    QProcess xvfb;
    xvfb.start("Xvfb",
               {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "+extension", "XTEST"});
    xvfb.setReadChannel(QProcess::StandardOutput);
    ASSERT_TRUE(xvfb.waitForReadyRead(10000));
    const QString display = ":" + QString::fromLatin1(xvfb.readAllStandardOutput()).trimmed();
    qputenv("KX_SAVED_DISPLAY", qgetenv("DISPLAY"));
    qputenv("DISPLAY", display.toLocal8Bit());
    app_->start();
    const bool captured = waitFor([&] { return xdotool({"key", "ctrl+alt+2"}) && app_->waitForPng(100); });
    qputenv("DISPLAY", qgetenv("KX_SAVED_DISPLAY"));
    ASSERT_TRUE(captured);
    xvfb.terminate();  // before the index's debounce ran
    xvfb.waitForFinished();
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    // A key pressed before the grab was in place did nothing; every capture made is indexed.
    const int files = QDir(app_->historyDir()).entryList({"*.png"}).size();
    EXPECT_GE(files, 1);
    EXPECT_EQ(app_->entries().size(), files) << app_->notices().toStdString();
}
