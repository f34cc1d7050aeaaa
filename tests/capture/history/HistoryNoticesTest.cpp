// What the history tells the user fits the toast that shows it (two title lines, three of
// text), in every language, with the counts and paths a real home gives.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "ui/ToastView.h"

#include "HistoryTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

using namespace kx;

namespace {

class HistoryNoticesTest : public test::UnlimitedHistoryTest {
protected:
    void SetUp() override
    {
        UnlimitedHistoryTest::SetUp();
        home_ = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root.path()));
    }
    void TearDown() override
    {
        qputenv("HOME", home_);
        UnlimitedHistoryTest::TearDown();
    }
    QTemporaryDir root;
    QByteArray home_;
};

}  // namespace

TEST_F(HistoryNoticesTest, PruningSaysOneDayAndOneCaptureAndFitsInEachLanguage)
{
    const struct {
        const char* lang;
        const char* title;
        const char* text;
    } singular[]{
        {"en", "1 capture removed from the history", "Older than 1 day. "},
        {"de", "1 Aufnahme aus dem Verlauf entfernt", "Älter als 1 Tag. "},
        {"hu", "1 kép törlődött az előzményekből", "1 napnál régebbi volt. "},
    };
    for (const auto& s : singular) {
        SCOPED_TRACE(s.lang);
        Lang::overrideForTests(QString::fromLatin1(s.lang));
        const HistoryStore::Notice one = HistoryStore::prunedNotice(1, 1, 0, 0);
        EXPECT_EQ(one.title, QString::fromUtf8(s.title));
        EXPECT_TRUE(one.text.startsWith(QString::fromUtf8(s.text))) << one.text.toStdString();
        // The most a prune can say: both rules, long numbers.
        for (const auto& [byAge, days, byCount, max] :
             {std::tuple{179, 1, 0, 0}, {0, 0, 17900, 300}, {12345, 36500, 67890, 99999}, {1, 1, 1, 1}}) {
            const HistoryStore::Notice n = HistoryStore::prunedNotice(byAge, days, byCount, max);
            EXPECT_TRUE(ToastView::showsWhole(n.title, n.text))
                << n.title.toStdString() << " | " << n.text.toStdString();
            EXPECT_TRUE(n.title.contains(QString::number(byAge + byCount))) << n.title.toStdString();
        }
    }
    Lang::overrideForTests(QStringLiteral("en"));
    EXPECT_TRUE(HistoryStore::prunedNotice(6, 30, 2, 300)
                    .text.startsWith("6 older than 30 days, 2 over the limit of 300."));
}

TEST_F(HistoryNoticesTest, EveryStartNoticeFitsAToastWithTheHistoryUnderHome)
{
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(QString::fromLatin1(lang));
        const QString dir = root.filePath(QStringLiteral("%1/.local/share/Kaptorix/History").arg(lang));
        ASSERT_TRUE(QDir().mkpath(dir));
        // An index with a bad record, a capture it never named, a journal that cannot be read.
        HistoryEntry good;
        good.id = QUuid::createUuid();
        good.date = QDateTime::currentDateTimeUtc().addSecs(-60);
        good.width = good.height = 8;
        QByteArray index = encodeIndex({good});
        index.insert(index.size() - 1, ",{\"id\":\"7C1A2B3C-0000-4000-8000-00000000000A\"}");
        ASSERT_TRUE(writeFileAtomically(dir + "/index.json", index));
        ASSERT_TRUE(test::historyImage(8, 8).save(dir + "/" + uuidText(good.id) + ".png"));
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(test::historyImage(9, 9).save(dir + "/" + uuidText(QUuid::createUuid()) + ".png"));
        ASSERT_TRUE(writeFileAtomically(dir + "/index.01234567.journal", "{\"id\":"));

        HistoryStore::Options o;
        o.dir = dir;
        o.debounceMs = 0;
        o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
        HistoryStore store(std::move(o));
        const QList<HistoryStore::Notice> notices = store.takeStartNotices();
        ASSERT_EQ(notices.size(), 3);  // partly unreadable, captures back, journal
        for (const HistoryStore::Notice& n : notices) {
            EXPECT_TRUE(ToastView::showsWhole(n.title, n.text))
                << n.title.toStdString() << " | " << n.text.toStdString();
            EXPECT_FALSE(n.text.contains(root.path())) << "the home folder is written ~";
        }
        EXPECT_TRUE(notices[0].text.contains("index.json.bad-")) << notices[0].text.toStdString();
        EXPECT_TRUE(notices[1].text.contains("12")) << notices[1].text.toStdString();
        EXPECT_TRUE(notices[2].text.contains(".journal.bad-")) << notices[2].text.toStdString();
    }
}
