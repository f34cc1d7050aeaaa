// The upload password never leaves the keyring: a server that redirects with a relative Location
// makes curl write the login into the address it reports. After an upload, a retry and a
// connection test through the program's own queue, toasts and Upload page, the password is
// searched for in every notice, every file written under the test's home and temporary folder,
// and every text of the Upload page.
#include "TestServers.h"
#include "TestSupport.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "fakes/FakeRecognizer.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/ServerAnswer.h"
#include "library/upload/UploadQueue.h"
#include "library/upload/UploadTransfer.h"
#include "settings/SecretField.h"
#include "settings/SettingsForm.h"
#include "settings/UploadTab.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

using namespace kx;

namespace {

// Every toast shown, title and second line.
class ToastWatch : public QObject {
public:
    QStringList seen;
    ToastWatch() { qApp->installEventFilter(this); }
    ~ToastWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show) {
            if (auto* t = dynamic_cast<ToastView*>(o))
                seen << t->title() + " / " + t->subtitle();
        }
        return false;
    }
};

template <class T>
T await(QFuture<T> f)
{
    EXPECT_TRUE(test::waitFor([&] { return f.isFinished(); }, 120000));
    return f.result();
}

// The forms the secret can take in a text: as typed, as an address writes it (either case of
// hex), and any "user:…@" login.
QStringList secretForms(const QString& password)
{
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
    return {password, encoded, encoded.toLower(), "alice:"};
}

QStringList leaks(const QString& where, const QString& text, const QString& password)
{
    QStringList found;
    for (const QString& form : secretForms(password)) {
        if (text.contains(form, Qt::CaseSensitive))
            found << where + ": " + text.left(400);
    }
    return found;
}

}  // namespace

TEST(UploadSecrets, ARelativeRedirectNeverShowsOrStoresThePassword)
{
    Lang::overrideForTests("en");
    const QString password = R"(s3cr/t p@ss "q" \b?x#y)";
    test::FakeSecretStore keys;
    keys.secrets["remote.password"] = password;
    Keychain::setStore(&keys);
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toUtf8());
    test::FakeRecognizer ocr;
    const QString home = qEnvironmentVariable("HOME");
    HistoryStore history(HistoryStore::Options{home + "/data/test-history", {}, ocr.function()});
    RemoteUploader::useForTests(nullptr, &history);  // the program's own queue

    test::RedirectingServer server;
    ASSERT_TRUE(server.start({}, {}, {})) << server.log().toStdString();
    Prefs::registerDefaults();
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", "http://127.0.0.1:" + QString::number(server.port()) + "/dav");
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.folder", "shots");
    Prefs::set("remote.publicURL", "img.example.test/s/");
    Prefs::set("filePattern", "{title}");

    ToastWatch toasts;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const HistoryEntry entry =
        history.add({image, 1, SourceKind::window, QString("Shot"), QDateTime::currentDateTime()});
    const UploadReport r = await(RemoteUploader::upload(image, 1, entry, QString("Shot")));
    EXPECT_TRUE(r.queued);
    // The user still learns where the server points, without the login and the query.
    const QString moved = "http://127.0.0.1:" + QString::number(server.port()) + "/moved/dav/shots/Shot.png";
    EXPECT_EQ(r.subtitle, "The server moved to " + moved + ": change the address in Settings → Upload.");
    await(RemoteUploader::shared().retryPass());
    ASSERT_EQ(UploadQueue::shared().items().size(), 1);
    EXPECT_EQ(UploadQueue::shared().items()[0].attempts, 2);

    UploadTab tab;
    tab.resize(640, 900);
    tab.show();
    tab.testButton()->click();
    ASSERT_TRUE(test::waitFor([&] { return tab.testResult()->text() != "…"; }, 60000));
    EXPECT_TRUE(tab.testResult()->toolTip().contains("/moved/dav/shots/"))
        << tab.testResult()->toolTip().toStdString();

    QStringList found;
    ASSERT_GE(toasts.seen.size(), 2);  // "Uploading…" and the failure
    for (const QString& t : toasts.seen)
        found << leaks("toast", t, password);
    QStringList texts;
    for (QWidget* w : tab.findChildren<QWidget*>()) {
        if (w == tab.passwordField()->edit())
            continue;
        texts << w->toolTip();
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* l = dynamic_cast<ElidedLabel*>(w))
            texts << l->fullText();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->text();
    }
    EXPECT_TRUE(texts.join('\n').contains("/moved/dav/shots/Shot.png"));  // the queue row
    for (const QString& t : texts)
        found << leaks("Upload page", t, password);
    // Every file the program wrote: settings, data (queue, names, history), pictures, temporary.
    int files = 0;
    for (const QString& root : {home, tmp.path()}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (f.open(QIODevice::ReadOnly)) {
                ++files;
                found << leaks(path, QString::fromUtf8(f.readAll()), password);
            }
        }
    }
    EXPECT_TRUE(QFile::exists(UploadQueue::shared().dir() + "/queue.json"));
    EXPECT_GE(files, 3);
    EXPECT_TRUE(found.isEmpty()) << found.join("\n").toStdString();

    for (const PendingUpload& item : UploadQueue::shared().items())
        UploadQueue::shared().remove(item.id);
    RemoteUploader::useForTests(nullptr, nullptr);
    Prefs::remove("filePattern");
    Keychain::getAsync("drain").waitForFinished();
    Keychain::setStore(nullptr);
    qunsetenv("TMPDIR");
}

// A program that prints the password itself (a debugging line, a server echoing the login):
// the reason of the upload and of the connection test hides it, on every protocol.
TEST(UploadSecrets, APasswordAProgramPrintsIsHidden)
{
    Lang::overrideForTests("en");
    const QString password = "hunter2 secret";
    test::FakeSecretStore keys;
    keys.secrets["remote.password"] = password;
    Keychain::setStore(&keys);
    QTemporaryDir queueDir;
    UploadQueue queue(queueDir.path());
    RemoteUploader::useForTests(&queue, nullptr);
    // As the real runner: a failed child gives its output only to a caller that judges it, and
    // hides the password it was given in the reason it makes of it.
    upload::setChildRunnerForTests([&](const ChildRequest& r) {
        const QString err = "debug1: login alice with " + password + "\nrefused\n";
        return QtFuture::makeReadyFuture(
            r.anyExitStatus
                ? Outcome<ProcessOutput>(ProcessOutput{"", err, 1})
                : Outcome<ProcessOutput>(UploadError{upload::failureMessage(err, 1, "en", r.secret)}));
    });
    Prefs::set("remote.host", "127.0.0.1");
    Prefs::set("remote.user", "alice");
    for (const char* protocol : {"webdav", "ftp", "sftp"}) {
        SCOPED_TRACE(protocol);
        Prefs::set("remote.protocol", protocol);
        const QString sent = await(RemoteUploader::send("png", "x.png")).message();
        const QString tested = await(RemoteUploader::testConnection());
        for (const QString& text : {sent, tested}) {
            EXPECT_FALSE(text.contains("hunter2")) << text.toStdString();
            EXPECT_TRUE(text.contains("•••")) << text.toStdString();
        }
    }
    upload::setChildRunnerForTests({});
    RemoteUploader::useForTests(nullptr, nullptr);
    Keychain::getAsync("drain").waitForFinished();
    Keychain::setStore(nullptr);
}

// "server" is a word of the reasons and "http" of every address: with either as the password,
// a server that sends the upload elsewhere (curl writes the login into the address, the server
// echoes the folder named after the password) has its address told whole but for the password,
// in the toast, the queue and the connection test.
TEST(UploadSecrets, APasswordThatIsAWordIsHiddenOnlyWhereTheServerEchoesIt)
{
    Lang::overrideForTests("en");
    test::FakeSecretStore keys;
    Keychain::setStore(&keys);
    QTemporaryDir queueDir;
    UploadQueue queue(queueDir.path());
    RemoteUploader::useForTests(&queue, nullptr);
    test::RedirectingServer server;
    ASSERT_TRUE(server.start({}, {}, {})) << server.log().toStdString();
    const QString address = "http://127.0.0.1:" + QString::number(server.port());
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.host", address + "/dav");
    Prefs::set("remote.user", "alice");
    Prefs::set("remote.publicURL", "");
    Prefs::set("filePattern", "{title}");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    // "Shot" also begins the name the program gives the file: that name is told whole.
    for (const QString password : {"server", "http", "Shot"}) {
        SCOPED_TRACE(password.toStdString());
        keys.secrets["remote.password"] = password;
        Prefs::set("remote.folder", "shots-" + password);
        const QString moved = "The server moved to " + address +
                              "/moved/dav/shots-•••/%1: change the address in Settings → Upload.";
        const UploadReport r = await(RemoteUploader::upload(image, 1, std::nullopt, QString("Shot")));
        EXPECT_EQ(r.title, "Upload failed – saved for a retry");
        ASSERT_FALSE(queue.items().isEmpty());
        const QString name =
            QUrl::toPercentEncoding(queue.items().last().fileName);  // "Shot 2.png" the 2nd time
        EXPECT_EQ(r.subtitle.toStdString(), moved.arg(name).toStdString());
        EXPECT_EQ(queue.items().last().lastError, r.subtitle);
        EXPECT_EQ(await(RemoteUploader::testConnection()), moved.arg(QString()));
    }
    RemoteUploader::useForTests(nullptr, nullptr);
    Prefs::remove("filePattern");
    Keychain::getAsync("drain").waitForFinished();
    Keychain::setStore(nullptr);
}
