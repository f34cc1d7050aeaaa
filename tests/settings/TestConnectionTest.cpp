// "Test connection" against a real WebDAV server on 127.0.0.1, with a typed password not yet written.
#include "core/Prefs.h"
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
#include <QTemporaryDir>
#include <QTest>

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
    Prefs::set("remote.host", "http://127.0.0.1/");
    Prefs::set("remote.port", QString::number(server.port()));
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

}  // namespace
}  // namespace kx
