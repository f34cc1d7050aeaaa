// The real kaptorix with its settings on a disk that takes nothing (a small tmpfs in this test's
// own mount namespace): each start says the settings cannot be saved, where and why, and is no
// first start; a change made in the Settings window is told once as not kept. A disk that stops
// taking writes while the window is open is told at the change.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "settings/SettingsWindowController.h"
#include "ui/ToastView.h"

#include "ChildProcess.h"
#include "FileLimits.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace kx;
using namespace kx::test;

namespace {

// One Kaptorix with its settings under `config`, everything else in a folder of its own.
class Kaptorix {
public:
    explicit Kaptorix(const QString& config) : config_(config) {}
    ~Kaptorix() { stop(); }
    QProcessEnvironment env() const
    {
        QProcessEnvironment e = appEnvironment(home_.path());
        e.insert("XDG_CONFIG_HOME", config_);
        return e;
    }
    void start()
    {
        process_.setProcessEnvironment(env());
        log_.clear();
        process_.start(kaptorixProgram(), {});
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
    // A start from a launcher while it runs: its Settings window.
    bool showSettings()
    {
        QProcess second;
        second.setProcessEnvironment(env());
        second.start(kaptorixProgram(), {});
        return second.waitForFinished(30000) && second.exitCode() == 0;
    }
    QString notices()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }
    bool waitForNotice(const QString& notice, int ms = 20000)
    {
        return waitFor([&] { return notices().contains("notice: " + notice); }, ms);
    }
    QString settingsPath() const { return config_ + "/Kaptorix/Kaptorix.conf"; }
    QByteArray settings() const
    {
        QFile f(settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }

private:
    QTemporaryDir home_;
    QString config_;
    QProcess process_;
    QByteArray log_;
};

QString visibleWindow(const QString& name, int ms = 20000)
{
    QString id;
    waitFor(
        [&] {
            QByteArray out;
            run("xdotool", {"search", "--onlyvisible", "--name", "^" + name + "$"}, &out);
            id = QString::fromLatin1(out.trimmed().split('\n').value(0));
            return !id.isEmpty();
        },
        ms);
    return id;
}

// Where the "Shutter sound" toggle of the General page lies in the Settings window: the same
// window made here, with the same fonts, is laid out the same.
QPoint shutterToggleInWindow()
{
    Lang::overrideForTests("en");
    Prefs::registerDefaults();
    SettingsWindowController::shared().show(0);
    QWidget* window = SettingsWindowController::shared().window();
    waitFor([&] { return window->isVisible() && window->findChild<QCheckBox*>(); });
    QPoint at;
    for (QCheckBox* box : window->findChildren<QCheckBox*>())
        if (box->text() == QLatin1String("Shutter sound") && box->isVisible())
            at = box->mapTo(window, QPoint(10, box->height() / 2));  // on the box, not the words
    window->hide();
    return at;
}

// The toggle's few pixels as the screen shows them.
QImage toggleLook(const QPoint& at)
{
    return rootScreenshot().copy(QRect(at - QPoint(8, 8), QSize(16, 16)));
}

class SettingsDiskDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDisplay())
            GTEST_SKIP() << "no X display";
        if (!privateMounts())
            GTEST_SKIP() << "no mount namespace of its own here";
        ASSERT_TRUE(waitForWindowManager());
        toggle_ = shutterToggleInWindow();
        ASSERT_FALSE(toggle_.isNull());
    }
    // Opens the running instance's Settings window; the toggle's place on the screen.
    QPoint openSettings(Kaptorix& app)
    {
        EXPECT_TRUE(app.showSettings());
        const QString id = visibleWindow("Kaptorix Settings");
        EXPECT_FALSE(id.isEmpty()) << app.notices().toStdString();
        // xwininfo, not xdotool: xdotool counts the title bar into the client's place.
        QByteArray info;
        run("xwininfo", {"-id", id}, &info);
        QHash<QString, int> v;
        for (const QString& line : QString::fromLatin1(info).split('\n'))
            v.insert(line.section(':', 0, 0).trimmed(), line.section(':', 1).trimmed().toInt());
        return QPoint(v.value("Absolute upper-left X"), v.value("Absolute upper-left Y")) + toggle_;
    }
    // Clicks the toggle and waits until the screen shows it turned.
    static bool turn(const QPoint& at)
    {
        const QImage before = toggleLook(at);
        xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
        return waitFor([&] { return toggleLook(at) != before; });
    }
    QPoint toggle_;
};

// Kaptorix is up once a hot key works: the launch, its first-run step included, is over.
bool launched()
{
    return waitFor(
        [] {
            return xdotool({"key", "ctrl+alt+0"}) && !visibleWindow("Kaptorix History", 2000).isEmpty();
        },
        60000);
}

}  // namespace

TEST_F(SettingsDiskDesktop, AFullDiskIsToldAtEachStartAndAChangeOnceAsNotKept)
{
    FullFilesystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString() << ")";
    ASSERT_TRUE(disk.fill());
    Kaptorix app(disk.path());
    // Notices shorten a long path in the middle.
    const QString where = ToastView::shortPath(app.settingsPath());
    const QString startNotice =
        "Settings cannot be saved|Changes last until Kaptorix quits. " + where + ": No space left on device.";
    const QString notKept = "Settings cannot be saved|Change not saved; it lasts until Kaptorix quits. " +
                            where + ": No space left on device.";
    for (int start = 1; start <= 2; ++start) {
        app.start();
        EXPECT_TRUE(app.waitForNotice(startNotice)) << start << "\n" << app.notices().toStdString();
        ASSERT_TRUE(launched()) << start;
        EXPECT_TRUE(visibleWindow("Kaptorix Settings", 0).isEmpty()) << start << ": taken for a first start";
        if (start == 1) {
            // A change, and it back: the window shows each, the first is told as not kept.
            const QPoint at = openSettings(app);
            ASSERT_TRUE(turn(at)) << "the toggle did not turn";
            EXPECT_TRUE(app.waitForNotice(notKept)) << app.notices().toStdString();
            ASSERT_TRUE(turn(at)) << "the toggle did not turn back";
            rootScreenshot(artifactDir("app") + "/settings-full-disk.png");
        }
        app.stop();
        EXPECT_EQ(app.notices().count("notice: Settings cannot be saved|"), start == 1 ? 2 : 1)
            << app.notices().toStdString();
        EXPECT_EQ(app.settings(), QByteArray()) << "the file the first start made stays empty";
        ASSERT_TRUE(waitFor([] { return visibleWindow("Kaptorix History", 0).isEmpty(); }));
    }
}

TEST_F(SettingsDiskDesktop, ADiskThatStopsTakingWritesIsToldAtTheChange)
{
    FullFilesystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString() << ")";
    Kaptorix app(disk.path());
    const QByteArray before = "[General]\nfirstRunDone=true\nafter.editor=false\n";
    QDir().mkpath(disk.path() + "/Kaptorix");
    {
        QFile conf(app.settingsPath());
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) && conf.write(before) == before.size());
    }
    app.start();
    ASSERT_TRUE(launched());
    const QPoint at = openSettings(app);
    ASSERT_TRUE(disk.makeReadOnly());
    ASSERT_TRUE(turn(at));
    EXPECT_TRUE(
        app.waitForNotice("Settings cannot be saved|Change not saved; it lasts until Kaptorix quits. " +
                          ToastView::shortPath(app.settingsPath()) + ": Read-only file system."))
        << app.notices().toStdString();
    // Closed, the window says nothing more; the file is as it was.
    xdotool({"windowactivate", "--sync", visibleWindow("Kaptorix Settings"), "key", "alt+F4"});
    ASSERT_TRUE(waitFor([] { return visibleWindow("Kaptorix Settings", 0).isEmpty(); }));
    app.stop();
    EXPECT_EQ(app.notices().count("notice: "), 1) << app.notices().toStdString();
    EXPECT_EQ(app.settings(), before);
}
