#include "TestSupport.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "library/upload/ChildRunner.h"
#include "library/upload/RemoteUploader.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

using namespace kx;

namespace {

Outcome<ProcessOutput> run(const QString& script, const QByteArray& input = {}, int limitMs = 60000,
                           const QString& program = "/bin/sh")
{
    QFuture<Outcome<ProcessOutput>> f = runChild({program, {"-c", script}, {{"KX_V", "v"}}, input, limitMs});
    EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 60000));
    return f.result();
}

}  // namespace

TEST(UploadRunner, MessagesOfFailedChildren)
{
    const struct {
        QString lang, empty;
    } langs[] = {{"en", "Failed (exit code 4)"},
                 {"hu", "Sikertelen (4-es kilépési kód)"},
                 {"de", "Fehlgeschlagen (Exit-Code 4)"}};
    for (const auto& l : langs) {
        Lang::overrideForTests(l.lang);
        EXPECT_EQ(run("exit 4").message(), l.empty);
    }
    Lang::overrideForTests("en");
    EXPECT_EQ(run("printf 'a\\nb\\n\\n c \\n' >&2; exit 3").message(), "b c");
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
    EXPECT_TRUE(test::waitFor(
        [&] { return !QFile::exists(proc + "/cmdline") || QFile(proc + "/cmdline").size() == 0; }));
}

TEST(UploadRunner, NoWorkFolderIsLeftAfterAFailure)
{
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toUtf8());
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "http://127.0.0.1:9");  // discard port: nothing listens
    QFuture<Outcome<std::optional<QString>>> f = RemoteUploader::send("png", "a.png");
    ASSERT_TRUE(test::waitFor([&] { return f.isFinished(); }, 60000));
    EXPECT_FALSE(f.result().ok());
    EXPECT_TRUE(QDir(tmp.path()).entryList({"Kaptorix-upload-*"}, QDir::AllEntries).isEmpty());
    qunsetenv("TMPDIR");
}
