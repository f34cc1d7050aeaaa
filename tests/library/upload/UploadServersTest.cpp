// Uploads against real servers on 127.0.0.1: rclone (WebDAV), pyftpdlib (FTP), sshd (SFTP).
#include "TestServers.h"
#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "fakes/FakeRecognizer.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

using namespace kx;

namespace {

const QString kPassword = R"(p@ss "quoted" \back)";
const QString kFailed = "Upload failed – saved for a retry";

template <class T>
T await(QFuture<T> f)
{
    EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 120000));
    return f.result();
}

class UploadServers : public ::testing::TestWithParam<RemoteProtocol> {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Keychain::setStore(&keys_);
        keys_.secrets["remote.password"] = kPassword;
        root_ = work_.filePath("root");
        QDir().mkpath(root_ + "/a/b");
        history_ = std::make_unique<HistoryStore>(
            HistoryStore::Options{work_.filePath("history"), {}, ocr_.function()});
        queue_ = std::make_unique<UploadQueue>(work_.filePath("queue"));
        RemoteUploader::useForTests(queue_.get(), history_.get());
        RemoteUploader::setTimeLimitMs(60000);
        qputenv("TMPDIR", work_.filePath("tmp").toUtf8());
        QDir().mkpath(work_.filePath("tmp"));
        startServer();
    }
    void startServer(const QString& password = kPassword)
    {
        const RemoteProtocol p = GetParam();
        if (p == RemoteProtocol::webdav)
            server_ = std::make_unique<test::WebDavServer>();
        else if (p == RemoteProtocol::ftp)
            server_ = std::make_unique<test::FtpServer>();
        else
            server_ = std::make_unique<test::SftpServer>();
        ASSERT_TRUE(server_->start(root_, "alice", password)) << server_->log().toStdString();
        if (auto* sftp = dynamic_cast<test::SftpServer*>(server_.get())) {
            Prefs::set("remote.keyPath", sftp->keyPath());
            RemoteUploader::setKnownHostsForTests(sftp->knownHostsPath());
            user_ = sftp->userName();
        }
        configure(server_->port());
    }
    void TearDown() override
    {
        qunsetenv("TMPDIR");
        QDir::setCurrent(QDir::tempPath());
        RemoteUploader::useForTests(nullptr, nullptr);
        RemoteUploader::setKnownHostsForTests(QString());
        Prefs::remove("filePattern");
        Keychain::setStore(nullptr);
        // The servers end with this test.
        const qint64 pid = server_->pid();
        server_.reset();
        EXPECT_FALSE(QFile::exists("/proc/" + QString::number(pid) + "/status") && pid > 0);
    }
    void configure(quint16 port, const QString& folder = "a/b")
    {
        const RemoteProtocol p = GetParam();
        Prefs::set("remote.protocol", rawValue(p));
        // WebDAV has its port in the address; the port field is for FTP and SFTP.
        const QString n = QString::number(port);
        Prefs::set("remote.host", p == RemoteProtocol::webdav ? "http://127.0.0.1:" + n + "/" : "127.0.0.1");
        Prefs::set("remote.port", p == RemoteProtocol::webdav ? QString() : n);
        Prefs::set("remote.user", p == RemoteProtocol::sftp ? user_ : "alice");
        Prefs::set("remote.folder", folder);
        Prefs::set("remote.publicURL", "img.example.test/s/");
    }
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray onServer(const QString& name) { return readAll(root_ + "/a/b/" + name); }
    UploadReport failingUpload(const QImage& image, const std::optional<HistoryEntry>& entry = {})
    {
        const UploadReport r = await(RemoteUploader::upload(image, 1, entry, QString("shot")));
        EXPECT_EQ(r.title, kFailed);
        EXPECT_TRUE(r.queued);
        return r;
    }

    QTemporaryDir work_;
    QString root_, user_;
    test::FakeSecretStore keys_;
    test::FakeRecognizer ocr_;
    std::unique_ptr<HistoryStore> history_;
    std::unique_ptr<UploadQueue> queue_;
    std::unique_ptr<test::ServerProcess> server_;
};

}  // namespace

TEST_P(UploadServers, SendsTestsAndRetries)
{
    EXPECT_EQ(await(RemoteUploader::testConnection()), "Connected – the folder is reachable.");
    const QString name = R"(Shot [draft] {1} "q" é.png)";
    const QByteArray png = "\x89PNG\r\n\x1a\n" + QByteArray(300000, '\7');
    const Outcome<std::optional<QString>> sent = await(RemoteUploader::send(png, name));
    ASSERT_TRUE(sent.ok()) << sent.message().toStdString();
    EXPECT_EQ(onServer(name), png);
    EXPECT_EQ(sent.value(), "https://img.example.test/s/Shot%20%5Bdraft%5D%20%7B1%7D%20%22q%22%20%C3%A9.png");
    // A mistyped folder is reported, and the test does not make it.
    configure(server_->port(), "missing");
    const QString missing = await(RemoteUploader::testConnection());
    EXPECT_EQ(missing, "The folder does not exist on the server.") << missing.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root_ + "/missing"));
    configure(server_->port());
    if (GetParam() == RemoteProtocol::webdav) {
        // A port kept from an earlier SFTP set-up, no longer shown, does not turn WebDAV elsewhere.
        Prefs::set("remote.port", QString::number(test::freeLoopbackPort()));
        EXPECT_EQ(await(RemoteUploader::testConnection()), "Connected – the folder is reachable.");
        configure(server_->port());
    }

    // Wrong password, then the stopped server: each failure is queued with its image.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const HistoryEntry entry =
        history_->add({image, 1, SourceKind::window, QString("Queued"), QDateTime::currentDateTime()});
    keys_.secrets["remote.password"] = "wrong";
    EXPECT_FALSE(failingUpload(image, entry).subtitle.isEmpty());
    keys_.secrets["remote.password"] = kPassword;
    server_->stop();
    EXPECT_FALSE(failingUpload(image).subtitle.isEmpty());
    ASSERT_EQ(queue_->items().size(), 2);
    EXPECT_EQ(queue_->items()[0].attempts, 1);
    const QByteArray queuedPng = readAll(queue_->pngPath(queue_->items()[0].id));
    QFuture<RetryTally> first = RemoteUploader::shared().retryPass();
    RemoteUploader::shared().retryPass();  // joins the running pass: no item is tried twice
    EXPECT_EQ(await(first).total, 2);
    await(RemoteUploader::shared().retryPass());
    EXPECT_EQ(queue_->items()[0].attempts, 3);

    // The stalled server: the transfer ends at the time limit.
    test::StalledServer stalled;
    ASSERT_TRUE(stalled.start());
    configure(stalled.port());
    RemoteUploader::setTimeLimitMs(2000);
    EXPECT_EQ(failingUpload(image).subtitle, "The server did not answer in time.");
    RemoteUploader::setTimeLimitMs(60000);

    // Hostile values are refused before anything runs; a title cannot smuggle an sftp command.
    QDir::setCurrent(work_.path());
    startServer();
    const QString control = "The upload settings contain a line break or another control character.";
    const QString address = "Invalid server address.";
    const auto refusal = [&](const char* key, const QString& value, const QString& name = "x.png") {
        Prefs::set(key, value);
        const QString message = await(RemoteUploader::send("png", name)).message();
        configure(server_->port());
        return message;
    };
    EXPECT_EQ(refusal("remote.folder", "a\n!touch MARKER\nb"), control);
    EXPECT_EQ(refusal("remote.user", "u\noutput = MARKER\nx"), control);
    EXPECT_EQ(refusal("remote.host", "-oProxyCommand=touch MARKER"), address);
    EXPECT_EQ(refusal("remote.user", "-oProxyCommand=touch MARKER"), address);
    EXPECT_EQ(refusal("remote.folder", "a/b", "x\n!touch MARKER\nb"), control);
    keys_.secrets["remote.password"] = "p\n!touch MARKER\nw";
    EXPECT_EQ(await(RemoteUploader::send("png", "x.png")).message(), control);
    keys_.secrets["remote.password"] = kPassword;

    // A successful upload runs one pass: the queue empties and the entry gets its link.
    const UploadReport done =
        await(RemoteUploader::upload(image, 1, std::nullopt, QString("x\n!touch MARKER")));
    EXPECT_TRUE(done.sent) << done.subtitle.toStdString();
    EXPECT_TRUE(queue_->items().isEmpty());
    EXPECT_TRUE(history_->entry(entry.id)->uploadURL.has_value());
    EXPECT_FALSE(QFile::exists(work_.filePath("MARKER")));
    EXPECT_TRUE(QDir(work_.filePath("tmp")).entryList({"Kaptorix-upload-*"}, QDir::AllEntries).isEmpty());
    EXPECT_EQ(
        onServer(QUrl::fromPercentEncoding(history_->entry(entry.id)->uploadURL->section('/', -1).toUtf8())),
        queuedPng);
}

// Two captures whose names follow a pattern without seconds, the first one failing and sent by
// the retry pass after the second: two files, each history link serving its own image.
TEST_P(UploadServers, NoUploadReplacesAnotherCapturesFile)
{
    Prefs::set("filePattern", "{title}");
    const auto image = [](QColor color) {
        QImage i(16, 16, QImage::Format_RGB32);
        i.fill(color);
        return i;
    };
    const auto capture = [&](QColor color) {
        return history_->add(
            {image(color), 1, SourceKind::window, QString("Shot"), QDateTime::currentDateTime()});
    };
    const HistoryEntry first = capture(Qt::red), second = capture(Qt::blue);
    keys_.secrets["remote.password"] = "wrong";
    const UploadReport failed = await(RemoteUploader::upload(image(Qt::red), 1, first, QString("Shot")));
    ASSERT_TRUE(failed.queued) << failed.subtitle.toStdString();
    keys_.secrets["remote.password"] = kPassword;
    const UploadReport done = await(RemoteUploader::upload(image(Qt::blue), 1, second, QString("Shot")));
    ASSERT_TRUE(done.sent) << done.subtitle.toStdString();
    EXPECT_TRUE(queue_->items().isEmpty());

    QStringList files = QDir(root_ + "/a/b").entryList(QDir::Files);
    files.sort(Qt::CaseInsensitive);
    EXPECT_EQ(files, (QStringList{"Shot 2.png", "Shot.png"}));
    for (const auto& [entry, color] :
         {std::pair{first, QColor(Qt::red)}, std::pair{second, QColor(Qt::blue)}}) {
        const std::optional<QString> link = history_->entry(entry.id)->uploadURL;
        ASSERT_TRUE(link.has_value());
        const QImage served =
            QImage::fromData(onServer(QUrl::fromPercentEncoding(link->section('/', -1).toUtf8())), "PNG");
        ASSERT_FALSE(served.isNull()) << link->toStdString();
        EXPECT_EQ(served.pixelColor(0, 0), color) << link->toStdString();
    }
}

// A file of that name already on the server (put there by another computer, or before the
// names were remembered here) stays as it is: the upload takes the next number, and the link says so.
TEST_P(UploadServers, AFileAlreadyOnTheServerIsNeverReplaced)
{
    Prefs::set("filePattern", "{title}");
    QFile old(root_ + "/a/b/Shot.png");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::green);
    const HistoryEntry entry =
        history_->add({image, 1, SourceKind::window, QString("Shot"), QDateTime::currentDateTime()});
    const UploadReport done = await(RemoteUploader::upload(image, 1, entry, QString("Shot")));
    ASSERT_TRUE(done.sent) << done.subtitle.toStdString();
    EXPECT_EQ(onServer("Shot.png"), "old");
    EXPECT_EQ(QImage::fromData(onServer("Shot 2.png"), "PNG").pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(done.subtitle, "https://img.example.test/s/Shot%202.png");
    EXPECT_EQ(history_->entry(entry.id)->uploadURL, done.subtitle);

    // Two at once that both find the name taken never move on to the same next one.
    QFuture<Outcome<std::optional<QString>>> one = RemoteUploader::send("one", "Shot.png"),
                                             two = RemoteUploader::send("two", "Shot.png");
    QSet<QByteArray> served;
    for (QFuture<Outcome<std::optional<QString>>>& f : {std::ref(one), std::ref(two)}) {
        const Outcome<std::optional<QString>> sent = await(f);
        ASSERT_TRUE(sent.ok()) << sent.message().toStdString();
        served << onServer(QUrl::fromPercentEncoding(sent.value()->section('/', -1).toUtf8()));
    }
    EXPECT_EQ(served, (QSet<QByteArray>{"one", "two"}));
    EXPECT_EQ(onServer("Shot.png"), "old");
}

// Folders beginning with "-" are folders, on every protocol: made when missing, used when there.
TEST_P(UploadServers, AFolderBeginningWithADashIsAFolder)
{
    configure(server_->port(), "-shots/-new");
    if (GetParam() == RemoteProtocol::webdav)
        QDir().mkpath(root_ + "/-shots/-new");  // WebDAV does not make folders
    for (const QString name : {"one.png", "two.png"}) {
        const Outcome<std::optional<QString>> sent =
            await(RemoteUploader::send("png " + name.toUtf8(), name));
        EXPECT_TRUE(sent.ok()) << sent.message().toStdString();
        EXPECT_EQ(readAll(root_ + "/-shots/-new/" + name), "png " + name.toUtf8());
    }
    EXPECT_EQ(await(RemoteUploader::testConnection()), "Connected – the folder is reachable.");
}

// sftp's put gives the server's copy the local file's mode: a web server running as another
// account must be able to read it.
TEST_P(UploadServers, TheSftpCopyIsReadableByOthers)
{
    if (GetParam() != RemoteProtocol::sftp)
        GTEST_SKIP() << "the server's own choice for WebDAV and FTP";
    ASSERT_TRUE(await(RemoteUploader::send("png", "x.png")).ok());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(root_ + "/a/b/x.png").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A ":" in the user name is part of the name: the login goes to the host of the settings.
TEST_P(UploadServers, AColonInTheUserNeverChangesTheHost)
{
    if (GetParam() != RemoteProtocol::sftp)
        GTEST_SKIP() << "curl never reads the user as an address";
    Prefs::set("remote.user", "127.0.0.2:x");
    EXPECT_FALSE(await(RemoteUploader::send("png", "x.png")).ok());
    // This server had the login (sshd reads what follows a ":" as an authentication style).
    QString log;
    EXPECT_TRUE(
        test::waitFor([&] { return (log += server_->log()).contains("Invalid user 127.0.0.2 from"); }, 30000))
        << log.toStdString();
}

// Another computer writes the name between the look and the upload: its file stays as it is and
// the upload moves on to the next number, leaving no temporary file behind.
TEST_P(UploadServers, ANameTakenAfterTheLookIsNeverReplaced)
{
    if (GetParam() != RemoteProtocol::sftp)
        GTEST_SKIP() << "FTP has no write that refuses a name; WebDAV's refusal is in UploadAnswersTest";
    Prefs::set("filePattern", "{title}");
    QStringList written;
    upload::setBeforeUploadForTests([&](const QString& name) {
        QFile other(root_ + "/a/b/" + name);
        if (written.isEmpty() && other.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
            other.write("other") == 5)
            written << name;
    });
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::green);
    const HistoryEntry entry =
        history_->add({image, 1, SourceKind::window, QString("Shot"), QDateTime::currentDateTime()});
    const UploadReport done = await(RemoteUploader::upload(image, 1, entry, QString("Shot")));
    upload::setBeforeUploadForTests({});
    ASSERT_TRUE(done.sent) << done.subtitle.toStdString();
    EXPECT_EQ(written, QStringList{"Shot.png"});
    EXPECT_EQ(onServer("Shot.png"), "other");
    EXPECT_EQ(QImage::fromData(onServer("Shot 2.png"), "PNG").pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(done.subtitle, "https://img.example.test/s/Shot%202.png");
    EXPECT_EQ(QDir(root_ + "/a/b").entryList(QDir::Files | QDir::Hidden),
              (QStringList{"Shot 2.png", "Shot.png"}));
}

// "server" is a word of nearly every reason and "http" of every address: with either as the
// password, each reason the user meets reads whole, in the toast and in the queue alike.
TEST_P(UploadServers, APasswordThatIsAWordOfTheReasonsHidesNoneOfThem)
{
    const RemoteProtocol p = GetParam();
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString refused =
        p == RemoteProtocol::webdav
            ? "The server refused the user name or password (HTTP 401)."
            : "The server refused the login: check the user name and password (or key) in "
              "Settings → Upload.";
    for (const QString password : {"server", "http"}) {
        SCOPED_TRACE(password.toStdString());
        server_.reset();
        startServer(password);
        keys_.secrets["remote.password"] = password;
        EXPECT_EQ(await(RemoteUploader::testConnection()), "Connected – the folder is reachable.");
        configure(server_->port(), "missing/" + password);
        EXPECT_EQ(await(RemoteUploader::testConnection()), "The folder does not exist on the server.");
        QStringList reasons;
        // WebDAV never makes a folder; FTP and SFTP do.
        const UploadReport intoMissing =
            await(RemoteUploader::upload(image, 1, std::nullopt, QString("shot")));
        if (p == RemoteProtocol::webdav)
            reasons
                << "The folder does not exist on the server: create it there or choose another in Settings → "
                   "Upload.";
        else
            EXPECT_TRUE(intoMissing.sent) << intoMissing.subtitle.toStdString();
        configure(server_->port());
        Prefs::set("remote.user", "mallory");
        const UploadReport wrongUser = await(RemoteUploader::upload(image, 1, std::nullopt, QString("shot")));
        reasons << refused;
        configure(server_->port());
        server_->stop();
        const UploadReport stopped = await(RemoteUploader::upload(image, 1, std::nullopt, QString("shot")));
        reasons
            << "The server could not be reached: check the address and port in Settings → Upload, and that "
               "the server is running.";

        QList<UploadReport> failed{wrongUser, stopped};
        if (p == RemoteProtocol::webdav)
            failed.prepend(intoMissing);
        ASSERT_EQ(queue_->items().size(), failed.size());
        for (qsizetype i = 0; i < failed.size(); ++i) {
            EXPECT_EQ(failed[i].title, kFailed);
            EXPECT_EQ(failed[i].subtitle.toStdString(), reasons[i].toStdString());
            EXPECT_EQ(queue_->items()[i].lastError.toStdString(), reasons[i].toStdString());
        }
        for (const PendingUpload& item : queue_->items())
            queue_->remove(item.id);
    }
}

INSTANTIATE_TEST_SUITE_P(All, UploadServers,
                         ::testing::Values(RemoteProtocol::webdav, RemoteProtocol::ftp,
                                           RemoteProtocol::sftp));
