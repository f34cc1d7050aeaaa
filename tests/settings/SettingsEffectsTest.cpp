// What the settings window's changes reach outside it, and how its pages come in: a key typed in
// the AI tab clears an open AI panel's missing-key notice; a new tab's page fades in.
#include "TestSupport.h"
#include "fakes/FakeSecretStore.h"

#include "analysis/ai/AIPanel.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "settings/AITab.h"
#include "settings/SecretField.h"
#include "settings/SettingsForm.h"
#include "settings/SettingsView.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace kx;

namespace {

class SettingsEffects : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Prefs::registerDefaults();
        Prefs::remove("ai.provider");
        Keychain::setStore(&keyring);
    }
    void TearDown() override
    {
        Keychain::getAsync("drain").waitForFinished();  // nothing of this test still queued
        Keychain::setStore(nullptr);
    }
    test::FakeSecretStore keyring;
};

}  // namespace

TEST_F(SettingsEffects, AKeyTypedInTheAITabClearsTheNoticeOfAnOpenPanel)
{
    QWidget window;
    auto* panel = new AIPanel(AIAnalysisModel::create(), {}, {}, {}, &window);
    (new QVBoxLayout(&window))->addWidget(panel);
    window.show();
    QWidget* notice = panel->findChild<QWidget*>("keyNotice");
    ASSERT_TRUE(test::waitFor([&] { return notice->isVisible(); }));

    AITab tab;
    tab.show();
    QLineEdit* field = tab.keyField()->edit();
    ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
    QTest::keyClicks(field, "sk-ant-1");
    EXPECT_TRUE(notice->isVisible());  // nothing written yet
    ASSERT_TRUE(test::waitFor([&] { return notice->isHidden(); }, 5000));
    EXPECT_EQ(keyring.secrets.value("anthropic.apiKey"), "sk-ant-1");

    // Clearing the field removes the key: the notice is back.
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    ASSERT_TRUE(test::waitFor([&] { return notice->isVisible(); }, 5000));
    EXPECT_FALSE(keyring.secrets.contains("anthropic.apiKey"));
}

TEST_F(SettingsEffects, ANewTabsPageFadesInWithAnEaseOut)
{
    SettingsNav& nav = SettingsNav::shared();
    nav.setTab(SettingsTab::general);
    SettingsView view(nav);
    view.show();
    EXPECT_FALSE(view.page()->graphicsEffect());  // the first page is simply there

    nav.setTab(SettingsTab::capture);
    QWidget* page = view.page();
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(page->graphicsEffect());
    ASSERT_TRUE(effect);
    EXPECT_LT(effect->opacity(), 0.5);
    auto* fade = page->findChild<QVariantAnimation*>("pageFade");
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->duration(), 150);
    EXPECT_EQ(fade->easingCurve().type(), QEasingCurve::OutQuad);
    QList<double> seen;
    ASSERT_TRUE(test::waitFor([&] {
        if (!page->graphicsEffect())
            return true;
        seen << effect->opacity();
        return false;
    }));
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // At rest the page paints directly, fully opaque.
    EXPECT_FALSE(page->graphicsEffect());
}

// The settings file holds the upload server's host, user, folder and key path: for its owner
// only, an older one made so at the next start, and its settings kept.
TEST(SettingsFile, IsForItsOwnerOnly)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    for (const bool older : {false, true}) {
        const QString home = dir.filePath(older ? "older" : "new");
        const QString folder = home + "/Kaptorix", file = folder + "/Kaptorix.conf";
        qputenv("XDG_CONFIG_HOME", home.toUtf8());
        if (older) {
            QDir().mkpath(folder);
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[General]\nremote.host=files.example.test\n");
            f.close();
            ::chmod(QFile::encodeName(folder).constData(), 0755);
            ::chmod(QFile::encodeName(file).constData(), 0644);
        }
        Prefs::reloadForTests();
        Prefs::set("remote.user", "me");
        Prefs::sync();
        EXPECT_EQ(mode(folder), 0700) << older;
        EXPECT_EQ(mode(file), 0600) << older;
        Prefs::reloadForTests();
        EXPECT_EQ(Prefs::string("remote.user"), "me");
        EXPECT_EQ(Prefs::string("remote.host"), older ? "files.example.test" : "") << older;
    }
    qputenv("XDG_CONFIG_HOME", saved);
    Prefs::reloadForTests();
}

// A setting changed while the window is open (by the other session of this user, taken in
// and announced by the store) shows in its control at once, and the control writes nothing back.
TEST_F(SettingsEffects, ABoundControlShowsAChangeMadeElsewhere)
{
    Prefs::set("showLoupe", true);
    Prefs::set("colorFormat", "hex");
    Prefs::set("ocrLanguages", "auto");
    Prefs::set("history.max", 300);
    QCheckBox* toggle = boundToggle("Loupe", "showLoupe", true);
    QComboBox* picker = boundPicker("colorFormat", "hex", {{"HEX", "hex"}, {"RGB", "rgb"}});
    QLineEdit* text = boundTextField("ocrLanguages", "auto");
    Stepper* stepper = boundStepper("history.max", 300, 20, [](int n) { return QString::number(n); });
    const std::unique_ptr<QWidget> owned[] = {
        std::unique_ptr<QWidget>(toggle), std::unique_ptr<QWidget>(picker), std::unique_ptr<QWidget>(text),
        std::unique_ptr<QWidget>(stepper)};
    Prefs::set("showLoupe", false);
    Prefs::set("colorFormat", "rgb");
    Prefs::set("ocrLanguages", "de,hu");
    Prefs::set("history.max", 2);  // shown as what it acts as
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(picker->currentData().toString(), "rgb");
    EXPECT_EQ(text->text(), "de,hu");
    EXPECT_EQ(stepper->value(), 20);
    EXPECT_EQ(Prefs::value("history.max").toInt(), 2) << "nothing written back";
    Prefs::remove("showLoupe");
    EXPECT_TRUE(toggle->isChecked()) << "removed: the default again";
    for (const char* key : {"colorFormat", "ocrLanguages", "history.max"})
        Prefs::remove(key);
}
