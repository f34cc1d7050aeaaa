#include "../EditorTestPages.h"
#include "editor/document/EditorDocument.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace kx;
using kx::test::filled;

#if defined(__SANITIZE_ADDRESS__)
// The join that cannot be allocated must fail as malloc does, not abort the sanitizer run.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

CaptureResult capture(int w, int h, double scale)
{
    CaptureResult c = test::plainCapture(w, h, scale, SourceKind::area, Qt::darkCyan);
    c.title = QStringLiteral("Terminal");
    return c;
}

Annotation rectAt(double x, double y, double w = 50, double h = 40)
{
    Annotation a;
    a.kind = ToolKind::rect;
    a.p1 = QPointF(x, y);
    a.p2 = QPointF(x + w, y + h);
    return a;
}

Annotation step(int number)
{
    Annotation a;
    a.kind = ToolKind::step;
    a.p1 = a.p2 = QPointF(10 * number, 10);
    a.number = number;
    return a;
}

// Adds an object the way a finished drawing gesture does.
QUuid draw(EditorDocument& doc, const Annotation& a)
{
    doc.pushUndo();
    doc.add(a);
    return a.id;
}

}  // namespace

TEST(EditorDocument, NewDocumentDefaultsFollowTheCaptureScale)
{
    // Point sizes are multiplied by the capture's scale.
    EditorDocument doc(capture(200, 100, 2.0), QUuid::createUuid());
    EXPECT_DOUBLE_EQ(doc.style().lineWidth, 6);
    EXPECT_DOUBLE_EQ(doc.style().fontSize, 36);
    EXPECT_DOUBLE_EQ(doc.style().intensity, 24);
    EXPECT_EQ(doc.title(), QStringLiteral("Terminal"));
    EXPECT_FALSE(doc.isDirty());

    // A broken scale must not poison later arithmetic.
    EditorDocument odd(capture(10, 10, 0.0));
    EXPECT_DOUBLE_EQ(odd.scale(), 1.0);
    EXPECT_DOUBLE_EQ(odd.style().lineWidth, 3);
}

TEST(EditorDocument, UndoHistoryIsCappedAndRedoClearedByANewChange)
{
    EditorDocument doc(capture(100, 100, 1));
    Annotation first = rectAt(0, 0);
    for (int i = 0; i < 101; ++i) {
        doc.pushUndo();
        doc.add(rectAt(i, i));
    }
    EXPECT_EQ(doc.undoStack().size(), 100);
    // The oldest (empty) state is gone: the first remaining snapshot already holds one object.
    EXPECT_EQ(doc.undoStack().first().annotations.size(), 1);

    doc.undo();
    doc.undo();
    EXPECT_EQ(doc.annotations().size(), 99);
    EXPECT_EQ(doc.redoStack().size(), 2);
    doc.redo();
    EXPECT_EQ(doc.annotations().size(), 100);
    EXPECT_EQ(doc.redoStack().size(), 1);

    draw(doc, first);
    EXPECT_TRUE(doc.redoStack().isEmpty());
    EXPECT_EQ(doc.annotations().size(), 101);

    // Empty stacks: nothing happens.
    EditorDocument fresh(capture(10, 10, 1));
    fresh.undo();
    fresh.redo();
    EXPECT_FALSE(fresh.isDirty());
}

TEST(EditorDocument, GestureThatChangedNothingLeavesNoUndoStepButEmptiesRedo)
{
    EditorDocument doc(capture(100, 100, 1));
    const QUuid id = draw(doc, rectAt(10, 10));
    draw(doc, rectAt(30, 30));
    doc.undo();
    ASSERT_EQ(doc.redoStack().size(), 1);
    const auto before = doc.undoStack().size();

    doc.select(id);
    doc.pushUndo();  // press on the object
    doc.update(*doc.selected());
    doc.discardUndoIfUnchanged();  // release without a move
    EXPECT_EQ(doc.undoStack().size(), before);
    EXPECT_TRUE(doc.redoStack().isEmpty());
    EXPECT_TRUE(doc.isDirty());

    // A real move keeps its snapshot, and undo brings the old position back.
    doc.pushUndo();
    Annotation moved = *doc.selected();
    moved.p1 += QPointF(5, 0);
    doc.update(moved);
    doc.discardUndoIfUnchanged();
    EXPECT_EQ(doc.undoStack().size(), before + 1);
    doc.undo();
    EXPECT_EQ(doc.selected()->p1, QPointF(10, 10));
}

TEST(EditorDocument, StyleChangesOnOneObjectAreOneUndoStep)
{
    EditorDocument doc(capture(100, 100, 1));
    const QUuid a = draw(doc, rectAt(0, 0));
    const QUuid b = draw(doc, rectAt(50, 50));
    doc.select(a);
    const auto base = doc.undoStack().size();

    for (RGBA c : {RGBA{0, 0, 1, 1}, RGBA{0, 1, 0, 1}, RGBA{1, 0, 1, 1}}) {
        AnnotationStyle s = doc.style();
        s.color = c;
        doc.setStyle(s);
    }
    EXPECT_EQ(doc.undoStack().size(), base + 1);
    EXPECT_EQ(doc.selected()->style.color, (RGBA{1, 0, 1, 1}));

    // Selecting another object copies its style without restyling anything, then a change
    // on it is a second step.
    doc.select(b);
    EXPECT_EQ(doc.style().color, (RGBA{1.0, 0.231, 0.188, 1.0}));
    EXPECT_EQ(doc.undoStack().size(), base + 1);
    AnnotationStyle s = doc.style();
    s.lineWidth = 9;
    doc.setStyle(s);
    EXPECT_EQ(doc.undoStack().size(), base + 2);

    // Setting the same style again records nothing.
    doc.setStyle(doc.style());
    EXPECT_EQ(doc.undoStack().size(), base + 2);

    doc.undo();
    doc.undo();
    EXPECT_EQ(doc.annotations()[0].style.color, (RGBA{1.0, 0.231, 0.188, 1.0}));
    EXPECT_DOUBLE_EQ(doc.annotations()[1].style.lineWidth, 3);
}

TEST(EditorDocument, HighlighterSwitchesToMarkerYellowAndBack)
{
    EditorDocument doc(capture(100, 100, 1));
    const RGBA red = doc.style().color;
    doc.setTool(ToolKind::highlighter);
    EXPECT_EQ(doc.style().color, EditorDocument::kMarkerYellow);
    doc.setTool(ToolKind::arrow);
    EXPECT_EQ(doc.style().color, red);

    // A colour picked while the highlighter is active stays.
    doc.setTool(ToolKind::highlighter);
    AnnotationStyle s = doc.style();
    s.color = RGBA{0.204, 0.78, 0.349, 1.0};
    doc.setStyle(s);
    doc.setTool(ToolKind::pen);
    EXPECT_EQ(doc.style().color, (RGBA{0.204, 0.78, 0.349, 1.0}));

    // Already a marker colour: kept, nothing remembered.
    s.color = RGBA{1.0, 0.584, 0.0, 1.0};
    doc.setStyle(s);
    doc.setTool(ToolKind::highlighter);
    EXPECT_EQ(doc.style().color, s.color);
    s.color = EditorDocument::kMarkerYellow;
    doc.setStyle(s);
    doc.setTool(ToolKind::arrow);
    EXPECT_EQ(doc.style().color, EditorDocument::kMarkerYellow);
}

TEST(EditorDocument, LeavingTheHighlighterLeavesTheStrokeJustDrawnAlone)
{
    for (bool viaPicture : {false, true}) {
        EditorDocument doc(capture(400, 300, 1));
        const RGBA red = doc.style().color;
        doc.setTool(ToolKind::highlighter);
        Annotation stroke = rectAt(10, 10);
        stroke.kind = ToolKind::highlighter;
        stroke.style = doc.style();
        const QUuid id = draw(doc, stroke);
        const qsizetype undoSteps = doc.undoStack().size();
        if (viaPicture)
            doc.addPicture(QImage(40, 30, QImage::Format_ARGB32_Premultiplied), 1.0);
        else
            doc.setTool(ToolKind::select);
        EXPECT_EQ(doc.annotations()[0].id, id);
        EXPECT_EQ(doc.annotations()[0].style.color, EditorDocument::kMarkerYellow) << viaPicture;
        EXPECT_EQ(doc.undoStack().size(), undoSteps + (viaPicture ? 1 : 0)) << viaPicture;
        EXPECT_TRUE(viaPicture || doc.style().color == red);
    }
}

TEST(EditorDocument, StepNumbersContinueAfterTheLargest)
{
    EditorDocument doc(capture(100, 100, 1));
    EXPECT_EQ(doc.nextStepNumber(), 1);
    const QUuid one = draw(doc, step(1));
    draw(doc, step(2));
    const QUuid three = draw(doc, step(3));
    EXPECT_EQ(doc.nextStepNumber(), 4);
    doc.select(three);
    doc.deleteSelected();
    EXPECT_EQ(doc.nextStepNumber(), 3);
    draw(doc, step(3));
    doc.select(one);
    doc.deleteSelected();
    EXPECT_EQ(doc.nextStepNumber(), 4);
}

TEST(EditorDocument, DeleteAndReorderNeedASelection)
{
    EditorDocument doc(capture(100, 100, 1));
    const QUuid a = draw(doc, rectAt(0, 0));
    const QUuid b = draw(doc, rectAt(10, 0));
    doc.select(QUuid());
    const auto steps = doc.undoStack().size();
    doc.deleteSelected();
    doc.bringToFront();
    doc.sendToBack();
    EXPECT_EQ(doc.undoStack().size(), steps);

    doc.select(b);
    doc.sendToBack();
    EXPECT_EQ(doc.annotations().first().id, b);
    EXPECT_EQ(doc.selectedID(), b);
    doc.bringToFront();
    EXPECT_EQ(doc.annotations().last().id, b);
    doc.bringToFront();  // already in front: still an undo step
    EXPECT_EQ(doc.undoStack().size(), steps + 3);

    doc.deleteSelected();
    EXPECT_EQ(doc.annotations().size(), 1);
    EXPECT_EQ(doc.annotations().first().id, a);
    EXPECT_TRUE(doc.selectedID().isNull());
}

TEST(EditorDocument, CropUsesTheIntegralRectangleAndMovesAnnotations)
{
    EditorDocument doc(capture(1000, 800, 1));
    Annotation pen;
    pen.kind = ToolKind::pen;
    pen.points = {QPointF(150, 60), QPointF(160, 70)};
    Annotation mag = rectAt(200, 100);
    mag.kind = ToolKind::magnifier;
    mag.lensCenter = QPointF(400, 300);
    draw(doc, pen);
    draw(doc, mag);
    const int version = doc.effects().version();

    doc.setCropRect(QRectF(100.4, 50.6, 200, 100));
    doc.applyCrop();
    EXPECT_EQ(doc.base().size(), QSize(201, 101));
    EXPECT_EQ(doc.annotations()[0].points[0], QPointF(50, 10));
    EXPECT_EQ(doc.annotations()[1].p1, QPointF(100, 50));
    EXPECT_EQ(doc.annotations()[1].lensCenter, QPointF(300, 250));  // outside, but kept
    EXPECT_FALSE(doc.cropRect().has_value());
    EXPECT_TRUE(doc.selectedID().isNull());
    EXPECT_EQ(doc.effects().version(), version + 1);

    // Undo restores the old base object and raises the version again.
    doc.undo();
    EXPECT_EQ(doc.base().size(), QSize(1000, 800));
    EXPECT_EQ(doc.effects().version(), version + 2);
}

TEST(EditorDocument, CropsUnderTwoPixelsAreDroppedWithoutUndo)
{
    EditorDocument doc(capture(100, 400, 1));
    doc.setCropRect(QRectF(10, 10, 1, 300));
    doc.applyCrop();
    EXPECT_EQ(doc.base().size(), QSize(100, 400));
    EXPECT_TRUE(doc.undoStack().isEmpty());
    EXPECT_FALSE(doc.cropRect().has_value());

    doc.setCropRect(QRectF(10, 10, 1.5, 300));
    doc.applyCrop();
    EXPECT_EQ(doc.base().size(), QSize(2, 300));

    // Entirely outside the picture, or not a number: dropped.
    EditorDocument other(capture(100, 100, 1));
    other.setCropRect(QRectF(150, 150, 40, 40));
    other.applyCrop();
    other.setCropRect(QRectF(qQNaN(), 0, 10, 10));
    other.applyCrop();
    EXPECT_EQ(other.base().size(), QSize(100, 100));
    EXPECT_TRUE(other.undoStack().isEmpty());

    // Without a crop rectangle observers are still told.
    QSignalSpy spy(&other, &EditorDocument::changed);
    other.applyCrop();
    EXPECT_EQ(spy.count(), 1);
}

TEST(EditorDocument, AppendJoinsOnEveryEdgeAndMovesAnnotationsWhenNeeded)
{
    struct Case {
        EditorDocument::AddEdge edge;
        QSize size;
        QPoint oldAt;    // where the old picture's top-left pixel lands
        QPoint addedAt;  // where the added picture's top-left pixel lands
        QPoint empty;    // a pixel covered by neither
    };
    const Case cases[] = {
        {EditorDocument::AddEdge::right, QSize(1400, 800), QPoint(0, 0), QPoint(1000, 0), QPoint(1200, 500)},
        {EditorDocument::AddEdge::left, QSize(1400, 800), QPoint(400, 0), QPoint(0, 0), QPoint(200, 500)},
        {EditorDocument::AddEdge::below, QSize(1000, 1100), QPoint(0, 0), QPoint(0, 800), QPoint(700, 900)},
        {EditorDocument::AddEdge::above, QSize(1000, 1100), QPoint(0, 300), QPoint(0, 0), QPoint(700, 100)},
    };
    for (const Case& c : cases) {
        EditorDocument doc(capture(1000, 800, 1));
        draw(doc, rectAt(10, 20));
        doc.setCropRect(QRectF(0, 0, 5, 5));
        const int version = doc.effects().version();
        doc.append(filled(400, 300, Qt::yellow), 1.0, c.edge);
        const QImage& b = doc.base();
        ASSERT_EQ(b.size(), c.size) << int(c.edge);
        EXPECT_EQ(b.pixelColor(c.oldAt), QColor(Qt::darkCyan)) << int(c.edge);
        EXPECT_EQ(b.pixelColor(c.addedAt), QColor(Qt::yellow)) << int(c.edge);
        EXPECT_EQ(b.pixelColor(c.empty).alpha(), 0) << int(c.edge);
        EXPECT_EQ(doc.annotations()[0].p1, QPointF(QPoint(10, 20) + c.oldAt)) << int(c.edge);
        EXPECT_FALSE(doc.cropRect().has_value());
        EXPECT_EQ(doc.effects().version(), version + 1);
        EXPECT_EQ(doc.undoStack().size(), 2);
    }
}

TEST(EditorDocument, AJoinedBaseIsNeverDrawnWithPatchesOfTheOldOne)
{
    // A blur at the right edge reads clamped pixels beyond it; once the capture is joined
    // there, its patch must be made anew, even by a listener that renders at the change.
    CaptureResult c = capture(100, 60, 1);
    for (int x = 0; x < 100; x += 2)
        for (int y = 0; y < 60; ++y)
            c.image.setPixelColor(x, y, Qt::black);
    EditorDocument doc(c);
    Annotation blur = rectAt(60, 0, 40, 60);
    blur.kind = ToolKind::blur;
    blur.style.intensity = 10;
    draw(doc, blur);
    doc.renderFinal(false);  // fills the cache for the old base

    QImage seenAtChange;
    QObject::connect(&doc, &EditorDocument::changed, [&] {
        if (seenAtChange.isNull() && doc.base().width() == 200)
            seenAtChange = doc.renderFinal(false).copy(60, 0, 40, 60);
    });
    doc.append(filled(100, 60, Qt::white), 1.0, EditorDocument::AddEdge::right);
    ASSERT_FALSE(seenAtChange.isNull());
    EXPECT_EQ(seenAtChange, doc.renderFinal(false).copy(60, 0, 40, 60));
}

TEST(EditorDocument, AppendResizesACaptureOfAnotherScale)
{
    EditorDocument doc(capture(1000, 800, 2));
    doc.append(filled(300, 200, Qt::yellow), 1.0, EditorDocument::AddEdge::below);
    EXPECT_EQ(doc.base().size(), QSize(1000, 1200));
    EXPECT_EQ(doc.base().pixelColor(599, 1199), QColor(Qt::yellow));
    EXPECT_EQ(doc.base().pixelColor(601, 1199).alpha(), 0);

    // Within 0.01 the capture is taken as it is.
    EditorDocument same(capture(100, 100, 2));
    same.append(filled(50, 50, Qt::yellow), 2.005, EditorDocument::AddEdge::right);
    EXPECT_EQ(same.base().size(), QSize(150, 100));
}

TEST(EditorDocument, AppendThatCannotAllocateLeavesTheDocumentUnchanged)
{
    // Two cheap one-bit images whose join would need hundreds of terabytes.
    QImage tall(1, 2'500'000, QImage::Format_Mono);
    QImage wide(60'000'000, 1, QImage::Format_Mono);
    ASSERT_FALSE(tall.isNull());
    ASSERT_FALSE(wide.isNull());
    CaptureResult c;
    c.image = tall;
    EditorDocument doc(c);
    draw(doc, rectAt(0, 0));
    const qint64 key = doc.base().cacheKey();
    const int version = doc.effects().version();
    QSignalSpy spy(&doc, &EditorDocument::changed);

    doc.append(wide, 1.0, EditorDocument::AddEdge::below);
    EXPECT_EQ(doc.base().cacheKey(), key);
    EXPECT_EQ(doc.undoStack().size(), 1);
    EXPECT_EQ(doc.effects().version(), version);
    EXPECT_EQ(spy.count(), 0);
}

TEST(EditorDocument, AddPictureSitsInTheBottomRightCornerAndIsSelected)
{
    EditorDocument doc(capture(1000, 800, 1));
    doc.setTool(ToolKind::highlighter);
    const QImage picture = filled(2000, 1000, Qt::red);
    doc.addPicture(picture, 1.0);
    ASSERT_EQ(doc.annotations().size(), 1);
    const Annotation& a = doc.annotations()[0];
    EXPECT_EQ(a.kind, ToolKind::picture);
    EXPECT_EQ(a.sourceRect(), QRectF(548, 558, 420, 210));
    EXPECT_EQ(a.image.cacheKey(), picture.cacheKey());  // stored unchanged
    EXPECT_EQ(doc.tool(), ToolKind::select);
    EXPECT_EQ(doc.selectedID(), a.id);
    EXPECT_EQ(doc.style().color, (RGBA{1, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(doc.style().lineWidth, 3);
    EXPECT_EQ(doc.undoStack().size(), 1);

    // A small picture from a 1x capture in a 2x document doubles and is never enlarged further.
    EditorDocument retina(capture(2000, 2000, 2));
    retina.addPicture(filled(100, 50, Qt::red), 1.0);
    const Annotation& r = retina.annotations()[0];
    EXPECT_NEAR(r.p2.x() - r.p1.x(), 200, 1e-9);
    EXPECT_NEAR(r.p1.x(), 2000 - 200 - 80, 1e-9);
    EXPECT_DOUBLE_EQ(r.style.lineWidth, 6);
}

TEST(EditorDocument, RenderFinalPassesTheBaseThroughWhenThereIsNothingToDraw)
{
    EditorDocument doc(capture(64, 48, 1));
    EXPECT_EQ(doc.renderFinal(true).cacheKey(), doc.base().cacheKey());
    EXPECT_EQ(doc.renderFinal(false).cacheKey(), doc.base().cacheKey());

    draw(doc, rectAt(5, 5, 20, 20));
    const QImage flat = doc.renderFinal(false);
    EXPECT_EQ(flat.size(), QSize(64, 48));
    EXPECT_NE(flat.cacheKey(), doc.base().cacheKey());
    EXPECT_EQ(flat.pixelColor(5, 15).red(), 255);  // the red outline is drawn

    BeautifySettings b = doc.beautify();
    b.enabled = true;
    doc.setBeautify(b);
    const QImage framed = doc.renderFinal(true);
    EXPECT_GT(framed.width(), 64 + 2 * 60);
}

TEST(EditorDocument, AToolChangeOrARestoreEndsTheCropAndKeepsOnlyALiveSelection)
{
    EditorDocument doc(capture(100, 100, 1));
    const QUuid kept = draw(doc, rectAt(0, 0));
    doc.setTool(ToolKind::select);
    EXPECT_EQ(doc.selectedID(), kept);
    doc.setTool(ToolKind::crop);
    EXPECT_TRUE(doc.selectedID().isNull());
    doc.setCropRect(QRectF(1, 1, 20, 20));
    doc.setTool(ToolKind::rect);
    EXPECT_FALSE(doc.cropRect().has_value());

    const QUuid later = draw(doc, rectAt(20, 20));
    doc.select(kept);
    doc.setCropRect(QRectF(0, 0, 10, 10));
    doc.undo();  // removes `later`
    EXPECT_EQ(doc.selectedID(), kept);
    EXPECT_FALSE(doc.cropRect().has_value());
    doc.redo();
    doc.select(later);
    doc.undo();
    EXPECT_TRUE(doc.selectedID().isNull());
    // Same base object: the effect cache keeps its version.
    EXPECT_EQ(doc.effects().version(), 0);
}
