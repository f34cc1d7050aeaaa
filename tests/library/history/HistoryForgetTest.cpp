// What the user deletes from the history goes from every file of its folder, kept copies and
// journals included; and two Kaptorix over one folder show the same pictures.
#include "HistoryFixture.h"
#include "capture/history/HistoryJournal.h"
#include "core/AtomicFile.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "library/history/HistoryGrid.h"
#include "library/history/HistoryView.h"
#include "library/history/ThumbnailLoader.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

using namespace kx;

namespace {

class HistoryForget : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests(QStringLiteral("en"));
        Prefs::registerDefaults();
        Prefs::set(QStringLiteral("history.max"), 0);
        Prefs::set(QStringLiteral("history.days"), 0);
    }
    void TearDown() override
    {
        Prefs::remove(QStringLiteral("history.max"));
        Prefs::remove(QStringLiteral("history.days"));
    }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    // Every byte of every file in the folder, names included.
    QByteArray everything() const
    {
        QByteArray all;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            all += file.toUtf8() + '\n';
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll() + '\n';
        }
        return all;
    }
    QTemporaryDir dir;
};

QImage filled(QColor color)
{
    QImage img(200, 120, QImage::Format_ARGB32_Premultiplied);
    img.fill(color);
    return img;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray line(const HistoryEntry& e)
{
    QByteArray out;
    appendEntryJson(out, e);
    return out;
}

}  // namespace

TEST_F(HistoryForget, DeletedAndPrunedCapturesLeaveNothingAndKeptCopiesKeepWhatStillMatters)
{
    // Three captures with titles and texts, the first starred, the last 40 days old.
    QList<HistoryEntry> taken;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const char* names[] = {"Alpha", "Bravo", "Charlie"};
    {
        auto store = test::openStore(dir.path());
        for (int i = 0; i < 3; ++i) {
            const HistoryEntry e =
                store->add({filled(QColor(40 * i, 90, 160)), 1.0, SourceKind::window,
                            QString("%1 window").arg(names[i]), i == 2 ? now.addDays(-40) : now.addSecs(-i)});
            store->setOCR(e.id, QString("%1 secret text").arg(names[i]));
            taken << *store->entry(e.id);
        }
        store->toggleFavorite(taken[0].id);
        store->flush();
    }
    // The index with one more record the program cannot read (no star), of a capture whose
    // image is gone: it is copied aside at the next start.
    QJsonArray records = QJsonDocument::fromJson(readAll(path("index.json"))).array();
    ASSERT_EQ(records.size(), 3);
    HistoryEntry echo;
    echo.id = QUuid::createUuid();
    echo.date = now.addSecs(-100);
    echo.title = QStringLiteral("Echo window");
    QJsonObject unread = QJsonDocument::fromJson(line(echo)).object();
    unread.remove(QStringLiteral("favorite"));
    records.append(unread);
    ASSERT_TRUE(
        writeFileAtomically(path("index.json"), QJsonDocument(records).toJson(QJsonDocument::Compact)));
    // A journal a stopped Kaptorix left: the three captures, one of a lost capture, a cut line.
    HistoryEntry foxtrot = echo;
    foxtrot.id = QUuid::createUuid();
    foxtrot.title = QStringLiteral("Foxtrot window");
    QByteArray journal;
    for (const HistoryEntry& e : {taken[0], taken[1], taken[2], foxtrot})
        journal += line(e) + '\n';
    journal += "{\"id\":\"7C1A";
    ASSERT_TRUE(writeFileAtomically(path("index.0badc0de.journal"), journal));

    auto store = test::openStore(dir.path());
    store->flush();
    const QStringList indexCopies = QDir(dir.path()).entryList({"index.json.bad-*"}, QDir::Files);
    const QStringList journalCopies =
        QDir(dir.path()).entryList({"index.0badc0de.journal.bad-*"}, QDir::Files);
    ASSERT_EQ(indexCopies.size(), 1);
    ASSERT_EQ(journalCopies.size(), 1);
    ASSERT_TRUE(everything().contains("Bravo secret text")) << "the copies hold the captures";

    // A prune by age, then "Delete all except starred" as the menu runs it.
    Prefs::set(QStringLiteral("history.days"), 30);
    store->prune();
    test::Recorded rec;
    confirmDeleteAllExceptStarred(rec.services(store.get()));
    ASSERT_EQ(rec.questions.size(), 1);
    rec.accept();
    store->flush();
    ASSERT_EQ(store->entries().size(), 1);

    const QByteArray all = everything();
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        for (const QString& trace :
             {uuidText(taken[i].id), uuidText(taken[i].id).toLower(), QString("%1 window").arg(names[i]),
              QString("%1 secret text").arg(names[i])})
            EXPECT_FALSE(all.contains(trace.toUtf8())) << trace.toStdString();
    }
    // The kept copies still hold the records nothing else has, as they were.
    const QByteArray indexCopy = readAll(path(indexCopies.first()));
    const QJsonArray kept = QJsonDocument::fromJson(indexCopy).array();
    ASSERT_EQ(kept.size(), 2) << indexCopy.constData();
    EXPECT_EQ(kept[0].toObject(), records[2].toObject());  // newest added first: Charlie, Bravo, Alpha
    EXPECT_EQ(kept[1].toObject(), unread);
    EXPECT_EQ(readAll(path(journalCopies.first())),
              line(taken[0]) + '\n' + line(foxtrot) + '\n' + "{\"id\":\"7C1A");
    EXPECT_EQ(QDir(dir.path()).entryList({"index.*.journal"}, QDir::Files), QStringList())
        << "no live journal";
}

TEST_F(HistoryForget, ASameSizeEditByTheOtherInstanceShowsOnTheTileAlsoAfterReopening)
{
    auto a = test::openStore(dir.path());
    const HistoryEntry e = a->add({filled(QColor(220, 30, 30)), 1.0, SourceKind::area, {}, {}});
    a->flush();
    auto b = test::openStore(dir.path());
    ASSERT_TRUE(b->entry(e.id).has_value());
    test::Recorded rec;
    HistoryView view(rec.services(b.get()));
    view.resize(980, 680);
    view.show();
    const auto near = [](QColor c, QColor want) {
        return c.isValid() && std::abs(c.red() - want.red()) < 40 &&
               std::abs(c.green() - want.green()) < 40 && std::abs(c.blue() - want.blue()) < 40;
    };
    // What the window holds, waited for as it repaints by itself.
    const auto held = [&] {
        const QImage t = view.thumbnails()->cached(e.id);
        return t.isNull() ? QColor() : t.pixelColor(t.width() / 2, t.height() / 2);
    };
    // The middle of the tile's card as the window paints it.
    const auto painted = [&] {
        HistoryGrid* grid = view.grid();
        const QImage shot = grid->viewport()->grab().toImage();
        const QRect r = grid->tileRect(e.id);
        return r.isEmpty() ? QColor() : shot.pixelColor(r.center().x(), r.top() + 50);
    };
    const QColor red(220, 30, 30), blue(30, 30, 220), green(30, 200, 30);
    ASSERT_TRUE(test::waitFor([&] { return near(held(), red); }));
    ASSERT_TRUE(near(b->thumbnail(e.id).pixelColor(5, 5), red));
    // Narrower columns: the cards are made again for their new size.
    const QSize before = view.thumbnails()->cached(e.id).size();
    view.resize(700, 680);
    ASSERT_TRUE(test::waitFor([&] { return view.thumbnails()->cached(e.id).size() != before; }));

    a->update(e.id, filled(blue), 1.0);
    a->flush();
    EXPECT_TRUE(test::waitFor([&] { return near(held(), blue); })) << held().name().toStdString();
    EXPECT_TRUE(near(painted(), blue)) << painted().name().toStdString();

    // Closed, and the files replaced once more while both stores are idle (their texts read,
    // their indexes written): nothing but reopening the window can show it.
    ASSERT_TRUE(test::waitFor([&] { return a->entry(e.id)->textFailed && b->entry(e.id)->textFailed; }));
    a.reset();
    b->flush();
    view.hide();
    QSignalSpy told(b.get(), &HistoryStore::filesChanged);
    const auto jpeg = encoded(fitted(filled(green), 520), ImageFormat::jpg, 0.8, 1.0);
    ASSERT_TRUE(jpeg && writeFileAtomically(path(uuidText(e.id) + ".thumb.jpg"), *jpeg));
    // The store's own thumbnail follows the file too; the hidden view is told and waits.
    EXPECT_TRUE(near(b->thumbnail(e.id).pixelColor(5, 5), green));
    ASSERT_TRUE(test::waitFor([&] { return told.count() > 0; }));
    ASSERT_TRUE(near(held(), blue)) << "looked while hidden";
    view.show();
    EXPECT_TRUE(test::waitFor([&] { return near(held(), green); })) << held().name().toStdString();
    EXPECT_TRUE(near(painted(), green)) << painted().name().toStdString();
}
