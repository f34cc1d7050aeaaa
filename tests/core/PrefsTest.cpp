#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"

#include "FileLimits.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>
#include <functional>
#include <thread>

#include <sys/time.h>
#include <unistd.h>

using namespace kx;

namespace {
struct PrefsTest : ::testing::Test {
    void SetUp() override
    {
        QFile::remove(Prefs::settingsPath());
        Prefs::reloadForTests();
        Lang::overrideForTests("en");
        Prefs::registerDefaults();
    }
};
}  // namespace

TEST_F(PrefsTest, RegistersThirtyThreeDefaultsInMemoryOnly)
{
    const QStringList keys = Prefs::registeredKeys();
    ASSERT_EQ(keys.size(), 33);
    EXPECT_EQ(keys.first(), "language");
    EXPECT_EQ(keys.last(), "scroll.maxHeight");
    EXPECT_TRUE(Prefs::boolean("after.editor"));
    EXPECT_DOUBLE_EQ(Prefs::real("jpegQuality"), 0.9);
    EXPECT_EQ(Prefs::string("ai.language"), "English");
    EXPECT_FALSE(Prefs::value("recentColors").isValid()) << "unregistered keys have no default";

    Prefs::sync();
    QSettings raw(Prefs::settingsPath(), QSettings::IniFormat);
    EXPECT_TRUE(raw.allKeys().isEmpty()) << "defaults must never be written";

    // Stored booleans come back from the INI text form.
    Prefs::set("after.save", true);
    Prefs::sync();
    Prefs::reloadForTests();
    EXPECT_TRUE(Prefs::boolean("after.save"));
}

TEST_F(PrefsTest, AiLanguageDefaultFollowsInterfaceLanguageButStoredValueWins)
{
    Lang::overrideForTests("hu");
    Prefs::registerDefaults();
    EXPECT_EQ(Prefs::string("ai.language"), "magyar");
    Lang::overrideForTests("de");
    Prefs::registerDefaults();
    EXPECT_EQ(Prefs::string("ai.language"), "Deutsch");
    Prefs::set("ai.language", "English");
    EXPECT_EQ(Prefs::string("ai.language"), "English");
    Prefs::remove("ai.language");
}

TEST_F(PrefsTest, LegacyHubSettingsAreRemovedOthersKept)
{
    Prefs::set("hub.baseURL", "https://hub.test");
    Prefs::set("hub.path", "/up");
    Prefs::set("hub.authHeader", "x");
    Prefs::set("remote.host", "dav.test");
    Prefs::registerDefaults();
    EXPECT_FALSE(Prefs::contains("hub.baseURL"));
    EXPECT_FALSE(Prefs::contains("hub.path"));
    EXPECT_FALSE(Prefs::contains("hub.authHeader"));
    EXPECT_EQ(Prefs::string("remote.host"), "dav.test");
}

TEST_F(PrefsTest, TypedGettersFallBackToFirstCase)
{
    EXPECT_EQ(Prefs::imageFormat(), ImageFormat::png);
    Prefs::set("imageFormat", "JPG");
    EXPECT_EQ(Prefs::imageFormat(), ImageFormat::png);
    Prefs::set("imageFormat", "heic");
    EXPECT_EQ(Prefs::imageFormat(), ImageFormat::heic);
    Prefs::set("remote.protocol", "SFTP");
    EXPECT_EQ(Prefs::remoteProtocol(), RemoteProtocol::webdav);
    Prefs::set("remote.protocol", "sftp");
    EXPECT_EQ(Prefs::remoteProtocol(), RemoteProtocol::sftp);
    Prefs::set("copy.mode", "copyAndClose");
    EXPECT_EQ(Prefs::copyMode(), CopyMode::copyAndClose);
    Prefs::set("ai.provider", "OpenAI");
    EXPECT_EQ(Prefs::aiProvider(), AIProvider::claude);
    Prefs::set("upload.copyFormat", "html");
    EXPECT_EQ(Prefs::uploadCopyFormat(), UploadCopyFormat::html);
    Prefs::set("colorFormat", "nonsense");
    EXPECT_EQ(Prefs::colorFormat(), ColorFormat::hex);
}

TEST_F(PrefsTest, RemotePortParsing)
{
    const QList<QPair<QString, std::optional<qint64>>> cases{{" 2222\t", 2222},
                                                             {"22a", std::nullopt},
                                                             {"+", std::nullopt},
                                                             {"", std::nullopt},
                                                             {"-1", -1},
                                                             {"+21", 21},
                                                             {"9223372036854775807", 9223372036854775807LL},
                                                             {"9223372036854775808", std::nullopt},
                                                             {"2 2", std::nullopt},
                                                             {"0x16", std::nullopt}};
    for (const auto& [text, want] : cases) {
        Prefs::set("remote.port", text);
        EXPECT_EQ(Prefs::remotePort(), want) << text.toStdString();
    }
}

TEST_F(PrefsTest, OcrLanguagesAndSaveFolder)
{
    EXPECT_TRUE(Prefs::ocrLanguages().isEmpty());
    const QList<std::pair<QString, QStringList>> languages{{"en, \t ,de", {"en", "", "de"}},
                                                           {",en,,de,", {"en", "de"}},
                                                           {"hu-HU, en-US", {"hu-HU", "en-US"}},
                                                           {"", {}}};
    for (const auto& [stored, split] : languages) {
        Prefs::set("ocrLanguages", stored);
        EXPECT_EQ(Prefs::ocrLanguages(), split) << stored.toStdString();
    }

    // Never the working directory.
    const QString home = QDir::homePath();
    const QString fallback =
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + "/Kaptorix");
    EXPECT_EQ(Prefs::saveFolderURL(), fallback);
    const QList<std::pair<QString, QString>> folders{{"   ", fallback},
                                                     {"~/Shots", home + "/Shots"},
                                                     {"~", home},
                                                     {"shots/new", home + "/shots/new"},
                                                     {"/tmp/kx shots", "/tmp/kx shots"}};
    for (const auto& [stored, folder] : folders) {
        Prefs::set("saveFolder", stored);
        EXPECT_EQ(Prefs::saveFolderURL(), folder) << stored.toStdString();
    }
    EXPECT_EQ(Prefs::trimmed("saveFolder"), "/tmp/kx shots");
    Prefs::set("remote.host", " \thost.test \n");
    EXPECT_EQ(Prefs::trimmed("remote.host"), "host.test \n");
}

TEST_F(PrefsTest, ConcurrentReadsWhileWriting)
{
    std::atomic<bool> stop{false};
    auto writer = QtConcurrent::run([&] {
        for (int i = 0; i < 2000; ++i)
            Prefs::set("remote.port", QString::number(i));
        stop = true;
    });
    QList<QFuture<int>> readers;
    for (int t = 0; t < 4; ++t) {
        readers.append(QtConcurrent::run([&] {
            int bad = 0;
            while (!stop) {
                if (Prefs::string("filePattern") != "Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}")
                    ++bad;
                const auto p = Prefs::remotePort();
                if (p && (*p < 0 || *p >= 2000))
                    ++bad;
            }
            return bad;
        }));
    }
    writer.waitForFinished();
    for (auto& r : readers)
        EXPECT_EQ(r.result(), 0);
}

TEST_F(PrefsTest, NotifierAnnouncesEachChangeOnceOnTheUiThread)
{
    QCoreApplication::processEvents();  // announcements left by earlier tests
    QStringList heard;
    QList<QThread*> threads;
    QObject receiver;
    QObject::connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, &receiver, [&](const QString& key) {
        heard << key;
        threads << QThread::currentThread();
    });
    Prefs::set("sound", false);
    Prefs::set("sound", false);  // unchanged: nothing to announce
    Prefs::remove("copy.mode");  // was never stored
    Prefs::remove("sound");
    EXPECT_EQ(heard, QStringList({"sound", "sound"}));

    std::thread([] { Prefs::set("history.max", 12); }).join();
    EXPECT_EQ(heard.size(), 2);  // queued until the UI thread turns
    QCoreApplication::processEvents();
    EXPECT_EQ(heard.last(), "history.max");
    for (QThread* t : threads)
        EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

TEST_F(PrefsTest, NumbersOutOfRangeAreClampedAndWholeNumbersReadLeniently)
{
    const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
    const QList<std::tuple<QVariant, int, std::optional<int>>> table{
        {QVariant(1e10), big, big},          {QVariant("1e10"), big, big},
        {QVariant(-1e12), small, small},     {QVariant("99999999999"), big, big},
        {QVariant("365.0"), 365, 365},       {QVariant("1e3"), 1000, 1000},
        {QVariant(2.5), 2, std::nullopt},    {QVariant("nan"), 0, std::nullopt},
        {QVariant("soon"), 0, std::nullopt},
    };
    // A key Settings offers no range for: only the int range bounds it.
    for (const auto& [stored, integer, whole] : table) {
        Prefs::set("test.number", stored);
        EXPECT_EQ(Prefs::integer("test.number"), integer) << stored.toString().toStdString();
        EXPECT_EQ(Prefs::wholeNumber("test.number"), whole) << stored.toString().toStdString();
    }
    Prefs::remove("test.number");
}

// A value written by hand outside what Settings offers acts as the nearest value it offers: a
// history.max of 2 keeps 20 captures, not 2. Below 1 a retention limit is still "no limit", and
// above the greatest it keeps what it says (read down, it would delete more).
TEST_F(PrefsTest, NumbersAreReadIntoTheRangeSettingsOffers)
{
    const struct {
        const char* key;
        QVariant stored;
        double read;
    } rows[] = {
        {"history.max", 2, 20},         {"history.max", "19", 20},        {"history.max", 99999, 99999},
        {"history.max", 0, 0},          {"history.max", -3, 0},           {"history.max", 20, 20},
        {"history.days", -5, 0},        {"history.days", 400, 400},       {"history.days", 365, 365},
        {"scroll.maxHeight", 10, 4000}, {"scroll.maxHeight", 1e9, 60000}, {"jpegQuality", 0.01, 0.4},
        {"jpegQuality", 7, 1.0},        {"jpegQuality", 0.75, 0.75},
    };
    for (const auto& r : rows) {
        Prefs::set(r.key, r.stored);
        const std::string what = std::string(r.key) + "=" + r.stored.toString().toStdString();
        if (QString(r.key) == "jpegQuality") {
            EXPECT_DOUBLE_EQ(Prefs::real(r.key), r.read) << what;
        } else {
            EXPECT_EQ(Prefs::integer(r.key), int(r.read)) << what;
            EXPECT_EQ(Prefs::wholeNumber(r.key), int(r.read)) << what;
        }
        Prefs::remove(r.key);
    }
}

namespace {

// Settings in a folder of their own (or under `home`), as the start finds them; the environment
// comes back after.
struct SettingsAt {
    QTemporaryDir dir;
    QString home;
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    explicit SettingsAt(const QString& at = {}) : home(at.isEmpty() ? dir.path() : at)
    {
        qputenv("XDG_CONFIG_HOME", home.toUtf8());
        Prefs::reloadForTests();
        Lang::overrideForTests("en");
    }
    ~SettingsAt()
    {
        failWritesAfter(-1);
        qputenv("XDG_CONFIG_HOME", oldConfig);
        Prefs::reloadForTests();
    }
    QString folder() const { return home + "/Kaptorix"; }
    QString conf() const { return folder() + "/Kaptorix.conf"; }
    void write(const QByteArray& bytes) const
    {
        QDir().mkpath(folder());
        QFile f(conf());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QByteArray read(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }
    QStringList keptCopies() const { return QDir(folder()).entryList({"Kaptorix.conf.bad-*"}, QDir::Files); }
};

}  // namespace

// What the start finds decides whether it is a first start and what it says: settings that do
// not exist yet are a first start; ones that cannot be read are not (they exist), nor ones that
// cannot be saved (every start would be the first), and each such says why.
TEST(PrefsHealth, WhatTheStartFindsAtTheSettingsPath)
{
    const struct {
        const char* name;
        std::function<void(const SettingsAt&)> make;
        bool readable, writable, firstRun;
        const char* reason;
    } rows[] = {
        {"nothing yet", [](const SettingsAt&) {}, true, true, true, ""},
        {"a file that parses", [](const SettingsAt& s) { s.write("[General]\nafter.copy=false\n"); }, true,
         true, true, ""},
        {"a start already made", [](const SettingsAt& s) { s.write("[General]\nfirstRunDone=true\n"); }, true,
         true, false, ""},
        {"a folder in the file's place", [](const SettingsAt& s) { QDir().mkpath(s.conf()); }, false, false,
         false, "Is a directory"},
        {"a file in the folder's place",
         [](const SettingsAt& s) {
             QFile f(s.folder());
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         true, false, false, "Not a directory"},
    };
    for (const auto& r : rows) {
        SettingsAt at;
        r.make(at);
        Prefs::registerDefaults();
        const Prefs::Health h = Prefs::health();
        EXPECT_EQ(h.readable, r.readable) << r.name;
        EXPECT_EQ(h.writable, r.writable) << r.name;
        EXPECT_TRUE(h.readWhole) << r.name;
        EXPECT_EQ(h.reason, QString(r.reason)) << r.name;
        EXPECT_EQ(Prefs::firstRun(), r.firstRun) << r.name;
        // A change holds for this run whatever the disk does.
        Prefs::set("after.save", true);
        Prefs::sync();
        EXPECT_TRUE(Prefs::boolean("after.save")) << r.name;
    }
    // The first start is remembered.
    SettingsAt fresh;
    ASSERT_TRUE(Prefs::firstRun());
    Prefs::set("firstRunDone", true);
    Prefs::sync();
    Prefs::reloadForTests();
    EXPECT_FALSE(Prefs::firstRun());
}

// A folder the user may not write, the settings folder or the one it would be made in: the
// start says why (root too, with the override of file modes dropped) and is no first start.
TEST(PrefsHealth, AReadOnlyFolderCannotBeSaved)
{
    const struct {
        const char* name;
        bool fileThere;
        bool homeLocked;  // else the settings folder
    } rows[] = {{"the settings folder", true, false}, {"~/.config, no settings folder yet", false, true}};
    for (const auto& r : rows) {
        SettingsAt at;
        if (r.fileThere)
            at.write("[General]\nafter.copy=false\n");
        const QString locked = r.homeLocked ? at.home : at.folder();
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        {
            test::ObeyFileModes obey;
            Prefs::registerDefaults();
            const Prefs::Health h = Prefs::health();
            EXPECT_TRUE(h.readable) << r.name;
            EXPECT_FALSE(h.writable) << r.name;
            EXPECT_EQ(h.reason, "Permission denied") << r.name;
            EXPECT_FALSE(Prefs::firstRun()) << r.name;
            EXPECT_EQ(Prefs::boolean("after.copy"), !r.fileThere) << r.name;
        }
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

namespace {

// How often the settings said a change was not written.
struct NotSavedCount {
    int told = 0;
    QObject receiver;
    NotSavedCount()
    {
        QCoreApplication::processEvents();  // what earlier tests left
        QObject::connect(&PrefsNotifier::shared(), &PrefsNotifier::notSaved, &receiver, [this] { ++told; });
    }
};

}  // namespace

// Settings on a disk that takes nothing, full or read-only, since before the start or from a
// moment after it: the start says so with the system's reason (an empty file would still fit on
// a full disk) and is no first start; changes hold for the run and are told once as not kept;
// the file is left as it was, so the next start finds the same.
TEST(PrefsHealth, ADiskThatTakesNothingIsToldAtStartAndAtTheChange)
{
    if (!test::privateMounts())
        GTEST_SKIP() << "no mount namespace of its own here";
    enum class Disk { full, readOnly };
    const QByteArray started = "[General]\nfirstRunDone=true\nafter.copy=false\n";
    const struct {
        const char* name;
        QByteArray file;  // empty: no settings folder yet
        Disk disk;
        bool atStart;  // else it stops taking writes after the start
        const char* reason;
    } rows[] = {
        {"full, nothing there yet", {}, Disk::full, true, "No space left on device"},
        {"full, settings there", started, Disk::full, true, "No space left on device"},
        {"read-only, nothing there yet", {}, Disk::readOnly, true, "Read-only file system"},
        {"full after the start", started, Disk::full, false, "No space left on device"},
        {"read-only after the start", started, Disk::readOnly, false, "Read-only file system"},
    };
    for (const auto& r : rows) {
        test::FullFilesystem disk;
        if (!disk.mounted())
            GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString() << ")";
        SettingsAt at(disk.path());
        if (!r.file.isEmpty())
            at.write(r.file);
        const auto stopWrites = [&] {
            ASSERT_TRUE(r.disk == Disk::full ? disk.fill() : disk.makeReadOnly()) << r.name;
        };
        if (r.atStart)
            stopWrites();
        Prefs::registerDefaults();
        Prefs::Health h = Prefs::health();
        EXPECT_TRUE(h.readable) << r.name;
        EXPECT_EQ(h.writable, !r.atStart) << r.name;
        EXPECT_EQ(h.reason, r.atStart ? QString(r.reason) : QString()) << r.name;
        EXPECT_FALSE(Prefs::firstRun()) << r.name;
        EXPECT_FALSE(Prefs::takeFirstRun()) << r.name;
        if (!r.atStart)
            stopWrites();

        NotSavedCount count;
        Prefs::set("after.save", true);
        Prefs::sync();
        Prefs::set("playSound", false);
        QCoreApplication::processEvents();  // the write a change asks for
        EXPECT_EQ(count.told, 1) << r.name;
        h = Prefs::health();
        EXPECT_FALSE(h.writable) << r.name;
        EXPECT_EQ(h.reason, QString(r.reason)) << r.name;
        EXPECT_TRUE(Prefs::boolean("after.save")) << r.name << ": a change holds for the run";
        EXPECT_FALSE(Prefs::boolean("playSound")) << r.name;

        // The next start finds the same file (QSettings keeps what it could not write in a
        // cache of the process, so the file is what tells), the same word, and no first start.
        Prefs::reloadForTests();
        const QByteArray now = QFile::exists(at.conf()) ? at.read(at.conf()) : QByteArray("(none)");
        EXPECT_EQ(now, r.file.isEmpty() && r.disk == Disk::full ? QByteArray()
                       : r.file.isEmpty()                       ? "(none)"
                                                                : r.file)
            << r.name;
        EXPECT_FALSE(Prefs::health().writable) << r.name;
        EXPECT_FALSE(Prefs::firstRun()) << r.name;
        EXPECT_TRUE(
            QDir(at.folder()).entryList({"*.lock", ".Kaptorix*"}, QDir::Files | QDir::Hidden).isEmpty())
            << r.name << ": nothing left behind";
    }
}

// A change taken back before it was written leaves nothing to write: that is no failure.
TEST(PrefsHealth, AChangeTakenBackIsNoFailedWrite)
{
    SettingsAt at;
    at.write("[General]\nfirstRunDone=true\n");
    Prefs::registerDefaults();
    NotSavedCount count;
    Prefs::set("after.save", true);
    Prefs::remove("after.save");
    Prefs::sync();
    QCoreApplication::processEvents();
    EXPECT_EQ(count.told, 0);
    EXPECT_TRUE(Prefs::health().writable);
}

// A start that found the file damaged is no first start, nor, once the file is written anew
// from what could be read, is the next; a first start is taken once.
TEST(PrefsHealth, AStartThatFoundADamagedFileIsRemembered)
{
    {
        SettingsAt at;
        const QByteArray bad = "[General]\nafter.copy=false\nthis line has no equals sign\n";
        at.write(bad);
        Prefs::registerDefaults();
        ASSERT_FALSE(Prefs::health().readWhole);
        ASSERT_TRUE(Prefs::health().writable);
        EXPECT_FALSE(Prefs::firstRun()) << "a file was there";
        EXPECT_FALSE(Prefs::takeFirstRun());
        Prefs::reloadForTests();
        EXPECT_TRUE(Prefs::health().readWhole) << "written anew";
        EXPECT_FALSE(Prefs::firstRun());
        EXPECT_FALSE(Prefs::boolean("after.copy"));
        ASSERT_EQ(at.keptCopies().size(), 1);
        EXPECT_EQ(at.read(at.folder() + "/" + at.keptCopies().first()), bad);
    }
    SettingsAt fresh;
    EXPECT_TRUE(Prefs::takeFirstRun());
    EXPECT_FALSE(Prefs::takeFirstRun());
    Prefs::reloadForTests();
    EXPECT_FALSE(Prefs::firstRun());
}

// A file that parses only in part is kept whole beside it before it is written anew, once for
// the same bytes; one that cannot be kept is never written, and this run's changes still hold.
TEST(PrefsHealth, AFileThatDoesNotParseIsKeptAsideBeforeItIsWritten)
{
    const QByteArray bad = "[General]\nfirstRunDone=true\nthis line has no equals sign\nafter.copy=false\n";
    {
        SettingsAt at;
        at.write(bad);
        Prefs::registerDefaults();
        const Prefs::Health h = Prefs::health();
        EXPECT_FALSE(h.readWhole);
        EXPECT_TRUE(h.writable);
        ASSERT_EQ(at.keptCopies().size(), 1);
        EXPECT_EQ(h.keptAs, at.folder() + "/" + at.keptCopies().first());
        EXPECT_EQ(at.read(h.keptAs), bad);
        EXPECT_FALSE(Prefs::firstRun()) << "a file was there";
        EXPECT_FALSE(Prefs::boolean("after.copy")) << "what could be read is used";
        // Started again before anything was written: the copy there is the same. (A new time
        // makes QSettings read the file again instead of taking it from its cache.)
        const timeval later[2] = {{::time(nullptr) + 5, 0}, {::time(nullptr) + 5, 0}};
        ASSERT_EQ(::utimes(QFile::encodeName(at.conf()).constData(), later), 0);
        Prefs::reloadForTests();
        EXPECT_EQ(Prefs::health().keptAs, h.keptAs);
        EXPECT_EQ(at.keptCopies().size(), 1);
        Prefs::set("after.save", true);
        Prefs::sync();
        EXPECT_NE(at.read(at.conf()), bad);
        EXPECT_EQ(at.read(h.keptAs), bad);
        Prefs::reloadForTests();
        EXPECT_TRUE(Prefs::health().readWhole);
        EXPECT_TRUE(Prefs::boolean("after.save"));
    }
    {
        SettingsAt at;
        at.write(bad);
        failWritesAfter(0);  // the copy cannot be written: a full disk
        Prefs::registerDefaults();
        const Prefs::Health h = Prefs::health();
        failWritesAfter(-1);
        EXPECT_FALSE(h.readWhole);
        EXPECT_FALSE(h.writable);
        EXPECT_TRUE(h.keptAs.isEmpty());
        Prefs::set("after.save", true);
        Prefs::remove("after.copy");
        Prefs::sync();
        EXPECT_TRUE(Prefs::boolean("after.save"));
        EXPECT_TRUE(Prefs::boolean("after.copy")) << "removed: the default again";
        Prefs::reloadForTests();  // QSettings writes what it holds as it goes
        EXPECT_EQ(at.read(at.conf()), bad) << "a file not kept must not be written";
        EXPECT_TRUE(at.keptCopies().isEmpty());
    }
}

// A settings file that is a link: one to settings (a dotfiles checkout) is read and written
// through; one to anything else is never written: the settings get a file of their own.
TEST(PrefsHealth, ALinkIsWrittenThroughOnlyWhileItNamesSettings)
{
    const struct {
        const char* name;
        QByteArray target;
        bool followed;
    } rows[] = {
        {"settings", "[General]\nfirstRunDone=true\nafter.copy=false\n", true},
        {"a password file", "root:x:0:0:root:/root:/bin/bash\nbin:x:1:1::/:/usr/bin/nologin\n", false},
    };
    for (const auto& r : rows) {
        SettingsAt at;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath("target");
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(r.target) == r.target.size());
        f.close();
        QDir().mkpath(at.folder());
        ASSERT_TRUE(QFile::link(target, at.conf()));
        Prefs::registerDefaults();
        const Prefs::Health h = Prefs::health();
        EXPECT_TRUE(h.writable) << r.name;
        EXPECT_EQ(h.linkedTo, r.followed ? QString() : target) << r.name;
        EXPECT_EQ(Prefs::boolean("after.copy"), !r.followed) << r.name;
        Prefs::set("after.save", true);
        Prefs::sync();
        EXPECT_EQ(QFileInfo(at.conf()).isSymLink(), r.followed) << r.name;
        EXPECT_EQ(at.read(target) == r.target, !r.followed) << r.name;
        EXPECT_TRUE(at.read(r.followed ? target : at.conf()).contains("after.save=true")) << r.name;
        EXPECT_TRUE(at.keptCopies().isEmpty()) << r.name << ": the target is left, nothing needs keeping";
        if (!r.followed)
            EXPECT_EQ(QFileInfo(at.conf()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0)
                << r.name;
    }
}
