// The backdrop popover, the checkerboard and the frame thumbnails.
#include "../../EditorTestPages.h"
#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "editor/window/controls/Checker.h"
#include "editor/window/controls/FrameThumbs.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QSlider>

namespace kx {
namespace {

std::unique_ptr<EditorDocument> makeDoc(QSize size, double scale)
{
    return std::make_unique<EditorDocument>(test::plainCapture(size.width(), size.height(), scale));
}

bool shown(const QWidget& w, const char* name)
{
    auto* child = w.findChild<QWidget*>(QString::fromLatin1(name));
    return child && child->isVisibleTo(&w);
}

TEST(BeautifyPopover, RowsFollowTheEdgeAndTheBackground)
{
    auto doc = makeDoc({300, 200}, 1);
    BeautifyPopover pop(doc.get());
    EXPECT_EQ(pop.findChild<QLabel*>("readout.padding")->text(), "64");
    EXPECT_EQ(pop.findChild<QLabel*>("readout.edgeSize")->text(), "1.0");

    struct Row {
        const char* tile;
        bool corners, edgeSize, pattern;
    };
    for (const Row& r : {Row{"edge.torn", false, true, true}, Row{"edge.window", true, false, false},
                         Row{"edge.none", true, false, false}, Row{"edge.burnt", false, true, true}}) {
        SCOPED_TRACE(r.tile);
        pop.findChild<QAbstractButton*>(r.tile)->click();
        EXPECT_EQ(shown(pop, "corners"), r.corners);
        EXPECT_EQ(shown(pop, "edgeSize"), r.edgeSize);
        EXPECT_EQ(shown(pop, "newPattern"), r.pattern);
    }
    EXPECT_FALSE(shown(pop, "transparencyNote"));
    pop.findChild<QAbstractButton*>("background.transparent")->click();
    EXPECT_TRUE(shown(pop, "transparencyNote"));
    EXPECT_EQ(doc->beautify().background, BeautifySettings::Background::transparent);
    pop.findChild<QAbstractButton*>("background.mint")->click();
    EXPECT_FALSE(shown(pop, "transparencyNote"));
}

// The sliders' labels share one column that shows each of them whole: 74 pt in English,
// wider for the German "Kantengröße".
TEST(BeautifyPopover, TheLabelColumnFitsTheWidestLabelOfTheLanguage)
{
    auto doc = makeDoc({300, 200}, 1);
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(lang);
        BeautifyPopover pop(doc.get());
        QList<QLabel*> labels;
        for (const char* slider : {"padding", "corners", "edgeSize"}) {
            auto* row = pop.findChild<QSlider*>(QString::fromLatin1(slider))->parentWidget();
            labels << row->findChildren<QLabel*>().first();
        }
        int widest = 0;
        for (QLabel* l : labels) {
            widest = std::max(widest, l->fontMetrics().horizontalAdvance(l->text()));
            EXPECT_EQ(l->maximumWidth(), l->minimumWidth()) << l->text().toStdString();
            EXPECT_EQ(l->minimumWidth(), labels.first()->minimumWidth()) << l->text().toStdString();
        }
        EXPECT_EQ(labels.first()->minimumWidth(), std::max(BeautifyPopover::kLabelColumn, widest + 1));
    }
    Lang::overrideForTests("en");
}

TEST(BeautifyPopover, EditsTurnTheBackdropOnAndAreNoUndoSteps)
{
    auto doc = makeDoc({300, 200}, 1);
    BeautifyPopover pop(doc.get());
    ASSERT_FALSE(doc->beautify().enabled);
    pop.findChild<QSlider*>("padding")->setValue(500);
    EXPECT_TRUE(doc->beautify().enabled);
    EXPECT_DOUBLE_EQ(doc->beautify().padding, 80);
    EXPECT_TRUE(pop.findChild<QAbstractButton*>("enabled")->isChecked());

    // The switch alone turns it off, and writes nothing else.
    const BeautifySettings before = doc->beautify();
    pop.findChild<QAbstractButton*>("enabled")->click();
    BeautifySettings off = before;
    off.enabled = false;
    EXPECT_EQ(doc->beautify(), off);

    pop.findChild<QAbstractButton*>("shadow")->click();
    EXPECT_TRUE(doc->beautify().enabled);
    EXPECT_FALSE(doc->beautify().shadow);

    pop.findChild<QAbstractButton*>("edge.torn")->click();
    for (int i = 0; i < 1000; ++i) {
        BeautifySettings b = doc->beautify();
        b.enabled = false;
        doc->setBeautify(b);
        pop.findChild<QAbstractButton*>("newPattern")->click();
        ASSERT_TRUE(doc->beautify().enabled);
        ASSERT_GE(doc->beautify().seed, 1u);
        ASSERT_LE(doc->beautify().seed, 9999999u);
    }
    EXPECT_TRUE(doc->undoStack().isEmpty());
    EXPECT_FALSE(doc->isDirty());

    // A change from elsewhere (undo of an edit) moves the controls without writing back.
    BeautifySettings outside = doc->beautify();
    outside.padding = 33.3;
    doc->setBeautify(outside);
    EXPECT_EQ(doc->beautify(), outside);
    EXPECT_EQ(pop.findChild<QLabel*>("readout.padding")->text(), "33");
}

TEST(BeautifyPopover, PreviewIsRenderedFromAReducedCopyAtTheReducedScale)
{
    auto doc = makeDoc({1120, 700}, 2);
    BeautifyPopover pop(doc.get());
    pop.show();
    EXPECT_EQ(pop.flat().size(), QSize(560, 350));
    EXPECT_DOUBLE_EQ(pop.factor(), 0.5);
    // Padding 64 pt at scale 2 × 0.5 adds 64 pixels on each side of the reduced copy.
    EXPECT_EQ(pop.preview().size(), QSize(560 + 128, 350 + 128));

    auto small = makeDoc({200, 100}, 1);
    BeautifyPopover other(small.get());
    other.show();
    EXPECT_DOUBLE_EQ(other.factor(), 1);
    const QSize before = other.preview().size();
    other.findChild<QSlider*>("padding")->setValue(0);
    EXPECT_EQ(other.preview().size(), QSize(200, 100));
    EXPECT_NE(before, other.preview().size());
}

TEST(Checker, SquaresOnEvenCellsInBothAppearancesAndNoEndlessLoop)
{
    for (bool dark : {false, true}) {
        QImage img(16, 16, QImage::Format_ARGB32);
        QPainter p(&img);
        paintChecker(p, QRectF(0, 0, 16, 16), 8, dark);
        p.end();
        const CheckerColors c = checkerColors(dark);
        EXPECT_EQ(img.pixel(2, 2), c.squares.rgb());
        EXPECT_EQ(img.pixel(12, 12), c.squares.rgb());
        EXPECT_EQ(img.pixel(12, 2), c.base.rgb());
        EXPECT_EQ(img.pixel(2, 12), c.base.rgb());
    }
    for (qreal bad : {0.0, -3.0, std::nan(""), qInf()}) {
        QImage img(16, 16, QImage::Format_ARGB32);
        QPainter p(&img);
        paintChecker(p, QRectF(0, 0, 16, 16), bad, false);
        p.end();
        EXPECT_EQ(img.pixel(2, 2), checkerColors(false).base.rgb());
    }
}

TEST(FrameThumbs, CachedFramedSample)
{
    const QImage& none = FrameThumbs::image(BeautifySettings::Edge::none);
    EXPECT_EQ(none.size(), FrameThumbs::sample().size() + QSize(20, 20));
    EXPECT_EQ(qAlpha(none.pixel(0, 0)), 0);
    EXPECT_EQ(&FrameThumbs::image(BeautifySettings::Edge::none), &none);
    EXPECT_EQ(FrameThumbs::image(BeautifySettings::Edge::torn).cacheKey(),
              FrameThumbs::image(BeautifySettings::Edge::torn).cacheKey());
}

}  // namespace
}  // namespace kx
