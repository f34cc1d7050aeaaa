// Editor commands against a real history in a temporary folder and fake services.
#include "../EditorTestPages.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "capture/history/HistoryStore.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/SaveTarget.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPromise>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <atomic>

using namespace kx;

namespace {

QImage read(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct HistoryEditor {
    QTemporaryDir dir;
    std::shared_ptr<test::Recorded> rec = std::make_shared<test::Recorded>();
    std::unique_ptr<HistoryStore> store;
    HistoryEntry entry;
    QPointer<EditorWindowController> c;

    explicit HistoryEditor(bool withEntry = true, EditorServices services = {})
    {
        test::OneCaptureHistory h = test::oneCaptureHistory(dir.filePath("History"), test::filled(60, 40));
        store = std::move(h.store);
        entry = h.entry;
        const CaptureResult cap = h.capture;
        rec->saveFolder = dir.filePath("Saves");
        if (!services.toast)
            services = test::fakeServices(rec);
        services.history = store.get();
        c = EditorWindowController::open(cap, withEntry ? entry.id : QUuid(), services);
    }
    ~HistoryEditor() { delete c.data(); }
    QString png() const { return store->dir() + QLatin1Char('/') + uuidText(entry.id) + ".png"; }
    void edit()
    {
        Annotation a;
        a.p1 = {5, 5};
        a.p2 = {30, 20};
        a.style.color = RGBA{1, 0, 0, 1};
        c->doc().pushUndo();
        c->doc().add(a);
    }
    QImage stored()
    {
        store->flush();
        return read(png());
    }
};

using Command = std::function<void(EditorWindowController*)>;

void save(EditorWindowController* c)
{
    bool done = false;
    QObject::connect(c, &EditorWindowController::saveFinished, [&] { done = true; });
    c->cmdSave();
    test::waitFor([&] { return done; });
}

}  // namespace

TEST(EditorCommands, CommitMatrixRewritesOnlyDirtyDocumentsWithAnEntryAndNeverTheBackdrop)
{
    const std::pair<const char*, Command> committing[] = {{"copy", [](auto* c) { c->copy(CopyMode::copy); }},
                                                          {"save", save},
                                                          {"save as", [](auto* c) { c->actions().saveAs(); }},
                                                          {"pin", [](auto* c) { c->actions().pin(); }},
                                                          {"upload", [](auto* c) { c->actions().upload(); }},
                                                          {"close", [](auto* c) { c->window()->close(); }}};
    for (const auto& [name, cmd] : committing) {
        for (int variant = 0; variant < 3; ++variant) {  // dirty with entry, clean with entry, dirty without
            SCOPED_TRACE(testing::Message() << name << " variant " << variant);
            HistoryEditor h(variant != 2);
            ASSERT_FALSE(h.stored().isNull());
            // A marker in the entry's place shows whether the command wrote at all.
            QImage marker(3, 3, QImage::Format_ARGB32_Premultiplied);
            marker.fill(Qt::red);
            ASSERT_TRUE(marker.save(h.png()));
            if (variant != 1)
                h.edit();
            BeautifySettings backdrop = h.c->doc().beautify();
            backdrop.enabled = true;
            h.c->doc().setBeautify(backdrop);
            const QImage flattened = h.c->doc().renderFinal(false);
            cmd(h.c);
            const QImage after = h.stored();
            if (variant == 0)
                EXPECT_EQ(after, flattened.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            else
                EXPECT_EQ(after, marker);
            EXPECT_EQ(h.store->entry(h.entry.id)->scale, 2.0);
        }
    }
    // Quit: the edit is on disk when the quit hook returns.
    {
        HistoryEditor h;
        h.edit();
        const QImage flattened =
            h.c->doc().renderFinal(false).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EditorWindowController::commitAllBeforeQuit();
        EXPECT_EQ(read(h.png()), flattened);
    }
    // Commands that do not commit.
    for (const Command& cmd :
         {Command([](auto* c) { c->actions().copy1x(); }), Command([](auto* c) { c->actions().fit(); })}) {
        HistoryEditor h;
        const QImage original = h.stored();
        h.edit();
        cmd(h.c);
        EXPECT_EQ(h.stored(), original);
    }
}

TEST(EditorCommands, AFailedWriteBackToastsAndKeepsTheEntryAsItsFile)
{
    HistoryEditor h;
    h.stored();
    // A folder where the PNG belongs: the atomic replacement cannot land.
    ASSERT_TRUE(QFile::remove(h.png()));
    ASSERT_TRUE(QDir().mkdir(h.png()));
    h.c->doc().append(test::filled(60, 20), 2.0, EditorDocument::AddEdge::below);
    h.c->commitToHistory();
    ASSERT_TRUE(test::waitFor([&] { return !h.rec->toasts.isEmpty(); }));
    EXPECT_TRUE(h.rec->toasts.last().startsWith("History not updated|"));
    EXPECT_TRUE(h.rec->toasts.last().contains(h.store->dir()));
    EXPECT_EQ(h.store->entry(h.entry.id)->height, 40);
}

TEST(EditorCommands, SaveTakesTheNextFreeNameAndNeverReplacesAFile)
{
    QTemporaryDir dir;
    QFile taken(dir.filePath("shot 2.png"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("keep");
    taken.close();
    const QString expected[] = {"shot.png", "shot 3.png", "shot 4.png"};
    for (const QString& name : expected) {
        const SaveResult r = saveExclusively(dir.path(), "shot", "png", "data");
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(QFileInfo(r.path).fileName(), name);
    }
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), QByteArray("keep"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);  // no temporary left

    // Through the window: two saves, two names, the second revealed.
    HistoryEditor h(false);
    save(h.c);
    save(h.c);
    ASSERT_EQ(h.rec->revealed.size(), 2);
    EXPECT_TRUE(h.rec->revealed[1].endsWith(" 2.png"));
    EXPECT_EQ(read(h.rec->revealed[1]), read(h.rec->revealed[0]));

    // Share: "Copy file path" hands over a PNG of the finished image in the private folder.
    h.c->share(h.c->window());
    auto* menu = h.c->window()->findChild<QMenu*>();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions().first()->trigger();
    ASSERT_TRUE(test::waitFor([&] { return h.rec->clipboard && h.rec->clipboard->hasText(); }));
    const QString shared = h.rec->clipboard->text();
    EXPECT_TRUE(shared.startsWith(h.rec->saveFolder));
    EXPECT_EQ(read(shared), read(h.rec->revealed[0]));
}

TEST(EditorCommands, OcrJoinsTextAndCodesAndRedactionAddsNothingToAChangedImage)
{
    auto rec = std::make_shared<test::Recorded>();
    EditorServices s = test::fakeServices(rec);
    s.recognizeText = [](const QImage&) {
        return QtFuture::makeReadyFuture(OCRResult{true, {}, {{QString(200, QLatin1Char('x')), {}, 90, {}}}});
    };
    QThread* ui = QThread::currentThread();
    std::atomic<bool> codesOnUi{false};
    s.barcodes = [ui, &codesOnUi](const QImage&) {
        codesOnUi = QThread::currentThread() == ui;
        return QStringList{"A", "B"};
    };
    auto promise = std::make_shared<QPromise<SensitiveData::Result>>();
    s.findSensitive = [promise](const QImage&) {
        promise->start();
        return promise->future();
    };
    HistoryEditor h(true, s);
    h.c->cmdOCR();
    ASSERT_TRUE(test::waitFor([&] { return bool(rec->clipboard); }));
    EXPECT_EQ(rec->clipboard->text(), QString(200, QLatin1Char('x')) + "\n\nA\nB");
    EXPECT_EQ(rec->toasts.last(), "Text copied|" + QString(160, QLatin1Char('x')));
    EXPECT_FALSE(h.c->doc().busyMessage());
    EXPECT_FALSE(codesOnUi);  // a large image keeps the detector busy for a while

    // Recognition that cannot run says why; it is not an image without text.
    {
        EditorServices failing = s;
        failing.recognizeText = [](const QImage&) {
            return QtFuture::makeReadyFuture(
                OCRResult{false, QStringLiteral("no language data installed"), {}});
        };
        failing.barcodes = [](const QImage&) { return QStringList(); };
        HistoryEditor f(true, failing);
        f.c->cmdOCR();
        ASSERT_TRUE(test::waitFor([&] { return !f.c->doc().busyMessage(); }));
        EXPECT_EQ(rec->toasts.last(), "Text recognition failed|no language data installed");
        EditorServices empty = failing;
        empty.recognizeText = [](const QImage&) {
            return QtFuture::makeReadyFuture(OCRResult{true, {}, {}});
        };
        HistoryEditor e(true, empty);
        e.c->cmdOCR();
        ASSERT_TRUE(test::waitFor([&] { return !e.c->doc().busyMessage(); }));
        EXPECT_EQ(rec->toasts.last(), "No text found|");
    }

    // The image is cropped while the search runs: its places are stale.
    h.c->cmdRedact();
    EXPECT_TRUE(h.c->doc().busyMessage());
    h.c->doc().setCropRect(QRectF(10, 10, 30, 20));
    h.c->doc().applyCrop();
    const qsizetype undoDepth = h.c->doc().undoStack().size();
    promise->addResult(SensitiveData::Result{true, {}, {{"email", QRectF(2, 2, 20, 8), 8}}});
    promise->finish();
    ASSERT_TRUE(test::waitFor([&] { return !h.c->doc().busyMessage(); }));
    EXPECT_TRUE(h.c->doc().annotations().isEmpty());
    EXPECT_EQ(h.c->doc().undoStack().size(), undoDepth);
    EXPECT_EQ(rec->toasts.last(), "Image changed – run Redact again|");
}

TEST(EditorCommands, AddCaptureJoinsBelowAndAClosedEditorsClosuresDoNothing)
{
    auto rec = std::make_shared<test::Recorded>();
    EditorServices s = test::fakeServices(rec);
    s.captureArea = [] {
        return QtFuture::makeReadyFuture(std::optional<CaptureResult>(CaptureResult{
            test::filled(60, 20), 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()}));
    };
    HistoryEditor a(true, s);
    HistoryEditor b(true, s);
    a.c->actions().addCapture(EditorDocument::AddEdge::below);
    ASSERT_TRUE(test::waitFor([&] { return a.c->doc().base().height() == 60; }));
    EXPECT_EQ(rec->toasts.last(), "Capture added|60 × 60 px");
    EXPECT_TRUE(a.c->window()->isVisible());

    const EditorActions late = b.c->actions();
    b.c->window()->close();
    ASSERT_TRUE(test::waitFor([&] { return !b.c; }));
    EXPECT_EQ(EditorWindowController::openEditors().size(), 1);
    const qsizetype toasts = rec->toasts.size();
    late.copy(CopyMode::copy);
    late.save();
    late.zoom(2);
    late.addCapture(std::nullopt);
    late.ocr();
    QCoreApplication::processEvents();
    EXPECT_EQ(rec->toasts.size(), toasts);
    a.c->cmdZoom(2);  // the other one still works
    EXPECT_DOUBLE_EQ(a.c->doc().zoom(), a.c->scrollView()->magnification());
}

TEST(EditorCommands, OneEditorPerEntryAndNoSilentWriteOverAnotherWindowsEdits)
{
    // What the user answers when a write-back would replace another window's edits; no
    // closure stands for a path that cannot ask (quit), which keeps both.
    const std::optional<bool> answers[] = {true, false, std::nullopt};
    for (const std::optional<bool>& answer : answers) {
        SCOPED_TRACE(answer ? (*answer ? "replace" : "keep both") : "cannot ask");
        int asked = 0;
        EditorServices services = test::fakeServices(std::make_shared<test::Recorded>());
        if (answer)
            services.replaceChangedEntry = [&](QWidget*) {
                ++asked;
                return *answer;
            };
        HistoryEditor h(true, services);
        const CaptureResult capture{h.store->loadImage(h.entry.id)->image, 2.0, SourceKind::area,
                                    std::nullopt, QDateTime::currentDateTime()};
        // Opening the entry again brings the same editor back.
        EXPECT_EQ(EditorWindowController::open(capture, h.entry.id, services), h.c.data());

        // A second editor on the entry all the same (not through open()).
        services.history = h.store.get();
        std::unique_ptr<EditorWindowController> other(
            new EditorWindowController(capture, h.entry.id, services));
        h.edit();
        Annotation b;
        b.p1 = {50, 35};
        b.p2 = {20, 10};
        b.style.color = RGBA{0, 0, 1, 1};
        other->doc().pushUndo();
        other->doc().add(b);
        const auto flat = [](EditorWindowController* c) {
            return c->doc().renderFinal(false).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        h.c->commitToHistory();
        ASSERT_EQ(h.stored(), flat(h.c));
        other->commitToHistory();
        other->commitToHistory();  // asked once: the answer stands
        EXPECT_EQ(asked, answer ? 1 : 0);
        const bool replaced = answer.value_or(false);
        EXPECT_EQ(h.stored(), replaced ? flat(other.get()) : flat(h.c));
        ASSERT_EQ(h.store->entries().size(), replaced ? 1 : 2);
        if (!replaced) {
            const QUuid kept = other->historyTarget();
            ASSERT_NE(kept, h.entry.id);
            h.store->flush();
            EXPECT_EQ(read(h.store->dir() + QLatin1Char('/') + uuidText(kept) + ".png"), flat(other.get()));
        }
    }
}
