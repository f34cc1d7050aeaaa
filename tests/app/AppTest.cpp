// Option dispatch, opening images, the single-instance hand-over and the status menu rows.
#include "TestSupport.h"
#include "app/Dispatch.h"
#include "app/DisplayCheck.h"
#include "app/OpenImage.h"
#include "app/SingleInstance.h"
#include "app/StatusMenu.h"
#include "app/TrayApp.h"
#include "app/TrayIconLook.h"
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "library/pins/PinManager.h"
#include "library/pins/PinWindow.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QWidgetAction>
#include <QtConcurrent>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cmath>
#include <csignal>

using namespace kx;

TEST(Dispatch, FirstMatchingOptionWinsAndAValueMayNotBeMissing)
{
    const struct {
        QStringList args;
        Launch expected;
    } rows[] = {
        {{}, {}},
        {{"--render-demo"}, {}},
        {{"x", "--render-demo", "out.png"}, {LaunchMode::renderDemo, "out.png"}},
        {{"--render-demo", "p", "--self-test"}, {LaunchMode::selfTest, {}}},
        {{"--snapshot-ui", "--frame-test", "d"}, {LaunchMode::snapshotUi, "--frame-test"}},
        {{"--snapshot-ui", "--stress-settings"}, {LaunchMode::snapshotUi, "--stress-settings"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dispatch(row.args), row.expected) << qPrintable(row.args.join(' '));
}

// Qt's own options and their values are no files to open, and the tray asks Qt for xcb with
// the last word whatever platform the command line named.
TEST(Dispatch, QtOptionsAreNoFilesAndTheTrayAsksForXcb)
{
    const struct {
        QStringList args, files, forQt;
    } rows[] = {
        {{"-platform", "wayland", "a.png"}, {"a.png"}, {"a.png", "-platform", "xcb"}},
        {{"--platform", "offscreen", "-display", ":3", "b.png"},
         {"b.png"},
         {"-display", ":3", "b.png", "-platform", "xcb"}},
        {{"-style=fusion", "-reverse", "-title", "t", "c.png"},
         {"c.png"},
         {"-style=fusion", "-reverse", "-title", "t", "c.png", "-platform", "xcb"}},
        {{"-platform"}, {}, {"-platform", "xcb"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(fileArguments(row.args).join(' '), row.files.join(' ')) << qPrintable(row.args.join(' '));
        EXPECT_EQ(x11Arguments(row.args).join(' '), row.forQt.join(' ')) << qPrintable(row.args.join(' '));
    }
    EXPECT_EQ(qtOptionValue({"-platform", "xcb", "--display", ":5", "x.png"}, "display"), ":5");
    EXPECT_EQ(qtOptionValue({"-title", "-display", "x.png"}, "display"), "");  // a title's value
}

// "--" ends the options: after it every argument is a file, even one that looks like an option
// of Kaptorix or of Qt, and none of them reaches Qt. A "--" that is a Qt option's value ends
// nothing.
TEST(Dispatch, EverythingAfterADoubleDashIsAFile)
{
    const struct {
        QStringList args, files, forQt;
        Launch launch;
    } rows[] = {
        {{"--", "-shot.png"}, {"-shot.png"}, {"-platform", "xcb"}, {}},
        {{"a.png", "--", "--self-test", "-display", ":9", "--"},
         {"a.png", "--self-test", "-display", ":9", "--"},
         {"a.png", "-platform", "xcb"},
         {}},
        {{"--render-demo", "--", "out.png"}, {"out.png"}, {"--render-demo", "-platform", "xcb"}, {}},
        {{"--snapshot-ui", "dir", "--", "-x"},
         {"dir", "-x"},
         {"--snapshot-ui", "dir", "-platform", "xcb"},
         {LaunchMode::snapshotUi, "dir"}},
        {{"-title", "--", "b.png", "--", "-c.png"},
         {"b.png", "-c.png"},
         {"-title", "--", "b.png", "-platform", "xcb"},
         {}},
    };
    for (const auto& row : rows) {
        const QString what = row.args.join(' ');
        EXPECT_EQ(fileArguments(row.args), row.files) << qPrintable(what);
        EXPECT_EQ(x11Arguments(row.args), row.forQt) << qPrintable(what);
        EXPECT_EQ(dispatch(row.args), row.launch) << qPrintable(what);
    }
    EXPECT_EQ(qtOptionValue({"x.png", "--", "-display", ":9"}, "display"), "");
}

TEST(OpenImage, ResolutionGivesTheScale)
{
    const std::pair<int, double> rows[] = {{72, 1}, {100, 1}, {101, 1}, {108, 2}, {144, 2}, {216, 3}};
    QTemporaryDir dir;
    for (const auto& [dpi, scale] : rows) {
        EXPECT_EQ(OpenImage::scaleForDpi(dpi), scale) << dpi;
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::green);
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        const QString path = dir.filePath(QStringLiteral("Shot %1.png").arg(dpi));
        ASSERT_TRUE(img.save(path));
        const auto read = OpenImage::read(path);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->scale, scale) << dpi;
        EXPECT_EQ(read->title, QStringLiteral("Shot %1").arg(dpi));
        EXPECT_EQ(read->kind, SourceKind::file);
    }
    EXPECT_FALSE(OpenImage::read(dir.path()));
}

// Opening checks the header first: a 20000 × 20000 PNG is named in a toast with the limit, and
// a 5 GB file named .png that is no image is skipped without being read.
TEST(OpenImage, AFileOverThePixelLimitIsNamedInAToastAndHugeJunkIsNotRead)
{
    QTemporaryDir dir;
    const QString huge = dir.filePath("Huge scan.png");
    ASSERT_TRUE(test::writeOversizedPng(huge));
    QStringList seen;
    auto c = QObject::connect(&Notices::shared(), &Notices::shown,
                              [&](const QString& title, const QString& line) { seen << title + "|" + line; });
    OpenImage::open(huge);
    ASSERT_TRUE(test::waitFor([&] { return !seen.isEmpty(); }, 30000));
    EXPECT_EQ(seen.value(0),
              QStringLiteral("Image too large|Huge scan.png is 20000 × 20000 pixels; Kaptorix opens "
                             "images up to 268 megapixels."));
    // Refused for its depth: that is the reason given, with the limit that applies to it.
    EXPECT_EQ(
        OpenImage::tooLargeLine("grey.png", QSize(15000, 15000), 8),
        QStringLiteral("grey.png is 15000 × 15000 pixels at 8 bits a pixel; Kaptorix opens such images up to "
                       "214 megapixels."));
    EXPECT_EQ(OpenImage::tooLargeLine("a.png", QSize(20000, 20000), 32),
              QStringLiteral("a.png is 20000 × 20000 pixels; Kaptorix opens images up to 268 megapixels."));
    Lang::overrideForTests("hu");
    EXPECT_EQ(OpenImage::tooLargeLine("a.png", QSize(20000, 20000)),
              QStringLiteral(
                  "a.png: 20000 × 20000 képpont; a Kaptorix legfeljebb 268 megapixeles képet nyit meg."));
    Lang::overrideForTests("de");
    EXPECT_EQ(OpenImage::tooLargeLine("a.png", QSize(20000, 20000)),
              QStringLiteral("a.png hat 20000 × 20000 Pixel; Kaptorix öffnet Bilder bis 268 Megapixel."));
    Lang::overrideForTests("en");

    const QString sparse = dir.filePath("big.png");
    QFile f(sparse);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(5) << 30));
    f.close();
    QFile io("/proc/self/io");
    auto rchar = [&] {
        io.open(QIODevice::ReadOnly);
        const QByteArray all = io.readAll();
        io.close();
        const qsizetype at = all.indexOf("rchar:");
        return all.mid(at + 6, all.indexOf('\n', at) - at - 6).trimmed().toLongLong();
    };
    const qint64 before = rchar();
    const OpenImage::Loaded loaded = OpenImage::load(sparse);
    EXPECT_FALSE(loaded.capture);
    EXPECT_FALSE(loaded.tooLarge);
    EXPECT_LT(rchar() - before, 1 << 20);
    QObject::disconnect(c);
}

// The notice of a bounded hand-over counts what was opened of all that was handed over and names
// where the rest begin, one file or many, in each language.
TEST(OpenImage, TheBoundNoticeSaysWhatWasOpenedAndWhereTheRestBegin)
{
    const struct {
        const char* lang;
        int opened, handed;
        const char *title, *line;
    } rows[] = {
        {"en", 9, 200, "Opened 9 of 200 files",
         "Kaptorix opens up to 10 files at a time; the 190 after “j.png” were not opened."},
        {"en", 10, 11, "Opened 10 of 11 files",
         "Kaptorix opens up to 10 files at a time; the one after “j.png” was not opened."},
        {"de", 10, 11, "10 von 11 Dateien geöffnet",
         "Kaptorix öffnet bis zu 10 Dateien auf einmal; die Datei nach „j.png“ wurde nicht geöffnet."},
        {"de", 9, 200, "9 von 200 Dateien geöffnet",
         "Kaptorix öffnet bis zu 10 Dateien auf einmal; die 190 nach „j.png“ wurden nicht geöffnet."},
        {"hu", 9, 200, "200 fájlból 9 megnyitva",
         "A Kaptorix egyszerre legfeljebb 10 fájlt nyit meg; a(z) „j.png” utáni 190 fájl nincs megnyitva."},
    };
    for (const auto& r : rows) {
        Lang::overrideForTests(r.lang);
        const auto [title, line] = OpenImage::boundNotice(r.opened, r.handed, 10, "j.png");
        EXPECT_EQ(title, QString::fromUtf8(r.title)) << r.lang;
        EXPECT_EQ(line, QString::fromUtf8(r.line)) << r.lang;
    }
    Lang::overrideForTests("en");
}

// A hand-over within the bound says nothing, one over it says so once: a single "Open image…"
// never reads "Opened 1 of 1 files", nor ten files "Opened 10 of 10".
TEST(OpenImage, OnlyAHandOverOverTheBoundIsTold)
{
    Lang::overrideForTests("en");
    QTemporaryDir dir;
    QStringList told;
    auto c = QObject::connect(&Notices::shared(), &Notices::shown,
                              [&](const QString& title, const QString&) { told << title; });
    // Files that are not there open quickly and quietly: only the bound speaks.
    auto handOver = [&](int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << dir.filePath(QStringLiteral("gone %1 of %2.png").arg(i).arg(count));
        OpenImage::open(paths);
    };
    handOver(1);
    handOver(OpenImage::maxFilesAtOnce);
    handOver(OpenImage::maxFilesAtOnce + 1);
    // Hand-overs are taken in turn: the last one's notice comes after the others are done.
    ASSERT_TRUE(test::waitFor([&] { return !told.isEmpty(); }, 30000));
    QCoreApplication::processEvents();
    EXPECT_EQ(told.join(" | "), "Opened 0 of 11 files");
    QObject::disconnect(c);
}

// Keys another program holds: one is named with its action, two by their actions under a
// counted, plural title, three or more by their count; every text sends the user to Settings →
// Shortcuts.
TEST(TrayApp, TakenKeysAreCountedNamedWithTheirActionsAndPointToTheShortcutsPage)
{
    const std::pair<QString, QString> one[]{{"Ctrl+Alt+3", "Capture active window"}};
    const std::pair<QString, QString> three[]{{"Ctrl+Alt+1", "A"}, {"Ctrl+Alt+2", "B"}, {"Ctrl+Alt+7", "C"}};
    QList<std::pair<QString, QString>> ten;
    for (int i = 0; i < 10; ++i)
        ten.append({QStringLiteral("Ctrl+Alt+%1").arg((i + 1) % 10), QStringLiteral("Action %1").arg(i)});
    const QString many =
        "Another app or the system holds their keys. Settings → Shortcuts marks each one; choose "
        "others there.";
    const struct {
        const char* lang;
        QList<std::pair<QString, QString>> taken;
        const char* title;
        QString line;
    } rows[] = {
        {"en",
         {std::begin(one), std::end(one)},
         "“Capture active window” has no shortcut",
         "Another app or the system holds Ctrl+Alt+3. Choose another key in Settings → Shortcuts."},
        {"en",
         {std::begin(three), std::begin(three) + 2},
         "2 shortcuts are taken",
         "Another app or the system holds the keys of “A” and “B”. Choose others in Settings → Shortcuts."},
        {"en", {std::begin(three), std::end(three)}, "3 shortcuts are taken", many},
        {"en", ten, "10 shortcuts are taken", many},
        {"de",
         {std::begin(three), std::begin(three) + 2},
         "2 Tastenkürzel sind belegt",
         "Betroffen: „A“ und „B“. Wähle andere unter Einstellungen → Tastenkürzel."},
        {"de",
         {std::begin(three), std::end(three)},
         "3 Tastenkürzel sind belegt",
         "Eine andere App oder das System belegt ihre Tasten. Einstellungen → Tastenkürzel markiert jede; "
         "wähle "
         "dort andere."},
        {"de",
         {std::begin(one), std::end(one)},
         "„Capture active window“ hat kein Tastenkürzel",
         "Eine andere App oder das System belegt Ctrl+Alt+3. Wähle eine andere Taste unter Einstellungen → "
         "Tastenkürzel."},
        {"hu", ten, "10 billentyűparancs foglalt",
         "Egy másik alkalmazás vagy a rendszer használja őket. A Beállítások → Billentyűparancsok fül "
         "mindegyiket jelöli; ott válassz másikat."},
        {"hu",
         {std::begin(three), std::begin(three) + 2},
         "2 billentyűparancs foglalt",
         "„A” és „B” billentyűparancsa foglalt. Válassz másikat: Beállítások → Billentyűparancsok."},
        {"hu",
         {std::begin(one), std::end(one)},
         "A(z) „Capture active window” műveletnek nincs billentyűparancsa",
         "A(z) Ctrl+Alt+3 egy másik alkalmazásé vagy a rendszeré. Válassz másikat a Beállítások → "
         "Billentyűparancsok fülön."},
    };
    for (const auto& r : rows) {
        Lang::overrideForTests(r.lang);
        const auto [title, line] = TrayApp::takenKeysNotice(r.taken);
        EXPECT_EQ(title, QString::fromUtf8(r.title)) << r.lang << " " << r.taken.size();
        EXPECT_EQ(line, r.line) << r.lang << " " << r.taken.size();
    }
    Lang::overrideForTests("en");
    EXPECT_EQ(TrayApp::heldKeyNotice("Ctrl+Alt+5", "Scrolling capture", "OCR – copy text from area"),
              (std::pair<QString, QString>{"Ctrl+Alt+5",
                                           "“Scrolling capture” has no shortcut: this key starts “OCR – copy "
                                           "text from area”."}));
}

// The start's word on the settings file: nothing when it is fine, else what follows from it
// first, then where and why, in each language; a file that cannot be saved never reads as one
// kept aside, and a long path is named by its ends.
TEST(TrayApp, TheSettingsNoticeSaysWhatIsWrongWhereAndWhy)
{
    const QString path = "/cfg/Kaptorix/Kaptorix.conf";
    Prefs::Health fine, dir, readOnly, kept, frozen;
    dir.readable = dir.writable = false;
    dir.reason = "Is a directory";
    readOnly.writable = false;
    readOnly.reason = "Permission denied";
    kept.readWhole = false;
    kept.keptAs = "/cfg/Kaptorix/Kaptorix.conf.bad-20261208-101500";
    frozen.readWhole = frozen.writable = false;
    const struct {
        const char* lang;
        Prefs::Health health;
        const char *title, *line;
    } rows[] = {
        {"en", dir, "Settings cannot be read",
         "Kaptorix starts with its defaults; changes last until it quits. /cfg/Kaptorix/Kaptorix.conf: Is a "
         "directory."},
        {"en", readOnly, "Settings cannot be saved",
         "Changes last until Kaptorix quits. /cfg/Kaptorix/Kaptorix.conf: Permission denied."},
        {"en", kept, "Settings file kept aside",
         "Part of /cfg/Kaptorix/Kaptorix.conf could not be read; the whole file is kept as "
         "Kaptorix.conf.bad-20261208-101500."},
        {"en", frozen, "Settings cannot be saved",
         "Changes last until Kaptorix quits: part of /cfg/Kaptorix/Kaptorix.conf cannot be read nor copied "
         "aside, so it is left as it is."},
        {"de", readOnly, "Einstellungen nicht speicherbar",
         "Änderungen gelten nur bis zum Beenden. /cfg/Kaptorix/Kaptorix.conf: Permission denied."},
        {"de", dir, "Einstellungen nicht lesbar, Standardwerte gelten",
         "Änderungen gelten nur bis zum Beenden. /cfg/Kaptorix/Kaptorix.conf: Is a directory."},
        {"hu", dir, "A beállítások nem olvashatók, az alapértelmezések érvényesek",
         "A módosítások csak kilépésig maradnak meg. /cfg/Kaptorix/Kaptorix.conf: Is a directory."},
    };
    for (const auto& r : rows) {
        Lang::overrideForTests(r.lang);
        const auto notice = TrayApp::settingsNotice(r.health, path);
        ASSERT_TRUE(notice) << r.lang << " " << r.title;
        EXPECT_EQ(notice->first, QString::fromUtf8(r.title)) << r.lang;
        EXPECT_EQ(notice->second, QString::fromUtf8(r.line)) << r.lang;
    }
    Lang::overrideForTests("en");
    EXPECT_FALSE(TrayApp::settingsNotice(fine, path));
    const QString deep =
        "/srv/homes/alexandra.kovacs-wittgenstein/settings/from/the/old/laptop/Kaptorix/Kaptorix.conf";
    EXPECT_EQ(
        TrayApp::settingsNotice(readOnly, deep)->second,
        "Changes last until Kaptorix quits. /srv/…/old/laptop/Kaptorix/Kaptorix.conf: Permission denied.");
}

// A change the disk did not take: where and why, or, for a file left as it is, only where.
TEST(TrayApp, TheNoticeOfAChangeNotKeptSaysWhereAndWhy)
{
    const QString path = "/cfg/Kaptorix/Kaptorix.conf";
    Prefs::Health full, frozen;
    full.writable = frozen.writable = frozen.readWhole = false;
    full.reason = "No space left on device";
    const struct {
        const char* lang;
        Prefs::Health health;
        const char *title, *line;
    } rows[] = {
        {"en", full, "Settings cannot be saved",
         "Change not saved; it lasts until Kaptorix quits. /cfg/Kaptorix/Kaptorix.conf: No space left on "
         "device."},
        {"en", frozen, "Settings cannot be saved",
         "Change not saved; it lasts until Kaptorix quits: /cfg/Kaptorix/Kaptorix.conf is left as it is."},
        {"hu", full, "A beállítások nem menthetők",
         "A módosítás nincs mentve, kilépésig érvényes. /cfg/Kaptorix/Kaptorix.conf: No space left on "
         "device."},
        {"de", frozen, "Einstellungen nicht speicherbar",
         "Änderung nicht gesichert, gilt bis zum Beenden: /cfg/Kaptorix/Kaptorix.conf bleibt unverändert."},
    };
    for (const auto& r : rows) {
        Lang::overrideForTests(r.lang);
        const auto [title, line] = TrayApp::notSavedNotice(r.health, path);
        EXPECT_EQ(title, QString::fromUtf8(r.title)) << r.lang;
        EXPECT_EQ(line, QString::fromUtf8(r.line)) << r.lang;
    }
    Lang::overrideForTests("en");
}

TEST(SingleInstance, OnlyCleanAbsolutePathsCrossTheSocket)
{
    const QByteArray wire = SingleInstance::encode({"/a/b.png", "rel.png", "/x\ny.png", "/c d.png"});
    EXPECT_EQ(wire, "/a/b.png\n/c d.png\n\n");
    EXPECT_EQ(SingleInstance::decode(wire), QStringList({"/a/b.png", "/c d.png"}));
    EXPECT_FALSE(SingleInstance::decode("/a/b.png\n"));  // not complete yet
    EXPECT_EQ(SingleInstance::decode("\n"), QStringList());
    EXPECT_EQ(SingleInstance::decode("quit\n--self-test\n\n"), QStringList());
}

TEST(SingleInstance, SecondStartHandsOverAndAStaleSocketIsReplaced)
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":77");
    const QString path = SingleInstance::socketPath(display);
    ASSERT_TRUE(path.startsWith(runtime.path()));

    // A socket file left behind by a crashed process.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    SingleInstance first;
    ASSERT_EQ(first.start(display, {}), SingleInstance::Outcome::primary);
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup), 0);
    QStringList received;
    QObject::connect(&first, &SingleInstance::filesReceived, [&](const QStringList& p) { received = p; });

    auto second = QtConcurrent::run([display] {
        SingleInstance other;
        return other.start(display, {"/tmp/a.png"});
    });
    ASSERT_TRUE(test::waitFor([&] { return second.isFinished(); }, 10000));
    EXPECT_EQ(second.result(), SingleInstance::Outcome::handedOver);
    EXPECT_TRUE(test::waitFor([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QStringList{"/tmp/a.png"});
}

// A second start hands its files to the running instance before it opens the X display or makes
// an application object: it gets through with no X server at all, and "--" keeps a file whose
// name begins with "-".
TEST(SingleInstance, ASecondStartHandsOverBeforeItTouchesTheXServer)
{
    QTemporaryDir runtime, cwd;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":79");  // no server there
    SingleInstance first;
    ASSERT_EQ(first.start(display, {}), SingleInstance::Outcome::primary);
    QStringList received;
    QObject::connect(&first, &SingleInstance::filesReceived, [&](const QStringList& p) { received = p; });

    QProcess second;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.remove("QT_QPA_PLATFORM");
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(cwd.path());
    second.start(qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix", {"--", "-shot.png"});
    ASSERT_TRUE(test::waitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().constData();
    EXPECT_TRUE(test::waitFor([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QStringList{cwd.path() + "/-shot.png"});
}

// Connections that send nothing (or stop half way) are closed after a few seconds; one that
// sends its whole message in time, if slowly, is answered.
TEST(SingleInstance, IdleConnectionsAreClosed)
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":79");
    SingleInstance first;
    ASSERT_EQ(first.start(display, {}), SingleInstance::Outcome::primary);
    const QByteArray path = QFile::encodeName(SingleInstance::socketPath(display));
    const auto connectRaw = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        return fd;
    };
    // Read what there is: 0 once the server closed the connection, -1 while it is open.
    const auto closedByServer = [](int fd, QByteArray* got) {
        char buf[64];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 0)
            got->append(buf, n);
        return n == 0;
    };
    const int silent = connectRaw();
    const int halfWay = connectRaw();
    ASSERT_EQ(::send(halfWay, "/tmp/a", 6, MSG_NOSIGNAL), 6);
    const int slow = connectRaw();
    QStringList received;
    QObject::connect(&first, &SingleInstance::filesReceived, [&](const QStringList& p) { received = p; });
    QByteArray ignored, answer;
    // The slow one sends its message a byte at a time, each read by the server on its own turn
    // of the event loop; the others wait.
    const QByteArray message = SingleInstance::encode({"/tmp/slow.png"});
    for (const char c : message) {
        ASSERT_EQ(::send(slow, &c, 1, MSG_NOSIGNAL), 1);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(test::waitFor([&] { return closedByServer(slow, &answer); }, 30000));
    EXPECT_EQ(answer, "OK\n");
    EXPECT_EQ(received, QStringList{"/tmp/slow.png"});
    EXPECT_TRUE(test::waitFor([&] { return closedByServer(silent, &ignored); }, 30000));
    EXPECT_TRUE(test::waitFor([&] { return closedByServer(halfWay, &ignored); }, 30000));
    EXPECT_TRUE(ignored.isEmpty());
    for (const int fd : {silent, halfWay, slow})
        ::close(fd);
}

// A byte now and then does not keep a connection (and its descriptor) open past its deadline.
TEST(SingleInstance, ATricklingConnectionEndsAtItsDeadline)
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":80");
    SingleInstance first;
    ASSERT_EQ(first.start(display, {}), SingleInstance::Outcome::primary);
    first.setConnectionDeadline(1000);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, QFile::encodeName(SingleInstance::socketPath(display)).constData(),
                 sizeof addr.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // A byte of a path that never ends at every look, far more often than the deadline.
    EXPECT_TRUE(test::waitFor(
        [&] {
            char buf[8];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN))
                return true;  // closed, or reset by the abort
            ::send(fd, "a", 1, MSG_NOSIGNAL);
            return false;
        },
        60000));
    ::close(fd);
}

// A live instance that does not answer: a listener stopped with SIGSTOP keeps its socket, and a
// second start says so instead of taking the socket over.
TEST(SingleInstance, AStoppedInstanceKeepsItsSocketAndTheSecondStartGivesUp)
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":78");
    const QString path = SingleInstance::socketPath(display);

    QProcess listener;
    listener.start("python3", {"-c",
                               "import socket,sys,time\n"
                               "s=socket.socket(socket.AF_UNIX)\ns.bind(sys.argv[1])\ns.listen(4)\n"
                               "print('ready',flush=True)\ntime.sleep(600)\n",
                               path});
    ASSERT_TRUE(listener.waitForStarted(10000));
    ASSERT_TRUE(test::waitFor([&] { return listener.canReadLine(); }, 10000));
    const pid_t pid = pid_t(listener.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);

    SingleInstance second;
    EXPECT_EQ(second.start(display, {"/tmp/a.png"}, 1500), SingleInstance::Outcome::notAnswering);
    EXPECT_EQ(SingleInstance::message(SingleInstance::Outcome::notAnswering, display),
              "Kaptorix is already running but does not answer.");
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    // Still the stopped process's socket: it takes connections once it runs again.
    ::kill(pid, SIGCONT);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    listener.kill();
    listener.waitForFinished(5000);
}

TEST(SingleInstance, SomethingElseAtTheSocketPathIsRefusedAndLeftAlone)
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString display = QStringLiteral(":79");
    const QString path = SingleInstance::socketPath(display);
    ASSERT_TRUE(QDir().mkpath(path + "/inside"));

    SingleInstance blocked;
    EXPECT_EQ(blocked.start(display, {}), SingleInstance::Outcome::blocked);
    EXPECT_TRUE(QFileInfo(path + "/inside").isDir());
    EXPECT_TRUE(SingleInstance::message(SingleInstance::Outcome::blocked, display).contains(path));

    // A plain file too.
    ASSERT_TRUE(QDir(path).removeRecursively());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("x"));
    file.close();
    EXPECT_EQ(blocked.start(display, {}), SingleInstance::Outcome::blocked);
    EXPECT_TRUE(QFile::exists(path));
}

namespace {
QStringList rows(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) {
        QString row = a->isSeparator() ? QStringLiteral("--") : a->text();
        if (!a->shortcut().isEmpty())
            row += " [" + a->shortcut().toString() + "]";
        if (a->isChecked())
            row += " *";
        out << row;
    }
    return out;
}
}  // namespace

TEST(StatusMenu, RowsFollowShortcutsColoursPinsAndLanguage)
{
    Lang::overrideForTests("en");
    StatusMenuState s;
    s.header = false;
    for (int i = 0; i <= int(HotKeyAction::history); ++i)
        s.combos.insert(HotKeyAction(i), KeyCombo::defaultFor(HotKeyAction(i)));
    s.combos[HotKeyAction::fullscreen] =
        KeyCombo{0xffbe, KeyCombo::control, "F1"};        // a key name, not one character
    s.combos[HotKeyAction::activeWindow] = std::nullopt;  // cleared
    QMenu menu;
    StatusMenu::fill(&menu, s);
    const QStringList r = rows(&menu);
    EXPECT_EQ(r.mid(0, 5), (QStringList{"--", "Capture area [Ctrl+Alt+1]", "Capture fullscreen",
                                        "Capture active window", "Pick a window [Ctrl+Alt+4]"}));
    const qsizetype history = r.indexOf("History… [Ctrl+Alt+0]");
    ASSERT_GT(history, 0);
    EXPECT_EQ(r.value(history + 1), "--");  // no colours, no pins
    EXPECT_EQ(r.last(), "Quit Kaptorix [Ctrl+Q]");

    s.recentColors = {"#FF0000", "nonsense"};
    s.pins = 2;
    s.language = "auto";
    menu.clear();
    StatusMenu::fill(&menu, s);
    const QStringList r2 = rows(&menu);
    EXPECT_EQ(r2.value(history + 1), "Recent colors");
    EXPECT_EQ(r2.value(history + 2), "Pins (2)");
    QMenu* colours = menu.actions().at(history + 1)->menu();
    EXPECT_EQ(rows(colours), (QStringList{"#FF0000", "nonsense"}));
    EXPECT_TRUE(colours->actions().at(1)->icon().isNull());  // listed, without a swatch
    QMenu* language = nullptr;
    for (QAction* a : menu.actions())
        if (a->text() == "Language")
            language = a->menu();
    ASSERT_NE(language, nullptr) << "no Language row";
    EXPECT_EQ(rows(language), (QStringList{"English", "Magyar", "Deutsch"}));  // "auto": nothing checked

    EXPECT_EQ(StatusMenu::pinsTitle(2, "de"), "Angeheftet (2)");
    EXPECT_TRUE(StatusMenu::timedTitle(HotKeyAction::area, 3, "hu").endsWith(" 3 mp"));
}

namespace {
// The item titled `text` of `menu` (also inside its submenus); null when there is none.
QAction* item(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction* inner = item(a->menu(), text))
                return inner;
    }
    return nullptr;
}
}  // namespace

TEST(StatusMenu, ExportedMenusHaveNoHeaderRowAndKeepEveryKeyHint)
{
    Lang::overrideForTests("en");
    StatusMenuState s;
    for (int i = 0; i <= int(HotKeyAction::history); ++i)
        s.combos.insert(HotKeyAction(i), KeyCombo::defaultFor(HotKeyAction(i)));
    s.combos[HotKeyAction::ocr] = KeyCombo{0xc9, KeyCombo::control | KeyCombo::alt, "É"};
    QMenu widgets;
    StatusMenu::fill(&widgets, s);
    EXPECT_TRUE(qobject_cast<QWidgetAction*>(widgets.actions().first()));  // the header row
    EXPECT_EQ(rows(&widgets).last(), "Quit Kaptorix [Ctrl+Q]");
    EXPECT_TRUE(rows(&widgets).contains("Settings… [Ctrl+,]"));

    s.header = false;
    s.exported = true;
    QMenu exported;
    StatusMenu::fill(&exported, s);
    const QStringList r = rows(&exported);
    EXPECT_EQ(r.first(), "--");  // no empty widget row above it
    EXPECT_FALSE(qobject_cast<QWidgetAction*>(exported.actions().first()));
    // Keys a StatusNotifier host reads stay key hints; the others go into the text.
    EXPECT_TRUE(r.contains("Capture area [Ctrl+Alt+1]")) << r.join('\n').toStdString();
    EXPECT_TRUE(r.contains("Settings…\tCtrl+,")) << r.join('\n').toStdString();
    EXPECT_TRUE(r.contains("OCR – copy text from area\tCtrl+Alt+É")) << r.join('\n').toStdString();
    EXPECT_TRUE(r.contains("Quit Kaptorix [Ctrl+Q]"));
    EXPECT_TRUE(StatusMenu::hostNamesKey(QKeySequence("Ctrl+Alt+F5")));
    EXPECT_FALSE(StatusMenu::hostNamesKey(QKeySequence("Ctrl+,")));
}

// A host draws an exported menu in its own theme: the items' symbols keep 3:1 against a
// white menu and against a dark (#1F1F1F) one.
TEST(StatusMenu, ExportedSymbolsReadOnLightAndDarkMenus)
{
    Lang::overrideForTests("en");
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const auto lum = [&](const QColor& c) {
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const auto contrast = [&](const QColor& a, const QColor& b) {
        const double x = lum(a), y = lum(b);
        return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
    };
    StatusMenuState s;
    s.exported = true;
    s.header = false;
    QMenu menu;
    StatusMenu::fill(&menu, s);
    for (const char* label : {"Help", "Open image…", "Language"}) {
        QAction* a = item(&menu, label);
        ASSERT_TRUE(a) << label;
        const QImage img = a->icon().pixmap(64, 64).toImage();
        int opaque = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() < 200)
                    continue;
                ++opaque;
                EXPECT_GE(contrast(c, Qt::white), 3.0) << label;
                EXPECT_GE(contrast(c, QColor(0x1f, 0x1f, 0x1f)), 3.0) << label;
            }
        EXPECT_GT(opaque, 10) << label;
    }
}

// Ctrl+H in a pin (a tool window without the main menu's keys) hides the other windows as it
// does from an editor.
TEST(HideKaptorix, FromAPin)
{
    PinManager::shared().closeAll();
    TrayApp tray;
    QImage img(40, 30, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    PinWindow* pin = PinManager::shared().pin(img, 1);
    ASSERT_TRUE(pin);
    QWidget window(nullptr, Qt::Window);
    window.show();
    ASSERT_TRUE(test::waitFor([&] { return window.isVisible() && pin->isVisible(); }));
    QKeyEvent other(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(pin, &other);
    EXPECT_FALSE(window.isMinimized());
    QKeyEvent hide(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier);
    QApplication::sendEvent(pin, &hide);
    EXPECT_TRUE(test::waitFor([&] { return window.isMinimized(); }));
    PinManager::shared().closeAll();
}

// A key drawn as "&" (recorded on a French layout) keeps its name in both kinds of menu:
// escaped, it is not taken for a mnemonic marker.
TEST(StatusMenu, AnAmpersandKeyKeepsItsName)
{
    Lang::overrideForTests("en");
    StatusMenuState s;
    s.combos[HotKeyAction::area] = KeyCombo{0x26, KeyCombo::control | KeyCombo::alt, "&"};
    for (const bool exported : {false, true}) {
        s.exported = exported;
        s.header = !exported;
        QMenu menu;
        StatusMenu::fill(&menu, s);
        QAction* area = item(&menu, "Capture area\tCtrl+Alt+&&");
        ASSERT_TRUE(area) << exported << "\n" << rows(&menu).join('\n').toStdString();
        EXPECT_TRUE(area->shortcut().isEmpty());
    }
}

// Opening the tray menu with one pin open, a click-through one: its row and both items are
// there, and "Make pins clickable" gives the pin its clicks back.
TEST(TrayMenu, OnePinShowsItsRowAndCanBeMadeClickableAgain)
{
    Lang::overrideForTests("en");
    PinManager::shared().closeAll();
    TrayApp tray;
    QImage img(40, 30, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    PinWindow* pin = PinManager::shared().pin(img, 1);
    ASSERT_TRUE(pin);
    pin->setClickThrough(true);
    Q_EMIT tray.statusMenu()->aboutToShow();
    QAction* row = item(tray.statusMenu(), "Pins (1)");
    ASSERT_TRUE(row && row->menu()) << rows(tray.statusMenu()).join('\n').toStdString();
    EXPECT_EQ(rows(row->menu()), (QStringList{"Make pins clickable", "Close all pins"}));
    QAction* clickable = item(row->menu(), "Make pins clickable");
    ASSERT_TRUE(clickable && clickable->isEnabled());
    clickable->trigger();
    EXPECT_FALSE(pin->clickThrough());
    item(row->menu(), "Close all pins")->trigger();
    EXPECT_TRUE(test::waitFor([] { return PinManager::shared().pins().isEmpty(); }, 3000));
    Q_EMIT tray.statusMenu()->aboutToShow();
    EXPECT_FALSE(item(tray.statusMenu(), "Pins (0)"));
    EXPECT_FALSE(item(tray.statusMenu(), "Make pins clickable"));
}

// A timed row of the tray menu counts down its own seconds before the capture it names.
TEST(TrayMenu, TimedRowCountsDownItsSecondsThenCaptures)
{
    Lang::overrideForTests("en");
    for (const char* key : {"after.copy", "after.save", "after.editor", "after.preview", "after.upload"})
        Prefs::set(key, false);
    QTemporaryDir dir;
    HistoryStore store(HistoryStore::Options{
        dir.filePath("h"),
        {},
        [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>()); },
        0});
    auto& env = CaptureCoordinator::shared().environment();
    const CaptureCoordinator::Environment saved = env;
    auto restore = qScopeGuard([&] { env = saved; });
    QList<int> countdowns;
    std::function<void()> afterCountdown;
    QStringList grabs;
    env.history = &store;
    env.permission = [] { return true; };
    env.shutter = [] {};
    env.countdown = [&](int seconds, std::function<void()> done) {
        countdowns << seconds;
        afterCountdown = std::move(done);
    };
    env.screenUnderPointer = [] { return QGuiApplication::primaryScreen(); };
    env.frontmostWindow = [] { return std::nullopt; };
    env.grabScreen = [&](QScreen*, const std::optional<QRectF>&, bool) -> Captured<ScreenGrab> {
        grabs << "screen";
        QImage shot(64, 32, QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::blue);
        return ScreenGrab{shot, 1.0};
    };

    TrayApp tray;
    Q_EMIT tray.statusMenu()->aboutToShow();
    QAction* timed = item(tray.statusMenu(), "Capture fullscreen — 5 s");
    ASSERT_TRUE(timed);
    timed->trigger();
    EXPECT_EQ(countdowns, QList<int>{5});
    EXPECT_TRUE(grabs.isEmpty());  // nothing before the countdown ends
    ASSERT_TRUE(afterCountdown);
    afterCountdown();
    ASSERT_TRUE(test::waitFor([&] { return store.entries().size() == 1; }, 5000));
    EXPECT_EQ(grabs, QStringList{"screen"});
    EXPECT_EQ(store.entries().first().kind, SourceKind::fullscreen);
}

TEST(DisplayCheck, SaysInOneLineWhatIsMissing)
{
    Lang::overrideForTests("en");
    const auto never = [](const QByteArray&) { return false; };
    const auto always = [](const QByteArray&) { return true; };
    EXPECT_EQ(displayProblem({"", "", "tty"}, always), "Kaptorix needs an X11 display: DISPLAY is not set.");
    EXPECT_EQ(displayProblem({"", "wayland-0", "wayland"}, always),
              "Kaptorix needs an X11 display: this is a Wayland session without XWayland.");
    EXPECT_EQ(displayProblem({"", "", "wayland"}, always),
              "Kaptorix needs an X11 display: this is a Wayland session without XWayland.");
    EXPECT_EQ(displayProblem({":9", "", "x11"}, never),
              "Kaptorix needs an X11 display: :9 cannot be opened.");
    EXPECT_EQ(displayProblem({":0", "wayland-0", "wayland"}, always), "");  // XWayland
}

TEST(TrayIconLook, TheVariantFollowsWhatTheTrayTells)
{
    using Style = Brand::StatusIconStyle;
    const QColor white(Qt::white), black(Qt::black), panelGrey(0xd6, 0xd6, 0xd6), panelNavy(0x20, 0x24, 0x3a);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::xembed, panelGrey, white), Style::black);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::xembed, panelNavy, black), Style::white);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::xembed, std::nullopt, white), Style::white);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::xembed, std::nullopt, black), Style::black);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::xembed, std::nullopt, std::nullopt), Style::outlined);
    // A StatusNotifier host's panel is never known, whatever the desktop looks like.
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::statusNotifier, std::nullopt, std::nullopt), Style::outlined);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::statusNotifier, panelGrey, white), Style::outlined);
    EXPECT_EQ(chooseTrayIconStyle(TrayProtocol::none, panelGrey, std::nullopt), Style::outlined);

    // The outlined variant has dark strokes inside light edges: it reads on both.
    const QImage outlined = Brand::statusBarImage(Style::outlined, 2.0);
    int darkPixels = 0, lightPixels = 0;
    for (int y = 0; y < outlined.height(); ++y)
        for (int x = 0; x < outlined.width(); ++x) {
            const QColor c = outlined.pixelColor(x, y);
            if (c.alpha() > 200 && c.lightness() < 60)
                ++darkPixels;
            if (c.alpha() > 200 && c.lightness() > 200)
                ++lightPixels;
        }
    EXPECT_GT(darkPixels, 40);
    EXPECT_GT(lightPixels, 40);
}
