// The real kaptorix binary around its tray: Hide Kaptorix, the first start, the icon on a
// light and a dark tray, a key two actions need after a layout change, and starting
// without a display.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <xcb/xcb.h>
#include <cstdio>

using namespace kx::test;

namespace {

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
    void start(const QMap<QString, QString>& extra = {})
    {
        QProcessEnvironment env = kx::test::appEnvironment(home_);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            env.insert(it.key(), it.value());
        process_.setProcessEnvironment(env);
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
    bool running() const { return process_.state() == QProcess::Running; }
    // SIGTERM and its exit status; -1 when it crashed or would not end.
    int terminate()
    {
        process_.terminate();
        if (!process_.waitForFinished(20000))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
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

// True once a tray owns the tray selection of `display`'s first screen: a tray program that
// has started may not have taken it yet on a busy machine.
bool trayTaken(const QByteArray& display)
{
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    static const char name[] = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* a =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    bool owned = false;
    if (a) {
        xcb_get_selection_owner_reply_t* o =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, a->atom), nullptr);
        owned = o && o->owner != XCB_NONE;
        free(o);
        free(a);
    }
    xcb_disconnect(c);
    return owned;
}

// A private X server with a trayer of one colour (or with `host`, another tray program);
// DISPLAY points at it while the object lives.
class PrivateTray {
public:
    explicit PrivateTray(const QString& tint, const QString& host = {}) : host_(host)
    {
        saved_ = qgetenv("DISPLAY");
        // -noreset: the server would reset (refusing connections for a moment) whenever its
        // last client leaves, as a short check of the tray selection does.
        xvfb_.start("Xvfb",
                    {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"});
        xvfb_.setReadChannel(QProcess::StandardOutput);
        if (!xvfb_.waitForReadyRead(20000))
            return;
        display_ = ":" + QString::fromLatin1(xvfb_.readAllStandardOutput()).trimmed();
        qputenv("DISPLAY", display_.toLocal8Bit());
        startTrayer(tint);
    }
    // A tray of one colour. A tray program that has not taken the tray within its time (seen
    // rarely on a loaded machine, with nothing on its stderr) is started once more, and says why.
    void startTrayer(const QString& tint)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!host_.isEmpty())
                trayer_.start(host_, {});
            else
                trayer_.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                                         "--width", "160", "--height", "28", "--transparent", "true",
                                         "--alpha", "0", "--tint", tint});
            trayer_.waitForStarted();
            if (waitFor([this] { return trayTaken(display_.toLocal8Bit()); }, 20000))
                return;
            std::fprintf(stderr, "tray program on %s has not taken the tray (state %d): %s\n",
                         qPrintable(display_), int(trayer_.state()),
                         trayer_.readAllStandardError().constData());
            stopTrayer();
        }
    }
    void stopTrayer()
    {
        trayer_.terminate();
        if (!trayer_.waitForFinished(10000))
            trayer_.kill();
        trayer_.waitForFinished(5000);
        // The server lets the selection go once it has seen the tray leave; a tray started
        // before then finds it owned and exits.
        waitFor([this] { return !trayTaken(display_.toLocal8Bit()); }, 20000);
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
    bool ready() const
    {
        return !display_.isEmpty() && trayer_.state() == QProcess::Running &&
               trayTaken(display_.toLocal8Bit());
    }

private:
    QByteArray saved_;
    QString display_;
    QString host_;
    QProcess xvfb_, trayer_;
};

// A StatusNotifier watcher with a host, as a panel's tray plugin registers it: the icon then
// talks StatusNotifier and exports its menu. Like the panels that show the menu at once, it
// never asks the menu to update itself before reading it.
class FakeStatusNotifierHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    FakeStatusNotifierHost()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        ok_ = bus.registerObject("/StatusNotifierWatcher", this,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
              bus.registerService("org.kde.StatusNotifierWatcher");
    }
    ~FakeStatusNotifierHost() override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService("org.kde.StatusNotifierWatcher");
        bus.unregisterObject("/StatusNotifierWatcher");
    }
    bool ok() const { return ok_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { items_ << service; }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    bool ok_ = false;
    QStringList items_;
};

struct MenuItem {
    int id = 0;
    QString label;
    bool checked = false;
    QList<MenuItem> children;
};

MenuItem readMenuItem(const QDBusArgument& a)
{
    MenuItem item;
    QVariantMap props;
    a.beginStructure();
    a >> item.id >> props;
    a.beginArray();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        item.children << readMenuItem(child.variant().value<QDBusArgument>());
    }
    a.endArray();
    a.endStructure();
    item.label = props.value("label").toString();
    item.checked = props.value("toggle-state").toInt() == 1;
    return item;
}

// The exported menu as the host reads it (GetLayout of the whole tree), without AboutToShow.
MenuItem exportedMenu(const QString& service)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, "/MenuBar", "com.canonical.dbusmenu", "GetLayout");
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return {};
    return readMenuItem(reply.arguments().at(1).value<QDBusArgument>());
}

const MenuItem* findItem(const MenuItem& root, const QString& label)
{
    for (const MenuItem& c : root.children) {
        if (c.label == label)
            return &c;
        if (const MenuItem* inner = findItem(c, label))
            return inner;
    }
    return nullptr;
}

// The largest icon image the item exports (ARGB32 in network byte order).
QImage exportedIcon(const QString& service)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, "/StatusNotifierItem",
                                                       "org.freedesktop.DBus.Properties", "Get");
    call << QString("org.kde.StatusNotifierItem") << QString("IconPixmap");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QDBusArgument a = reply.arguments().at(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    QImage best;
    a.beginArray();
    while (!a.atEnd()) {
        int w = 0, h = 0;
        QByteArray bytes;
        a.beginStructure();
        a >> w >> h >> bytes;
        a.endStructure();
        if (w * h * 4 != bytes.size() || w <= best.width())
            continue;
        best = QImage(w, h, QImage::Format_ARGB32);
        for (int i = 0; i < w * h; ++i) {
            const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + 4 * i;
            best.setPixel(i % w, i / w, qRgba(p[1], p[2], p[3], p[0]));
        }
    }
    a.endArray();
    return best;
}

double luminance(const QColor& c)
{
    return 0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue();
}

// Whether the embedded icon stands out from `panel` in the right direction only: dark strokes
// on a light panel, light ones on a dark panel. `darker` and `lighter` say by how much.
bool iconReadsOn(const QColor& panelColour, double* darker, double* lighter)
{
    const double panel = luminance(panelColour);
    QByteArray png;
    run("import", {"-window", "root", "png:-"}, &png);
    const QImage shot = QImage::fromData(png, "PNG").copy(kaptorixTrayIcon());
    *darker = *lighter = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const double d = luminance(shot.pixelColor(x, y)) - panel;
            *darker = std::max(*darker, -d);
            *lighter = std::max(*lighter, d);
        }
    return !shot.isNull() && (panel > 128 ? *darker > 150 && *lighter < 20 : *lighter > 150 && *darker < 20);
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
    second.start(kaptorixProgram(), {dir_.filePath("a.png")});
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
        ASSERT_TRUE(waitFor([] { return trayIcon().isValid(); }, 30000)) << tint.toStdString() << "\n"
                                                                         << app.notices().toStdString();
        double darker = 0, lighter = 0;
        const bool readable = waitFor(
            [&] { return iconReadsOn(QColor(QRgb(tint.toUInt(nullptr, 16))), &darker, &lighter); }, 20000);
        EXPECT_TRUE(readable) << tint.toStdString() << ": darker by " << darker << ", lighter by " << lighter;
        QByteArray png;
        run("import", {"-window", "root", "png:-"}, &png);
        QImage::fromData(png, "PNG")
            .copy(600, 540, 200, 60)
            .save(artifactDir("tray") + "/tray-" + tint + ".png");
    }
}

// Each icon on an opaque light socket inside a dark tray, as trayer's default look over a dark
// wallpaper: the icon is drawn for the socket it sits on, not for the tray around it.
TEST_F(TrayDesktop, AnIconOnALightSocketInADarkTrayReadsOnTheSocket)
{
    PrivateTray tray(QString(), QStringLiteral(KX_XEMBED_HOST));
    ASSERT_TRUE(tray.ready()) << "no private X server or tray host";
    App app(dir_.path());
    app.writeSettings("firstRunDone=true\n");
    app.start();
    ASSERT_TRUE(waitFor([] { return trayIcon().isValid(); }, 30000)) << app.notices().toStdString();
    double darker = 0, lighter = 0;
    EXPECT_TRUE(waitFor([&] { return iconReadsOn(QColor(0xdc, 0xda, 0xd5), &darker, &lighter); }, 20000))
        << "darker by " << darker << ", lighter by " << lighter;
}

// A tray restarted in another colour embeds the icon anew: its colour is chosen again.
TEST_F(TrayDesktop, ATrayRestartedInAnotherColourGetsTheIconInItsColour)
{
    PrivateTray tray("0xc0c0c0");
    ASSERT_TRUE(tray.ready()) << "no private X server or trayer";
    App app(dir_.path());
    app.writeSettings("firstRunDone=true\n");
    app.start();
    double darker = 0, lighter = 0;
    ASSERT_TRUE(waitFor([&] { return iconReadsOn(QColor(0xc0, 0xc0, 0xc0), &darker, &lighter); }, 30000))
        << "light tray: darker by " << darker << ", lighter by " << lighter;
    tray.stopTrayer();
    ASSERT_TRUE(waitFor([] { return !trayIcon().isValid(); }, 20000));
    tray.startTrayer("0x202020");
    EXPECT_TRUE(waitFor([&] { return iconReadsOn(QColor(0x20, 0x20, 0x20), &darker, &lighter); }, 30000))
        << "dark tray: darker by " << darker << ", lighter by " << lighter;
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
    // A later event, after the regrab's notices; a press while the keys are grabbed again is lost.
    ASSERT_TRUE(waitFor(
        [] {
            return run("xdotool", {"key", "ctrl+alt+0"}) == 0 &&
                   !waitForWindow("Kaptorix History", 5000).isEmpty();
        },
        60000));
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
        p.start(kaptorixProgram(), args);
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
    // A display-less Qt platform does not stand in for the display the tray needs.
    EXPECT_EQ(runWithout({}, {{"QT_QPA_PLATFORM", "offscreen"}}, &err), 1);
    EXPECT_EQ(err, "Kaptorix needs an X11 display: DISPLAY is not set.\n");
    EXPECT_EQ(runWithout({"--render-demo", dir_.filePath("demo.png")}, {}, &err), 0) << err.constData();
    EXPECT_TRUE(QFile::exists(dir_.filePath("demo.png")));
}

// A session that exports another Qt platform (Wayland with XWayland's DISPLAY, or offscreen)
// still gets the tray on X11: the icon sits in the tray and SIGTERM ends it cleanly.
TEST_F(TrayDesktop, AnotherQtPlatformInTheEnvironmentStillRunsOnX11)
{
    for (const QString platform : {"wayland", "offscreen"}) {
        SCOPED_TRACE(platform.toStdString());
        QTemporaryDir home;
        App app(home.path());
        app.writeSettings("firstRunDone=true\n");
        app.start({{"QT_QPA_PLATFORM", platform},
                   {"WAYLAND_DISPLAY", "wayland-kx-absent"},
                   {"XDG_SESSION_TYPE", platform == "wayland" ? "wayland" : "x11"}});
        const bool embedded =
            waitFor([&] { return trayIcon().isValid() || !app.running(); }, 30000) && app.running();
        EXPECT_TRUE(embedded) << app.notices().toStdString();
        EXPECT_EQ(app.terminate(), 0) << app.notices().toStdString();
        ASSERT_TRUE(waitFor([] { return !trayIcon().isValid(); }, 20000));
    }
}

// Under a StatusNotifier host the exported menu is whole from the start and follows a change
// (the language chosen from it), and the icon reads on a dark panel as on a light one.
TEST_F(TrayDesktop, AStatusNotifierHostGetsAWholeCurrentMenuAndAnIconForAnyPanel)
{
    FakeStatusNotifierHost host;
    ASSERT_TRUE(host.ok()) << "the session bus took no watcher";
    App app(dir_.path());
    app.writeSettings("firstRunDone=true\nlanguage=en\n");
    app.start();
    ASSERT_TRUE(waitFor([&] { return !host.items().isEmpty() || !app.running(); }, 30000) && app.running())
        << "no item registered: " << app.notices().toStdString();
    const QString item = host.items().constFirst();

    MenuItem menu;
    EXPECT_TRUE(waitFor([&] { return findItem(menu = exportedMenu(item), "Capture area"); }, 20000))
        << "exported menu has " << menu.children.size() << " items";
    for (const char* label : {"Timed capture", "Language", "Deutsch", "Quit Kaptorix"})
        EXPECT_TRUE(findItem(menu, label)) << label;

    // Dark panel (#1F1F1F) and light one (#F0F0F0): strokes that stand out on each.
    const QImage icon = exportedIcon(item);
    ASSERT_FALSE(icon.isNull());
    int onDark = 0, onLight = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) {
            const QColor c = icon.pixelColor(x, y);
            if (c.alpha() < 200)
                continue;
            onDark += luminance(c) - luminance(QColor(0x1f, 0x1f, 0x1f)) > 150;
            onLight += luminance(QColor(0xf0, 0xf0, 0xf0)) - luminance(c) > 150;
        }
    EXPECT_GT(onDark, 20);
    EXPECT_GT(onLight, 20);

    // Choosing "Deutsch" asks for a restart; "Later" keeps it stored, and the menu the host
    // reads next has it checked.
    const MenuItem* deutsch = findItem(menu, "Deutsch");
    ASSERT_TRUE(deutsch);
    const QHash<QString, QString> before = visibleWindows();
    QDBusMessage click = QDBusMessage::createMethodCall(item, "/MenuBar", "com.canonical.dbusmenu", "Event");
    click << deutsch->id << QString("clicked") << QVariant::fromValue(QDBusVariant(QVariant(0))) << 0u;
    QDBusConnection::sessionBus().call(click, QDBus::BlockWithGui, 10000);
    QString box;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto now = visibleWindows();
            for (auto it = now.cbegin(); it != now.cend(); ++it)
                if (!before.values().contains(it.value()))
                    box = it.value();
            return !box.isEmpty();
        },
        20000))
        << "no restart question";
    run("xdotool", {"windowactivate", "--sync", box, "key", "Escape"});
    EXPECT_TRUE(waitFor(
        [&] {
            const MenuItem* d = findItem(menu = exportedMenu(item), "Deutsch");
            const MenuItem* e = findItem(menu, "English");
            return d && e && d->checked && !e->checked;
        },
        20000));
    EXPECT_TRUE(app.settings().contains("language=de"));
}

#include "TrayDesktopTest.moc"
