// WebDAV servers as found in the wild, played by a small HTTP server on 127.0.0.1: every answer
// but a stored file is a failure that waits in the queue and says why; a 412 moves the name on.
#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "fakes/FakeRecognizer.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadQueue.h"

#include <gtest/gtest.h>
#include <QMap>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace kx;

namespace {

struct Reply {
    int status = 404;
    QByteArray headers;  // extra header lines, each ended by "\r\n"
    QByteArray body;
};

// Answers each request by its method and the file name it names; records the requests.
class FakeDav : public QTcpServer {
public:
    std::function<Reply(const QByteArray& method, const QString& name)> answer;
    QStringList seen;                  // "PUT Shot.png", ...
    QMap<QString, QByteArray> stored;  // bodies of PUTs answered 2xx

    FakeDav()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
            }
        });
    }

private:
    void serve(QTcpSocket* s)
    {
        QByteArray buffer = s->property("buffer").toByteArray() + s->readAll();
        s->setProperty("buffer", buffer);
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        qsizetype length = 0;
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
            if (line.toLower().startsWith("expect:") && !s->property("continued").toBool()) {
                s->setProperty("continued", true);
                s->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
        }
        if (buffer.size() < end + 4 + length)
            return;
        const QByteArray method = first.value(0);
        const QString name = QUrl::fromPercentEncoding(first.value(1).split('/').last());
        seen << QString::fromLatin1(method) + ' ' + name;
        const Reply r = answer(method, name);
        if (method == "PUT" && r.status / 100 == 2)
            stored[name] = buffer.mid(end + 4, length);
        s->write("HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n" + r.headers +
                 "Content-Length: " + QByteArray::number(method == "HEAD" ? 0 : r.body.size()) +
                 "\r\nConnection: close\r\n\r\n" + (method == "HEAD" ? QByteArray() : r.body));
        s->disconnectFromHost();
    }
};

class UploadAnswers : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Keychain::setStore(&keys_);
        keys_.secrets["remote.password"] = "pw";
        history_ = std::make_unique<HistoryStore>(
            HistoryStore::Options{work_.filePath("history"), {}, ocr_.function()});
        queue_ = std::make_unique<UploadQueue>(work_.filePath("queue"));
        RemoteUploader::useForTests(queue_.get(), history_.get());
        RemoteUploader::setTimeLimitMs(60000);
        ASSERT_TRUE(dav_.listen(QHostAddress::LocalHost));
        Prefs::set("filePattern", "{title}");
        Prefs::set("remote.protocol", "webdav");
        Prefs::set("remote.host", "http://127.0.0.1:" + QString::number(dav_.serverPort()) + "/dav");
        Prefs::set("remote.user", "alice");
        Prefs::set("remote.folder", "shots");
        Prefs::set("remote.publicURL", "img.example.test/s/");
    }
    void TearDown() override
    {
        RemoteUploader::useForTests(nullptr, nullptr);
        Prefs::remove("filePattern");
        Keychain::setStore(nullptr);
    }
    UploadReport upload(const HistoryEntry& entry)
    {
        QFuture<UploadReport> f = RemoteUploader::upload(image_, 1, entry, QString("Shot"));
        EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 120000));
        return f.result();
    }
    HistoryEntry capture()
    {
        return history_->add({image_, 1, SourceKind::window, QString("Shot"), QDateTime::currentDateTime()});
    }

    QTemporaryDir work_;
    test::FakeSecretStore keys_;
    test::FakeRecognizer ocr_;
    std::unique_ptr<HistoryStore> history_;
    std::unique_ptr<UploadQueue> queue_;
    FakeDav dav_;
    QImage image_ = [] {
        QImage i(8, 8, QImage::Format_RGB32);
        i.fill(Qt::red);
        return i;
    }();
};

}  // namespace

TEST_F(UploadAnswers, AnAnswerThatStoredNothingIsQueuedWithItsReason)
{
    const QByteArray moved = "Location: https://dav.example.test/dav/shots/Shot.png\r\n";
    const struct {
        const char* what;
        Reply head, put;
        QString reason;
        bool putSeen;
    } cases[] = {
        {"PUT moved",
         {404},
         {301, moved, "<html>Moved</html>"},
         "The server moved to https://dav.example.test/dav/shots/Shot.png: change the address in Settings → "
         "Upload.",
         true},
        {"PUT 500 page",
         {404},
         {500, {}, "<html><body><h1>Internal Server Error</h1></body></html>"},
         "The server did not store the file (HTTP 500).",
         true},
        {"HEAD moved",
         {302, moved},
         {201},
         "The server moved to https://dav.example.test/dav/shots/Shot.png: change the address in Settings → "
         "Upload.",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dav_.seen.clear();
        dav_.answer = [&](const QByteArray& method, const QString&) {
            return method == "HEAD" ? c.head : c.put;
        };
        const qsizetype before = queue_->items().size();
        const HistoryEntry entry = capture();
        const UploadReport r = upload(entry);
        EXPECT_FALSE(r.sent);
        EXPECT_TRUE(r.queued);
        EXPECT_EQ(r.title, "Upload failed – saved for a retry");
        EXPECT_EQ(r.subtitle, c.reason);
        ASSERT_EQ(queue_->items().size(), before + 1);
        EXPECT_EQ(queue_->items().last().lastError, c.reason);
        EXPECT_FALSE(history_->entry(entry.id)->uploadURL.has_value());
        EXPECT_EQ(!dav_.seen.filter(QRegularExpression("^PUT ")).isEmpty(), c.putSeen)
            << dav_.seen.join(", ").toStdString();
    }
}

// A server that keeps conditions refuses to replace a file the look did not see: the upload
// takes the next number, and the link says so.
TEST_F(UploadAnswers, A412TakesTheNextNumber)
{
    dav_.answer = [&](const QByteArray& method, const QString& name) {
        if (method == "HEAD")
            return Reply{404};
        return name == "Shot.png" ? Reply{412} : Reply{201};
    };
    const HistoryEntry entry = capture();
    const UploadReport r = upload(entry);
    ASSERT_TRUE(r.sent) << r.subtitle.toStdString();
    EXPECT_EQ(r.subtitle, "https://img.example.test/s/Shot%202.png");
    EXPECT_EQ(dav_.stored.keys(), QStringList{"Shot 2.png"});
    EXPECT_EQ(QImage::fromData(dav_.stored.value("Shot 2.png"), "PNG").pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(history_->entry(entry.id)->uploadURL, r.subtitle);
    EXPECT_TRUE(queue_->items().isEmpty());
}
