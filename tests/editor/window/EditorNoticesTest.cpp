// What the editor window tells the user: a save that fails (and the history write-back that
// happens all the same), no text found, a copy at 1x, a picture added.
#include "../EditorTestPages.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "editor/window/EditorWindowController.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

using namespace kx;

namespace {

// An editor on a history entry (60 × 40 pixels at scale 2) with recording services.
struct Notices {
    QTemporaryDir dir;
    std::shared_ptr<test::Recorded> rec = std::make_shared<test::Recorded>();
    std::unique_ptr<HistoryStore> store;
    HistoryEntry entry;
    QPointer<EditorWindowController> c;

    explicit Notices(const std::function<void(EditorServices&)>& adjust = {})
    {
        Lang::overrideForTests("en");
        test::OneCaptureHistory h = test::oneCaptureHistory(dir.filePath("History"), test::filled(60, 40));
        store = std::move(h.store);
        entry = h.entry;
        const CaptureResult cap = h.capture;
        rec->saveFolder = dir.filePath("Saves");
        EditorServices s = test::fakeServices(rec);
        s.history = store.get();
        if (adjust)
            adjust(s);
        c = EditorWindowController::open(cap, entry.id, s);
    }
    ~Notices() { delete c.data(); }
    QString lastToast() const { return rec->toasts.isEmpty() ? QString() : rec->toasts.last(); }
};

}  // namespace

TEST(EditorNotices, AFailedSaveSaysSoAndTheHistoryStillGetsTheEdit)
{
    Notices n;
    // A file where the save folder should be: nothing can be written into it.
    QFile blocker(n.rec->saveFolder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    n.c->doc().append(test::filled(60, 20), 2.0, EditorDocument::AddEdge::below);
    bool finished = false;
    QString savedPath = "unset";
    QObject::connect(n.c, &EditorWindowController::saveFinished, [&](const QString& path) {
        finished = true;
        savedPath = path;
    });
    n.c->actions().save();
    ASSERT_TRUE(test::waitFor([&] { return finished; }));
    EXPECT_TRUE(savedPath.isEmpty());
    ASSERT_TRUE(n.lastToast().startsWith("Save failed|")) << n.lastToast().toStdString();
    EXPECT_GT(n.lastToast().size(), QString("Save failed|").size());  // with the system's reason
    EXPECT_TRUE(n.rec->revealed.isEmpty());
    // The edited image went into the entry all the same.
    ASSERT_TRUE(test::waitFor([&] { return n.store->entry(n.entry.id)->height == 60; }));
    n.store->flush();
    EXPECT_EQ(QImage(n.store->dir() + "/" + uuidText(n.entry.id) + ".png").height(), 60);
}

TEST(EditorNotices, NoTextFoundCopiedAt1xAndPictureAdded)
{
    Notices n([](EditorServices& s) {
        s.recognizeText = [](const QImage&) { return QtFuture::makeReadyFuture(OCRResult{true, {}, {}}); };
        s.barcodes = [](const QImage&) { return QStringList(); };
        s.captureArea = [] {
            return QtFuture::makeReadyFuture(std::optional<CaptureResult>(CaptureResult{
                test::filled(30, 30), 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()}));
        };
    });
    n.c->actions().ocr();
    ASSERT_TRUE(test::waitFor([&] { return !n.rec->toasts.isEmpty(); }));
    EXPECT_EQ(n.lastToast(), "No text found|");
    EXPECT_FALSE(n.rec->clipboard);

    n.c->actions().copy1x();
    ASSERT_TRUE(test::waitFor([&] { return n.rec->clipboard != nullptr; }));
    EXPECT_EQ(n.lastToast(), "Copied @1x|30 × 20 px");
    EXPECT_EQ(QImage::fromData(n.rec->clipboard->data("image/png"), "PNG").size(), QSize(30, 20));

    const qsizetype pictures = n.c->doc().annotations().size();
    n.c->actions().addCapture(std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return n.c->doc().annotations().size() == pictures + 1; }));
    EXPECT_EQ(n.lastToast(), "Picture added|Drag to move, drag the corners to resize.");
    EXPECT_EQ(n.c->doc().base().size(), QSize(60, 40));  // on the image, not glued to it
}
