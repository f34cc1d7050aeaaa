// The real kaptorix binary under the desktop harness: tray icon, status menu, hot keys to
// the clipboard and the history, the preview card's actions, opening a file, the language
// switch's relaunch, the single-instance hand-over, and quitting by signal.
#include "FixtureClient.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "platform/WindowList.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

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

// The smallest rectangle holding every pixel where a and b differ, for failure messages.
QString differingRect(QImage a, QImage b)
{
    a = a.convertToFormat(QImage::Format_RGB32);
    b = b.convertToFormat(QImage::Format_RGB32);
    QRect r;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                r |= QRect(x, y, 1, 1);
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
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

struct Window {
    QString id, name;
    QRect rect;
};

QList<Window> visibleWindows()
{
    QList<Window> out;
    QByteArray ids;
    run("xdotool", {"search", "--onlyvisible", "--classname", "kaptorix"}, &ids);
    for (const QByteArray& id : ids.trimmed().split('\n')) {
        QByteArray geo, name;
        if (id.isEmpty() || run("xdotool", {"getwindowgeometry", "--shell", id}, &geo) != 0)
            continue;
        run("xdotool", {"getwindowname", id}, &name);
        QHash<QByteArray, int> v;
        for (const QByteArray& line : geo.split('\n'))
            if (const auto kv = line.split('='); kv.size() == 2)
                v[kv[0]] = kv[1].toInt();
        out << Window{id, QString::fromUtf8(name.trimmed()), QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"])};
    }
    return out;
}

// The first visible Kaptorix window that `match` accepts, waited for.
std::optional<Window> waitForWindow(const std::function<bool(const Window&)>& match, int ms = 20000)
{
    std::optional<Window> found;
    waitFor(
        [&] {
            for (const Window& w : visibleWindows())
                if (match(w))
                    return bool(found = w);
            return false;
        },
        ms);
    return found;
}

// A visible Kaptorix window at least `minHeight` tall (a menu, the overlay).
bool waitForWindow(int minHeight, int ms = 10000)
{
    return waitForWindow([&](const Window& w) { return w.rect.height() >= minHeight; }, ms).has_value();
}

bool shown(const QString& name, int ms = 20000)
{
    return waitForWindow([&](const Window& w) { return w.name == name && w.rect.height() > 60; }, ms)
        .has_value();
}

void drag(const QPoint& from, const QPoint& to)
{
    const auto n = [](int v) { return QString::number(v); };
    const QPoint mid = (from + to) / 2;
    xdotool({"mousemove", n(from.x()), n(from.y()), "mousedown", "1", "mousemove", n(mid.x()), n(mid.y()),
             "mousemove", n(to.x()), n(to.y()), "mouseup", "1"});
}

void click(const QPoint& p)
{
    xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

// The quick-preview card: a window as tall as a card (toasts are lower, pins and editors
// larger) in the lower right of the screen.
QRect card()
{
    for (const Window& w : visibleWindows())
        if (w.rect.height() > 200 && w.rect.height() < 450 && w.rect.width() < 600 && w.rect.left() > 960)
            return w.rect;
    return {};
}

// The centre of button `index` of the card's row of `count` 68-point buttons 4 points apart.
QPoint cardButton(const QRect& card, int index, int count)
{
    const int row = count * 68 + (count - 1) * 4;
    return {card.x() + card.width() / 2 - row / 2 + index * 72 + 34, card.bottom() + 1 - 47};
}

class Kaptorix {
public:
    explicit Kaptorix(const QString& home) : home_(home) { QDir().mkpath(tmpDir()); }
    ~Kaptorix()
    {
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
        // A relaunched process is no child of the test: found by its private runtime folder.
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            QFile env("/proc/" + pid + "/environ");
            if (pid.toInt() > 0 && env.open(QIODevice::ReadOnly) &&
                env.readAll().split('\0').contains("XDG_RUNTIME_DIR=" + QFile::encodeName(runtime())))
                ::kill(pid_t(pid.toInt()), SIGTERM);
        }
    }

    QProcessEnvironment env() const
    {
        auto e = kx::test::appEnvironment(home_);
        e.insert("TMPDIR", tmpDir());
        return e;
    }
    // `args` on the command line; `overrides` in the environment the user started it with.
    void start(const QByteArray& settings = {}, const QStringList& args = {},
               const QMap<QString, QString>& overrides = {})
    {
        QDir().mkpath(home_ + "/config/Kaptorix");
        QFile conf(settingsPath());
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) &&
                    conf.write("[General]\nfirstRunDone=true\nafter.editor=false\n" + settings));
        conf.close();
        startAsIs(args, overrides);
    }
    // Started with whatever is at the settings path.
    void startAsIs(const QStringList& args = {}, const QMap<QString, QString>& overrides = {})
    {
        QProcessEnvironment e = env();
        for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
            e.insert(it.key(), it.value());
        process_.setProcessEnvironment(e);
        // A process group of its own, as a launcher starts it. CTest runs every test, its X
        // server and all they start in one process group, and when a group is left orphaned
        // while a process in it is stopped, the kernel sends SIGHUP and SIGCONT to all of it:
        // with the SIGSTOP below (or the product's own stop of its recognizer) every X server
        // of the run would drop its clients, and this instance would quit.
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.start(kx::test::kaptorixProgram(), args);
        ASSERT_TRUE(process_.waitForStarted());
    }
    int startAgain(const QStringList& args, QByteArray* err)
    {
        QProcess p;
        p.setProcessEnvironment(env());
        p.start(kx::test::kaptorixProgram(), args);
        p.waitForFinished(60000);
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
    QRect trayIcon() const { return kaptorixTrayIcon(); }
    QString historyDir() const { return home_ + "/history"; }
    QString settingsPath() const { return home_ + "/config/Kaptorix/Kaptorix.conf"; }
    QString tmpDir() const { return home_ + "/tmp"; }
    bool waitForPng(int ms) const
    {
        return waitFor([&] { return !QDir(historyDir()).entryList({"*.png"}).isEmpty(); }, ms);
    }
    QProcess& process() { return process_; }

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
    void startApp(const QByteArray& settings = {})
    {
        app_->start(settings);
        ASSERT_TRUE(waitFor([&] { return app_->trayIcon().isValid(); }, 20000)) << "icon not in trayer";
    }
    // The icon can be listed before it takes input, or move while the tray settles, on a loaded
    // machine: look it up and click again until the menu shows; then `keys` in the menu.
    bool statusMenu(const QStringList& keys)
    {
        bool opened = false;
        for (int attempt = 0; attempt < 4 && !opened; ++attempt) {
            click(app_->trayIcon().center());
            opened = waitForWindow(400, 5000);  // taller than a preview card
        }
        return opened && xdotool(QStringList{"key"} + keys);
    }
    QTemporaryDir dir_;
    std::unique_ptr<Kaptorix> app_;
};

}  // namespace

TEST_F(AppDesktop, HotKeysPutTheScreenAndAnAreaOnTheClipboard)
{
    startApp();
    xdotool({"mousemove", "5", "5"});
    const QRect icon = app_->trayIcon();
    ASSERT_TRUE(icon.isValid());
    const QImage before = screenNow();
    xdotool({"key", "ctrl+alt+2"});
    QImage clip;
    ASSERT_TRUE(waitFor([&] { return !(clip = clipboardPng()).isNull(); }));
    // The icon may take its other colour between the two grabs, once the tray has drawn its
    // background late on a busy machine: the tray's band is not part of what is compared.
    const QRect band(0, icon.top() - 8, before.width(), icon.height() + 16);
    auto outsideBand = [&](QImage image) {
        image = image.convertToFormat(QImage::Format_RGB32);
        QPainter(&image).fillRect(band, Qt::black);
        return image;
    };
    EXPECT_EQ(maxChannelDifference(outsideBand(clip), outsideBand(before)), 0)
        << "differs within " << qPrintable(differingRect(clip, before));
    ASSERT_TRUE(app_->waitForEntries(1));

    // Repeat-last before any area says so; after a dragged area it grabs that area again.
    xdotool({"key", "ctrl+alt+9"});
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains("notice: No previous area yet|"); }));
    kx::test::FixtureClient fixture({"--at", "300", "200"});
    ASSERT_TRUE(fixture.waitReady());
    const QImage page = screenNow();
    xdotool({"key", "ctrl+alt+1"});
    ASSERT_TRUE(waitForWindow(1080));  // the overlay
    drag({320, 240}, {520, 390});
    ASSERT_TRUE(app_->waitForEntries(2));
    ASSERT_TRUE(waitFor([&] { return (clip = clipboardPng()).size() == QSize(200, 150); }));
    EXPECT_EQ(maxChannelDifference(clip, page.copy(320, 240, 200, 150)), 0);
    xdotool({"key", "ctrl+alt+9"});
    ASSERT_TRUE(app_->waitForEntries(3));
    EXPECT_EQ(app_->entries().at(0).toObject().value("width").toInt(), 200);
    for (const auto& e : app_->entries())
        EXPECT_TRUE(QFile::exists(app_->historyDir() + "/" + e.toObject().value("id").toString() + ".png"));
    // 8 pins the dragged area over the screen.
    xdotool({"key", "ctrl+alt+8"});
    ASSERT_TRUE(waitForWindow(1080));
    drag({600, 400}, {840, 580});
    EXPECT_TRUE(shown("Pin")) << "no pin window";
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
    ASSERT_TRUE(signalChild(app_->process().processId(), SIGTERM));
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    ASSERT_EQ(app_->entries().size(), 1);
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "file");
    EXPECT_EQ(app_->entries().at(0).toObject().value("title").toString(), "a");
}

// The history is read after the icon shows, but still at start: an entry whose image is gone
// leaves the index and is told of without any capture being taken.
TEST_F(AppDesktop, TheHistoryIsCheckedOnceTheIconShows)
{
    QDir().mkpath(app_->historyDir());
    // Dated now: an old entry would be pruned by age instead.
    const QByteArray now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
    QByteArray index = "[";
    for (const char* id : {"6F1D3A4E-1C2B-4D5E-8F90-1A2B3C4D5E6F", "0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3"})
        index += QByteArray(index.size() > 1 ? "," : "") + "{\"id\":\"" + id + "\",\"date\":\"" + now +
                 "\",\"width\":64,\"height\":48,\"scale\":1,"
                 "\"kind\":\"area\",\"favorite\":false}";
    QFile f(app_->historyDir() + "/index.json");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(index + "]") > 0);
    f.close();
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::white);
    ASSERT_TRUE(img.save(app_->historyDir() + "/6F1D3A4E-1C2B-4D5E-8F90-1A2B3C4D5E6F.png"));
    startApp();
    ASSERT_TRUE(waitFor(
        [&] {
            return app_->notices().contains(
                "1 entry of the capture history had no image file and was removed.");
        },
        20000))
        << app_->notices().toStdString();
    ASSERT_TRUE(waitFor([&] { return app_->entries().size() == 1; }, 20000))
        << QJsonDocument(app_->entries()).toJson().toStdString();
    EXPECT_EQ(app_->entries().at(0).toObject().value("id").toString(),
              "6F1D3A4E-1C2B-4D5E-8F90-1A2B3C4D5E6F");
}

// What xprop says of `id` (the root window when empty) for `property`: the numbers after "=".
QList<int> xNumbers(const QString& id, const QString& property)
{
    QByteArray out;
    run("xprop", id.isEmpty() ? QStringList{"-root", property} : QStringList{"-id", id, property}, &out);
    QList<int> v;
    for (const QByteArray& n : out.mid(out.indexOf('=') + 1).split(','))
        if (!n.trimmed().isEmpty())
            v << n.trimmed().toInt();
    return v;
}

// Two dozen files handed over at once: ten open, each editor a step down and right of the one
// before with its whole frame on the work area; the others open neither an editor nor a history
// entry, and one notice says how many were opened and where the rest begin.
TEST_F(AppDesktop, AHandOverOfManyFilesOpensABoundedCascadeAndSaysSoOnce)
{
    startApp();
    QStringList files;
    for (int i = 1; i <= 24; ++i) {
        QImage img(320, 200, QImage::Format_RGB32);
        img.fill(QColor::fromHsv(i * 14, 200, 220));
        files << dir_.filePath(QStringLiteral("shot-%1.png").arg(i, 2, 10, QLatin1Char('0')));
        ASSERT_TRUE(img.save(files.last()));
    }
    const qsizetype before = app_->notices().size();
    QByteArray err;
    ASSERT_EQ(app_->startAgain(files, &err), 0) << err.constData();
    ASSERT_TRUE(waitFor(
        [&] {
            return app_->notices().contains(
                "notice: Opened 10 of 24 files|Kaptorix opens up to 10 files at a time; the 14 after "
                "“shot-10.png” were not opened.");
        },
        60000))
        << app_->notices().toStdString();

    const QList<int> area = xNumbers({}, "_NET_WORKAREA");
    ASSERT_GE(area.size(), 4);
    const QRect workArea(area[0], area[1], area[2], area[3]);
    QList<QRect> frames;
    QString seen;
    // Placed once the window manager has framed each: the cascade settles, it is not polled.
    const bool cascaded = waitFor(
        [&] {
            frames.clear();
            seen.clear();
            for (const Window& w : visibleWindows()) {
                if (w.name != QStringLiteral("Kaptorix — File 320×200"))
                    continue;
                const QList<int> e = xNumbers(w.id, "_NET_FRAME_EXTENTS");
                if (e.size() != 4 || e[2] == 0)
                    return false;
                frames << w.rect.marginsAdded(QMargins(e[0], e[2], e[1], e[3]));
                seen += QStringLiteral(" %1,%2").arg(frames.last().x()).arg(frames.last().y());
            }
            if (frames.size() != 10)
                return false;
            std::sort(frames.begin(), frames.end(),
                      [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
            const QPoint step = frames[1].topLeft() - frames[0].topLeft();
            for (int i = 0; i < frames.size(); ++i)
                if (!workArea.contains(frames[i]) ||
                    (i > 0 && frames[i].topLeft() - frames[i - 1].topLeft() != step))
                    return false;
            return step.x() > 0 && step.x() == step.y();
        },
        30000);
    EXPECT_TRUE(cascaded) << frames.size() << " editors, frames at" << seen.toStdString();
    EXPECT_TRUE(app_->waitForEntries(10));
    EXPECT_EQ(app_->entries().size(), 10);
    EXPECT_EQ(app_->notices().mid(before).count(QStringLiteral("notice: ")), 1)
        << app_->notices().mid(before).toStdString();
}

// Settings that cannot be read are no first start: the start says so once, where and why, and
// opens no Settings window; a file that parses only in part is kept whole beside it, and the
// start says where.
TEST_F(AppDesktop, SettingsThatCannotBeReadAreToldOnceAndNoFirstStart)
{
    QDir().mkpath(app_->settingsPath());  // a folder in the file's place
    app_->startAsIs();
    ASSERT_TRUE(waitFor([&] { return app_->trayIcon().isValid(); }, 20000)) << "icon not in trayer";
    const QString told =
        "notice: Settings cannot be read|Kaptorix starts with its defaults; changes last until "
        "it quits. " +
        kx::ToastView::shortPath(app_->settingsPath()) + ": Is a directory.";
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains(told); }, 20000))
        << app_->notices().toStdString();
    EXPECT_FALSE(shown("Kaptorix Settings", 3000)) << "taken for a first start";
    EXPECT_EQ(app_->notices().count("notice: "), 1) << app_->notices().toStdString();
    EXPECT_TRUE(QFileInfo(app_->settingsPath()).isDir());

    QTemporaryDir other;
    Kaptorix second(other.path());
    app_.reset();
    const QByteArray bad = "[General]\nfirstRunDone=true\nafter.editor=false\nnot a setting\n";
    QDir().mkpath(QFileInfo(second.settingsPath()).path());
    QFile conf(second.settingsPath());
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly) && conf.write(bad) == bad.size());
    conf.close();
    second.startAsIs();
    ASSERT_TRUE(
        waitFor([&] { return second.notices().contains("notice: Settings file kept aside|"); }, 20000))
        << second.notices().toStdString();
    const QStringList kept =
        QDir(QFileInfo(second.settingsPath()).path()).entryList({"Kaptorix.conf.bad-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(second.notices().contains("Part of " + kx::ToastView::shortPath(second.settingsPath()) +
                                          " could not be read; the whole file is kept as " + kept.first() +
                                          "."))
        << second.notices().toStdString();
    QFile copy(QFileInfo(second.settingsPath()).path() + "/" + kept.first());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bad);
}

// A start with settings it cannot read and two dozen files: the settings warning is not replaced
// by the notice of the files handed over; both are seen, one after the other, each for all of
// its time.
TEST_F(AppDesktop, AStartWithFilesTellsTheSettingsAndTheHandOverInTurn)
{
    QDir().mkpath(app_->settingsPath());  // a folder in the file's place
    QStringList files;
    for (int i = 1; i <= 24; ++i) {
        QImage img(160, 100, QImage::Format_RGB32);
        img.fill(QColor::fromHsv(i * 14, 200, 220));
        files << dir_.filePath(QStringLiteral("start-%1.png").arg(i, 2, 10, QLatin1Char('0')));
        ASSERT_TRUE(img.save(files.last()));
    }
    app_->startAsIs(files);
    const QString settings =
        "Settings cannot be read|Kaptorix starts with its defaults; changes last until it "
        "quits. " +
        kx::ToastView::shortPath(app_->settingsPath()) + ": Is a directory.";
    const QString bound =
        "Opened 10 of 24 files|Kaptorix opens up to 10 files at a time; the 14 after "
        "“start-10.png” were not opened.";
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains("notice gone: " + bound); }, 120000))
        << app_->notices().toStdString();
    const QString log = app_->notices();
    const qsizetype steps[] = {
        log.indexOf("notice: " + settings + "\n"), log.indexOf("notice gone: " + settings + "|whole\n"),
        log.indexOf("notice: " + bound + "\n"), log.indexOf("notice gone: " + bound + "|whole\n")};
    for (qsizetype i = 0; i < 4; ++i) {
        EXPECT_GE(steps[i], 0) << i << "\n" << log.toStdString();
        if (i > 0) {
            EXPECT_LT(steps[i - 1], steps[i]) << i << "\n" << log.toStdString();
        }
    }
    EXPECT_EQ(log.count("notice: "), 2) << log.toStdString();
    EXPECT_FALSE(log.contains("|cut")) << log.toStdString();
}

// A stopped instance keeps its socket: a second start waits, says so and exits instead of
// running beside it; once the first runs again it takes files as before. Files too large are
// named in a toast, and neither they nor 5 GB of junk named .png grow the tray process.
TEST_F(AppDesktop, AStoppedInstanceIsNotReplacedAndHugeFilesAreRefused)
{
    startApp();
    const pid_t pid = pid_t(app_->process().processId());
    ASSERT_TRUE(signalChild(pid, SIGSTOP));
    QByteArray err;
    EXPECT_EQ(app_->startAgain({}, &err), 1);
    EXPECT_TRUE(err.contains("Kaptorix is already running but does not answer.")) << err.constData();
    // Shown on the screen too, for a start from a launcher.
    EXPECT_TRUE(
        err.contains("notice: Kaptorix did not start|Kaptorix is already running but does not answer."))
        << err.constData();
    ASSERT_TRUE(signalChild(pid, SIGCONT));

    {
        QImage big(20000, 20000, QImage::Format_Mono);
        big.fill(0);
        ASSERT_TRUE(big.save(dir_.filePath("huge.png"), "png"));
    }
    QFile sparse(dir_.filePath("junk.png"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(5) << 30));
    sparse.close();
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::blue);
    ASSERT_TRUE(img.save(dir_.filePath("a.png")));
    EXPECT_EQ(app_->startAgain({dir_.filePath("junk.png"), dir_.filePath("huge.png"), dir_.filePath("a.png")},
                               &err),
              0);
    ASSERT_TRUE(app_->waitForEntries(1, 30000));
    EXPECT_EQ(app_->entries().size(), 1);
    EXPECT_EQ(app_->entries().at(0).toObject().value("title").toString(), "a");
    EXPECT_TRUE(
        app_->notices().contains("notice: Image too large|huge.png is 20000 × 20000 pixels; Kaptorix "
                                 "opens images up to 268 megapixels."))
        << app_->notices().toStdString();
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmHWM:");
    ASSERT_GE(at, 0);
    const qint64 peakKb = text.mid(at + 6, text.indexOf("kB", at) - at - 6).trimmed().toLongLong();
    EXPECT_LT(peakKb, 1024 * 1024) << "peak resident memory " << peakKb << " kB";
}

// Something that is not a socket at the socket's path stops a start, with a message.
TEST_F(AppDesktop, SomethingElseAtTheSocketPathStopsTheStart)
{
    const QString path = dir_.path() + "/runtime/kaptorix-" +
                         QString(qgetenv("DISPLAY")).replace(QRegularExpression("[^A-Za-z0-9.]"), "_") +
                         ".sock";
    ASSERT_TRUE(QDir().mkpath(path));
    QByteArray err;
    EXPECT_EQ(app_->startAgain({}, &err), 1);
    EXPECT_TRUE(err.contains(path.toUtf8())) << err.constData();
    EXPECT_TRUE(err.contains("notice: Kaptorix did not start|Kaptorix cannot start: " + path.toUtf8()))
        << err.constData();
    EXPECT_TRUE(QFileInfo(path).isDir());
}

// Children of `parent` named `name`, zombies left out.
QStringList childrenNamed(qint64 parent, const QByteArray& name)
{
    QStringList found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (pid.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (line.contains("(" + name + ")") && rest.size() > 1 && rest[0] != "Z" &&
            rest[1].toLongLong() == parent)
            found << pid;
    }
    return found;
}

// SIGTERM in the middle of an SFTP upload ends sftp and its ssh and removes the work folder; a
// work folder that a killed run left is removed at the next start.
TEST_F(AppDesktop, TerminationEndsAnUploadAndStartSweepsLeftFolders)
{
    const QString left = app_->tmpDir() + "/Kaptorix-upload-LEFT";
    QDir().mkpath(left);
    QFile(left + "/shot.png").open(QIODevice::WriteOnly);
    const timeval old[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
    ::utimes(QFile::encodeName(left).constData(), old);
    StalledServer stalled;  // sftp waits for a greeting that never comes
    ASSERT_TRUE(stalled.start());
    startApp(
        "after.copy=false\nafter.preview=false\nafter.upload=true\nremote.protocol=sftp\n"
        "remote.host=127.0.0.1\nremote.user=alice\nremote.port=" +
        QByteArray::number(stalled.port()) + "\n");
    EXPECT_TRUE(waitFor([&] { return !QFileInfo::exists(left); }));

    const qint64 app = app_->process().processId();
    QStringList sftp, ssh;
    for (int attempt = 0; attempt < 3 && sftp.isEmpty(); ++attempt) {
        xdotool({"key", "ctrl+alt+2"});
        waitFor([&] { return !(sftp = childrenNamed(app, "sftp")).isEmpty(); }, 20000);
    }
    ASSERT_EQ(sftp.size(), 1) << app_->notices().toStdString();
    ASSERT_TRUE(waitFor([&] { return !(ssh = childrenNamed(sftp[0].toLongLong(), "ssh")).isEmpty(); }));
    const QStringList work = QDir(app_->tmpDir()).entryList({"Kaptorix-upload-*"}, QDir::Dirs);
    ASSERT_EQ(work.size(), 1);

    ASSERT_TRUE(signalChild(app, SIGTERM));
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    const auto alive = [](const QString& pid) {  // gone, or a zombie nobody reaps
        QFile stat("/proc/" + pid + "/stat");
        return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z");
    };
    EXPECT_TRUE(waitFor([&] { return !alive(sftp[0]) && !alive(ssh[0]); }, 5000));
    EXPECT_FALSE(QFileInfo::exists(app_->tmpDir() + "/" + work[0]));
}

// Started again from a launcher, a running Kaptorix shows its Settings window. Qt's -platform
// on the command line neither aborts it nor names a file, and what it starts (here the text
// recognizer) gets the user's QT_QPA_PLATFORM, not the platform the tray runs on.
TEST_F(AppDesktop, AStartFromALauncherShowsTheInstanceAndChildrenKeepTheUsersPlatform)
{
    app_->start({}, {"-platform", "wayland"}, {{"QT_QPA_PLATFORM", "wayland"}});
    const auto running = [&] { return app_->process().state() == QProcess::Running; };
    ASSERT_TRUE(waitFor([&] { return app_->trayIcon().isValid() || !running(); }, 30000) && running())
        << "exit " << app_->process().exitCode() << ": " << app_->notices().toStdString();
    QByteArray err;
    EXPECT_EQ(app_->startAgain({}, &err), 0) << err.constData();
    EXPECT_TRUE(shown("Kaptorix Settings")) << "the running instance showed nothing";

    // A capture with text on the screen is read for the history: in the recognizer's process.
    FixtureClient fixture({"--at", "400", "150"});
    ASSERT_TRUE(fixture.waitReady());
    ASSERT_TRUE(waitFor(
        [&] {
            return xdotool({"key", "ctrl+alt+2"}) && app_->waitForEntries(1, 5000);
        },
        60000));
    QByteArray environment;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const QString& pid : childrenNamed(app_->process().processId(), "kaptorix-recogn")) {
                QFile f("/proc/" + pid + "/environ");
                if (f.open(QIODevice::ReadOnly) && !(environment = f.readAll()).isEmpty())
                    return true;
            }
            return false;
        },
        120000))
        << "no recognizer started";
    EXPECT_TRUE(environment.split('\0').contains("QT_QPA_PLATFORM=wayland"));
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
            "notice: “Capture active window” has no shortcut|Another app or the system holds "
            "Ctrl+Alt+3. Choose another key in Settings → Shortcuts.");
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
            click(frame.center());
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
        xdotool({"key", "Escape", "key", "ctrl+alt+6"});
        ASSERT_TRUE(waitForWindow(1080));
        drag(area.topLeft() + QPoint(60, 70), {area.right() - 10, area.y() + 200});
        waitFor([&] { return app_->notices().contains("notice: Recognizing text"); }, 3000);
    }
    ASSERT_TRUE(waitFor([&] { return app_->notices().contains("notice: Text copied"); }, 90000))
        << app_->notices().toStdString();
    EXPECT_TRUE(clipboardText().contains("quick brown fox")) << clipboardText().toStdString();

    xdotool({"key", "ctrl+alt+7"});
    ASSERT_TRUE(waitForWindow(1080));
    click(area.topLeft() + QPoint(5, 5));
    ASSERT_TRUE(waitFor([&] { return clipboardText().startsWith("#"); })) << app_->notices().toStdString();
    EXPECT_EQ(clipboardText(), "#2E86C1");
    EXPECT_EQ(app_->entries().size(), 2);  // the two window captures; text and colour make none
}

TEST_F(AppDesktop, LosingTheXServerKeepsTheEntry)
{
    // A private X server this test can end.
    QProcess xvfb;
    xvfb.start("Xvfb",
               {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "+extension", "XTEST",
                "-noreset"});  // no reset (connections refused) each time a short-lived client leaves
    xvfb.setReadChannel(QProcess::StandardOutput);
    ASSERT_TRUE(xvfb.waitForReadyRead(10000));
    const QString display = ":" + QString::fromLatin1(xvfb.readAllStandardOutput()).trimmed();
    qputenv("KX_SAVED_DISPLAY", qgetenv("DISPLAY"));
    qputenv("DISPLAY", display.toLocal8Bit());
    app_->start();
    // Until its keys are grabbed, which a busy machine may take long to reach.
    const bool captured = waitFor(
        [&] {
            return xdotool({"key", "ctrl+alt+2"}) && app_->waitForPng(100);
        },
        60000);
    qputenv("DISPLAY", qgetenv("KX_SAVED_DISPLAY"));
    ASSERT_TRUE(captured);
    xvfb.terminate();  // before the index's debounce ran
    xvfb.waitForFinished();
    ASSERT_TRUE(app_->process().waitForFinished(10000));
    EXPECT_EQ(app_->process().exitStatus(), QProcess::NormalExit);  // no crash in the teardown
    // A key pressed before the grab was in place did nothing; every capture made is indexed.
    const int files = QDir(app_->historyDir()).entryList({"*.png"}).size();
    EXPECT_GE(files, 1);
    EXPECT_EQ(app_->entries().size(), files) << app_->notices().toStdString();
}

// Ctrl+Alt+5 stitches the fixture's whole page; with the editor off each capture shows the
// card, whose Copy, Save, Upload, Pin and Edit each do their part.
TEST_F(AppDesktop, ScrollingKeyAndThePreviewCardActions)
{
    QTemporaryDir served;
    WebDavServer webdav;
    ASSERT_TRUE(webdav.start(served.path(), "", "")) << webdav.log().toStdString();
    const QString saved = dir_.filePath("saved");
    startApp("after.copy=false\nsaveFolder=" + saved.toUtf8() +
             "\nremote.host=http://127.0.0.1:" + QByteArray::number(webdav.port()) + "/\n");
    FixtureClient fixture({"--at", "400", "120", "--expected", dir_.filePath("page.png")});
    ASSERT_TRUE(fixture.waitReady());
    const QRect area = fixture.area();
    std::optional<Window> hud;
    for (int attempt = 0; attempt < 3 && !hud; ++attempt) {  // a drag the overlay missed is tried again
        xdotool({"key", "Escape", "mousemove", "5", "5", "key", "ctrl+alt+5"});
        ASSERT_TRUE(waitForWindow(1080));
        drag(area.topLeft(), area.topLeft() + QPoint(area.width(), area.height()));
        hud = waitForWindow([](const Window& w) { return w.name == "Kaptorix Scrolling Capture"; }, 10000);
    }
    ASSERT_TRUE(hud);
    // Auto-scroll is the HUD's one blue button; clicked again only if no scrolling followed.
    for (int attempt = 0;
         attempt < 3 && !fixture.waitForLine([](const QString& l) { return l.startsWith("SCROLL"); }, 20000);
         ++attempt) {
        QRect blue;
        ASSERT_TRUE(waitFor([&] {
            const QImage shot = screenNow().copy(hud->rect);
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    if (const QColor c = shot.pixelColor(x, y); c.blue() > 150 && c.blue() - c.red() > 90)
                        blue |= QRect(x, y, 1, 1);
            return blue.width() > 20;
        }));
        click(hud->rect.topLeft() + blue.center());
    }
    ASSERT_TRUE(app_->waitForEntries(1, 180000)) << app_->notices().toStdString();
    const auto newest = [&] {
        return QImage(app_->historyDir() + "/" + app_->entries().at(0)["id"].toString() + ".png");
    };
    const QImage stitched = newest();
    EXPECT_EQ(app_->entries().at(0)["kind"].toString(), "scrolling");
    stitched.save(artifactDir("app-desktop") + "/stitched.png");
    EXPECT_GT(stitched.height(), 1080);
    EXPECT_EQ(maxChannelDifference(stitched.convertToFormat(QImage::Format_RGB32),
                                   QImage(dir_.filePath("page.png")).convertToFormat(QImage::Format_RGB32)),
              0);

    // Each button on a fresh card; a click lost while the card maps is tried on the next one.
    const auto viaCard = [&](int button, const std::function<bool()>& effect, bool fullscreen = true) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            QRect c;
            if (fullscreen) {
                xdotool({"mousemove", "5", "5"});  // a card under the pointer stays
                if (!waitFor([] { return !card().isValid(); }, 15000))
                    return false;
                xdotool({"key", "ctrl+alt+2"});
            }
            fullscreen = true;
            if (waitFor([&] { return (c = card()).isValid(); }, 15000)) {
                click(cardButton(c, button, 5));
                if (waitFor(effect, 15000))
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(viaCard(
        1, [&] { return maxChannelDifference(clipboardPng(), newest()) == 0; }, false));
    const auto hasFile = [](const QString& dir) { return [dir] { return !QDir(dir).isEmpty(QDir::Files); }; };
    EXPECT_TRUE(viaCard(3, hasFile(saved))) << "Save";
    EXPECT_TRUE(viaCard(4, hasFile(served.path()))) << "Upload: " << app_->notices().toStdString();
    EXPECT_TRUE(viaCard(2, [] { return shown("Pin", 100); })) << "Pin";
    EXPECT_TRUE(viaCard(0, [] { return shown("Kaptorix — Fullscreen 1920×1080", 100); })) << "Edit";
}

// The status menu: "Capture fullscreen" makes an entry, "Open image…" opens the typed file in
// the editor, and a new language relaunches Kaptorix.
TEST_F(AppDesktop, StatusMenuCapturesOpensAFileAndSwitchesTheLanguage)
{
    startApp("after.preview=false\n");  // a card would lie over the tray icon
    // The header row, Capture area, Capture fullscreen.
    ASSERT_TRUE(statusMenu({"Down", "Down", "Down", "Return"})) << "the status menu did not open";
    ASSERT_TRUE(app_->waitForEntries(1));
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "fullscreen");
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(dir_.filePath("a.png")));
    ASSERT_TRUE(statusMenu({"Up", "Up", "Up", "Up", "Up", "Up", "Up", "Return"}));  // from Quit up
    ASSERT_TRUE(shown("Open image…"));
    xdotool({"type", dir_.filePath("a.png")});
    xdotool({"key", "Return"});
    EXPECT_TRUE(shown("Kaptorix — File 64×48"));
    ASSERT_TRUE(app_->waitForEntries(2));
    EXPECT_EQ(app_->entries().at(0).toObject().value("kind").toString(), "file");

    // Deutsch, then Restart: the old process ends, and the new one speaks German.
    ASSERT_TRUE(statusMenu({"Up", "Up", "Up", "Up", "Up", "Right", "Down", "Down", "Return"}));
    const auto dialog =
        waitForWindow([](const Window& w) { return w.name == "Kaptorix" && w.rect.height() > 60; });
    ASSERT_TRUE(dialog);
    xdotool({"windowactivate", "--sync", dialog->id, "key", "Return"});
    ASSERT_TRUE(app_->process().waitForFinished(20000));
    EXPECT_EQ(app_->process().exitCode(), 0);
    // The new process shows its icon once its hot keys are taken; 0 opens its history window.
    ASSERT_TRUE(waitFor([&] { return app_->trayIcon().isValid(); }, 60000)) << "no relaunched process";
    EXPECT_TRUE(waitFor(
        [] {
            return xdotool({"key", "ctrl+alt+0"}) && shown("Kaptorix Verlauf", 5000);
        },
        60000));
}
