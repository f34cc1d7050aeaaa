// One user, two X servers, one home (a local session and a remote desktop): the real kaptorix
// runs once on each display and both keep their captures in the same history folder. Captures
// taken in turn on both, a star and a deletion made on one display to the other's captures,
// further captures on the other; then both stop, one starts again, and the history holds
// every capture with every field it had, and none that was deleted.
#include "FixtureClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <csignal>

using namespace kx::test;

namespace {

// A second X server, without window manager or tray (a bare remote session), stopped by PID.
class SecondDisplay {
public:
    SecondDisplay()
    {
        // Servers of parallel tests starting at once race for one display number: the same
        // lock as scripts/desktop-session.sh, held until this one answers.
        const QString lockPath = QDir(qEnvironmentVariable("TMPDIR", "/tmp")).filePath("kx-xvfb-start.lock");
        const int lock =
            ::open(QFile::encodeName(lockPath).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (lock >= 0)
            waitFor([&] { return ::flock(lock, LOCK_EX | LOCK_NB) == 0; }, 120000);
        // -noreset: the server would reset whenever its last client leaves.
        server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                               "-noreset", "+extension", "XTEST"});
        server_.setReadChannel(QProcess::StandardOutput);
        if (server_.waitForReadyRead(20000))
            display_ = ":" + QString::fromLatin1(server_.readAllStandardOutput()).trimmed();
        if (!display_.isEmpty())
            waitFor([&] { return run("xdpyinfo", {"-display", display_}) == 0; }, 20000);
        if (lock >= 0)
            ::close(lock);
    }
    ~SecondDisplay()
    {
        server_.terminate();
        if (!server_.waitForFinished(10000))
            server_.kill();
        server_.waitForFinished(5000);
    }
    const QString& display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

// xdotool on `display`.
bool xdo(const QString& display, const QStringList& args)
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One kaptorix on one display, in the shared home.
class Instance {
public:
    Instance(const QString& home, const QString& display) : home_(home), display_(display) {}
    ~Instance() { stop(); }
    QProcessEnvironment env() const
    {
        auto e = appEnvironment(home_);
        e.insert("DISPLAY", display_);
        e.insert("XDG_DATA_HOME", home_ + "/data");
        e.insert("TMPDIR", home_ + "/tmp");
        return e;
    }
    void start()
    {
        process_.setProcessEnvironment(env());
        // A process group of its own, as a launcher starts it (see AppDesktopTest).
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.start(QString::fromLocal8Bit(qgetenv("KX_BINARY_DIR")) + "/app/kaptorix", {});
        process_.waitForStarted();
    }
    // Hands a file to this display's instance, as `kaptorix FILE` from its session does.
    bool open(const QString& file)
    {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(QString::fromLocal8Bit(qgetenv("KX_BINARY_DIR")) + "/app/kaptorix", {file});
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        signalChild(process_.processId(), SIGTERM);
        if (!process_.waitForFinished(20000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    bool stopped() const { return process_.state() == QProcess::NotRunning && process_.exitCode() == 0; }
    QString log()
    {
        log_ += process_.readAllStandardError();
        return QString::fromUtf8(log_);
    }

private:
    QString home_, display_;
    QProcess process_;
    QByteArray log_;
};

class SharedHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDisplay())
            GTEST_SKIP() << "no X display";
        QDir().mkpath(home.filePath("config/Kaptorix"));
        QDir().mkpath(home.filePath("tmp"));
        QFile conf(home.filePath("config/Kaptorix/Kaptorix.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) &&
                    conf.write("[General]\nfirstRunDone=true\nafter.editor=false\nafter.preview=false\n") >
                        0);
    }
    QJsonArray index() const
    {
        QFile f(home.filePath("history/index.json"));
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).array() : QJsonArray();
    }
    QJsonObject entry(const QString& id) const
    {
        for (const QJsonValue& v : index())
            if (v.toObject().value("id").toString() == id)
                return v.toObject();
        return {};
    }
    // The capture that `take` adds: the one id the index did not have before. Waits for it.
    QString taken(const std::function<bool()>& take)
    {
        QSet<QString> before;
        for (const QJsonValue& v : index())
            before.insert(v.toObject().value("id").toString());
        if (!take())
            return {};
        QString id;
        const bool landed = waitFor(
            [&] {
                const QJsonArray now = index();
                for (const QJsonValue& v : now)
                    if (!before.contains(v.toObject().value("id").toString()))
                        id = v.toObject().value("id").toString();
                return !id.isEmpty() && now.size() == before.size() + 1;
            },
            30000);
        return landed ? id : QString();
    }
    // What a capture that never came left behind, for its failure message.
    QString folder() const
    {
        return QDir(home.filePath("history")).entryList(QDir::Files).join(' ') + "\n" +
               QString::fromUtf8(QJsonDocument(index()).toJson());
    }
    // In the history window of this display: the tile found by `search`, its menu item
    // `upFromEnd` places above the last one (Delete), chosen.
    bool onTile(const QString& search, int upFromEnd, const std::function<bool()>& done)
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            QByteArray out;
            if (!xdotool({"key", "ctrl+alt+0"}) || !waitFor([&] {
                    return run("xdotool", {"search", "--onlyvisible", "--name", "^Kaptorix History$"},
                               &out) == 0;
                }))
                continue;
            const QString w = QString::fromLatin1(out.trimmed().split('\n').first());
            QByteArray geo;
            run("xdotool", {"windowactivate", "--sync", w});
            run("xdotool", {"getwindowgeometry", "--shell", w}, &geo);
            QHash<QByteArray, int> v;
            for (const QByteArray& line : geo.split('\n'))
                if (const auto kv = line.split('='); kv.size() == 2)
                    v[kv[0]] = kv[1].toInt();
            // The search field, across the top of the window.
            xdotool({"mousemove", QString::number(v["X"] + 300), QString::number(v["Y"] + 5), "click", "1"});
            xdotool({"key", "ctrl+a", "BackSpace"});
            xdotool({"type", "--delay", "30", search});
            // The first tile of the window (the only one the search leaves).
            xdotool(
                {"mousemove", QString::number(v["X"] + 130), QString::number(v["Y"] + 150), "click", "3"});
            QStringList keys{"key"};
            for (int i = 0; i < upFromEnd; ++i)
                keys << "Up";
            xdotool(keys << "Return");
            if (waitFor(done, 5000))
                return true;
            xdotool({"key", "Escape"});
        }
        return false;
    }

    QTemporaryDir home;
};

QImage plain(QColor c)
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

}  // namespace

TEST_F(SharedHome, CapturesOnTwoDisplaysKeepEveryFieldThroughARestart)
{
    const QString displayA = qEnvironmentVariable("DISPLAY");
    SecondDisplay second;
    ASSERT_FALSE(second.display().isEmpty()) << "no second X server";
    const QString displayB = second.display();
    ASSERT_TRUE(plain(Qt::darkYellow).save(home.filePath("alpha-a.png")));
    ASSERT_TRUE(plain(Qt::darkCyan).save(home.filePath("zebra-b.png")));
    ASSERT_TRUE(plain(Qt::darkMagenta).save(home.filePath("yak-b.png")));

    Instance a(home.path(), displayA), b(home.path(), displayB);
    a.start();
    ASSERT_TRUE(waitFor([] { return kaptorixTrayIcon().isValid(); }, 30000)) << a.log().toStdString();
    b.start();
    // No tray on the bare display: it says so once its shortcuts are grabbed.
    ASSERT_TRUE(waitFor([&] { return b.log().contains("no system tray found"); }, 30000))
        << b.log().toStdString();
    FixtureClient notesB({"--notes"}, displayB);  // text for B's recogniser
    ASSERT_TRUE(notesB.waitReady());

    // Captures in turn on both displays; each lands in the one index.
    auto hotKey = [](const QString& display, const char* key) {
        return [=] { return xdo(display, {"key", key}); };
    };
    const QString a1 = taken(hotKey(displayA, "ctrl+alt+2"));
    ASSERT_FALSE(a1.isEmpty()) << a.log().toStdString() << b.log().toStdString() << folder().toStdString();
    const QString b1 = taken(hotKey(displayB, "ctrl+alt+2"));
    ASSERT_FALSE(b1.isEmpty()) << b.log().toStdString() << a.log().toStdString() << folder().toStdString();
    const QString a2 = taken([&] { return a.open(home.filePath("alpha-a.png")); });
    ASSERT_FALSE(a2.isEmpty());
    const QString b2 = taken([&] { return b.open(home.filePath("zebra-b.png")); });
    ASSERT_FALSE(b2.isEmpty());
    const QString b3 = taken([&] { return b.open(home.filePath("yak-b.png")); });
    ASSERT_FALSE(b3.isEmpty());
    FixtureClient notesA({"--notes", "--at", "200", "150"});
    ASSERT_TRUE(notesA.waitReady());
    const QString a3 = taken([&] {
        return xdotool({"windowactivate", "--sync", QString::number(notesA.windowId())}) &&
               xdotool({"key", "ctrl+alt+3"});
    });
    ASSERT_FALSE(a3.isEmpty()) << a.log().toStdString() << folder().toStdString();

    // On display A: a star on B's capture, and one of B's deleted.
    ASSERT_TRUE(onTile("zebra", 3, [&] { return entry(b2).value("favorite").toBool(); }));
    ASSERT_TRUE(onTile("yak", 1, [&] { return entry(b3).isEmpty(); }));
    // B writes again: the star and the deletion stay.
    const QString b4 = taken(hotKey(displayB, "ctrl+alt+2"));
    ASSERT_FALSE(b4.isEmpty()) << b.log().toStdString() << folder().toStdString();
    EXPECT_TRUE(entry(b2).value("favorite").toBool());
    EXPECT_TRUE(entry(b3).isEmpty());

    // Every capture gets its recognised text (the notes on both displays give some).
    const QStringList all{a1, b1, a2, b2, a3, b4};
    ASSERT_TRUE(waitFor(
        [&] {
            for (const QString& id : all)
                if (!entry(id).contains("ocrText"))
                    return false;
            return true;
        },
        240000))
        << QJsonDocument(index()).toJson().toStdString();
    const QJsonArray before = index();
    ASSERT_EQ(before.size(), 6);
    EXPECT_EQ(entry(a1).value("kind").toString(), "fullscreen");
    EXPECT_EQ(entry(b1).value("width").toInt(), 1280);
    EXPECT_FALSE(entry(b1).value("ocrText").toString().isEmpty()) << "B's screen shows the notes";
    EXPECT_EQ(entry(a2).value("kind").toString(), "file");
    EXPECT_EQ(entry(a2).value("title").toString(), "alpha-a");
    EXPECT_EQ(entry(b2).value("title").toString(), "zebra-b");
    EXPECT_EQ(entry(a3).value("kind").toString(), "window");
    EXPECT_EQ(entry(a3).value("title").toString(), "notes.txt");
    EXPECT_FALSE(entry(a3).value("ocrText").toString().isEmpty());

    a.stop();
    b.stop();
    EXPECT_TRUE(a.stopped() && b.stopped());
    EXPECT_EQ(index(), before) << "the quit of one wrote over the other's";
    EXPECT_TRUE(QDir(home.filePath("history")).entryList({"index*.journal"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(home.filePath("history/" + b3 + ".png")));

    // A start on one display: nothing comes back as a rebuilt capture, nothing goes.
    Instance again(home.path(), displayA);
    again.start();
    ASSERT_TRUE(waitFor([] { return kaptorixTrayIcon().isValid(); }, 30000)) << again.log().toStdString();
    // Its history is read by the time its window shows.
    ASSERT_TRUE(xdo(displayA, {"key", "ctrl+alt+0"}));
    ASSERT_TRUE(waitFor(
        [&] {
            return run("xdotool", {"search", "--onlyvisible", "--name", "^Kaptorix History$"}) == 0;
        },
        30000));
    again.stop();
    EXPECT_EQ(index(), before);
    for (const QString& id : all)
        EXPECT_TRUE(QFile::exists(home.filePath("history/" + id + ".png"))) << id.toStdString();
    EXPECT_FALSE(again.log().contains("notice:")) << again.log().toStdString();
}
