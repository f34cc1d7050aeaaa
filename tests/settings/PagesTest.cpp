// The settings window and its pages offscreen, over a slow fake keyring and a fake uploader.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "help/HelpWindowController.h"
#include "platform/Autostart.h"
#include "platform/Keychain.h"
#include "settings/AITab.h"
#include "settings/CaptureTab.h"
#include "settings/GeneralTab.h"
#include "settings/SecretField.h"
#include "settings/SettingsForm.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "settings/UploadService.h"
#include "settings/UploadTab.h"

#include "TestSupport.h"
#include "fakes/FakeSecretStore.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QToolButton>

namespace kx {
namespace {

// A keyring that answers slowly and remembers on which thread it was asked.
class SlowKeyring : public test::FakeSecretStore {
public:
    QStringList writes;  // read by the test only after the writes were announced
    std::atomic<bool> calledOnUiThread = false;
    std::optional<QString> get(const QString& account) override
    {
        calledOnUiThread = calledOnUiThread || QThread::currentThread() == qApp->thread();
        QThread::msleep(150);
        return FakeSecretStore::get(account);
    }
    bool set(const QString& account, const QString& value) override
    {
        calledOnUiThread = calledOnUiThread || QThread::currentThread() == qApp->thread();
        writes << account + '=' + value;
        return FakeSecretStore::set(account, value);
    }
};

template <typename T>
QFuture<T> pending(std::vector<std::unique_ptr<QPromise<T>>>& list)
{
    list.emplace_back(new QPromise<T>)->start();
    return list.back()->future();
}

class FakeUploads : public UploadService {
public:
    QList<Item> queue;
    std::vector<std::unique_ptr<QPromise<QString>>> tests;
    std::vector<std::unique_ptr<QPromise<RetrySummary>>> passes;
    QFuture<QString> testConnection() override { return pending(tests); }
    void answer(size_t i, const QString& text) { tests[i]->addResult(text), tests[i]->finish(); }
    QList<Item> items() const override { return queue; }
    void remove(const QUuid& id) override
    {
        queue.removeIf([&](const Item& i) { return i.id == id; });
        Q_EMIT queueChanged();
    }
    bool retrying() const override { return !passes.empty(); }
    QFuture<RetrySummary> retryAll() override
    {
        Q_EMIT retryingChanged(true);
        return pending(passes);
    }
    void finishPass(RetrySummary s)
    {
        passes.back()->addResult(s);
        passes.back()->finish();
        passes.clear();
        Q_EMIT retryingChanged(false);
    }
};

class SettingsPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Prefs::registerDefaults();
        for (const QString& k : Prefs::registeredKeys())
            Prefs::remove(k);
        Keychain::setStore(&keyring);
        Keychain::getAsync("drain").waitForFinished();  // reads of earlier pages are done
        keyring.secrets.clear();
        keyring.writes.clear();
        keyring.unavailable = false;
        keyring.calledOnUiThread = false;
        UploadService::setShared(&uploads);
    }
    void TearDown() override { UploadService::setShared(nullptr); }
    static SlowKeyring& sharedKeyring()
    {
        // One keyring for the whole run: reads of earlier pages may still be queued.
        static SlowKeyring* k = new SlowKeyring;
        return *k;
    }
    SlowKeyring& keyring = sharedKeyring();
    FakeUploads uploads;
};

TEST_F(SettingsPages, OneWindowKeepsItsTabAndPlace)
{
    SettingsWindowController& c = SettingsWindowController::shared();
    c.show();
    QWidget* w = c.window();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->size(), QSize(760, 580));
    EXPECT_EQ(w->windowTitle(), "Kaptorix Settings");
    c.show(3);
    w->move(40, 60);
    const QPoint placed = w->pos();
    w->close();
    for (std::optional<int> tab : {std::optional<int>(), std::optional(5), std::optional(-1)}) {
        c.show(tab);
        EXPECT_EQ(c.window(), w);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->pos(), placed);
        EXPECT_EQ(SettingsNav::shared().tab(), SettingsTab::upload);
        EXPECT_EQ(c.view()->headerTitle()->text(), "Upload");
        EXPECT_TRUE(qobject_cast<UploadTab*>(c.view()->page()));
    }
    static_cast<QAbstractButton*>(c.view()->helpRow())->click();  // help opens, settings stay
    EXPECT_TRUE(HelpWindowController::shared().window()->isVisible() && w->isVisible());
    c.show(4);
    EXPECT_EQ(c.view()->headerTitle()->text(), "AI");
    EXPECT_TRUE(qobject_cast<AITab*>(c.view()->page()));
    w->close();
}

TEST_F(SettingsPages, UploadLayoutFollowsProtocolAndKeyFile)
{
    struct Case {
        const char* proto;
        const char* keyPath;
        const char* hostLabel;
        bool port;
        const char* portPlaceholder;
        bool keyRow;
        const char* passwordLabel;
        int pickerIndex;
    } cases[] = {
        {"webdav", "", "WebDAV address", false, "", false, "Password (stored in the keyring)", 0},
        {"ftp", "/k", "Host", true, "21", false, "Password (stored in the keyring)", 1},
        {"sftp", "", "Host", true, "22", true, "Password (stored in the keyring)", 2},
        {"sftp", "/k", "Host", true, "22", true, "Key passphrase (optional, keyring)", 2},
        {"gopher", "", "WebDAV address", false, "", false, "Password (stored in the keyring)", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.proto);
        Prefs::set("remote.protocol", c.proto);
        Prefs::set("remote.keyPath", c.keyPath);
        UploadTab tab;
        EXPECT_EQ(tab.hostLabel()->text(), c.hostLabel);
        EXPECT_EQ(tab.portRow()->isVisibleTo(&tab), c.port);
        EXPECT_EQ(c.port ? tab.portField()->placeholderText() : QString(), c.portPlaceholder);
        EXPECT_EQ(tab.keyRow()->isVisibleTo(&tab), c.keyRow);
        EXPECT_EQ(tab.passwordLabel()->text(), c.passwordLabel);
        EXPECT_EQ(tab.findChild<QComboBox*>()->currentIndex(), c.pickerIndex);
    }
    // Choosing SFTP in the picker relays the page at once; the stored port is kept.
    Prefs::set("remote.protocol", "webdav");
    Prefs::set("remote.port", "2121");
    UploadTab tab;
    auto* picker = tab.findChild<QComboBox*>();
    picker->setCurrentIndex(2);
    Q_EMIT picker->activated(2);
    EXPECT_EQ(Prefs::string("remote.protocol"), "sftp");
    EXPECT_TRUE(tab.keyRow()->isVisibleTo(&tab));
    EXPECT_EQ(tab.portField()->text(), "2121");
}

TEST_F(SettingsPages, QualitySliderShowsForEveryFormatButPng)
{
    for (const char* format : {"png", "jpg", "heic", "webp"}) {
        SCOPED_TRACE(format);
        Prefs::set("imageFormat", format);
        CaptureTab tab;
        EXPECT_EQ(tab.qualityRow()->isVisibleTo(&tab), QString(format) != "png");
        EXPECT_EQ(tab.qualitySlider()->value(), 900);
    }
    Prefs::remove("jpegQuality");
    CaptureTab tab;
    EXPECT_FALSE(Prefs::contains("jpegQuality"));  // building the page writes nothing
    tab.qualitySlider()->setValue(400);
    EXPECT_DOUBLE_EQ(Prefs::real("jpegQuality"), 0.4);

    CaptureTab::setFolderChooser([](QWidget*) { return QDir::homePath() + "/shots/../Shots"; });
    CaptureTab chooser;
    chooser.findChildren<QPushButton*>().first()->click();
    EXPECT_EQ(Prefs::string("saveFolder"), QDir::homePath() + "/Shots");
    CaptureTab::setFolderChooser(nullptr);
}

QStringList stepperTexts(QWidget& page)
{
    QStringList texts;
    for (Stepper* s : page.findChildren<Stepper*>())
        texts << s->label()->text();
    return texts;
}

TEST_F(SettingsPages, StepperTextsInThreeLanguagesAndLimits)
{
    const struct {
        const char* lang;
        QStringList general;
        QString capture;
        QString retry;
    } cases[] = {
        // clang-format off
        {"en", {"Keep at most 300 captures", "Delete after 30 days"}, "Maximum height: 30000 px", "1 of 3 sent."},
        {"hu", {"Legfeljebb 300 kép megtartása", "Törlés 30 nap után"}, "Maximális magasság: 30000 px", "1 / 3 elküldve."},
        {"de", {"Höchstens 300 Aufnahmen behalten", "Nach 30 Tagen löschen"}, "Maximale Höhe: 30000 px", "1 von 3 gesendet."},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        Lang::overrideForTests(c.lang);
        GeneralTab general;
        EXPECT_EQ(stepperTexts(general), c.general);
        CaptureTab capture;
        EXPECT_EQ(stepperTexts(capture), QStringList{c.capture});
        EXPECT_EQ(retrySummaryText({1, 3}), c.retry);
    }
    Lang::overrideForTests("en");
    GeneralTab general;
    QList<Stepper*> s = general.findChildren<Stepper*>();
    s[0]->plusButton()->click();
    EXPECT_EQ(Prefs::integer("history.max"), 320);
    s[0]->minusButton()->click();
    s[0]->minusButton()->click();
    EXPECT_EQ(Prefs::integer("history.max"), 280);
    for (int i = 0; i < 40; ++i)
        s[1]->minusButton()->click();
    EXPECT_EQ(Prefs::integer("history.days"), 0);
    EXPECT_EQ(s[1]->label()->text(), "Never delete by age");
    EXPECT_FALSE(s[1]->minusButton()->isEnabled());
}

TEST_F(SettingsPages, SecretsLoadOffTheUiThreadAndWriteOnlyEdits)
{
    keyring.secrets.insert("remote.password", "old");
    {
        UploadTab tab;
        QLineEdit* field = tab.passwordField()->edit();
        EXPECT_FALSE(field->isEnabled());
        ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
        EXPECT_EQ(field->text(), "old");
        field->setFocus();
        QTest::keyClicks(field, "new");
        QSignalSpy written(tab.passwordField(), &SecretField::written);
        ASSERT_TRUE(written.wait(3000));
        EXPECT_EQ(keyring.writes, QStringList{"remote.password=oldnew"});
    }
    // The AI key: loading never writes; an edit goes to the provider chosen when it was typed,
    // even when the provider changes before the write.
    keyring.secrets.insert("openai.apiKey", "sk-open");
    keyring.writes.clear();
    {
        AITab tab;
        QLineEdit* field = tab.keyField()->edit();
        ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
        EXPECT_EQ(field->text(), "");
        QTest::keyClicks(field, "sk-ant");
        tab.providerPicker()->setCurrentIndex(1);
        Q_EMIT tab.providerPicker()->activated(1);
        EXPECT_EQ(tab.providerHeader()->text(), "OpenAI ChatGPT");
        EXPECT_FALSE(tab.claudeModelRow()->isVisibleTo(&tab));
        EXPECT_TRUE(tab.openAINote()->isVisibleTo(&tab));
        ASSERT_TRUE(test::waitFor([&] { return field->isEnabled() && field->text() == "sk-open"; }));
    }
    EXPECT_EQ(keyring.writes, QStringList{"anthropic.apiKey=sk-ant"});
    EXPECT_FALSE(keyring.calledOnUiThread);

    // A refused write says so under the field and leaves the stored secret alone.
    keyring.unavailable = true;
    AITab tab;
    QLineEdit* field = tab.keyField()->edit();
    ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
    QTest::keyClicks(field, "x");
    QSignalSpy written(tab.keyField(), &SecretField::written);
    ASSERT_TRUE(written.wait(3000));
    EXPECT_TRUE(tab.keyField()->errorLabel()->isVisibleTo(&tab));
    EXPECT_EQ(keyring.secrets.value("openai.apiKey"), "sk-open");
}

TEST_F(SettingsPages, NewestConnectionTestWinsAndOneRetryPassAtATime)
{
    uploads.queue = {{QUuid::createUuid(), "a.png", 1, "timeout"},
                     {QUuid::createUuid(), "b.png", 2, "refused"}};
    UploadTab tab;
    tab.testButton()->click();
    QCoreApplication::processEvents();
    tab.testButton()->click();
    EXPECT_EQ(tab.testResult()->text(), "…");
    ASSERT_TRUE(test::waitFor([&] { return uploads.tests.size() == 2; }));
    uploads.answer(1, "Connected – the folder is reachable.");
    ASSERT_TRUE(test::waitFor([&] { return tab.testResult()->text() != "…"; }));
    uploads.answer(0, "Invalid server address.");
    QTest::qWait(50);
    EXPECT_EQ(tab.testResult()->text(), "Connected – the folder is reachable.");

    ASSERT_TRUE(tab.retryButton());
    tab.retryButton()->click();
    EXPECT_FALSE(tab.retryButton()->isEnabled());
    UploadTab second;  // a pass started elsewhere disables every page's button
    EXPECT_FALSE(second.retryButton()->isEnabled());
    uploads.queue.removeFirst();
    Q_EMIT uploads.queueChanged();
    uploads.finishPass({1, 3});
    ASSERT_TRUE(test::waitFor([&] { return tab.retryResult()->text() == "1 of 3 sent."; }));
    EXPECT_TRUE(tab.retryButton()->isEnabled());
    EXPECT_EQ(second.retryResult()->text(), "");
    uploads.queue.clear();
    Q_EMIT uploads.queueChanged();
    EXPECT_EQ(tab.retryButton(), nullptr);
}

// Where a card shows two hairlines with no row between them, or one at its top or bottom (a
// card: a widget whose layout holds 1-pixel lines between its rows).
QStringList doubledHairlines(QWidget& page)
{
    QStringList faults;
    for (QWidget* card : page.findChildren<QWidget*>()) {
        QLayout* rows = card->layout();
        if (!rows)
            continue;
        const auto line = [&](int i) {
            QWidget* w = rows->itemAt(i)->widget();
            return w && w->maximumHeight() == 1;
        };
        bool hasLines = false;
        for (int i = 0; i < rows->count(); ++i)
            hasLines = hasLines || line(i);
        if (!hasLines)
            continue;
        bool lineBefore = true;  // a card's top counts as a line
        QString firstRow;
        for (int i = 0; i < rows->count(); ++i) {
            QWidget* w = rows->itemAt(i)->widget();
            if (!w || !w->isVisibleTo(&page))
                continue;
            if (firstRow.isEmpty() && !line(i))
                firstRow = w->findChild<QLabel*>() ? w->findChild<QLabel*>()->text() : QString("row");
            if (line(i) && lineBefore)
                faults << firstRow + " #" + QString::number(i);
            lineBefore = line(i);
        }
        if (lineBefore)
            faults << firstRow + " ends with a line";
    }
    return faults;
}

TEST_F(SettingsPages, HiddenRowsTakeTheirHairlinesAlong)
{
    for (const char* proto : {"webdav", "ftp", "sftp"}) {
        Prefs::set("remote.protocol", proto);
        UploadTab tab;
        tab.show();
        EXPECT_EQ(doubledHairlines(tab), QStringList()) << proto;
        // Switching shows and hides rows with their lines.
        auto* picker = tab.findChild<QComboBox*>();
        picker->setCurrentIndex(QString(proto) == "webdav" ? 2 : 0);
        Q_EMIT picker->activated(picker->currentIndex());
        EXPECT_EQ(doubledHairlines(tab), QStringList()) << proto << " switched";
    }
    Prefs::set("imageFormat", "png");
    CaptureTab capture;
    EXPECT_FALSE(capture.qualityRow()->isVisibleTo(&capture));
    EXPECT_EQ(doubledHairlines(capture), QStringList());
    Prefs::set("ai.provider", "claude");
    AITab ai;
    EXPECT_FALSE(ai.openAIModelRow()->isVisibleTo(&ai));
    EXPECT_EQ(doubledHairlines(ai), QStringList());
}

// Queued names and errors come from outside: shown as text on one line each, never as markup and
// never wider than the page; the whole text is in the tool tip.
TEST_F(SettingsPages, QueueRowsShowOutsideTextAsOneLineOfText)
{
    QTemporaryDir dir;
    QImage magenta(40, 40, QImage::Format_RGB32);
    magenta.fill(QColor(255, 0, 255));
    ASSERT_TRUE(magenta.save(dir.filePath("m.png")));
    const QString markup = "<img src=\"" + dir.filePath("m.png") + "\"><b>BOLD</b>";
    const QString error =
        "Failed to connect to 127.0.0.1 port 40123 after 0 ms: Couldn't connect to server " + markup;
    uploads.queue = {{QUuid::createUuid(), markup + QString(80, 'n') + ".png", 3, error}};
    UploadTab tab;
    tab.resize(520, 900);
    tab.show();
    QCoreApplication::processEvents();
    EXPECT_LE(tab.minimumSizeHint().width(), 520);
    auto* name = tab.findChild<QLabel*>("queueName");
    auto* line = tab.findChild<QLabel*>("queueError");
    ASSERT_TRUE(name && line);
    for (QLabel* l : {name, line}) {
        EXPECT_EQ(l->textFormat(), Qt::PlainText);
        EXPECT_FALSE(l->wordWrap());
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
            << qPrintable(l->text());
        EXPECT_TRUE(l->text().contains(QChar(0x2026))) << qPrintable(l->text());
        const QImage shown = l->grab().toImage();
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                ASSERT_NE(shown.pixelColor(x, y), QColor(255, 0, 255)) << "a picture was loaded";
    }
    QTextDocument tip;
    tip.setHtml(line->toolTip());
    EXPECT_EQ(tip.toPlainText(), "3× · " + error);
    tip.setHtml(name->toolTip());
    EXPECT_EQ(tip.toPlainText(), uploads.queue[0].fileName);
}

TEST_F(SettingsPages, AnswersStayWhereTheyBelong)
{
    // A test's answer goes with the protocol it was about.
    Prefs::set("remote.protocol", "sftp");
    UploadTab tab;
    tab.testButton()->click();
    ASSERT_TRUE(test::waitFor([&] { return !uploads.tests.empty(); }));
    auto* picker = tab.findChild<QComboBox*>();
    picker->setCurrentIndex(0);
    Q_EMIT picker->activated(0);
    EXPECT_EQ(tab.testResult()->text(), "");
    uploads.answer(0, "Connection refused");
    QTest::qWait(50);
    EXPECT_EQ(tab.testResult()->text(), "");

    // A "Retry all" that sends everything leaves its count under the empty queue's text.
    uploads.queue = {{QUuid::createUuid(), "a.png", 1, "timeout"}};
    Q_EMIT uploads.queueChanged();
    tab.retryButton()->click();
    uploads.queue.clear();
    Q_EMIT uploads.queueChanged();
    uploads.finishPass({1, 1});
    ASSERT_TRUE(test::waitFor([&] { return tab.retryResult() != nullptr; }));
    EXPECT_EQ(tab.retryResult()->text(), "1 of 1 sent.");
    EXPECT_TRUE(tab.retryResult()->isVisibleTo(&tab));
    EXPECT_EQ(tab.retryButton(), nullptr);
    // A later failure deleted by hand empties the queue again: no old count under its text.
    uploads.queue = {{QUuid::createUuid(), "b.png", 1, "timeout"}};
    Q_EMIT uploads.queueChanged();
    QPushButton* del = nullptr;
    for (QPushButton* b : tab.queueBox()->findChildren<QPushButton*>())
        del = b->text() == "Delete" ? b : del;
    ASSERT_TRUE(del);
    del->click();
    EXPECT_TRUE(uploads.queue.isEmpty());
    EXPECT_EQ(tab.retryResult(), nullptr);

    // The key-file dialog shows hidden folders such as ~/.ssh.
    bool hidden = false;
    UploadTab::setFileChooser([&](QFileDialog& dialog) {
        hidden = dialog.filter().testFlag(QDir::Hidden) && dialog.fileMode() == QFileDialog::ExistingFile;
        return QDir::homePath() + "/.ssh/id_ed25519";
    });
    picker->setCurrentIndex(2);
    Q_EMIT picker->activated(2);
    tab.keyRow()->findChild<QPushButton*>()->click();
    UploadTab::setFileChooser(nullptr);
    EXPECT_TRUE(hidden);
    EXPECT_EQ(Prefs::string("remote.keyPath"), QDir::homePath() + "/.ssh/id_ed25519");
}

// Quitting (or a signal) less than the write delay after the last keystroke keeps it.
TEST_F(SettingsPages, QuittingWritesThePendingSecret)
{
    AITab tab;
    QLineEdit* field = tab.keyField()->edit();
    ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
    QTest::keyClicks(field, "sk-abc");
    SecretField::writeAllPending();
    EXPECT_EQ(keyring.secrets.value("anthropic.apiKey"), "sk-abc");
    EXPECT_EQ(keyring.writes, QStringList{"anthropic.apiKey=sk-abc"});
    QTest::qWait(SecretField::writeDelayMs + 200);
    EXPECT_EQ(keyring.writes.size(), 1);  // written once
}

// The Exec value back into its one argument, undoing the file format's and the quoting's escapes.
QString execArgument(const QString& entry)
{
    QString value = entry.section("\nExec=", 1).section('\n', 0, 0);
    value.replace("%%", "%");
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i)
        unescaped += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
    EXPECT_TRUE(unescaped.startsWith('"') && unescaped.endsWith('"'));
    QString arg;
    for (qsizetype i = 1; i + 1 < unescaped.size(); ++i)
        arg += unescaped[i] == '\\' ? unescaped[++i] : unescaped[i];
    return arg;
}

TEST_F(SettingsPages, AutostartEntryStartsTheBinaryAndRefusalsPutTheToggleBack)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
    const QString folder = dir.path() + "/odd $dir \"with\" `quotes` 100%\\";
    QDir().mkpath(folder);
    const QString exe = folder + "/kaptorix";
    const QString marker = dir.path() + "/started";
    QFile script(exe);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    ASSERT_TRUE(Autostart::setEnabled(true, exe).ok);
    QFile entry(Autostart::filePath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_EQ(execArgument(text), exe);
    EXPECT_EQ(test::run(execArgument(text), {}), 0);
    EXPECT_TRUE(QFile::exists(marker));
    EXPECT_TRUE(Autostart::isEnabled());
    EXPECT_FALSE(Autostart::setEnabled(true, "relative/kaptorix").ok);
    EXPECT_FALSE(Autostart::setEnabled(true, "/a\nX-Evil=1").ok);

    // Off through the page, then on with a file in the folder's way: the toggle shows the truth.
    for (bool blocked : {false, true}) {
        if (blocked) {
            QDir(dir.path() + "/config/autostart").removeRecursively();
            ASSERT_TRUE(QFile(dir.path() + "/config/autostart").open(QIODevice::WriteOnly));
        }
        GeneralTab page;  // read from the disk when built
        EXPECT_EQ(page.launchAtLogin()->isChecked(), !blocked);
        QSignalSpy settled(&page, &GeneralTab::launchAtLoginSettled);
        page.launchAtLogin()->click();
        ASSERT_TRUE(settled.count() > 0 || settled.wait(20000));
        EXPECT_EQ(settled.count(), 1);
        EXPECT_FALSE(Autostart::isEnabled());
        EXPECT_FALSE(page.launchAtLogin()->isChecked());
        EXPECT_EQ(page.launchMessage()->isVisibleTo(&page), blocked);
        EXPECT_EQ(page.launchMessage()->text().contains("autostart"), blocked);
    }
    qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kx
