#include "TestSupport.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadQueue.h"
#include "settings/SettingsForm.h"
#include "settings/UploadTab.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

using namespace kx;

namespace {

Outcome<ProcessOutput> run(const QString& script, const QByteArray& input = {}, int limitMs = 60000,
                           const QString& program = "/bin/sh", const QString& secret = {})
{
    ChildRequest request{program, {"-c", script}, {{"KX_V", "v"}}, input, limitMs};
    request.secret = secret;
    QFuture<Outcome<ProcessOutput>> f = runChild(request);
    EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 60000));
    return f.result();
}

}  // namespace

// The wording in every language is checked where the messages are made (UploadPlanTest).
TEST(UploadRunner, MessagesOfFailedChildren)
{
    Lang::overrideForTests("hu");
    EXPECT_EQ(run("exit 4").message(), "Sikertelen (4-es kilépési kód)");
    Lang::overrideForTests("en");
    EXPECT_EQ(run("printf 'a\\nb\\n\\n c \\n' >&2; exit 3").message(), "b c");
    // The password the child was given is hidden in what it printed, not in the program's words.
    EXPECT_EQ(run("echo 'the server took server' >&2; exit 3", {}, 60000, "/bin/sh", "server").message(),
              "the ••• took •••");
    EXPECT_EQ(run("exit 5", {}, 60000, "/bin/sh", "exit").message(), "Failed (exit code 5)");
    const Outcome<ProcessOutput> missing = run("", {}, 1000, "/nonexistent/curl");
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.message().isEmpty());
}

TEST(UploadRunner, InputAndBothOutputsTogether)
{
    // More than a pipe holds on both channels at once: reading one after the other would stall.
    const QByteArray input(1 << 20, 'x');
    const Outcome<ProcessOutput> r = run("tee /dev/stderr; printf %s \"$KX_V\"", input);
    ASSERT_TRUE(r.ok()) << r.message().toStdString();
    EXPECT_EQ(r.value().out, QString(input) + "v");
    EXPECT_EQ(r.value().err, QString(input));
}

TEST(UploadRunner, TimeLimitKillsTheChildAndWhatItStarted)
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    Lang::overrideForTests("en");
    EXPECT_EQ(run("sleep 60 & echo $! > " + pidFile + "; wait", {}, 500).message(),
              "The server did not answer in time.");
    QFile f(pidFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString proc = "/proc/" + QString(f.readAll()).trimmed();
    const auto alive = [&] {  // gone, or a zombie nobody reaps
        QFile stat(proc + "/stat");
        return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z");
    };
    EXPECT_TRUE(test::waitFor([&] { return !alive(); }));
}

TEST(UploadRunner, PassKeepsUnreadableImagesAndAFailedQueueingSaysSo)
{
    QTemporaryDir dir;
    test::FakeSecretStore keys;  // never the desktop keyring
    Keychain::setStore(&keys);
    UploadQueue queue(dir.filePath("q"));
    RemoteUploader::useForTests(&queue, nullptr);
    Prefs::set("remote.host", "http://127.0.0.1:9");
    const QUuid failing = *queue.enqueue("png", "fails.png", std::nullopt, "e");
    const QUuid gone = *queue.enqueue("png", "gone.png", std::nullopt, "e");
    const QUuid unreadable = *queue.enqueue("png", "dir.png", std::nullopt, "e");
    QFile::remove(queue.pngPath(gone));
    QFile::remove(queue.pngPath(unreadable));
    QDir().mkpath(queue.pngPath(unreadable));  // exists, but cannot be read as a file
    QFuture<RetryTally> pass = RemoteUploader::shared().retryPass();
    QFuture<RetryTally> joined = RemoteUploader::shared().retryPass();  // joins the running pass
    ASSERT_TRUE(test::waitFor([&] { return pass.isFinished() && joined.isFinished(); }, 60000));
    ASSERT_EQ(queue.items().size(), 2);
    EXPECT_EQ(queue.items()[0].id, failing);
    EXPECT_EQ(queue.items()[1].id, unreadable);
    EXPECT_EQ(queue.items()[0].attempts, 2);
    EXPECT_EQ(queue.items()[1].attempts, 2);
    EXPECT_EQ(joined.result().total, 3);

    // The queue folder turns into a file: the image cannot be kept, and the toast says so.
    QDir(dir.filePath("q")).removeRecursively();
    QFile(dir.filePath("q")).open(QIODevice::WriteOnly);
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QFuture<UploadReport> r = RemoteUploader::upload(image, 1, std::nullopt, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return r.isFinished(); }, 60000));
    EXPECT_EQ(r.result().title, "Upload failed – not kept for a retry");
    EXPECT_FALSE(r.result().queued);
    EXPECT_EQ(queue.items().size(), 2);
    RemoteUploader::useForTests(nullptr, nullptr);
    Keychain::setStore(nullptr);
}

// The queue's lock cannot be taken: the upload that failed is told as not kept, with both
// reasons, never as saved for a retry; nothing of it waits anywhere, and the Upload page, which
// lists the program's queue, does not show it.
TEST(UploadRunner, AFailedUploadTheQueueCannotSaveIsToldAsNotKept)
{
    Lang::overrideForTests("en");
    test::FakeSecretStore keys;
    Keychain::setStore(&keys);
    UploadQueue& queue = UploadQueue::shared();
    RemoteUploader::useForTests(nullptr, nullptr);
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "http://127.0.0.1:9");
    const QString lock = queue.dir() + "/queue.lock";
    QFile::remove(lock);
    ASSERT_TRUE(QDir().mkpath(lock));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QFuture<UploadReport> r = RemoteUploader::upload(image, 1, std::nullopt, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return r.isFinished(); }, 60000));
    EXPECT_EQ(r.result().title, "Upload failed – not kept for a retry");
    EXPECT_EQ(r.result().subtitle,
              "The upload queue could not be saved: " + QString::fromLocal8Bit(std::strerror(EISDIR)) +
                  " – The server could not be reached: check the address and port in "
                  "Settings → Upload, and that the server is running.");
    EXPECT_FALSE(r.result().queued);
    EXPECT_TRUE(queue.items().isEmpty());
    EXPECT_TRUE(QDir(queue.dir()).entryList({"*.png"}, QDir::Files).isEmpty());
    UploadTab tab;
    QStringList shown;
    for (const QLabel* label : tab.findChildren<QLabel*>()) {
        const auto* elided = dynamic_cast<const ElidedLabel*>(label);
        shown << (elided ? elided->fullText() : label->text());
    }
    EXPECT_TRUE(shown.contains("Nothing is waiting. Failed uploads are kept here and retried."))
        << shown.join(" | ").toStdString();
    EXPECT_TRUE(tab.findChildren<QWidget*>("queueName").isEmpty());
    QDir(lock).removeRecursively();
    Keychain::getAsync("drain").waitForFinished();
    Keychain::setStore(nullptr);
}
