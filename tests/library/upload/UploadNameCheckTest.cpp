// The look at a name before an upload, against a scripted WebDAV server that replaces files
// (it ignores If-None-Match, as some do): only the look and the names given here keep an
// upload from replacing another file.
#include "TestSupport.h"
#include "core/AtomicFile.h"
#include "core/Prefs.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadNames.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QMap>
#include <QPromise>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

using namespace kx;

namespace {

// Answers curl's HEAD and PUT from `files`, one event-loop turn later and in order, so that
// uploads started together interleave as they would against a real server.
struct ScriptedServer {
    QMap<QString, QByteArray> files;

    QFuture<Outcome<ProcessOutput>> run(const ChildRequest& request)
    {
        auto promise = std::make_shared<QPromise<Outcome<ProcessOutput>>>();
        promise->start();
        const QString config = QString::fromUtf8(request.input);
        const QString url = QRegularExpression(R"re(\burl = "([^"]*)")re").match(config).captured(1);
        const QString name = QUrl::fromPercentEncoding(url.section('/', -1).toUtf8());
        const QString local =
            QRegularExpression(R"re(\bupload-file = "([^"]*)")re").match(config).captured(1);
        const bool head = config.split('\n').contains("head");
        QTimer::singleShot(0, [this, promise, name, local, head] {
            QString status = "404";
            if (head) {
                status = files.contains(name) ? "200" : "404";
            } else if (!local.isEmpty()) {
                QFile f(local);
                files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
                status = "201";
            }
            promise->addResult(Outcome<ProcessOutput>(ProcessOutput{status + ' ', {}, 0}));
            promise->finish();
        });
        return promise->future();
    }
};

}  // namespace

TEST(UploadNameCheck, NoUploadReplacesAFileOrTakesAnotherUploadsName)
{
    const struct {
        const char* what;
        QStringList givenToOthers;  // names given to earlier uploads without a history entry
        QList<QByteArray> sends;    // all as "Shot.png", started together
        QStringList names;          // on the server afterwards
    } cases[] = {
        {"a name the server has is taken", {}, {"one"}, {"Shot 2.png", "Shot.png"}},
        {"two at once never share the next name",
         {},
         {"one", "two"},
         {"Shot 2.png", "Shot 3.png", "Shot.png"}},
        {"no entry: a name another upload without one has is skipped",
         {"Shot 2.png"},
         {"one"},
         {"Shot 3.png", "Shot.png"}},
    };
    test::FakeSecretStore keys;
    Keychain::setStore(&keys);
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "https://dav.example.test/");
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "");
    Prefs::set("remote.publicURL", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        UploadQueue queue(dir.filePath("queue"));
        RemoteUploader::useForTests(&queue, nullptr);
        for (const QString& name : c.givenToOthers)
            UploadNames(queue.dir() + "/uploaded-names.json").record(name, std::nullopt);
        ScriptedServer server;
        server.files["Shot.png"] = "old";
        upload::setChildRunnerForTests([&](const ChildRequest& r) { return server.run(r); });

        QList<QFuture<Outcome<std::optional<QString>>>> sent;
        for (const QByteArray& png : c.sends)
            sent << RemoteUploader::send(png, "Shot.png");
        for (auto& f : sent) {
            ASSERT_TRUE(test::waitFor([&] { return f.isFinished(); }, 30000));
            EXPECT_TRUE(f.result().ok()) << f.result().message().toStdString();
        }
        EXPECT_EQ(server.files.keys(), c.names);
        EXPECT_EQ(server.files.value("Shot.png"), "old");
        QList<QByteArray> stored = server.files.values();
        stored.removeOne("old");
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(stored, c.sends);
        upload::setChildRunnerForTests({});
    }
    RemoteUploader::useForTests(nullptr, nullptr);
    Keychain::setStore(nullptr);
}

// Two Kaptorix of one user resend from one queue: this pass sends neither the item the other
// has claimed nor the one the other sent while this pass was busy, and counts neither.
TEST(UploadNameCheck, APassSendsOnlyTheItemsItClaimed)
{
    test::FakeSecretStore keys;
    Keychain::setStore(&keys);
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "https://dav.example.test/");
    Prefs::set("remote.folder", "");
    Prefs::set("remote.publicURL", "");
    QTemporaryDir dir;
    UploadQueue mine(dir.path()), other(dir.path());
    RemoteUploader::useForTests(&mine, nullptr);
    ScriptedServer server;
    upload::setChildRunnerForTests([&](const ChildRequest& r) { return server.run(r); });
    const QUuid x = *other.enqueue("x", "X.png", std::nullopt, "offline");
    const QUuid y = *mine.enqueue("y", "Y.png", std::nullopt, "offline");
    const QUuid z = *other.enqueue("z", "Z.png", std::nullopt, "offline");
    ASSERT_TRUE(test::waitFor([&] { return mine.items().size() == 3; }));
    UploadQueue::Claim sending = other.claim(x);
    ASSERT_EQ(sending.state, UploadQueue::Claim::State::claimed);
    // While this pass sends Y, the other sends Z; then the disk fills, so Y's removal waits.
    upload::setBeforeUploadForTests([&](const QString& name) {
        if (name == "Y.png") {
            UploadQueue::Claim claim = other.claim(z);
            EXPECT_EQ(claim.state, UploadQueue::Claim::State::claimed);
            other.remove(z, std::move(claim.held));
            failWritesAfter(0);
        }
    });
    QFuture<RetryTally> pass = RemoteUploader::shared().retryPass();
    ASSERT_TRUE(test::waitFor([&] { return pass.isFinished(); }, 30000));
    failWritesAfter(-1);
    EXPECT_EQ(other.claim(y).state, UploadQueue::Claim::State::elsewhere);  // sent: not again
    mine.save();
    EXPECT_EQ(server.files.keys(), QStringList{"Y.png"});
    EXPECT_EQ(pass.result().sent, 1);
    EXPECT_EQ(pass.result().total, 1);
    ASSERT_EQ(mine.items().size(), 1);
    EXPECT_EQ(mine.items()[0].id, x);
    EXPECT_EQ(mine.items()[0].attempts, 1);
    EXPECT_FALSE(QFile::exists(mine.pngPath(y)));

    // The other's send failed: the next pass here sends X.
    other.recordFailure(x, "offline");
    sending = {};
    pass = RemoteUploader::shared().retryPass();
    ASSERT_TRUE(test::waitFor([&] { return pass.isFinished(); }, 30000));
    EXPECT_EQ(server.files.value("X.png"), "x");
    EXPECT_EQ(pass.result().sent, 1);
    EXPECT_TRUE(UploadQueue(dir.path()).items().isEmpty());
    EXPECT_FALSE(QFile::exists(mine.pngPath(x)));
    upload::setBeforeUploadForTests({});
    upload::setChildRunnerForTests({});
    RemoteUploader::useForTests(nullptr, nullptr);
    Keychain::setStore(nullptr);
}
