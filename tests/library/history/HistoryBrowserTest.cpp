// The history browser over generated stores: day sections, layout, counts and empty
// states, search, menus, copied texts, deletes (also one that cannot happen), image
// actions on a missing file, and thumbnails decoded off the UI thread.
#include "HistoryFixture.h"
#include "core/Localisation.h"
#include "library/history/FilterChip.h"
#include "library/history/HistoryGrid.h"
#include "library/history/HistoryMotion.h"
#include "library/history/HistoryView.h"
#include "library/history/ThumbnailLoader.h"
#include "tests/support/TestSupport.h"
#include "ui/Spring.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMutex>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTimeZone>

using namespace kx;

namespace {

const QTimeZone kZone("Europe/Budapest");
const QDateTime kNow(QDate(2026, 12, 7), QTime(9, 0), kZone);

HistoryEntry at(const QDateTime& date)
{
    HistoryEntry e;
    e.id = QUuid::createUuid();
    e.date = date.toUTC();
    return e;
}

QList<QUuid> idsOf(const QList<HistoryEntry>& list)
{
    QList<QUuid> out;
    for (const auto& e : list)
        out.append(e.id);
    return out;
}

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests(QStringLiteral("en"));
        entries = test::generateHistory(dir.path(), 10000, 40, kNow);
        store = test::openStore(dir.path());
    }
    QString png(const QUuid& id) const { return QDir(dir.path()).filePath(uuidText(id) + ".png"); }
    QTemporaryDir dir;
    QList<HistoryEntry> entries;
    std::unique_ptr<HistoryStore> store;
    test::Recorded rec;
};

}  // namespace

TEST(HistorySections, DaysInTheClockZoneNewestFirstWithTitles)
{
    Lang::overrideForTests(QStringLiteral("en"));
    const HistoryEntry morning =
        at(QDateTime(QDate(2026, 12, 7), QTime(0, 30), kZone));  // 23:30 UTC the day before
    const HistoryEntry evening = at(QDateTime(QDate(2026, 12, 6), QTime(23, 50), kZone));
    const HistoryEntry evening2 = at(QDateTime(QDate(2026, 12, 6), QTime(20, 0), kZone));
    const HistoryEntry older = at(QDateTime(QDate(2026, 12, 5), QTime(12, 0), kZone));
    // Out of order on purpose: sections sort days, items keep the result order.
    const auto s =
        sections({evening2, older, morning, evening}, kNow, QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[0].title, "Today");
    EXPECT_EQ(idsOf(s[0].items), QList<QUuid>{morning.id});
    EXPECT_EQ(s[1].title, "Yesterday");
    EXPECT_EQ(idsOf(s[1].items), (QList<QUuid>{evening2.id, evening.id}));
    EXPECT_EQ(s[2].title, "December 5, 2026");
    EXPECT_EQ(dayTitle(QDate(2026, 3, 1), QDate(2026, 12, 7), QLocale(QLocale::German, QLocale::Germany)),
              "1. März 2026");
    EXPECT_EQ(dayTitle(QDate(2026, 3, 1), QDate(2026, 12, 7), QLocale(QLocale::Hungarian, QLocale::Hungary)),
              "2026. március 1.");
}

TEST(HistoryGridLayout, ColumnsRowsAndHits)
{
    QList<HistorySection> s(2);
    s[0].items.resize(5);
    s[1].items.resize(1);
    struct Case {
        qreal width;
        int columns;
        qreal columnWidth;
    } cases[] = {{300, 1, 256}, {560, 2, 249}, {980, 4, 220.5}, {1200, 4, 275.5}, {1400, 5, 256.8}};
    for (const Case& c : cases) {
        const GridLayout g = layoutGrid(s, c.width);
        EXPECT_EQ(g.columns, c.columns) << c.width;
        EXPECT_DOUBLE_EQ(g.columnWidth, c.columnWidth) << c.width;
    }
    const GridLayout g = layoutGrid(s, 760);  // header, 3 + 2 tiles, header, 1 tile
    ASSERT_EQ(g.rows.size(), 5);
    EXPECT_TRUE(g.rows[3].isHeader());
    const QRectF second = g.tileRect(g.rows[2], 1);
    const auto hit = g.hit(second.center());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->section, 0);
    EXPECT_EQ(hit->item, 4);
    EXPECT_FALSE(g.hit(second.topLeft() - QPointF(9, 0)));  // the gap between columns
    const auto [first, last] = g.visibleRows(g.rows[2].y + 1, g.rows[4].y - 1);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 4);
}

// The search texts are held only while a history shows (the tray keeps none), ready before
// the first keystroke; a closed history catches up when it shows again.
TEST_F(Browser, SearchTextsAreHeldOnlyWhileTheViewShows)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    EXPECT_EQ(store->searchBytes(), 0);
    view.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->searchBytes() > 0; }, 10000));
    view.setQuery("invoice number 9995");
    EXPECT_EQ(view.count(), 1);

    view.hide();
    EXPECT_EQ(store->searchBytes(), 0);
    store->setAISummary(entries[3].id, "Invoice number 9995 again");
    EXPECT_EQ(store->searchBytes(), 0);
    view.show();
    EXPECT_EQ(view.count(), 2);
}

TEST_F(Browser, CountEmptyStatesSearchAndStarredFilter)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    EXPECT_EQ(view.count(), 10000);
    EXPECT_FALSE(view.emptyState());
    EXPECT_EQ(view.grid()->sections().first().title, "Today");

    store->setAISummary(entries[7].id, "A Sunset over LAKE Balaton");
    store->setUploadURL(entries[8].id, "https://img.example.net/q7.png");
    struct Case {
        QString query;
        int count;
    } cases[] = {
        {"window 999", 6},  // titles: 9991, 9992, 9994, 9995, 9997, 9998
        {"INVOICE NUMBER 9995", 1}, {"lake balaton", 1}, {"q7.png", 1}, {"  scrolling ", 10000 / 7 + 1},
        {"nothing like it", 0}};
    for (const Case& c : cases) {
        view.setQuery(c.query);
        EXPECT_EQ(view.count(), c.count) << c.query.toStdString();
    }
    ASSERT_TRUE(view.emptyState());
    EXPECT_EQ(view.emptyState()->symbol, "magnifyingglass");
    EXPECT_EQ(view.emptyState()->title, "No results");

    view.setQuery(QString());
    view.setFavoritesOnly(true);
    EXPECT_EQ(view.count(), 0);
    EXPECT_EQ(view.emptyState()->title, "No results");
    store->toggleFavorite(entries[3].id);  // the view follows the store
    EXPECT_EQ(view.count(), 1);
    view.setQuery("window");
    EXPECT_EQ(view.count(), 0);  // entry 3 has no title

    QTemporaryDir emptyDir;
    auto empty = test::openStore(emptyDir.path());
    HistoryView none(rec.services(empty.get()));
    EXPECT_EQ(none.count(), 0);
    ASSERT_TRUE(none.emptyState());
    EXPECT_EQ(none.emptyState()->symbol, "camera.viewfinder");
    EXPECT_EQ(none.emptyState()->line, "Press Ctrl+Alt+1 to capture an area – it will show up here.");
}

TEST(HistoryMenu, ItemsByStateAndCopiedTexts)
{
    Lang::overrideForTests(QStringLiteral("en"));
    HistoryEntry e;
    e.ocrText = QString();
    auto actions = [](const HistoryEntry& x) {
        QList<EntryAction> out;
        for (const auto& i : entryMenu(x))
            out.append(i.action);
        return out;
    };
    using A = EntryAction;
    EXPECT_EQ(actions(e), (QList<A>{A::open, A::copyImage, A::pin, A::saveAs, A::palette, A::upload,
                                    A::toggleStar, A::reveal, A::remove}));
    e.ocrText = "x";
    e.uploadURL = "https://h/a.png";
    e.favorite = true;
    const auto menu = entryMenu(e);
    EXPECT_EQ(actions(e),
              (QList<A>{A::open, A::copyImage, A::copyText, A::pin, A::saveAs, A::copyLink, A::copyMarkdown,
                        A::copyHTML, A::palette, A::upload, A::toggleStar, A::reveal, A::remove}));
    EXPECT_TRUE(menu[5].separatorBefore);
    EXPECT_FALSE(menu[8].separatorBefore);
    EXPECT_EQ(menu[10].title, "Remove star");
    EXPECT_EQ(menu[11].title, "Show in file manager");

    e.title = "Q&A <b> \"[draft]\"";
    EXPECT_EQ(markdownText(e), "![Q&A <b> \"\\[draft\\]\"](https://h/a.png)");
    EXPECT_EQ(htmlText(e), "<img src=\"https://h/a.png\" alt=\"Q&amp;A &lt;b&gt; &quot;[draft]&quot;\">");
    e.title.reset();
    Lang::overrideForTests(QStringLiteral("hu"));
    EXPECT_EQ(markdownText(e), "![képernyőkép](https://h/a.png)");
    EXPECT_EQ(htmlText(e), "<img src=\"https://h/a.png\" alt=\"képernyőkép\">");
    Lang::overrideForTests(QStringLiteral("en"));
}

TEST_F(Browser, DeletesActAtOnceAndAFailedOneKeepsItsEntry)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    const HistoryServices s = view.services();
    runEntryAction(EntryAction::remove, entries[0], s);
    EXPECT_FALSE(store->entry(entries[0].id));
    EXPECT_EQ(view.count(), 9999);

    // Entry 2's PNG path is a folder with a file in it: unlink fails even for root.
    QFile::remove(png(entries[2].id));
    QDir().mkpath(png(entries[2].id));
    QFile(png(entries[2].id) + "/keep").open(QIODevice::WriteOnly);
    store->toggleFavorite(entries[5].id);
    view.setQuery("window");  // a search does not narrow the bulk delete
    deleteAllExceptStarred(s);
    EXPECT_EQ(idsOf(store->entries()), (QList<QUuid>{entries[2].id, entries[5].id}));
    EXPECT_EQ(view.count(), 2);  // both are titled "Window …"
    ASSERT_EQ(rec.toasts.size(), 1);
    EXPECT_TRUE(rec.toasts[0].startsWith("Could not delete|Is a directory|exclamationmark.triangle.fill"))
        << rec.toasts[0].toStdString();
    store->flush();
    EXPECT_FALSE(QFile::exists(png(entries[1].id)));
    EXPECT_TRUE(QFile::exists(png(entries[5].id)));
    EXPECT_TRUE(QFile::exists(png(entries[2].id) + "/keep"));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(uuidText(entries[2].id) + ".thumb.jpg")));
    store.reset();
    EXPECT_EQ(idsOf(test::openStore(dir.path())->entries()), (QList<QUuid>{entries[2].id, entries[5].id}));
}

TEST_F(Browser, ImageActionsOnAMissingFileToastAndLeaveTheClipboard)
{
    const HistoryServices s = rec.services(store.get());
    const HistoryEntry gone = entries[100];  // generated without files
    for (const EntryAction a : {EntryAction::copyImage, EntryAction::copyWithToast, EntryAction::open})
        runEntryAction(a, gone, s);
    EXPECT_EQ(rec.clipboardImages, 0);
    EXPECT_TRUE(rec.opened.isEmpty());
    EXPECT_EQ(rec.toasts, QStringList(3, "The image file cannot be read||exclamationmark.triangle.fill"));
    HistoryServices noFileManager = s;
    noFileManager.reveal = [](const QString&, std::function<void(bool)> done) { done(false); };
    runEntryAction(EntryAction::reveal, gone, noFileManager);
    EXPECT_EQ(rec.toasts.last(), "Could not open the file manager||exclamationmark.triangle.fill");
    // Through the grid: the hover copy button of a tile, then a double click on its card.
    HistoryView view(s, [] { return kNow; });
    view.resize(980, 680);
    QWidget* port = view.grid()->viewport();
    const QRect tile = view.grid()->tileRect(entries[1].id);
    const auto buttons =
        HistoryGrid::buttonRects(QRectF(tile.x(), tile.y(), tile.width(), 140), entries[1], true);
    ASSERT_EQ(buttons.first().first, HistoryGrid::Button::copy);
    QTest::mouseMove(port, buttons.first().second.center().toPoint());
    QTest::mouseClick(port, Qt::LeftButton, {}, buttons.first().second.center().toPoint());
    QTest::mouseDClick(port, Qt::LeftButton, {}, tile.topLeft() + QPoint(40, 100));
    EXPECT_EQ(rec.clipboardImages, 1);
    EXPECT_EQ(rec.opened, QList<QUuid>{entries[1].id});
    EXPECT_EQ(rec.toasts.last(), "Copied to clipboard||checkmark.circle.fill");
}

TEST_F(Browser, ThumbnailsAreDecodedOnWorkersOnly)
{
    QMutex mutex;
    QSet<QThread*> threads;
    ThumbnailLoader loader(dir.path(), [&](const QString& path, const QSize& size) {
        QMutexLocker lock(&mutex);
        threads.insert(QThread::currentThread());
        return ThumbnailLoader::decode(path, size);
    });
    HistoryGrid grid(&loader);
    grid.resize(980, 680);
    grid.setSections(sections(store->search(QString(), false), kNow));
    grid.grab();  // paints the visible tiles, which asks for their thumbnails
    const QUuid first = entries[0].id;
    ASSERT_TRUE(test::waitFor([&] { return !loader.cached(first).isNull(); }));
    loader.wait();
    QMutexLocker lock(&mutex);
    EXPECT_FALSE(threads.isEmpty());
    EXPECT_FALSE(threads.contains(QThread::currentThread()));
    EXPECT_TRUE(loader.cached(entries[500].id).isNull());  // never on screen
}

namespace {

// Pixels of the system red (text of a destructive item) inside `rect` of the rendered menu.
int redPixels(QMenu* menu, const QRect& rect)
{
    const QImage img = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal dpr = img.devicePixelRatio();
    int n = 0;
    for (int y = int(rect.top() * dpr); y < int(rect.bottom() * dpr); ++y)
        for (int x = int(rect.left() * dpr); x < int(rect.right() * dpr); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += c.red() > 170 && c.green() < 120 && c.blue() < 120;
        }
    return n;
}

QAction* actionWith(QMenu* menu, EntryAction a)
{
    for (QAction* x : menu->actions())
        if (!x->isSeparator() && x->data().toInt() == int(a))
            return x;
    return nullptr;
}

}  // namespace

TEST_F(Browser, BulkDeleteAsksNamingTheCountAndDestructiveItemsAreDrawnRed)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    store->toggleFavorite(entries[3].id);
    auto* bulk = view.findChild<QMenu*>("bulkMenu");
    ASSERT_TRUE(bulk);
    QAction* deleteAll = bulk->actions().first();

    // Declining leaves everything.
    deleteAll->trigger();
    ASSERT_EQ(rec.questions.size(), 1);
    EXPECT_EQ(rec.questions[0].title, "Delete 9999 captures?");
    EXPECT_EQ(rec.questions[0].action, "Delete 9999 captures");
    EXPECT_TRUE(rec.questions[0].detail.contains("cannot be undone"));
    EXPECT_EQ(store->entries().size(), 10000);

    // Agreeing deletes what the question named: a capture starred meanwhile stays.
    deleteAll->trigger();
    ASSERT_EQ(rec.questions.size(), 2);
    store->toggleFavorite(entries[7].id);
    EXPECT_EQ(store->entries().size(), 10000);
    rec.accept();
    EXPECT_EQ(idsOf(store->entries()), (QList<QUuid>{entries[3].id, entries[7].id}));
    EXPECT_EQ(view.count(), 2);

    // One left to go: the singular, in every language; none left: nothing is asked.
    store->toggleFavorite(entries[7].id);
    deleteAll->trigger();
    EXPECT_EQ(rec.questions.last().title, "Delete 1 capture?");
    EXPECT_EQ(deleteAllExceptStarredConfirmation(5).title, "Delete 5 captures?");
    Lang::overrideForTests(QStringLiteral("de"));
    EXPECT_EQ(deleteAllExceptStarredConfirmation(5).title, "5 Aufnahmen löschen?");
    Lang::overrideForTests(QStringLiteral("hu"));
    EXPECT_EQ(deleteAllExceptStarredConfirmation(5).action, "5 képernyőkép törlése");
    Lang::overrideForTests(QStringLiteral("en"));
    rec.accept();
    EXPECT_EQ(idsOf(store->entries()), (QList<QUuid>{entries[3].id}));
    const qsizetype asked = rec.questions.size();
    deleteAll->trigger();
    EXPECT_EQ(rec.questions.size(), asked);
    EXPECT_EQ(idsOf(store->entries()), (QList<QUuid>{entries[3].id}));

    // The destructive items are drawn red, the others are not.
    bulk->adjustSize();
    EXPECT_GT(redPixels(bulk, bulk->actionGeometry(deleteAll)), 20);
    EXPECT_EQ(redPixels(bulk, bulk->actionGeometry(bulk->actions().last())), 0);
    std::unique_ptr<QMenu> menu(view.menuFor(entries[3]));
    menu->adjustSize();
    QAction* remove = actionWith(menu.get(), EntryAction::remove);
    QAction* open = actionWith(menu.get(), EntryAction::open);
    ASSERT_TRUE(remove && open);
    EXPECT_GT(redPixels(menu.get(), menu->actionGeometry(remove)), 20);
    EXPECT_EQ(redPixels(menu.get(), menu->actionGeometry(open)), 0);
}

TEST_F(Browser, TheOnChipShowsAWhiteSymbol)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    QPushButton* chip = nullptr;
    for (QPushButton* b : view.findChildren<QPushButton*>())
        if (b->text() == "All")
            chip = b;
    ASSERT_TRUE(chip && chip->isChecked());
    // Mean colour of the symbol's opaque pixels in each state.
    auto ink = [&](QIcon::State state) {
        const QImage img = chip->icon().pixmap(QSize(22, 22), QIcon::Normal, state).toImage();
        double sum = 0;
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (const QColor c = img.pixelColor(x, y); c.alpha() > 60) {
                    sum += c.lightnessF();
                    ++n;
                }
        return n ? sum / n : -1.0;
    };
    EXPECT_GT(ink(QIcon::On), 0.95);
    const double off = ink(QIcon::Off);
    EXPECT_GE(off, 0);  // it has a symbol at all
    EXPECT_LT(off, 0.6);
}

TEST(HistoryConfirm, TheQuestionDefaultsToCancelAndOnlyItsDeleteButtonAgrees)
{
    Lang::overrideForTests(QStringLiteral("en"));
    QWidget parent;
    parent.show();
    parent.activateWindow();
    int agreed = 0;
    const auto ask = [&] {
        askInDialog(deleteAllExceptStarredConfirmation(3), [&] { ++agreed; });
        QMessageBox* box = nullptr;
        test::waitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        });
        return box;
    };
    QMessageBox* box = ask();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), "Delete 3 captures?");
    ASSERT_TRUE(box->defaultButton());
    EXPECT_EQ(box->defaultButton()->text(), "Cancel");
    EXPECT_EQ(box->escapeButton(), box->defaultButton());
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(test::waitFor([&] { return !box->isVisible(); }));
    EXPECT_EQ(agreed, 0);

    box = ask();
    ASSERT_TRUE(box);
    QAbstractButton* remove = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::DestructiveRole)
            remove = b;
    ASSERT_TRUE(remove);
    EXPECT_EQ(remove->text(), "Delete 3 captures");
    remove->click();
    EXPECT_EQ(agreed, 1);
}

// The chips' spring: response 0.18 s, damping 0.85 — about nine tenths there at half the
// response, a slight overshoot (under 1%), and the curve ends exactly on.
TEST(HistoryMotion, TheChipSpringOvershootsSlightlyAndEndsOn)
{
    struct Case {
        double t;
        double low, high;
    } cases[] = {{0, 0, 0}, {0.09, 0.85, 0.95}, {0.18, 1.0, 1.01}, {1, 0.999, 1.001}};
    for (const Case& c : cases) {
        const double v = spring::position(0.18, 0.85, c.t);
        EXPECT_GE(v, c.low) << c.t;
        EXPECT_LE(v, c.high) << c.t;
    }
    const QEasingCurve curve = motion::chipSpring();
    double peak = 0;
    for (int i = 0; i <= 1000; ++i)
        peak = std::max(peak, curve.valueForProgress(i / 1000.0));
    EXPECT_GT(peak, 1.003);
    EXPECT_LT(peak, 1.01);
    EXPECT_EQ(curve.valueForProgress(1), 1.0);
}

// Chips spring between on and off, and a tile lifted by the pointer eases up with a wide soft
// shadow beside the card that a resting card does not cast.
TEST_F(Browser, ChipsSpringAndAHoveredTileLiftsWithASoftShadow)
{
    HistoryView view(rec.services(store.get()), [] { return kNow; });
    view.resize(900, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    FilterChip* starred = nullptr;
    FilterChip* all = nullptr;
    for (FilterChip* c : view.findChildren<FilterChip*>())
        (c->text() == "All" ? all : starred) = c;
    ASSERT_TRUE(all && starred);
    EXPECT_EQ(all->level(), 1.0);
    EXPECT_EQ(starred->level(), 0.0);
    QTest::mouseClick(starred, Qt::LeftButton);
    EXPECT_LT(starred->level(), 1.0) << "on at once, without the spring";
    EXPECT_TRUE(test::waitFor([&] { return starred->level() == 1.0 && all->level() == 0.0; }));
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([&] { return all->level() == 1.0 && starred->level() == 0.0; }));

    HistoryGrid* grid = view.grid();
    const HistoryEntry first = grid->sections().first().items.first();
    const QRect tile = grid->tileRect(first.id);
    ASSERT_FALSE(tile.isEmpty());
    const int y = tile.top() + int(GridMetrics::cardHeight / 2);
    const auto shade = [&](const QImage& img, int dx) { return qGray(img.pixel(tile.left() - dx, y)); };
    const QImage rest = grid->viewport()->grab().toImage();
    const int background = qGray(rest.pixel(2, y));

    QTest::mouseMove(grid->viewport(), tile.center());
    EXPECT_LT(grid->lift(first.id), 1.0) << "lifted at once, without easing";
    EXPECT_TRUE(test::waitFor([&] { return grid->lift(first.id) == 1.0; }));
    const QImage lifted = grid->viewport()->grab().toImage();
    EXPECT_EQ(shade(rest, 8), background) << "a resting card's shadow is small";
    EXPECT_LT(shade(lifted, 8), background - 4) << "a lifted card's shadow reaches 8 pt beside it";
    EXPECT_LT(shade(lifted, 3), shade(lifted, 8)) << "and fades outwards";
    EXPECT_EQ(shade(lifted, 20), background);

    QTest::mouseMove(grid->viewport(), QPoint(2, 2));
    EXPECT_TRUE(test::waitFor([&] { return grid->lift(first.id) == 0.0; }));
}
