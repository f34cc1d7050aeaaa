// "Test connection" against a real WebDAV server on 127.0.0.1, with a typed password not yet written.
#include "core/Prefs.h"
#include "library/upload/RemoteUploader.h"
#include "platform/Keychain.h"
#include "settings/SecretField.h"
#include "settings/UploadTab.h"

#include "TestServers.h"
#include "TestSupport.h"
#include "fakes/FakeSecretStore.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

namespace kx {
namespace {

TEST(SettingsTestConnection, TypedPasswordIsTestedAndAWrongOneRefused)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("shots");
    test::WebDavServer server;
    if (!server.start(root.path(), "alice", "s3cret"))
        GTEST_SKIP() << "rclone could not start: " << qPrintable(server.log());
    test::FakeSecretStore keyring;
    Keychain::setStore(&keyring);
    Prefs::registerDefaults();
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "http://127.0.0.1:" + QString::number(server.port()) + "/");
    Prefs::set("remote.port", "22");  // kept from an SFTP set-up, hidden for WebDAV: not used
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "shots");

    UploadTab tab;
    QLineEdit* password = tab.passwordField()->edit();
    ASSERT_TRUE(test::waitFor([&] { return password->isEnabled(); }));
    for (const auto& [typed, success] : {std::pair{"s3cret", true}, std::pair{"wrong", false}}) {
        password->clear();
        QTest::keyClicks(password, typed);
        tab.testButton()->click();  // at once: the edit has not been written yet
        EXPECT_EQ(tab.testResult()->text(), "…");
        ASSERT_TRUE(test::waitFor([&] { return tab.testResult()->text() != "…"; }, 60000));
        EXPECT_EQ(keyring.secrets.value("remote.password"), typed);
        EXPECT_EQ(tab.testResult()->text() == "Connected – the folder is reachable.", success)
            << qPrintable(tab.testResult()->text());
    }
    Keychain::getAsync("drain").waitForFinished();
    Keychain::setStore(nullptr);
}

// An SSH server that, before any key exchange, says goodbye with markup that would load a
// picture; OpenSSH prints the message as it came.
class DisconnectingSshServer : public QTcpServer {
public:
    explicit DisconnectingSshServer(const QByteArray& message) : message_(message)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                s->setParent(this);
                s->write("SSH-2.0-Fake\r\n");
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\n") || s->property("said").toBool())
                        return;
                    s->setProperty("said", true);
                    s->write(disconnectPacket());
                    s->disconnectFromHost();
                });
            }
        });
    }

private:
    // SSH_MSG_DISCONNECT, reason 2 (protocol error), in an unencrypted binary packet.
    QByteArray disconnectPacket() const
    {
        const auto u32 = [](quint32 v) {
            const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
            return QByteArray(bytes, 4);
        };
        const QByteArray payload = QByteArray(1, char(1)) + u32(2) + u32(message_.size()) + message_ + u32(0);
        int padding = 8 - (5 + payload.size()) % 8;
        if (padding < 4)
            padding += 8;
        return u32(1 + payload.size() + padding) + char(padding) + payload + QByteArray(padding, '\0');
    }
    QByteArray message_;
};

TEST(SettingsTestConnection, AServersMarkupIsShownAsText)
{
    QTemporaryDir dir;
    QImage magenta(48, 48, QImage::Format_RGB32);
    magenta.fill(QColor(255, 0, 255));
    ASSERT_TRUE(magenta.save(dir.filePath("m.png")));
    const QByteArray markup = "<img src=\"" + dir.filePath("m.png").toUtf8() + "\"><b>BOLD</b>";
    DisconnectingSshServer server(markup);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    test::FakeSecretStore keyring;
    Keychain::setStore(&keyring);
    RemoteUploader::setKnownHostsForTests(dir.filePath("known_hosts"));
    Prefs::registerDefaults();
    Prefs::set("remote.protocol", "sftp");
    Prefs::set("remote.host", "127.0.0.1");
    Prefs::set("remote.port", QString::number(server.serverPort()));
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "");
    Prefs::set("remote.keyPath", "");

    UploadTab tab;
    tab.resize(700, 900);
    tab.show();
    tab.testButton()->click();
    ASSERT_TRUE(test::waitFor([&] { return tab.testResult()->text() != "…"; }, 60000));
    QLabel* answer = tab.testResult();
    EXPECT_TRUE(answer->text().contains(markup)) << qPrintable(answer->text());
    EXPECT_EQ(answer->textFormat(), Qt::PlainText);
    const QImage shown = answer->grab().toImage();
    int pink = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            pink += shown.pixelColor(x, y) == QColor(255, 0, 255);
    EXPECT_EQ(pink, 0) << "the server's picture was loaded";
    // Its tool tip shows the same words, not the picture.
    QTextDocument tip;
    tip.setHtml(answer->toolTip());
    EXPECT_TRUE(tip.toPlainText().contains(markup)) << qPrintable(answer->toolTip());
    RemoteUploader::setKnownHostsForTests(QString());
    Keychain::setStore(nullptr);
}

// A long answer (a banner of thousands of characters) shows two lines, the last one cut
// with "…", and the whole text in its tool tip.
TEST(SettingsTestConnection, ALongAnswerShowsAFewLinesAndTheRestInItsToolTip)
{
    QTemporaryDir dir;
    const QByteArray message =
        QByteArray("The server is closed for maintenance until tomorrow. ").repeated(60).trimmed();
    DisconnectingSshServer server(message);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    test::FakeSecretStore keyring;
    Keychain::setStore(&keyring);
    RemoteUploader::setKnownHostsForTests(dir.filePath("known_hosts"));
    Prefs::registerDefaults();
    Prefs::set("remote.protocol", "sftp");
    Prefs::set("remote.host", "127.0.0.1");
    Prefs::set("remote.port", QString::number(server.serverPort()));
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "");
    Prefs::set("remote.keyPath", "");

    UploadTab tab;
    tab.resize(700, 900);
    tab.show();
    tab.testButton()->click();
    ASSERT_TRUE(test::waitFor([&] { return tab.testResult()->text() != "…"; }, 60000));
    QLabel* answer = tab.testResult();
    QTextDocument tip;
    tip.setHtml(answer->toolTip());
    const QString whole = tip.toPlainText().simplified();
    ASSERT_TRUE(whole.contains(message.left(300))) << qPrintable(whole);
    // ssh keeps about 500 bytes of a message: still far more than a few lines.
    EXPECT_TRUE(answer->text().endsWith("…")) << qPrintable(answer->text());
    EXPECT_TRUE(whole.startsWith(answer->text().chopped(1).trimmed())) << qPrintable(answer->text());
    const int line = answer->fontMetrics().lineSpacing();
    const auto needed = [&] { return answer->heightForWidth(answer->width()); };
    EXPECT_GT(needed(), line);
    EXPECT_LE(needed(), 2 * line + 4);
    EXPECT_TRUE(test::waitFor([&] { return answer->height() >= needed(); }, 20000))
        << answer->height() << " of " << needed();
    RemoteUploader::setKnownHostsForTests(QString());
    Keychain::setStore(nullptr);
}

}  // namespace
}  // namespace kx
