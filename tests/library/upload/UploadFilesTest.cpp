// What an upload leaves on this computer: the names it gave (so no upload replaces another
// capture's file), its work folders (for the owner only, gone on quit or at the next start)
// and the queue folder's rights.
#include "TestServers.h"
#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/FileLock.h"
#include "core/Prefs.h"
#include "fakes/FakeRecognizer.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"
#include "library/upload/WorkFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>
#include <thread>

using namespace kx;

namespace {

int mode(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void makeOld(const QString& path)
{
    const timeval old[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
    ::lutimes(QFile::encodeName(path).constData(), old);
}

// Processes (not zombies) whose environment holds `entry`.
QStringList processesWith(const QByteArray& entry)
{
    QStringList found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile env("/proc/" + pid + "/environ"), stat("/proc/" + pid + "/stat");
        if (pid.toInt() > 0 && env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains(entry) &&
            stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z"))
            found << pid;
    }
    return found;
}

}  // namespace

TEST(UploadNames, NoCaptureTakesAnotherOnesNameAfterARestartToo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.json");
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
    {
        UploadNames names(path);
        EXPECT_EQ(names.reserve("Shot", ".png", a, {}), "Shot.png");
        EXPECT_EQ(names.reserve("Shot", ".png", b, {}), "Shot 2.png");
        EXPECT_EQ(names.reserve("shot", ".png", std::nullopt, {}), "shot 3.png");  // case-blind servers
        EXPECT_EQ(names.reserve("Shot", ".png", a, {}), "Shot.png");               // the same capture again
    }
    UploadNames reread(path);
    EXPECT_EQ(reread.reserve("Shot", ".png", std::nullopt, {}), "Shot 4.png");
    EXPECT_EQ(reread.reserve("Shot", ".png", std::nullopt, {}), "Shot 5.png");  // no entry: never reused
    EXPECT_EQ(reread.reserve("Shot", ".png", b, {}), "Shot 2.png");
    // A queued item keeps its name even from its own capture: its retry must not replace a newer file.
    EXPECT_EQ(reread.reserve("Other", ".png", b, {"other.png"}), "Other 2.png");

    // When the server has a name, the upload moves on from the number the name already has,
    // past names this program gave other captures (a queued one too), and keeps the one it took.
    for (const auto& [name, base, n, extension] : {std::tuple{"Shot 2.png", "Shot", 2, ".png"},
                                                   {"Shot 02.png", "Shot 02", 1, ".png"},
                                                   {"Take 1.png", "Take 1", 1, ".png"},
                                                   {"v 3", "v", 3, ""},
                                                   {".png", ".png", 1, ""}}) {
        const UploadNames::Parts parts = UploadNames::split(name);
        EXPECT_EQ(std::tuple(parts.base, parts.n, parts.extension),
                  std::tuple(QString(base), n, QString(extension)))
            << name;
    }
    EXPECT_FALSE(reread.takenByOther("Shot 2.png", b, {}));
    EXPECT_TRUE(reread.takenByOther("shot 2.png", a, {}));
    EXPECT_TRUE(reread.takenByOther("Shot 9.png", b, {"shot 9.png"}));
    reread.record("Shot 9.png", a);
    EXPECT_TRUE(UploadNames(path).takenByOther("Shot 9.png", b, {}));

    // Long names keep " 12" and the extension within 255 bytes, cut at a whole character.
    const QString base = QString(200, 'a') + QString(40, QChar(0x00e9));
    EXPECT_EQ(UploadNames::numbered(base, 12, ".png").toUtf8().size(), 255);
    EXPECT_TRUE(UploadNames::numbered(base, 12, ".png").endsWith(QString(QChar(0x00e9)) + " 12.png"));

    // A file that does not parse is kept aside, never overwritten.
    QFile bad(path);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("[{\"name\":");
    bad.close();
    UploadNames fresh(path);
    EXPECT_EQ(QDir(dir.path()).entryList({"names.json.bad-*"}).size(), 1);
    EXPECT_EQ(fresh.reserve("Shot", ".png", a, {}), "Shot.png");
}

// Two Kaptorix of one user (two X sessions, one home) give names from one file: neither gives
// a name the other gave, nor drops one from the file when it writes.
TEST(UploadNames, TwoInstancesNeverGiveOneNameTwiceNorDropTheOthers)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.json");
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
    UploadNames first(path), second(path);  // both read the file before either gave a name
    EXPECT_EQ(first.reserve("Shot", ".png", a, {}), "Shot.png");
    EXPECT_TRUE(second.takenByOther("shot.png", b, {}));
    EXPECT_EQ(second.reserve("Shot", ".png", b, {}), "Shot 2.png");
    EXPECT_TRUE(first.record("Shot 3.png", a));
    EXPECT_FALSE(second.record("shot 3.png", b));  // the server had "Shot 2": the next is the other's
    EXPECT_EQ(second.reserve("Shot", ".png", a, {}), "Shot.png");
    UploadNames reread(path);
    for (const auto& [name, owner] : {std::pair{"Shot.png", a}, {"Shot 2.png", b}, {"Shot 3.png", a}}) {
        EXPECT_FALSE(reread.takenByOther(name, owner, {})) << name;
        EXPECT_TRUE(reread.takenByOther(name, std::nullopt, {})) << name;
    }

    // At once, from two threads as from two processes: every name given once and kept.
    QStringList given[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([&path, &list = given[t]] {
            UploadNames names(path);
            for (int i = 0; i < 60; ++i)
                list << names.reserve("Race", ".png", std::nullopt, {});
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const QStringList all = given[0] + given[1];
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 120);
    UploadNames after(path);
    for (const QString& name : all)
        ASSERT_TRUE(after.takenByOther(name, std::nullopt, {})) << name.toStdString();
    EXPECT_EQ(after.reserve("Race", ".png", std::nullopt, {}), "Race 121.png");
}

// A name given while the file cannot be written (a full disk, the other Kaptorix holding the
// lock too long) stays taken here and goes into the file with the next name, beside the
// other's; the file is never written without the lock.
TEST(UploadNames, ANameNotWrittenAtOnceIsWrittenLaterBesideTheOthers)
{
    for (const bool lockHeld : {false, true}) {
        SCOPED_TRACE(lockHeld ? "lock held" : "write failed");
        QTemporaryDir dir;
        const QString path = dir.filePath("names.json");
        const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
        UploadNames mine(path), other(path);
        EXPECT_EQ(other.reserve("Other", ".png", b, {}), "Other.png");
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        {
            const std::shared_ptr<void> held = lockHeld ? lockFile(dir.filePath("names.lock"), 0) : nullptr;
            if (!lockHeld)
                failWritesAfter(0);
            EXPECT_EQ(mine.reserve("Shot", ".png", a, {}), "Shot.png");
            failWritesAfter(-1);
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before);
        EXPECT_TRUE(mine.takenByOther("Shot.png", std::nullopt, {}));
        EXPECT_EQ(other.reserve("Third", ".png", b, {}), "Third.png");
        EXPECT_EQ(mine.reserve("Shot", ".png", std::nullopt, {}), "Shot 2.png");
        UploadNames reread(path);
        for (const auto& [name, owner] : {std::pair{"Other.png", b}, {"Shot.png", a}, {"Third.png", b}})
            EXPECT_FALSE(reread.takenByOther(name, owner, {})) << name;
    }

    // The folder removed while running: made again, lock and all, for the next name.
    QTemporaryDir dir;
    UploadNames names(dir.filePath("q/names.json"));
    QDir(dir.filePath("q")).removeRecursively();
    names.reserve("Shot", ".png", std::nullopt, {});
    EXPECT_TRUE(UploadNames(dir.filePath("q/names.json")).takenByOther("Shot.png", std::nullopt, {}));
}

TEST(UploadFolders, OwnerOnlyAndSweptWhenNoProcessHoldsThem)
{
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toUtf8());
    {
        WorkFolder work;
        ASSERT_TRUE(work.ok());
        EXPECT_EQ(mode(work.path()), 0700);
        EXPECT_TRUE(QFileInfo(work.path()).fileName().startsWith("Kaptorix-upload-"));
        QString why;
        ASSERT_TRUE(WorkFolder::writeImage(work.path() + "/x.png", "png", &why));
        EXPECT_EQ(mode(work.path() + "/x.png"), 0644);

        // Left by ended processes: an old folder with its lock free, and one without a lock.
        const QString left = tmp.filePath("Kaptorix-upload-LEFT"),
                      bare = tmp.filePath("Kaptorix-upload-BARE");
        QDir().mkpath(left);
        QFile(left + "/.lock").open(QIODevice::WriteOnly);
        QFile(left + "/askpass.sh").open(QIODevice::WriteOnly);
        QDir().mkpath(bare);
        // Kept: one another process holds, one just made, a link and someone else's name.
        const QString held = tmp.filePath("Kaptorix-upload-HELD"),
                      young = tmp.filePath("Kaptorix-upload-NEW");
        QDir().mkpath(held);
        const int fd = ::open(QFile::encodeName(held + "/.lock").constData(), O_CREAT | O_RDWR, 0600);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        QDir().mkpath(young);
        QDir().mkpath(tmp.filePath("target"));
        QFile::link(tmp.filePath("target"), tmp.filePath("Kaptorix-upload-LINK"));
        QDir().mkpath(tmp.filePath("Other-upload-X"));
        for (const QString& p : {left, bare, held, work.path(), tmp.filePath("Kaptorix-upload-LINK"),
                                 tmp.filePath("target"), tmp.filePath("Other-upload-X")})
            makeOld(p);

        EXPECT_EQ(RemoteUploader::sweepStaleWorkFolders(), 2);
        EXPECT_EQ(QDir(tmp.path()).entryList({"Kaptorix-upload-*"}, QDir::AllEntries | QDir::System),
                  (QStringList{QFileInfo(work.path()).fileName(), "Kaptorix-upload-HELD",
                               "Kaptorix-upload-LINK", "Kaptorix-upload-NEW"}));
        EXPECT_TRUE(QFileInfo::exists(tmp.filePath("target")));
        ::close(fd);
    }
    EXPECT_EQ(QDir(tmp.path()).entryList({"Kaptorix-upload-*"}, QDir::Dirs | QDir::NoSymLinks),
              (QStringList{"Kaptorix-upload-HELD", "Kaptorix-upload-NEW"}));
    qunsetenv("TMPDIR");

    // The queue folder and what it holds are the owner's alone, as are the folders made for it.
    UploadQueue queue(tmp.filePath("data/Kaptorix/UploadQueue"));
    EXPECT_EQ(mode(tmp.filePath("data")), 0700);
    EXPECT_EQ(mode(queue.dir()), 0700);
    const QUuid id = *queue.enqueue("png", "a.png", std::nullopt, "e");
    EXPECT_EQ(mode(queue.pngPath(id)), 0600);
    EXPECT_EQ(mode(queue.indexPath()), 0600);
}

// Quitting in the middle of an SFTP upload ends sftp and its ssh (the password is in their
// environment) and removes the work folder with the image and the askpass script.
TEST(UploadFolders, QuittingEndsTheTransferAndRemovesItsFolder)
{
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toUtf8());
    test::FakeSecretStore keys;
    const QString password = "pw-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    keys.secrets["remote.password"] = password;
    Keychain::setStore(&keys);
    UploadQueue queue(tmp.filePath("q"));
    RemoteUploader::useForTests(&queue, nullptr);
    RemoteUploader::setKnownHostsForTests(tmp.filePath("known_hosts"));
    test::StalledServer stalled;  // takes the connection and never answers: sftp waits
    ASSERT_TRUE(stalled.start());
    Prefs::set("remote.protocol", "sftp");
    Prefs::set("remote.host", "127.0.0.1");
    Prefs::set("remote.port", QString::number(stalled.port()));
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "");
    Prefs::set("remote.keyPath", "");

    qputenv("KAPTORIX_TEST_SSH_KNOWN_HOSTS", "/from-the-environment");
    QFuture<Outcome<std::optional<QString>>> sent = RemoteUploader::send("png", "x.png");
    const QByteArray entry = "KX_SFTP_PASS=" + password.toUtf8();
    ASSERT_TRUE(test::waitFor([&] { return processesWith(entry).size() >= 2; }, 20000))  // sftp and ssh
        << processesWith(entry).join(' ').toStdString();
    // ssh's known-hosts file comes from the tests' setter, never from the environment.
    QByteArray cmdlines;
    for (const QString& pid : processesWith(entry)) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        cmdlines += cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
    }
    EXPECT_TRUE(cmdlines.contains(QFile::encodeName(tmp.filePath("known_hosts"))));
    EXPECT_FALSE(cmdlines.contains("from-the-environment"));
    const QStringList folders = QDir(tmp.path()).entryList({"Kaptorix-upload-*"}, QDir::Dirs);
    ASSERT_EQ(folders.size(), 1);
    const QString work = tmp.filePath(folders[0]);
    EXPECT_EQ(mode(work), 0700);
    EXPECT_EQ(mode(work + "/x.png"), 0644);  // the folder keeps others out
    EXPECT_EQ(mode(work + "/askpass.sh"), 0700);

    RemoteUploader::abandonTransfers();
    EXPECT_TRUE(test::waitFor([&] { return processesWith(entry).isEmpty(); }, 5000))
        << processesWith(entry).join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_FALSE(sent.isFinished());

    RemoteUploader::setKnownHostsForTests(QString());
    RemoteUploader::useForTests(nullptr, nullptr);
    Keychain::setStore(nullptr);
    qunsetenv("KAPTORIX_TEST_SSH_KNOWN_HOSTS");
    qunsetenv("TMPDIR");
}

namespace {

// An SSH server that greets and then says nothing more: ssh waits for the key exchange.
class GreetingOnlyServer : public QTcpServer {
public:
    GreetingOnlyServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                s->setParent(this);
                s->write("SSH-2.0-Stalling\r\n");
            }
        });
    }
};

// Starts UploadStarter with `args` and a unique mark in its environment, waits until `children`
// processes of the upload carry the mark, kills the starter and gives the pids still marked
// after `graceMs` (and kills those, so a failure leaves nothing behind).
QStringList leftAfterKill(const QStringList& args, int children, int graceMs)
{
    QTemporaryDir tmp;
    const QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
    env.insert("TMPDIR", tmp.path());
    env.insert("KX_STARTER_MARK", mark);
    QProcess starter;
    starter.setProcessEnvironment(env);
    starter.start(KX_UPLOAD_STARTER, args);
    EXPECT_TRUE(starter.waitForStarted(30000));
    const QString starterPid = QString::number(starter.processId());
    const QByteArray entry = "KX_STARTER_MARK=" + mark.toUtf8();
    QStringList found;
    EXPECT_TRUE(test::waitFor(
        [&] {
            found = processesWith(entry);
            found.removeAll(starterPid);
            return found.size() >= children;
        },
        30000))
        << found.join(' ').toStdString();
    EXPECT_TRUE(test::signalChild(starter.processId(), SIGKILL));
    EXPECT_TRUE(starter.waitForFinished(30000));
    test::waitFor([&] { return processesWith(entry).isEmpty(); }, graceMs);
    const QStringList left = processesWith(entry);
    for (const QString& pid : left)
        ::kill(pid_t(pid.toInt()), SIGKILL);
    return left;
}

}  // namespace

// A kill of the program takes its curl or sftp along: none is left waiting on the server with
// the password.
TEST(UploadChildren, EndWithTheProgramThatStartedThem)
{
    test::StalledServer stalled;
    ASSERT_TRUE(stalled.start());
    const QStringList left =
        leftAfterKill({"http://127.0.0.1:" + QString::number(stalled.port()) + "/"}, 1, 30000);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// The same for SFTP: sftp and the ssh it started (the pass phrase is in their environment) end
// within seconds, even with the server stalling after its greeting.
TEST(UploadChildren, SftpAndItsSshEndWithTheProgram)
{
    QTemporaryDir tmp;
    GreetingOnlyServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QStringList left =
        leftAfterKill({"sftp", QString::number(server.serverPort()), tmp.filePath("known_hosts")}, 2, 10000);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// A deleted capture's upload name (made of its window title) and id leave the names file; the
// name stays taken, as a digest, so no later upload replaces the file its link serves.
TEST(UploadNames, ADeletedCaptureLeavesOnlyADigestThatKeepsItsNameTaken)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.json");
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
    const auto file = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray idA = a.toString(QUuid::WithoutBraces).toUpper().toLatin1();
    {
        UploadNames names(path);
        EXPECT_EQ(names.reserve("Bank statement", ".png", a, {}), "Bank statement.png");
        EXPECT_EQ(names.reserve("Notes", ".png", b, {}), "Notes.png");
        UploadNames other(path);  // another Kaptorix, holding the file as it was
        EXPECT_TRUE(names.forget({a}));
        EXPECT_FALSE(file().contains("Bank")) << file().constData();
        EXPECT_FALSE(file().contains(idA));
        EXPECT_TRUE(file().contains("Notes.png"));
        EXPECT_EQ(other.reserve("Bank statement", ".png", c, {}), "Bank statement 2.png");
        EXPECT_FALSE(file().contains("Bank statement.png")) << "the other brought it back";
    }
    UploadNames reread(path);
    EXPECT_TRUE(reread.takenByOther("BANK STATEMENT.png", c, {}));
    EXPECT_FALSE(reread.record("bank statement.png", c));
    EXPECT_EQ(reread.reserve("Bank statement", ".png", c, {}), "Bank statement 2.png");
    // At start: every capture the history lacks goes.
    EXPECT_TRUE(reread.forget({c}, true));
    EXPECT_FALSE(file().contains("Notes")) << file().constData();
    EXPECT_TRUE(file().contains("Bank statement 2.png"));
    EXPECT_EQ(UploadNames(path).reserve("Notes", ".png", b, {}), "Notes 2.png");
}

// The names follow the history: at start every capture it no longer has goes (deleted in an
// earlier run), then each one it loses.
TEST(UploadNames, TheHistoryLosingACaptureTakesItsNameOut)
{
    QTemporaryDir tmp;
    UploadQueue queue(tmp.filePath("q"));
    test::FakeRecognizer ocr;
    HistoryStore::Options o;
    o.dir = tmp.filePath("h");
    o.recognize = ocr.function();
    HistoryStore history(o);
    RemoteUploader::useForTests(&queue, &history);
    const auto add = [&] {
        QImage img(16, 16, QImage::Format_RGB32);
        img.fill(Qt::gray);
        return history.add(
            {img, 1.0, SourceKind::window, QStringLiteral("w"), QDateTime::currentDateTimeUtc()});
    };
    const HistoryEntry gone = add(), kept = add();
    upload::namesInUse().reserve("Bank statement", ".png", gone.id, {});
    upload::namesInUse().reserve("Notes", ".png", kept.id, {});
    upload::namesInUse().reserve("Old secret", ".png", QUuid::createUuid(), {});
    const auto file = [&] {
        QFile f(queue.dir() + "/uploaded-names.json");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    RemoteUploader::followHistory();
    EXPECT_FALSE(file().contains("Old secret")) << file().constData();
    EXPECT_TRUE(file().contains("Bank statement"));
    history.remove({gone.id});
    EXPECT_FALSE(file().contains("Bank")) << file().constData();
    EXPECT_TRUE(file().contains("Notes.png"));
    history.flush();
    RemoteUploader::useForTests(nullptr, nullptr);
}
