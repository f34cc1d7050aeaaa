// The history window under a real X server: shown over 10,000 entries, narrowed by typing,
// a double click on a tile opens the editor on that entry; Show in file manager through a
// fake org.freedesktop.FileManager1, else a stub xdg-open gets the folder.
#include "HistoryFixture.h"
#include "core/Localisation.h"
#include "editor/window/EditorWindowController.h"
#include "library/history/HistoryGrid.h"
#include "library/history/HistoryView.h"
#include "library/history/HistoryWindowController.h"
#include "library/history/ThumbnailLoader.h"
#include "tests/support/TestSupport.h"
#include "tests/support/fakes/FakeFileManager.h"

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QWindow>

using namespace kx;

namespace {

void xdo(const QStringList& args)
{
    test::run(QStringLiteral("xdotool"), args);
}

void clickAt(const QPoint& p, int repeat = 1)
{
    xdo({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())});
    xdo({"click", "--repeat", QString::number(repeat), "--delay", "120", "1"});
}

}  // namespace

TEST(HistoryDesktop, ShowTypeAndDoubleClickOpensTheEditor)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    Lang::overrideForTests(QStringLiteral("en"));
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    const QList<HistoryEntry> entries = test::generateHistory(dir.path(), 10000, 40, now);
    const HistoryEntry target = entries[9991];  // the newest "window 999…", given an image
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    image.save(QDir(dir.path()).filePath(uuidText(target.id) + ".png"));
    qputenv("KAPTORIX_DATA_DIR", dir.path().toUtf8());

    HistoryWindowController::shared().show();
    QWidget* w = HistoryWindowController::shared().window();
    ASSERT_TRUE(test::waitFor([&] { return w->isVisible() && w->windowHandle()->isExposed(); }, 20000));
    HistoryView* view = HistoryWindowController::shared().view();
    EXPECT_EQ(view->count(), 10000);
    // Thumbnails of the first screen land.
    ASSERT_TRUE(test::waitFor([&] { return view->thumbnails()->waiting() == 0; }, 20000));

    QLineEdit* field = view->searchField();
    clickAt(field->mapToGlobal(field->rect().center()));
    ASSERT_TRUE(test::waitFor([&] { return field->hasFocus(); }, 10000));
    xdo({"type", "--delay", "30", "window 999"});
    ASSERT_TRUE(test::waitFor([&] { return view->count() == 6; }, 20000)) << view->count();
    w->repaint();
    test::run("import", {"-window", "root", test::artifactDir("library") + "/history-window.png"});

    HistoryGrid* grid = view->grid();
    const QRect tile = grid->tileRect(target.id);
    ASSERT_FALSE(tile.isEmpty());
    clickAt(grid->viewport()->mapToGlobal(tile.topLeft() + QPoint(tile.width() / 2, 70)), 2);
    ASSERT_TRUE(test::waitFor(
        [&] {
            for (EditorWindowController* e : EditorWindowController::openEditors())
                if (e->document()->historyID() == target.id)
                    return true;
            return false;
        },
        20000));

    // Closing hides; the next show brings the same window with the same query.
    w->close();
    HistoryWindowController::shared().show();
    EXPECT_EQ(HistoryWindowController::shared().window(), w);
    EXPECT_EQ(view->query(), "window 999");
}

TEST(HistoryDesktop, ShowInFileManagerThenTheFolderFallback)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir bin;
    const QString log = bin.filePath("opened.txt");
    {
        QFile stub(bin.filePath("xdg-open"));
        ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
        stub.write(QStringLiteral("#!/bin/sh\necho \"$1\" > %1\n").arg(log).toUtf8());
        stub.setPermissions(stub.permissions() | QFileDevice::ExeOwner);
    }
    qputenv("PATH", bin.path().toUtf8() + ":" + qgetenv("PATH"));

    QTemporaryDir dir;
    const auto entries = test::generateHistory(dir.path(), 3, 3, QDateTime::currentDateTime());
    auto store = test::openStore(dir.path());
    test::Recorded rec;
    HistoryServices s = HistoryServices::live();
    s.store = store.get();
    s.toast = rec.services(store.get()).toast;
    const QString png = QDir(dir.path()).filePath(uuidText(entries[1].id) + ".png");

    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    test::FakeFileManager fm;
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/FileManager1", &fm, QDBusConnection::ExportAllSlots));
    runEntryAction(EntryAction::reveal, entries[1], s);
    ASSERT_TRUE(test::waitFor([&] { return !fm.shown.isEmpty(); }, 10000));
    EXPECT_EQ(fm.shown, QStringList{QUrl::fromLocalFile(png).toString(QUrl::FullyEncoded)});

    bus.unregisterObject("/org/freedesktop/FileManager1");
    bus.unregisterService("org.freedesktop.FileManager1");
    runEntryAction(EntryAction::reveal, entries[1], s);
    ASSERT_TRUE(test::waitFor([&] { return QFile::exists(log); }, 15000));
    ASSERT_TRUE(test::waitFor(
        [&] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) &&
                   f.readAll().trimmed().endsWith(QDir(dir.path()).dirName().toUtf8());
        },
        10000));
    EXPECT_TRUE(rec.toasts.isEmpty());
}

// Double click, hover button and menu on an entry whose editor is open bring that editor back
// (also from the task bar) instead of a second one, so every edit reaches the history.
TEST(HistoryDesktop, OpeningAnOpenEntryAgainBringsItsEditorBackAndKeepsEveryEdit)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    Lang::overrideForTests(QStringLiteral("en"));
    QTemporaryDir dir;
    const auto entries = test::generateHistory(dir.path(), 3, 3, QDateTime::currentDateTime());
    auto store = test::openStore(dir.path());
    const HistoryEntry target = entries[1];
    EditorServices editorServices;
    editorServices.history = store.get();
    int opens = 0;
    HistoryServices s = HistoryServices::live();
    s.store = store.get();
    s.openEditor = [&](const CaptureResult& capture, const QUuid& id) {
        ++opens;
        EditorWindowController::open(capture, id, editorServices);
    };
    HistoryView view(s);
    view.resize(900, 600);
    view.show();
    ASSERT_TRUE(
        test::waitFor([&] { return view.windowHandle() && view.windowHandle()->isExposed(); }, 20000));
    HistoryGrid* grid = view.grid();
    const auto editorsOnTarget = [&] {
        QList<EditorWindowController*> found;
        for (EditorWindowController* e : EditorWindowController::openEditors())
            if (e->historyTarget() == target.id)
                found.append(e);
        return found;
    };
    const auto tileCentre = [&] {
        const QRect tile = grid->tileRect(target.id);
        return grid->viewport()->mapToGlobal(tile.topLeft() + QPoint(tile.width() / 2, 70));
    };
    const auto draw = [](EditorWindowController* e, QPointF from, QPointF to) {
        Annotation a;
        a.p1 = from;
        a.p2 = to;
        a.style.color = RGBA{1, 0, 0, 1};
        e->doc().pushUndo();
        e->doc().add(a);
    };

    ASSERT_FALSE(grid->tileRect(target.id).isEmpty());
    clickAt(tileCentre(), 2);
    ASSERT_TRUE(test::waitFor([&] { return editorsOnTarget().size() == 1; }, 20000));
    QPointer<EditorWindowController> editor = editorsOnTarget().first();
    ASSERT_TRUE(test::waitFor([&] { return editor->window()->windowHandle()->isExposed(); }, 20000));
    draw(editor, {2, 2}, {20, 12});

    using Open = std::function<void()>;
    const std::pair<const char*, Open> ways[] = {
        {"double click", [&] { clickAt(tileCentre(), 2); }},
        {"hover button",
         [&] {
             const QRect tile = grid->tileRect(target.id);
             // The pointer moves onto the tile before it presses the button.
             for (const auto& [button, rect] : HistoryGrid::buttonRects(tile, target, true))
                 if (button == HistoryGrid::Button::open)
                     clickAt(grid->viewport()->mapToGlobal(rect.center().toPoint()));
         }},
        {"menu",
         [&] {
             std::unique_ptr<QMenu> menu(view.menuFor(target));
             for (QAction* a : menu->actions())
                 if (a->data().toInt() == int(EntryAction::open))
                     a->trigger();
         }},
    };
    for (const auto& [name, open] : ways) {
        SCOPED_TRACE(name);
        editor->window()->showMinimized();
        ASSERT_TRUE(test::waitFor([&] { return editor->window()->isMinimized(); }, 20000));
        const int before = opens;
        open();
        ASSERT_TRUE(test::waitFor([&] { return opens > before; }, 20000));
        ASSERT_TRUE(test::waitFor([&] { return !editor->window()->isMinimized(); }, 20000));
        ASSERT_EQ(editorsOnTarget(), QList<EditorWindowController*>{editor.data()});
    }
    draw(editor, {25, 2}, {5, 14});
    const QImage edited =
        editor->doc().renderFinal(false).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    editor->window()->close();
    ASSERT_TRUE(test::waitFor([&] { return editor.isNull(); }, 20000));
    store->flush();
    const QImage stored = QImage(QDir(dir.path()).filePath(uuidText(target.id) + ".png"))
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(stored, edited);
    EXPECT_EQ(store->entries().size(), 3);
}
