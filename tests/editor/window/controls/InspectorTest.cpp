// The style inspector: which groups show for every kind, readouts, and that updates from the
// document never write back (no restyle, no undo step) while user input writes the whole style.
#include "../../EditorTestPages.h"
#include "TestSupport.h"
#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/Popover.h"
#include "editor/window/controls/InspectorBar.h"
#include "editor/window/controls/StyleWidgets.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QWheelEvent>

namespace kx {
namespace {

std::unique_ptr<EditorDocument> makeDoc(double scale)
{
    return std::make_unique<EditorDocument>(test::plainCapture(400, 300, scale));
}

QUuid addSelected(EditorDocument& doc, ToolKind kind, const AnnotationStyle& style)
{
    Annotation a;
    a.kind = kind;
    a.p1 = {10, 10};
    a.p2 = {100, 80};
    a.style = style;
    doc.pushUndo();
    doc.add(a);
    doc.select(a.id);
    return a.id;
}

bool shown(const InspectorBar& bar, const char* name)
{
    auto* w = bar.findChild<QWidget*>(QString::fromLatin1(name));
    return w && w->isVisibleTo(&bar);
}

struct KindCase {
    ToolKind kind;
    bool color, lineWidth, fill, fontSize, strength, magnifier, hint;
};

TEST(Inspector, GroupsAndHintForEveryKindAsToolAndAsSelection)
{
    using T = ToolKind;
    const KindCase cases[] = {
        {T::select, 0, 0, 0, 0, 0, 0, 1},    {T::crop, 0, 0, 0, 0, 0, 0, 1},
        {T::arrow, 1, 1, 0, 0, 0, 0, 0},     {T::line, 1, 1, 0, 0, 0, 0, 0},
        {T::rect, 1, 1, 1, 0, 0, 0, 0},      {T::ellipse, 1, 1, 1, 0, 0, 0, 0},
        {T::pen, 1, 1, 0, 0, 0, 0, 0},       {T::highlighter, 1, 1, 0, 0, 0, 0, 0},
        {T::text, 1, 0, 1, 1, 0, 0, 0},      {T::step, 1, 0, 0, 1, 0, 0, 0},
        {T::blur, 1, 0, 0, 0, 1, 0, 0},      {T::pixelate, 1, 0, 0, 0, 1, 0, 0},
        {T::spotlight, 1, 0, 0, 0, 0, 0, 0}, {T::magnifier, 1, 0, 0, 0, 0, 1, 0},
        {T::ruler, 1, 1, 0, 1, 0, 0, 0},     {T::picture, 1, 1, 0, 0, 0, 0, 0},
    };
    for (const KindCase& c : cases) {
        for (bool asSelection : {false, true}) {
            if (asSelection && (c.kind == T::select || c.kind == T::crop))
                continue;
            SCOPED_TRACE(QString("%1 %2").arg(int(c.kind)).arg(asSelection).toStdString());
            auto doc = makeDoc(1);
            if (asSelection) {
                doc->setTool(T::select);
                addSelected(*doc, c.kind, doc->style());
            } else {
                doc->setTool(c.kind);
            }
            InspectorBar bar(doc.get());
            EXPECT_EQ(shown(bar, "swatch0"), c.color);
            EXPECT_EQ(shown(bar, "lineWidth"), c.lineWidth);
            EXPECT_EQ(shown(bar, "fill.tint"), c.fill);
            EXPECT_EQ(shown(bar, "fontSize"), c.fontSize);
            EXPECT_EQ(shown(bar, "strength"), c.strength);
            EXPECT_EQ(shown(bar, "magnification"), c.magnifier);
            EXPECT_EQ(shown(bar, "lens.round"), c.magnifier);
            EXPECT_EQ(shown(bar, "hint"), c.hint);
            EXPECT_EQ(bar.hasControls(), !c.hint);
            EXPECT_FALSE(shown(bar, "cropApply"));
        }
    }
}

TEST(Inspector, CropButtonsReplaceTheHintAndStandAloneWithTheCropTool)
{
    auto doc = makeDoc(1);
    doc->setTool(ToolKind::crop);
    InspectorBar bar(doc.get());
    EXPECT_EQ(bar.findChild<QLabel*>("hint")->text(), "Drag an area to crop, then press Return");

    doc->setCropRect(QRectF(10.2, 10.2, 0.5, 0.6));  // one pixel once rounded outward
    EXPECT_FALSE(bar.hint());
    EXPECT_FALSE(shown(bar, "hint"));
    EXPECT_TRUE(shown(bar, "cropApply"));
    EXPECT_TRUE(shown(bar, "cropCancel"));
    EXPECT_FALSE(shown(bar, "cropDivider"));

    bar.findChild<QAbstractButton*>("cropApply")->click();
    EXPECT_FALSE(doc->cropRect());
    EXPECT_EQ(doc->base().size(), QSize(400, 300));
    EXPECT_TRUE(doc->undoStack().isEmpty());
    EXPECT_TRUE(shown(bar, "hint"));

    // With controls beside them, a divider parts the crop buttons from them.
    doc->setTool(ToolKind::arrow);
    doc->setCropRect(QRectF(10, 10, 50, 50));
    EXPECT_TRUE(shown(bar, "cropDivider"));
    bar.findChild<QAbstractButton*>("cropCancel")->click();
    EXPECT_FALSE(doc->cropRect());
}

TEST(Inspector, ReadoutsAndRangesAtScaleTwo)
{
    auto doc = makeDoc(2);
    doc->setTool(ToolKind::ruler);  // line width and font size
    InspectorBar bar(doc.get());
    EXPECT_EQ(bar.findChild<QLabel*>("readout.lineWidth")->text(), "3");
    EXPECT_EQ(bar.findChild<QLabel*>("readout.fontSize")->text(), "18");
    const inspector::Range r = inspector::lineWidthRange(doc->scale());
    EXPECT_DOUBLE_EQ(r.lo, 2);
    EXPECT_DOUBLE_EQ(r.hi, 32);
    EXPECT_EQ(inspector::readout(5, 2), 3);  // halves away from zero
    EXPECT_EQ(inspector::readout(3, std::nan("")), 3);

    doc->setTool(ToolKind::magnifier);
    EXPECT_EQ(bar.findChild<QLabel*>("zoomText")->text(), QString("2.0") + QChar(0x00D7));
}

TEST(Inspector, OneAccentRingADarkerRingOnWhiteAndCustomColoursLive)
{
    auto doc = makeDoc(1);
    InspectorBar bar(doc.get());
    auto count = [&] {
        int n = 0;
        for (auto* s : bar.findChildren<SwatchButton*>())
            n += s->isSelected();
        return n;
    };
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(bar.findChild<SwatchButton*>("swatch0")->isSelected());
    bar.findChild<SwatchButton*>("swatch4")->click();
    EXPECT_EQ(doc->style().color, (RGBA{0.039, 0.518, 1, 1}));
    EXPECT_EQ(count(), 1);
    bar.colorDialog()->setCurrentColor(QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f));  // live, in sRGB
    EXPECT_EQ(count(), 0);
    EXPECT_NEAR(doc->style().color.r, 0.25, 1e-3);
    EXPECT_NEAR(doc->style().color.b, 0.75, 1e-3);
    EXPECT_NEAR(doc->style().color.a, 0.5, 1e-2);
    EXPECT_EQ(bar.colorDialog(), bar.colorDialog());  // one dialog per window
    EXPECT_GT(SwatchButton::ringOpacity({1, 1, 1, 1}), SwatchButton::ringOpacity({0, 0, 0, 1}));
}

TEST(Inspector, ShowingASelectionNeverRestylesItOrAddsAnUndoStep)
{
    auto doc = makeDoc(1.5);
    doc->setTool(ToolKind::select);
    AnnotationStyle odd;
    odd.lineWidth = 4.5;                                     // between two slider steps at scale 1.5
    odd.color = {0.123456789, 0.3333333, 0.777777777, 0.5};  // not a whole 8-bit colour
    InspectorBar bar(doc.get());
    bar.colorDialog();  // an open dialog follows the selection too
    const QUuid id = addSelected(*doc, ToolKind::arrow, odd);
    const int undo = int(doc->undoStack().size());
    EXPECT_EQ(doc->selected()->style, odd);
    EXPECT_EQ(doc->undoStack().size(), undo);

    // Picking the colour it already has changes nothing.
    doc->setStyle(doc->style());
    EXPECT_EQ(doc->undoStack().size(), undo);

    // A drag of many steps is one undo step, and undo restores the width.
    auto* slider = bar.findChild<QSlider*>("lineWidth");
    for (int v = 100; v <= 600; v += 25)
        slider->setValue(v);
    EXPECT_EQ(doc->undoStack().size(), undo + 1);
    EXPECT_NE(doc->selected()->style.lineWidth, 4.5);
    EXPECT_EQ(doc->selected()->style.color, odd.color);
    doc->undo();
    ASSERT_TRUE(doc->selected());
    EXPECT_EQ(doc->selected()->id, id);
    EXPECT_EQ(doc->selected()->style, odd);
    EXPECT_EQ(doc->style(), odd);  // the controls show the restored width again
    EXPECT_EQ(doc->undoStack().size(), undo);
}

// Given less room than its narrowest arrangement, the bar folds into one button (the colour for
// kinds with colours, the tool's symbol for the hint and the crop buttons) whose popover holds
// every control whole and working; room again brings the controls back and closes it.
TEST(Inspector, ABarWithNoRoomFoldsIntoOneButtonThatOpensItsControls)
{
    const struct {
        ToolKind tool;
        bool cropPending;
        const char* control;  // shown in the popover
    } cases[] = {{ToolKind::arrow, false, "lineWidth"},
                 {ToolKind::magnifier, false, "lens.square"},
                 {ToolKind::crop, false, "hint"},
                 {ToolKind::crop, true, "cropApply"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.control));
        auto doc = makeDoc(2);
        doc->setTool(c.tool);
        if (c.cropPending)
            doc->setCropRect(QRectF(10, 10, 50, 50));
        InspectorBar bar(doc.get());
        const int narrowest = bar.minimumSizeHint().width();
        bar.fitWidth(narrowest);
        EXPECT_FALSE(bar.collapsed());
        EXPECT_TRUE(shown(bar, c.control));
        bar.fitWidth(narrowest - 1);
        ASSERT_TRUE(bar.collapsed());
        EXPECT_EQ(bar.minimumSizeHint().width(), narrowest);  // folded, it still knows what it needs
        EXPECT_LT(bar.sizeHint().width(), narrowest);
        EXPECT_FALSE(shown(bar, c.control));
        EXPECT_TRUE(shown(bar, "unfold"));
        EXPECT_EQ(qobject_cast<ColorFoldButton*>(bar.unfoldButton()) != nullptr, c.tool != ToolKind::crop);
        bar.resize(bar.sizeHint());
        EXPECT_TRUE(bar.capsule().contains(QRectF(bar.unfoldButton()->geometry())));  // on the surface

        bar.unfoldButton()->click();
        ASSERT_TRUE(bar.controlsPopover());
        auto* controls = qobject_cast<InspectorBar*>(bar.controlsPopover()->content());
        ASSERT_TRUE(controls);
        EXPECT_FALSE(controls->collapsed());
        EXPECT_TRUE(shown(*controls, c.control));
        if (c.tool == ToolKind::arrow) {
            controls->findChild<QSlider*>("lineWidth")->setValue(inspector::kSliderSteps);
            EXPECT_DOUBLE_EQ(doc->style().lineWidth, 32);
            EXPECT_EQ(controls->findChild<QLabel*>("readout.lineWidth")->text(), "16");
            controls->findChild<QAbstractButton*>("swatch6")->click();
            EXPECT_EQ(qobject_cast<ColorFoldButton*>(bar.unfoldButton())->color(), (RGBA{0, 0, 0, 1}));
            EXPECT_EQ(controls->colorDialog(), bar.colorDialog());  // still the window's one dialog
        }
        bar.fitWidth(narrowest);
        EXPECT_FALSE(bar.collapsed());
        EXPECT_TRUE(shown(bar, c.control));
        EXPECT_FALSE(shown(bar, "unfold"));
        EXPECT_FALSE(bar.controlsPopover() && bar.controlsPopover()->isVisible());
    }
}

// The wheel the bar hands on reaches the canvas at the point under the pointer, also where the
// view's viewport does not start at the canvas area's corner (a framed view).
TEST(Inspector, TheWheelHandedOnReachesTheCanvasUnderThePointer)
{
    struct FramedView : QScrollArea {
        QList<QPointF> at;
        void wheelEvent(QWheelEvent* e) override
        {
            at << e->position();
            e->accept();
        }
    };
    auto* view = new FramedView;
    view->setFrameStyle(QFrame::Box | QFrame::Plain);
    view->setLineWidth(7);
    auto doc = makeDoc(1);
    CanvasArea area(view);
    auto* bar = new InspectorBar(doc.get());
    area.setInspector(bar);
    area.resize(600, 400);
    area.show();
    ASSERT_TRUE(test::waitFor([&] { return view->viewport()->pos() != QPoint(0, 0); }));
    const QPoint over = bar->geometry().topLeft() + QPoint(8, 6);
    QWheelEvent wheel(over, area.mapToGlobal(over), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&area, &wheel);
    ASSERT_EQ(view->at.size(), 1);
    EXPECT_EQ(view->viewport()->mapTo(&area, view->at.first()), QPointF(over));
}

}  // namespace
}  // namespace kx
