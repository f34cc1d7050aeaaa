// Servers that fail an upload half-way, for real: a disk that fills during the transfer (a
// small tmpfs in the server's own mount namespace), a connection that drops between the put and
// the rename, a refused rename, a folder the login may not write, every name taken. No broken
// or temporary file is left under any name, and the reason says what happened.
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
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

using namespace kx;
using Kind = test::SftpServer::Kind;

namespace {

const QString kPassword = "pass phrase 1";

class UploadFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Keychain::setStore(&keys_);
        keys_.secrets["remote.password"] = kPassword;
        root_ = work_.filePath("root");
        QDir().mkpath(root_);
        history_ = std::make_unique<HistoryStore>(
            HistoryStore::Options{work_.filePath("history"), {}, ocr_.function()});
        queue_ = std::make_unique<UploadQueue>(work_.filePath("queue"));
        RemoteUploader::useForTests(queue_.get(), history_.get());
        RemoteUploader::setTimeLimitMs(60000);
        Prefs::set("filePattern", "{title}");
    }
    void TearDown() override
    {
        upload::setBeforeUploadForTests({});
        RemoteUploader::useForTests(nullptr, nullptr);
        RemoteUploader::setKnownHostsForTests(QString());
        Prefs::remove("filePattern");
        Prefs::remove("remote.keyPath");
        Keychain::setStore(nullptr);
    }
    // Starts the server; `diskBytes` > 0 puts its folder on a tmpfs of that size.
    bool start(RemoteProtocol p, Kind kind = Kind::plain, qint64 diskBytes = 0)
    {
        if (p == RemoteProtocol::webdav) {
            server_ = std::make_unique<test::WebDavServer>();
        } else if (p == RemoteProtocol::ftp) {
            server_ = std::make_unique<test::FtpServer>();
        } else {
            auto sftp = std::make_unique<test::SftpServer>();
            sftp->setKind(kind);
            server_ = std::move(sftp);
        }
        server_->setRootOnTmpfs(diskBytes);
        if (!server_->start(root_, "alice", kPassword))
            return false;
        QString user = "alice";
        if (auto* sftp = dynamic_cast<test::SftpServer*>(server_.get())) {
            Prefs::set("remote.keyPath", sftp->keyPath());
            RemoteUploader::setKnownHostsForTests(sftp->knownHostsPath());
            user = sftp->userName();
        }
        Prefs::set("remote.protocol", rawValue(p));
        const QString port = QString::number(server_->port());
        // WebDAV has its port in the address.
        Prefs::set("remote.host",
                   p == RemoteProtocol::webdav ? "http://127.0.0.1:" + port + "/" : "127.0.0.1");
        Prefs::set("remote.port", p == RemoteProtocol::webdav ? QString() : port);
        Prefs::set("remote.user", user);
        Prefs::set("remote.folder", "a/b");
        Prefs::set("remote.publicURL", "img.example.test/s/");
        return QDir().mkpath(folder());
    }
    // A mount namespace of its own with a tmpfs needs the right to (root, outside a locked-down
    // container).
    static bool privateMountsWork()
    {
        QProcess p;
        p.start("unshare", {"-m", "--propagation", "private", "/bin/sh", "-c",
                            "mount -t tmpfs -o size=64k kx-test /mnt"});
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    QString folder() const { return server_->seen(root_ + "/a/b"); }
    // Takes "Shot.png" to "Shot 80.png" before the look (or after it) and uploads a "Shot".
    void everyNameTakenGivesUp(const QList<bool>& when);
    QStringList filesLeft() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // A capture whose PNG (noise, about 190 KB) is larger than the small disks below.
    UploadReport upload()
    {
        QImage image(160, 160, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, QRandomGenerator::global()->generate());
        }
        QFuture<UploadReport> f = RemoteUploader::upload(image, 1, std::nullopt, QString("Shot"));
        EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 300000));
        return f.result();
    }
    void expectQueuedWith(const UploadReport& r, const QString& reason)
    {
        EXPECT_FALSE(r.sent);
        EXPECT_TRUE(r.queued);
        EXPECT_EQ(r.subtitle.toStdString(), reason.toStdString());
        ASSERT_EQ(queue_->items().size(), 1);
        EXPECT_EQ(queue_->items()[0].lastError, r.subtitle);
    }

    QTemporaryDir work_;
    QString root_;
    test::FakeSecretStore keys_;
    test::FakeRecognizer ocr_;
    std::unique_ptr<HistoryStore> history_;
    std::unique_ptr<UploadQueue> queue_;
    std::unique_ptr<test::ServerProcess> server_;
};

}  // namespace

// The disk fills during the put: no file of the capture's name, no temporary file.
TEST_F(UploadFailures, AFullDiskLeavesNoFileOnAnSftpServer)
{
    if (!privateMountsWork())
        GTEST_SKIP() << "no tmpfs can be mounted in a mount namespace here";
    ASSERT_TRUE(start(RemoteProtocol::sftp, Kind::plain, 64 * 1024)) << server_->log().toStdString();
    expectQueuedWith(upload(), "The server's disk is full.");
    EXPECT_EQ(filesLeft(), QStringList{});
}

TEST_F(UploadFailures, AFullDiskLeavesNoFileOnAnFtpServer)
{
    if (!privateMountsWork())
        GTEST_SKIP() << "no tmpfs can be mounted in a mount namespace here";
    ASSERT_TRUE(start(RemoteProtocol::ftp, Kind::plain, 64 * 1024)) << server_->log().toStdString();
    expectQueuedWith(upload(), "The server broke off the transfer (reply 426) – its disk may be full.");
    EXPECT_EQ(filesLeft(), QStringList{});
}

// sftp's own word for a dropped connection is "Connection closed"; the temporary file written
// before it is removed in a session of its own.
TEST_F(UploadFailures, AConnectionLostAfterThePutLeavesNoTemporaryFile)
{
    ASSERT_TRUE(start(RemoteProtocol::sftp, Kind::dropAtRename)) << server_->log().toStdString();
    expectQueuedWith(upload(), "The connection to the server was lost.");
    EXPECT_EQ(filesLeft(), QStringList{});
}

// A refused rename is not a taken name: the upload gives up at once, without the temporary file.
TEST_F(UploadFailures, ARefusedRenameGivesUpAndRemovesTheTemporaryFile)
{
    ASSERT_TRUE(start(RemoteProtocol::sftp, Kind::refuseRename)) << server_->log().toStdString();
    expectQueuedWith(upload(), "The server did not let the uploaded file be renamed: Permission denied.");
    EXPECT_EQ(filesLeft(), QStringList{});
}

// The put's own error, not the listings after it.
TEST_F(UploadFailures, AFolderTheLoginMayNotWriteSaysSo)
{
    ASSERT_TRUE(start(RemoteProtocol::sftp, Kind::obeyFileModes)) << server_->log().toStdString();
    ASSERT_TRUE(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    expectQueuedWith(upload(), "The server did not write the file: Permission denied.");
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(filesLeft(), QStringList{});
}

// Every name the upload may take is on the server, either before the look or (written by another
// computer) between the look and the rename: the upload gives up, replacing nothing and leaving
// no temporary file.
TEST_F(UploadFailures, EveryNameTakenGivesUp)
{
    ASSERT_TRUE(start(RemoteProtocol::sftp)) << server_->log().toStdString();
    everyNameTakenGivesUp({false, true});
}

// WebDAV and FTP look at each name on its own: the walk gives up there too. A name taken after the
// look is WebDAV's own refusal (UploadAnswersTest); FTP has none.
TEST_F(UploadFailures, EveryNameTakenGivesUpOverWebDavAndFtp)
{
    for (const RemoteProtocol p : {RemoteProtocol::webdav, RemoteProtocol::ftp}) {
        SCOPED_TRACE(rawValue(p).toStdString());
        ASSERT_TRUE(start(p)) << server_->log().toStdString();
        everyNameTakenGivesUp({false});
        server_.reset();
    }
}

void UploadFailures::everyNameTakenGivesUp(const QList<bool>& when)
{
    const auto takeNames = [&](int from, int to) {
        for (int n = from; n <= to; ++n) {
            QFile f(folder() + (n == 1 ? QString("/Shot.png") : QString("/Shot %1.png").arg(n)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("other") == 5);
        }
    };
    const auto others = [&] {
        QStringList names = filesLeft();
        names.removeIf([&](const QString& n) {
            QFile f(folder() + '/' + n);
            return f.open(QIODevice::ReadOnly) && f.readAll() == "other";
        });
        return names;
    };
    for (const bool afterTheLook : when) {
        SCOPED_TRACE(afterTheLook ? "taken after the look" : "taken before the look");
        queue_->remove(queue_->items().value(0).id);
        if (afterTheLook)
            upload::setBeforeUploadForTests([&](const QString&) { takeNames(1, 80); });
        else
            takeNames(1, 80);
        expectQueuedWith(upload(), "Every name tried is already taken on the server.");
        upload::setBeforeUploadForTests({});
        EXPECT_EQ(others(), QStringList{});
        for (const QString& n : filesLeft())
            QFile::remove(folder() + '/' + n);
    }
}
