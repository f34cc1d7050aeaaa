// One transfer over each protocol against curl and sftp played in memory: the walk over taken
// names gives up, a name taken after the look moves the upload on without replacing anything,
// what a broken upload left on the server is removed, and a password that is a word of the
// reasons hides only where a server echoes it. No display, no server.
#include "TestSupport.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/ServerAnswer.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

using namespace kx;

namespace {

// The quoted arguments of a curl configuration line or an sftp command, unescaped.
QStringList quotedArguments(const QString& line)
{
    QStringList out;
    static const QRegularExpression quoted(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    for (const QRegularExpressionMatch& m : quoted.globalMatch(line))
        out << m.captured(1).replace(QRegularExpression(QStringLiteral(R"(\\(.))")), QStringLiteral("\\1"));
    return out;
}

// curl and sftp as far as the uploader uses them, over files kept by their path from the login
// folder ("a/b/Shot.png"). Answers come at once; a failure is given as the real runner gives it.
struct FakePrograms {
    QMap<QString, QByteArray> files;
    QStringList log;  // "look", "store", "delete" and "rename" with their paths
    bool ftpBreaksOff = false;
    bool refuseRename = false;
    QString echo;  // what the server says of every upload instead of storing it

    QFuture<Outcome<ProcessOutput>> run(const ChildRequest& r)
    {
        const QStringList lines = QString::fromUtf8(r.input).split('\n', Qt::SkipEmptyParts);
        const ProcessOutput out = r.program.endsWith(QLatin1String("curl")) ? curl(lines) : sftp(lines);
        if (out.exitCode != 0 && !r.anyExitStatus)
            return QtFuture::makeReadyFuture(Outcome<ProcessOutput>(
                UploadError{upload::failureMessage(out.err, out.exitCode, "en", r.secret)}));
        return QtFuture::makeReadyFuture(Outcome<ProcessOutput>(out));
    }

private:
    static QString pathOf(QString p)
    {
        if (p.startsWith(QLatin1String("./")))
            p.remove(0, 2);
        return p.startsWith('/') ? p.mid(1) : p;
    }
    static QByteArray read(const QString& local)
    {
        QFile f(local);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    ProcessOutput curl(const QStringList& lines)
    {
        QMap<QString, QStringList> config;
        for (const QString& line : lines)
            config[line.section(' ', 0, 0)] << quotedArguments(line).value(0);
        const QUrl url(config.value("url").value(0));
        const bool webdav = url.scheme().startsWith(QLatin1String("http"));
        const QString path = pathOf(url.path());
        if (config.contains("quote")) {
            const QString target = config["quote"][0].section(' ', 1);
            log << "delete " + target;
            files.remove(target);
            return {};
        }
        if (config.contains("head")) {
            log << "look " + path;
            if (webdav)
                return {files.contains(path) ? "200 " : "404 ", "", 0};
            return {"", "", files.contains(path) ? 0 : 78};
        }
        if (!config.contains("upload-file"))  // the connection test
            return {webdav ? "207 " : "", "", 0};
        if (!echo.isEmpty())
            return webdav ? ProcessOutput{echo, "", 0} : ProcessOutput{"", echo + '\n', 1};
        const QByteArray png = read(config["upload-file"][0]);
        if (webdav && config.value("header").contains("If-None-Match: *") && files.contains(path))
            return {"412 ", "", 0};
        log << "store " + path;
        if (!webdav && ftpBreaksOff) {
            files[path] = png.left(png.size() / 2);
            return {"426", "curl: (18) server did not report OK, got 426\n", 18};
        }
        files[path] = png;
        return {webdav ? "201 " : "226", "", 0};
    }

    ProcessOutput sftp(const QStringList& commands)
    {
        ProcessOutput o;
        for (const QString& command : commands) {
            const QStringList args = quotedArguments(command);
            o.out += "sftp> " + command + '\n';
            if (command.startsWith(QLatin1String("-ls -l ")) || command.startsWith(QLatin1String("ls -l "))) {
                log << "look " + pathOf(args[0]);
                if (files.contains(pathOf(args[0])))
                    o.out += QStringLiteral("-rw-r--r--    1 u  u  %1 Jan  1 00:00 %2\n")
                                 .arg(files[pathOf(args[0])].size())
                                 .arg(args[0]);
                else
                    o.err += "Can't ls: \"/r/" + args[0] + "\" not found\n";
            } else if (command.startsWith(QLatin1String("put "))) {
                if (!echo.isEmpty()) {  // the batch stops at a failed put
                    o.err += "dest open \"/r/" + pathOf(args[1]) + "\": " + echo + '\n';
                    o.exitCode = 1;
                    break;
                }
                log << "store " + pathOf(args[1]);
                files[pathOf(args[1])] = read(args[0]);
            } else if (command.startsWith(QLatin1String("-rename -l "))) {
                const QString from = pathOf(args[0]), to = pathOf(args[1]);
                if (refuseRename || files.contains(to)) {
                    o.err += "remote rename \"/r/" + from + "\" to \"/r/" + to +
                             "\": " + (refuseRename ? "Permission denied" : "Failure") + '\n';
                } else {
                    log << "rename " + to;
                    files[to] = files.take(from);
                }
            } else if (command.startsWith(QLatin1String("-rm "))) {
                log << "delete " + pathOf(args[0]);
                files.remove(pathOf(args[0]));
            } else if (command.startsWith(QLatin1String("-df "))) {
                o.out +=
                    "        Size         Used        Avail       (root)    %Capacity\n"
                    "        1000           10          990          990           1%\n";
            }
        }
        return o;
    }
};

class UploadTransfer : public ::testing::TestWithParam<RemoteProtocol> {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Keychain::setStore(&keys_);
        keys_.secrets["remote.password"] = "server";
        queue_ = std::make_unique<UploadQueue>(dir_.filePath("queue"));
        RemoteUploader::useForTests(queue_.get(), nullptr);
        upload::setChildRunnerForTests([this](const ChildRequest& r) { return server_.run(r); });
        const RemoteProtocol p = GetParam();
        Prefs::set("remote.protocol", rawValue(p));
        Prefs::set("remote.host",
                   p == RemoteProtocol::webdav ? "https://dav.example.test/" : "files.example.test");
        Prefs::set("remote.port", QString());
        Prefs::set("remote.user", "alice");
        Prefs::set("remote.folder", "a/b");
        Prefs::set("remote.publicURL", "");
    }
    void TearDown() override
    {
        upload::setBeforeUploadForTests({});
        upload::setChildRunnerForTests({});
        RemoteUploader::useForTests(nullptr, nullptr);
        Keychain::getAsync("drain").waitForFinished();
        Keychain::setStore(nullptr);
    }
    Outcome<std::optional<QString>> send(const QByteArray& png, const QString& name = "Shot.png")
    {
        QFuture<Outcome<std::optional<QString>>> f = RemoteUploader::send(png, name);
        EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 30000));
        return f.result();
    }
    // Names in the folder that are none of the capture's (an sftp upload's temporary file).
    QStringList strays() const
    {
        return server_.files.keys().filter(QRegularExpression(QStringLiteral("\\.part$")));
    }

    QTemporaryDir dir_;
    test::FakeSecretStore keys_;
    std::unique_ptr<UploadQueue> queue_;
    FakePrograms server_;
};

}  // namespace

// More names taken than an upload may look at: it gives up, having replaced nothing, instead of
// walking on to a free number far away.
TEST_P(UploadTransfer, TheWalkOverTakenNamesGivesUp)
{
    server_.files["a/b/Shot.png"] = "other";
    for (int n = 2; n <= 300; ++n)
        server_.files[QStringLiteral("a/b/Shot %1.png").arg(n)] = "other";
    const Outcome<std::optional<QString>> sent = send("png");
    EXPECT_EQ(sent.message(), "Every name tried is already taken on the server.");
    EXPECT_EQ(server_.files.size(), 300);
    EXPECT_EQ(server_.files.keys(QByteArray("png")), QStringList{});
    const qsizetype looks = server_.log.filter(QRegularExpression("^look ")).size();
    EXPECT_GE(looks, 60);
    EXPECT_LE(looks, 72);
    EXPECT_EQ(strays(), QStringList{});
}

// Another computer writes the name between the look and the upload: its file stays, the upload
// takes the next number. FTP has no write that refuses a name.
TEST_P(UploadTransfer, ANameTakenAfterTheLookMovesOnWithoutReplacing)
{
    if (GetParam() == RemoteProtocol::ftp)
        GTEST_SKIP() << "FTP has no write that refuses a name";
    upload::setBeforeUploadForTests([&](const QString& name) {
        if (!server_.files.contains("a/b/" + name) && name == "Shot.png")
            server_.files["a/b/" + name] = "other";
    });
    Prefs::set("remote.publicURL", "img.example.test");
    const Outcome<std::optional<QString>> sent = send("png");
    ASSERT_TRUE(sent.ok()) << sent.message().toStdString();
    EXPECT_EQ(sent.value(), "https://img.example.test/Shot%202.png");
    EXPECT_EQ(server_.files.value("a/b/Shot.png"), "other");
    EXPECT_EQ(server_.files.value("a/b/Shot 2.png"), "png");
    EXPECT_EQ(strays(), QStringList{});
    // The file went up once: an sftp upload renames what it put, it does not put it again.
    EXPECT_EQ(server_.log.filter(QRegularExpression("^store ")).size(), 1);
}

// A transfer that broke off, or a rename the server refused: what the upload left on the server
// is removed, and the reason says what happened.
TEST_P(UploadTransfer, WhatABrokenUploadLeftIsRemoved)
{
    if (GetParam() == RemoteProtocol::webdav)
        GTEST_SKIP() << "a WebDAV server stores a file whole or not at all";
    server_.ftpBreaksOff = server_.refuseRename = true;
    const QString reason = GetParam() == RemoteProtocol::ftp
                               ? "The server broke off the transfer (reply 426) – its disk may be full."
                               : "The server did not let the uploaded file be renamed: Permission denied.";
    EXPECT_EQ(send("png").message(), reason);
    EXPECT_TRUE(server_.files.isEmpty()) << server_.files.keys().join(", ").toStdString();
    EXPECT_EQ(server_.log.filter(QRegularExpression("^delete ")).size(), 1)
        << server_.log.join(", ").toStdString();
}

// The password "server" is a word of nearly every reason: the reason of a failed upload keeps
// all its words, as the toast and the queue show it, and still hides the password where the
// server echoed it: in the address it sent the upload to, in curl's or sftp's line.
TEST_P(UploadTransfer, APasswordThatIsAWordOfTheReasonsHidesOnlyItsEcho)
{
    for (const QString password : {"server", "http"}) {
        SCOPED_TRACE(password.toStdString());
        keys_.secrets["remote.password"] = password;
        QString reason;
        switch (GetParam()) {
            case RemoteProtocol::webdav:
                server_.echo = "301 http://alice:" + password + "@dav.example.test/" + password +
                               "/Shot.png?p=" + password;
                reason =
                    "The server moved to http://dav.example.test/•••/Shot.png: change the address in "
                    "Settings → Upload.";
                break;
            case RemoteProtocol::ftp:
                server_.echo = "curl: (8) Got a 500 reply: '" + password + "' is not allowed here";
                reason = "curl: (8) Got a 500 reply: '•••' is not allowed here";
                break;
            case RemoteProtocol::sftp:
                server_.echo = password + " is not allowed here";
                reason = "The server did not write the file: ••• is not allowed here.";
                break;
        }
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QFuture<UploadReport> f = RemoteUploader::upload(image, 1, std::nullopt, QString("Shot"));
        ASSERT_TRUE(test::waitFor([&] { return f.isFinished(); }, 30000));
        EXPECT_EQ(f.result().title, "Upload failed – saved for a retry");
        EXPECT_EQ(f.result().subtitle, reason);
        ASSERT_FALSE(queue_->items().isEmpty());
        EXPECT_EQ(queue_->items().last().lastError, reason);
    }
}

INSTANTIATE_TEST_SUITE_P(All, UploadTransfer,
                         ::testing::Values(RemoteProtocol::webdav, RemoteProtocol::ftp, RemoteProtocol::sftp),
                         [](const ::testing::TestParamInfo<RemoteProtocol>& info) {
                             return rawValue(info.param).toStdString();
                         });
