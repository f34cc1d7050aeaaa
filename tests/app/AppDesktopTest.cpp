// The real kaptorix binary under the desktop harness: tray icon, status menu, hot keys to
// the clipboard and the history, the single-instance hand-over, and quitting by signal.
#include "FixtureClient.h"
#include "TestSupport.h"

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

class Kaptorix {
public:
    explicit Kaptorix(const QString& home) : home_(home)
    {
        QDir().mkpath(runtime());
        ::chmod(QFile::encodeName(runtime()).constData(), 0700);
    }
    ~Kaptorix() { stop(); }

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
    void setSetting(const QString& line)
    {
        QDir().mkpath(home_ + "/config/Kaptorix");
        QFile f(home_ + "/config/Kaptorix/Kaptorix.conf");
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(("[General]\n" + line + "\n").toUtf8());
    }
    void start(const QStringList& args = {})
    {
        process_.setProcessEnvironment(env());
        process_.setProgram(program());
        process_.setArguments(args);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        ASSERT_TRUE(process_.waitForStarted());
    }
    // A second start: its exit code and stderr.
    int startAgain(const QStringList& args, QByteArray* err)
    {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(program(), args);
        p.waitForFinished(20000);
        *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
    }
    QString notices()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }
    QJsonArray entries() const
    {
        QFile f(historyDir() + "/index.json");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
        return doc.isArray() ? doc.array() : doc.object().value("entries").toArray();
    }
    bool waitForEntries(int n, int ms = 10000)
    {
        return waitFor([&] { return entries().size() >= n; }, ms);
    }
    // The icon's window in trayer, found in the window tree.
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
        app_->setSetting("firstRunDone=true\nafter.editor=false");
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
    const QRect icon = app_->trayIcon();
    xdotool(
        {"mousemove", QString::number(icon.center().x()), QString::number(icon.center().y()), "click", "1"});
    // The menu is a visible kaptorix window far larger than the icon.
    ASSERT_TRUE(waitFor([&] {
        QByteArray ids;
        run("xdotool", {"search", "--onlyvisible", "--classname", "kaptorix"}, &ids);
        for (const QByteArray& id : ids.trimmed().split('\n')) {
            QByteArray geo;
            run("xdotool", {"getwindowgeometry", "--shell", QString::fromLatin1(id)}, &geo);
            const qsizetype at = geo.indexOf("HEIGHT=");
            if (at >= 0 && geo.mid(at + 7).split('\n').first().toInt() > 200)
                return true;
        }
        return false;
    })) << "the status menu did not open";
    xdotool({"key", "Down", "Down", "Down"});  // the header row, Capture area, Capture fullscreen
    run("import", {"-window", "root", artifactDir("app") + "/status-menu.png"});
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
    waitFor([] { return false; }, 800);  // the overlay maps; no event to wait for from outside
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

TEST_F(AppDesktop, SecondStartHandsItsFileOverAndExits)
{
    startApp();
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    const QString file = dir_.filePath("a.png");
    ASSERT_TRUE(img.save(file));
    QByteArray err;
    EXPECT_EQ(app_->startAgain({file}, &err), 0);
    ASSERT_TRUE(app_->waitForEntries(1));
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "file");
    EXPECT_EQ(app_->entries().at(0).toObject().value("title").toString(), "a");
    EXPECT_EQ(app_->startAgain({}, &err), 0);
    EXPECT_TRUE(err.contains("already running")) << err.constData();
    EXPECT_EQ(app_->entries().size(), 1);
}

TEST_F(AppDesktop, TerminationRightAfterACaptureKeepsTheEntry)
{
    startApp();
    xdotool({"key", "ctrl+alt+2"});
    ASSERT_TRUE(waitFor([&] { return !QDir(app_->historyDir()).entryList({"*.png"}).isEmpty(); }));
    ::kill(pid_t(app_->process().processId()), SIGTERM);  // before the index's debounce ran
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    ASSERT_EQ(app_->entries().size(), 1);
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
