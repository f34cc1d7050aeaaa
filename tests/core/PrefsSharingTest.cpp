// Settings two sessions of one user share (two displays, one home), and a disk that stops and
// starts taking writes.
#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"

#include "FileLimits.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kx;

namespace {

struct SharedSettings : ::testing::Test {
    QTemporaryDir dir;
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    QString conf() const { return dir.path() + "/Kaptorix/Kaptorix.conf"; }
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        QDir().mkpath(dir.path() + "/Kaptorix");
        Lang::overrideForTests("en");
    }
    void TearDown() override
    {
        QFile::setPermissions(dir.path() + "/Kaptorix",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", oldConfig);
        Prefs::reloadForTests();
    }
    QByteArray file() const
    {
        QFile f(conf());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The other session writes the file as QSettings does: a new file renamed over it.
    void otherWrites(const QByteArray& bytes) const { ASSERT_TRUE(writeFileAtomically(conf(), bytes)); }
};

}  // namespace

TEST_F(SharedSettings, EachSessionTakesTheOthersChangesAndNeitherUndoesTheOther)
{
    otherWrites("[General]\nfirstRunDone=true\nafter.copy=false\nshowLoupe=true\n");
    Prefs::reloadForTests();
    Prefs::registerDefaults();
    EXPECT_FALSE(Prefs::boolean("after.copy"));
    EXPECT_TRUE(Prefs::takeChangesElsewhere().isEmpty()) << "nothing changed yet";
    QStringList heard;
    QObject receiver;
    QObject::connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, &receiver,
                     [&](const QString& key) { heard << key; });

    // This session changes one key (not written yet) while the other changes two others.
    Prefs::set("playSound", false);
    // (A comment makes its size differ: QSettings reads a file again when its time or size did.)
    otherWrites("[General]\nfirstRunDone=true\nafter.copy=true\nshowLoupe=false\n; other\n");
    heard.clear();
    QStringList taken = Prefs::takeChangesElsewhere();
    taken.sort();
    EXPECT_EQ(taken, QStringList({"after.copy", "showLoupe"}));
    heard.sort();
    EXPECT_EQ(heard, taken) << "announced, so open windows and features follow";
    EXPECT_TRUE(Prefs::boolean("after.copy"));
    EXPECT_FALSE(Prefs::boolean("showLoupe"));
    EXPECT_FALSE(Prefs::boolean("playSound")) << "this session's own change stays";
    const QByteArray both = file();
    EXPECT_TRUE(both.contains("playSound=false")) << both.constData();
    EXPECT_TRUE(both.contains("showLoupe=false")) << both.constData();
    EXPECT_TRUE(both.contains("after.copy=true")) << both.constData();
    EXPECT_TRUE(Prefs::takeChangesElsewhere().isEmpty()) << "its own write is no change of the other's";

    // A key the other removed reads as its default again.
    otherWrites("[General]\nfirstRunDone=true\nshowLoupe=false\nplaySound=false\n");
    EXPECT_EQ(Prefs::takeChangesElsewhere(), QStringList({"after.copy"}));
    EXPECT_TRUE(Prefs::boolean("after.copy"));
    EXPECT_FALSE(Prefs::contains("after.copy"));
}

// A change the disk refused is told, tried again while the program runs (and at quit), and
// told again when the disk refuses once more after having taken one.
TEST_F(SharedSettings, AFailedWriteIsTriedAgainAndToldAgainAfterARecovery)
{
    otherWrites("[General]\nfirstRunDone=true\n");
    Prefs::reloadForTests();
    Prefs::registerDefaults();
    int told = 0;
    QObject receiver;
    QCoreApplication::processEvents();
    QObject::connect(&PrefsNotifier::shared(), &PrefsNotifier::notSaved, &receiver, [&] { ++told; });
    const QString folder = dir.path() + "/Kaptorix";
    const auto lock = [&](bool locked) {
        QFile::setPermissions(folder, locked ? QFile::ReadOwner | QFile::ExeOwner
                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        {
            test::ObeyFileModes obey;
            lock(true);
            Prefs::set("after.save", round == 1);
            Prefs::sync();
            QCoreApplication::processEvents();
            EXPECT_EQ(told, round);
            EXPECT_FALSE(Prefs::health().writable);
            lock(false);
        }
        // The disk takes writes again: the change reaches it without another one.
        Prefs::takeChangesElsewhere();
        EXPECT_TRUE(file().contains(round == 1 ? "after.save=true" : "after.save=false"))
            << file().constData();
        EXPECT_TRUE(Prefs::health().writable);
    }
}
