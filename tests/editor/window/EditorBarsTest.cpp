// The editor's floating parts offscreen: bars inside a canvas narrowed by the AI panel, the
// panel's fade, and the popovers (arrow at the anchor, growing with the backdrop rows in every
// language, never laying a row over another).
#include "../EditorTestPages.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "core/Localisation.h"
#include "editor/ToolKind.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/canvas/CanvasView.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "editor/window/StatusPill.h"
#include "editor/window/ToolRail.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "editor/window/controls/BeautifyTiles.h"
#include "editor/window/controls/HeaderFit.h"
#include "editor/window/controls/InspectorBar.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <algorithm>

using namespace kx;

namespace {

struct Editor {
    std::shared_ptr<test::Recorded> rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> c;
    Editor()
    {
        EditorServices s = test::fakeServices(rec);
        // A stand-in panel: this test is about the room it takes and how it comes in.
        s.makeAIPanel = [](EditorDocument&, QWidget* parent) {
            auto* panel = new QWidget(parent);
            panel->setAutoFillBackground(true);
            return panel;
        };
        c = EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), s);
        test::waitFor([&] { return c->window()->isVisible(); }, 3000);
    }
    ~Editor() { delete c.data(); }
};

}  // namespace

TEST(EditorBars, InspectorAndPillStayInsideANarrowCanvasAndThePanelFades)
{
    Lang::overrideForTests("en");
    Editor e;
    QWidget* window = e.c->window();
    window->resize(window->minimumSize());
    e.c->doc().setShowAI(true);
    EditorRootView* root = e.c->root();
    // While it slides in the panel fades with it; at rest it is opaque.
    QList<std::pair<int, double>> samples;
    ASSERT_TRUE(test::waitFor([&] {
        if (!root->aiPanel())
            return false;
        samples.append({root->aiPanel()->width(), root->aiPanelOpacity()});
        return root->aiPanel()->width() == EditorRootView::kAIPanelWidth;
    }));
    int between = 0;
    for (const auto& [width, opacity] : samples) {
        if (width > 0 && width < EditorRootView::kAIPanelWidth) {
            ++between;
            EXPECT_NEAR(opacity, double(width) / EditorRootView::kAIPanelWidth, 0.02) << width;
        }
    }
    EXPECT_GT(between, 0) << samples.size() << " samples";
    EXPECT_DOUBLE_EQ(root->aiPanelOpacity(), 1.0);

    CanvasArea* area = root->canvasArea();
    auto* inspector = area->findChild<InspectorBar*>();
    StatusPill* pill = root->pill();
    ASSERT_TRUE(inspector && pill);
    for (int width : {0, 330}) {  // the minimum window, then a canvas narrower still
        if (width)
            area->setFixedWidth(width);
        for (ToolKind tool : {ToolKind::arrow, ToolKind::rect, ToolKind::text, ToolKind::magnifier,
                              ToolKind::ruler, ToolKind::select}) {
            SCOPED_TRACE(testing::Message() << "canvas " << area->width() << " tool " << int(tool));
            e.c->doc().setTool(tool);
            QApplication::processEvents();
            const QRect inside = area->rect();
            EXPECT_TRUE(inside.contains(inspector->geometry()))
                << inspector->geometry().x() << " " << inspector->geometry().width() << " of "
                << inside.width() << " hint " << inspector->sizeHint().width() << " min "
                << inspector->minimumSizeHint().width() << [&] {
                       std::string out;
                       for (QWidget* c : inspector->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                           out += std::string(" ") + c->metaObject()->className() + ":" +
                                  std::to_string(c->sizeHint().width()) +
                                  (c->isVisibleTo(inspector) ? "" : "(h)");
                       return out;
                   }();
            EXPECT_TRUE(inside.contains(pill->geometry()))
                << pill->geometry().x() << " " << pill->geometry().width() << " of " << inside.width();
            // Every control of the bar lies within the bar (none pushed past its ends).
            for (QWidget* child : inspector->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (child->isVisibleTo(inspector)) {
                    EXPECT_TRUE(inspector->rect().contains(child->geometry()))
                        << child->metaObject()->className();
                }
            }
        }
    }
    // Narrow enough, the magnifier's groups wrap; the pill drops its mark and then its size.
    area->setFixedWidth(360);
    e.c->doc().setTool(ToolKind::magnifier);
    QApplication::processEvents();
    EXPECT_GE(inspector->lineCount(), 2);
    EXPECT_FALSE(pill->showsLogo());
    EXPECT_TRUE(pill->zoomInButton()->isVisibleTo(pill));
    // Given the room back, everything returns on one line.
    area->setMinimumWidth(0);
    area->setMaximumWidth(QWIDGETSIZE_MAX);
    e.c->doc().setShowAI(false);
    window->resize(1600, 1000);
    ASSERT_TRUE(test::waitFor([&] { return root->aiPanel()->isHidden(); }));
    QApplication::processEvents();
    EXPECT_EQ(inspector->lineCount(), 1);
    EXPECT_TRUE(pill->showsLogo() && pill->showsSize());
    EXPECT_EQ(inspector->size(), inspector->sizeHint());
}

// A canvas too narrow for the whole colour row folds it into one button showing the colour;
// its popover offers every swatch, a pick sets the colour and closes it, and room enough brings
// the row back.
TEST(EditorBars, TheColourRowFoldsWhereItHasNoRoom)
{
    Lang::overrideForTests("en");
    Editor e;
    e.c->doc().setTool(ToolKind::arrow);
    CanvasArea* area = e.c->root()->canvasArea();
    auto* inspector = area->findChild<InspectorBar*>();
    ASSERT_TRUE(inspector);
    const int whole = inspector->findChild<QWidget*>("swatch0")->parentWidget()->sizeHint().width() + 36;
    for (int width : {whole + 2 * CanvasArea::kSideRoom, whole + 2 * CanvasArea::kSideRoom - 1, 150}) {
        SCOPED_TRACE(width);
        area->setFixedWidth(width);
        QApplication::processEvents();
        const bool fold = width < whole + 2 * CanvasArea::kSideRoom;
        EXPECT_EQ(inspector->colorsFolded(), fold);
        EXPECT_EQ(inspector->colorFold()->isVisibleTo(inspector), fold);
        EXPECT_TRUE(area->rect().contains(inspector->geometry()))
            << inspector->geometry().width() << " in " << area->width();
    }
    qobject_cast<QAbstractButton*>(inspector->colorFold())->click();
    Popover* pop = inspector->colorPopover();
    ASSERT_TRUE(pop);
    QList<QAbstractButton*> choices;
    for (int i = 0; i < 8; ++i)
        choices << pop->findChild<QAbstractButton*>(QStringLiteral("swatch%1").arg(i));
    choices << pop->findChild<QAbstractButton*>("customColor");
    for (QAbstractButton* b : choices)
        ASSERT_TRUE(b && b->isVisibleTo(pop));
    choices[6]->click();  // black
    EXPECT_EQ(e.c->doc().style().color, (RGBA{0, 0, 0, 1}));
    EXPECT_TRUE(test::waitFor([&] { return !inspector->colorPopover(); }));
    area->setMinimumWidth(0);
    area->setMaximumWidth(QWIDGETSIZE_MAX);
    ASSERT_TRUE(test::waitFor([&] { return area->width() > whole + 8; }));
    QApplication::processEvents();
    EXPECT_FALSE(inspector->colorsFolded());
    EXPECT_TRUE(inspector->findChild<QWidget*>("swatch6")->isVisibleTo(inspector));
}

TEST(EditorBars, PopoversPointAtTheirAnchor)
{
    Lang::overrideForTests("en");
    Editor e;
    ChromeButton* chevron = e.c->root()->header()->copyButton()->chevron();
    chevron->click();
    auto* pop = e.c->window()->findChild<Popover*>();
    ASSERT_TRUE(pop && pop->isVisible());
    const QRect anchor(chevron->mapToGlobal(QPoint(0, 0)), chevron->size());
    EXPECT_FALSE(pop->placed().above);
    // Under the chevron (at its centre unless the screen's edge pushed the popover aside).
    EXPECT_GE(pop->arrowTip().x(), anchor.left());
    EXPECT_LE(pop->arrowTip().x(), anchor.right());
    EXPECT_LE(std::abs(pop->arrowTip().y() - anchor.bottom()), Popover::kGap + 1);
    // The arrow is part of the drawn outline, narrowing towards its tip.
    const QPoint tip = pop->mapFromGlobal(pop->arrowTip());
    const QPainterPath outline = pop->shape();
    EXPECT_TRUE(outline.contains(QPointF(tip.x(), tip.y() + 3)));
    EXPECT_FALSE(outline.contains(QPointF(tip.x() - 6, tip.y() + 3)));
    EXPECT_TRUE(outline.contains(QPointF(tip.x() - 6, Popover::kArrow + 3)));
    pop->close();
    // Anchored near the screen's bottom, it goes above with the arrow on its bottom edge.
    const Popover::Placement above =
        Popover::placement(QRect(500, 1040, 30, 30), QSize(200, 120), QRect(0, 0, 1920, 1080));
    EXPECT_TRUE(above.above);
    EXPECT_EQ(above.topLeft.y() + 120 + Popover::kGap, 1040);
    EXPECT_EQ(above.topLeft.x() + above.arrowX, QRect(500, 1040, 30, 30).center().x());
    const Popover::Placement below =
        Popover::placement(QRect(500, 40, 30, 30), QSize(200, 120), QRect(0, 0, 1920, 1080));
    EXPECT_FALSE(below.above);
    EXPECT_EQ(below.topLeft, QPoint(514 - 100, 69 + 1 + Popover::kGap));
    EXPECT_EQ(below.arrowX, 100);
    EXPECT_EQ(below.height, 120);

    // Taller than the room on either side: on the roomier side, cut to it (the content scrolls).
    struct Row {
        QRect anchor;
        bool above;
        int top, height;
    } rows[] = {
        {{500, 40, 30, 30}, false, 71, 540 - Popover::kMargin - 71},  // header of a window at the top
        {{500, 400, 30, 30}, true, Popover::kMargin, 400 - 1 - 8},    // lower: more room above
    };
    for (const Row& r : rows) {
        const Popover::Placement p = Popover::placement(r.anchor, QSize(372, 900), QRect(0, 0, 960, 540));
        EXPECT_EQ(p.above, r.above) << r.anchor.y();
        EXPECT_EQ(p.topLeft.y(), r.top) << r.anchor.y();
        EXPECT_EQ(p.height, r.height) << r.anchor.y();
        EXPECT_TRUE(QRect(0, 0, 960, 540).contains(QRect(p.topLeft, QSize(372, p.height))));
    }
}

// However narrow the window is made, the header's controls sit side by side inside it.
TEST(EditorBars, TheHeaderNeverOverlapsItsControls)
{
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(lang);
        Editor e;
        QWidget* window = e.c->window();
        HeaderBar* header = e.c->root()->header();
        window->resize(300, 400);
        ASSERT_TRUE(test::waitFor([&] { return header->isCompact() && window->width() <= 800; }));
        QApplication::processEvents();
        QList<QWidget*> controls;
        for (QWidget* w : header->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible() && w->width() > 1)
                controls << w;
        std::sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        ASSERT_GE(controls.size(), 10);
        for (int i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(
                QRect(QPoint(), window->size()).contains(controls[i]->geometry().translated(header->pos())))
                << controls[i]->objectName().toStdString() << " at " << controls[i]->x();
            EXPECT_GE(controls[i]->width(), controls[i]->minimumSizeHint().width()) << i;
            if (i > 0) {
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[i - 1]->geometry()))
                    << i << ": " << controls[i - 1]->x() << "+" << controls[i - 1]->width() << " and "
                    << controls[i]->x();
            }
        }
    }
    Lang::overrideForTests("en");
}

// A header shown at once at a width for the full row has both dividers, and Copy its title.
TEST(EditorBars, AFullHeaderShowsBothDividers)
{
    Lang::overrideForTests("en");
    EditorDocument doc(test::plainCapture(400, 300, 2));
    HeaderBar::Hooks hooks;
    hooks.ai = hooks.upload = hooks.pin = true;
    HeaderBar header(doc, EditorActions{}, hooks);
    header.resize(header.fullWidth() + 100, HeaderBar::kHeight);
    header.show();
    QApplication::processEvents();
    ASSERT_EQ(header.fit(), HeaderFit{});
    EXPECT_TRUE(header.findChild<QWidget*>("leadDivider")->isVisible());
    EXPECT_TRUE(header.findChild<QWidget*>("exportDivider")->isVisible());
    EXPECT_FALSE(header.copyButton()->mainButton()->title().isEmpty());
}

// Titles go first, then buttons one by one from the front of the order, then Save's title, the
// divider after Redo, and Copy's title last.
TEST(EditorBars, HeaderFitFoldsTheLeastThatFits)
{
    const HeaderFitWidths w{.full = 900,
                            .compact = 700,
                            .foldSavings = {40, 50, 30},
                            .saveTitle = 25,
                            .divider = 15,
                            .copyTitle = 60};
    struct Row {
        int width;
        HeaderFit fit;
    } rows[] = {
        {2000, {}},
        {900, {}},
        {899, {.titles = false}},
        {700, {.titles = false}},
        {699, {.titles = false, .folded = 1}},
        {660, {.titles = false, .folded = 1}},
        {659, {.titles = false, .folded = 2}},
        {610, {.titles = false, .folded = 2}},
        {609, {.titles = false, .folded = 3}},
        {580, {.titles = false, .folded = 3}},
        {579, {.titles = false, .folded = 3, .saveTitle = false}},
        {555, {.titles = false, .folded = 3, .saveTitle = false}},
        {554, {.titles = false, .folded = 3, .saveTitle = false, .divider = false}},
        {540, {.titles = false, .folded = 3, .saveTitle = false, .divider = false}},
        {539, {.titles = false, .folded = 3, .saveTitle = false, .divider = false, .copyTitle = false}},
        {0, {.titles = false, .folded = 3, .saveTitle = false, .divider = false, .copyTitle = false}},
    };
    for (const Row& r : rows) {
        const HeaderFit f = fitHeader(w, r.width);
        EXPECT_EQ(f, r.fit) << r.width << ": " << f.titles << f.folded << f.saveTitle << f.divider
                            << f.copyTitle;
    }
}

// At every width down to the narrowest row, in every language, the header's controls sit side
// by side inside it, and each folded button's command is in the "⋯" menu.
TEST(EditorBars, TheHeaderFoldsInsteadOfOverlapping)
{
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(lang);
        Editor e;
        QWidget* window = e.c->window();
        HeaderBar* header = e.c->root()->header();
        // As under a window manager that ignores the minimum size.
        window->setMinimumSize(0, 0);
        const HeaderFitWidths w = header->fitWidths();
        int narrowest = w.compact - w.saveTitle - w.divider - w.copyTitle;
        for (int saving : w.foldSavings)
            narrowest -= saving;
        ASSERT_LT(narrowest, 480);
        std::vector<int> widths = {w.full + 40, w.full, w.full - 1, w.compact, w.compact - 1, narrowest};
        for (int x = narrowest; x < w.full; x += 13)
            widths.push_back(x);
        int margin = -1;
        for (int width : widths) {
            SCOPED_TRACE(width);
            window->resize(width + std::max(margin, 0), 400);
            ASSERT_TRUE(test::waitFor([&] { return window->width() == width + std::max(margin, 0); }))
                << window->width() << " " << window->minimumWidth() << " " << margin;
            QApplication::processEvents();
            if (margin < 0) {
                margin = window->width() - header->width();
                continue;
            }
            ASSERT_EQ(header->width(), width);
            const HeaderFit fit = header->fit();
            EXPECT_EQ(fit, fitHeader(w, width));
            QList<QWidget*> controls;
            for (QWidget* c : header->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c->isVisible() && c->width() > 1)
                    controls << c;
            std::sort(controls.begin(), controls.end(),
                      [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
            for (int i = 0; i < controls.size(); ++i) {
                EXPECT_TRUE(header->rect().contains(controls[i]->geometry())) << controls[i]->x();
                EXPECT_GE(controls[i]->width(), controls[i]->minimumSizeHint().width()) << controls[i]->x();
                if (i > 0) {
                    EXPECT_FALSE(controls[i]->geometry().intersects(controls[i - 1]->geometry()))
                        << controls[i - 1]->x() << "+" << controls[i - 1]->width() << " and "
                        << controls[i]->x();
                }
            }
            // Every foldable command: its button in the row, or its item in "⋯".
            for (size_t i = 0; i < header->foldOrder().size(); ++i) {
                ChromeButton* b = header->foldOrder()[i];
                QAction* item = header->foldedItem(b);
                const bool folded = int(i) < fit.folded;
                EXPECT_EQ(b->isVisible(), !folded) << i;
                if (item) {
                    EXPECT_EQ(item->isVisible(), folded) << i;
                    if (folded) {
                        EXPECT_EQ(item->isEnabled(), b->isEnabled()) << i;
                    }
                    EXPECT_TRUE(header->moreMenu()->actions().contains(item)) << i;
                }
            }
            EXPECT_EQ(header->saveButton()->title().isEmpty(), !fit.saveTitle);
            EXPECT_EQ(header->copyButton()->mainButton()->title().isEmpty(), !fit.copyTitle);
            EXPECT_EQ(header->findChild<QWidget*>("leadDivider")->isVisible(), fit.divider);
            // The divider before Pin shows while a button before it is in the row.
            const bool before = std::any_of(
                header->foldOrder().begin() + fit.folded, header->foldOrder().end(),
                [&](ChromeButton* b) { return b != header->pinButton() && b != header->shareButton(); });
            EXPECT_EQ(header->findChild<QWidget*>("exportDivider")->isVisible(), before);
        }
        // A folded item does what its button does.
        window->resize(narrowest + margin, 400);
        ASSERT_TRUE(test::waitFor([&] { return header->fit().folded == int(header->foldOrder().size()); }));
        ASSERT_TRUE(header->backdropButton()->isEnabled());
        header->foldedItem(header->backdropButton())->trigger();
        EXPECT_TRUE(header->showBeautify());
        header->setShowBeautify(false);
    }
    Lang::overrideForTests("en");
}

TEST(EditorBars, BackdropPopoverGrowsWithItsRowsInEveryLanguage)
{
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(lang);
        auto doc = std::make_unique<EditorDocument>(test::plainCapture(900, 600, 2));
        QWidget anchorWindow;
        anchorWindow.resize(600, 100);
        auto* anchor = new QWidget(&anchorWindow);
        anchor->setGeometry(280, 20, 40, 30);
        anchorWindow.show();
        auto* content = new BeautifyPopover(doc.get());
        auto* pop = new Popover(content, &anchorWindow);
        pop->showAt(anchor);
        ASSERT_TRUE(test::waitFor([&] { return pop->isVisible(); }));

        // The English subtitle takes one line; in every language the header's text shows whole.
        auto* subtitle = content->findChild<QLabel*>("subtitle");
        ASSERT_TRUE(subtitle);
        if (QString(lang) == "en") {
            // Wide enough for the whole text: one line, wrapping or not.
            EXPECT_GE(subtitle->width(), subtitle->fontMetrics().horizontalAdvance(subtitle->text()));
        }
        if (subtitle->wordWrap()) {
            EXPECT_GE(subtitle->height(), subtitle->heightForWidth(subtitle->width()));
        } else {
            EXPECT_GE(subtitle->width(), subtitle->fontMetrics().horizontalAdvance(subtitle->text()));
        }

        const auto click = [&](const char* name) {
            auto* b = content->findChild<QAbstractButton*>(QString::fromLatin1(name));
            ASSERT_TRUE(b) << name;
            b->click();
            QApplication::processEvents();
            QApplication::processEvents();
        };
        for (const char* step : {"edge.none", "edge.torn", "background.transparent", "edge.window",
                                 "edge.burnt", "background.ocean", "edge.polaroid"}) {
            SCOPED_TRACE(step);
            click(step);
            // The popover still points at the anchor.
            EXPECT_LE(std::abs(pop->arrowTip().x() - anchor->mapToGlobal(anchor->rect().center()).x()), 1);
            EXPECT_TRUE(pop->rect().contains(QRect(content->mapTo(pop, QPoint(0, 0)), content->size())));
            // The rows of the column, top to bottom: each at its full height, 14 pt apart.
            QLayout* column = content->layout();
            QList<QLayoutItem*> rows;
            for (int i = 0; i < column->count(); ++i)
                if (!column->itemAt(i)->isEmpty())
                    rows << column->itemAt(i);
            ASSERT_GE(rows.size(), 5);
            for (int i = 0; i < rows.size(); ++i) {
                const QRect r = rows[i]->geometry();
                EXPECT_GE(r.height(), rows[i]->minimumSize().height()) << i;
                if (rows[i]->hasHeightForWidth()) {
                    EXPECT_GE(r.height(), rows[i]->heightForWidth(r.width())) << i;
                }
                EXPECT_TRUE(content->rect().contains(r)) << i;
                if (i > 0) {
                    EXPECT_EQ(r.top() - rows[i - 1]->geometry().bottom() - 1, BeautifyPopover::kSpacing) << i;
                }
            }
            EXPECT_EQ(content->findChild<QWidget*>("previewBox")->height(), 190);
        }
        // The preview's opacity eases to 0.45 with the backdrop off and back.
        auto* preview = content->findChild<PreviewBox*>("previewBox");
        click("enabled");
        EXPECT_DOUBLE_EQ(preview->targetOpacity(), PreviewBox::kDimmed);
        EXPECT_GT(preview->opacity(), PreviewBox::kDimmed);
        ASSERT_TRUE(test::waitFor([&] { return std::abs(preview->opacity() - PreviewBox::kDimmed) < 1e-9; }));
        pop->close();
        QApplication::processEvents();
    }
    Lang::overrideForTests("en");
}

TEST(EditorBars, TheInspectorSpringsToTheSizeOfANewKind)
{
    Lang::overrideForTests("en");
    Editor e;
    auto* inspector = e.c->root()->canvasArea()->findChild<InspectorBar*>();
    ASSERT_TRUE(inspector);
    e.c->doc().setTool(ToolKind::arrow);
    ASSERT_TRUE(test::waitFor([&] { return !inspector->springing(); }));
    const qreal arrowWidth = inspector->capsule().width();
    EXPECT_EQ(inspector->capsule(), QRectF(inspector->rect()).adjusted(6, 4, -6, -8));

    e.c->doc().setTool(ToolKind::magnifier);
    ASSERT_TRUE(inspector->springing());
    QList<qreal> widths;
    ASSERT_TRUE(test::waitFor([&] {
        widths << inspector->capsule().width();
        // The frame always holds the capsule as drawn.
        EXPECT_TRUE(QRectF(inspector->rect()).contains(inspector->capsule()));
        return !inspector->springing();
    }));
    const qreal magnifierWidth = inspector->capsule().width();
    ASSERT_GT(magnifierWidth, arrowWidth + 20);
    EXPECT_LT(widths.first(), arrowWidth + (magnifierWidth - arrowWidth) / 2);
    EXPECT_TRUE(std::any_of(widths.begin(), widths.end(),
                            [&](qreal w) { return w > arrowWidth + 2 && w < magnifierWidth - 2; }));
    EXPECT_EQ(inspector->size(), inspector->sizeHint());
    EXPECT_EQ(inspector->capsule(), QRectF(inspector->rect()).adjusted(6, 4, -6, -8));
}

// A wheel over the inspector that none of its controls took (Qt hands it on to the parents, the
// canvas area) scrolls the canvas under it; the inspector's setting stays.
TEST(EditorBars, TheWheelOverTheInspectorScrollsTheCanvas)
{
    Lang::overrideForTests("en");
    Editor e;
    CanvasArea* area = e.c->root()->canvasArea();
    auto* inspector = area->findChild<InspectorBar*>();
    CanvasScrollArea* scroll = e.c->scrollView();
    ASSERT_TRUE(inspector && scroll);
    e.c->doc().setTool(ToolKind::arrow);
    scroll->setMagnification(4);
    ASSERT_TRUE(
        test::waitFor([&] { return !inspector->springing() && scroll->verticalScrollBar()->maximum() > 0; }));
    scroll->verticalScrollBar()->setValue(0);
    auto* slider = inspector->findChild<QSlider*>();
    ASSERT_TRUE(slider);
    const int setting = slider->value();
    for (const QPoint at :
         {inspector->geometry().topLeft() + QPoint(8, 6), slider->mapTo(area, slider->rect().center())}) {
        const int was = scroll->verticalScrollBar()->value();
        QWheelEvent wheel(at, area->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &wheel);
        EXPECT_TRUE(wheel.isAccepted());
        EXPECT_GT(scroll->verticalScrollBar()->value(), was) << at.x() << "," << at.y();
        EXPECT_EQ(slider->value(), setting);
    }
    // Ctrl+wheel there zooms the canvas about the pointer, as over the canvas itself.
    const double zoom = scroll->magnification();
    const QPoint at = inspector->geometry().center();
    CanvasView* canvas = e.c->canvas();
    const QPointF under = canvas->toImage(canvas->mapFrom(area, QPointF(at)));
    QWheelEvent wheel(at, area->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &wheel);
    EXPECT_GT(scroll->magnification(), zoom);
    const QPointF still = canvas->toImage(canvas->mapFrom(area, QPointF(at)));
    EXPECT_NEAR(still.x(), under.x(), 2);
    EXPECT_NEAR(still.y(), under.y(), 2);
}

// The AI panel takes half of what the rail leaves where it cannot have its full width, more
// where its content wants more and the canvas keeps the room its bars need, and never less than
// its content needs: in a window fitted to a small screen, and when an open panel's window
// narrows.
TEST(EditorBars, TheAIPanelLeavesTheCanvasHalfTheRoom)
{
    const struct {
        int width, rail;
        EditorRootView::PanelNeeds needs;
        int panel;
    } widths[] = {
        {880, 60, {}, 340},
        {740, 60, {}, 340},
        {739, 60, {}, 339},
        {400, 60, {}, 170},
        {400, 60, {180, 200, 130}, 200},  // what it wants, the canvas keeping its 130
        {400, 60, {180, 220, 130}, 210},  // as much of it as leaves the canvas 130
        {320, 60, {175, 197, 130}, 175},  // its least, the canvas short of its room
        {300, 60, {0, 0, 130}, 110},      // less than half: the canvas keeps its room
        {300, 60, {260, 260, 0}, 240},    // no more than the rail leaves
        {1200, 60, {400, 400, 0}, 340},   // never more than its full width
        {60, 60, {}, 0},
        {20, 60, {100, 100, 0}, 0},
    };
    for (const auto& w : widths)
        EXPECT_EQ(EditorRootView::aiPanelWidth(w.width, w.rail, w.needs), w.panel) << w.width;

    Lang::overrideForTests("en");
    Editor e;
    QWidget* window = e.c->window();
    window->setMinimumSize(0, 0);  // as fitted to a screen 400 pt wide
    window->resize(400, 500);
    EditorRootView* root = e.c->root();
    ASSERT_TRUE(test::waitFor([&] { return root->width() == 400; }));
    e.c->doc().setShowAI(true);
    const int rail = root->rail()->width();
    const int half = (400 - rail) / 2;
    ASSERT_TRUE(test::waitFor([&] { return root->aiPanel() && root->aiPanel()->width() == half; }));
    QApplication::processEvents();
    EXPECT_GE(root->canvasArea()->width(), 400 - rail - half);
    EXPECT_DOUBLE_EQ(root->aiPanelOpacity(), 1.0);
    // Narrowed with the panel open and at rest, the panel gives up its share again.
    ASSERT_TRUE(test::waitFor([&] { return root->aiSlide()->state() != QAbstractAnimation::Running; }));
    window->resize(300, 500);
    ASSERT_TRUE(test::waitFor([&] { return root->width() == 300; }));
    // The stand-in panel needs nothing: the canvas keeps the inspector's narrowest width.
    const int keep =
        root->canvasArea()->findChild<InspectorBar*>()->minimumSizeHint().width() + 2 * CanvasArea::kSideRoom;
    EXPECT_EQ(root->aiPanel()->width(), std::min((300 - rail) / 2, 300 - rail - keep));
    QApplication::processEvents();
    EXPECT_GE(root->canvasArea()->width(), std::min((300 - rail) / 2, keep));
}

// Narrowed step by step, the pill leaves out its mark, then the size, then Fit and 100%, never
// growing past its room while it shows Fit; what it leaves out of zoom, "⋯" offers.
TEST(EditorBars, ThePillGivesWayStepByStepAndTheMenuOffersTheRest)
{
    Lang::overrideForTests("en");
    Editor e;
    StatusPill* pill = e.c->root()->pill();
    HeaderBar* header = e.c->root()->header();
    pill->fitWidth(QWIDGETSIZE_MAX);
    const int full = pill->sizeHint().width();
    QList<int> dropped;  // the room at which mark, size and Fit went
    bool logo = true, size = true, fit = true;
    for (int room = full; room > 0; --room) {
        pill->fitWidth(room);
        EXPECT_FALSE(!pill->showsLogo() && logo && room == full) << "the mark at full width";
        if (logo && !pill->showsLogo())
            dropped << room;
        if (size && !pill->showsSize())
            dropped << room;
        if (fit && !pill->showsFit())
            dropped << room;
        // Each goes once, in this order, and nothing comes back while the room shrinks.
        EXPECT_LE(int(pill->showsLogo()), int(pill->showsSize()));
        EXPECT_LE(int(pill->showsSize()), int(pill->showsFit()));
        logo = pill->showsLogo();
        size = pill->showsSize();
        fit = pill->showsFit();
        if (fit) {
            EXPECT_LE(pill->sizeHint().width(), room) << room;
        }
    }
    ASSERT_EQ(dropped.size(), 3);
    EXPECT_TRUE(dropped[0] > dropped[1] && dropped[1] > dropped[2]) << dropped[0] << " " << dropped[1];
    EXPECT_TRUE(pill->zoomInButton()->isVisibleTo(pill) && pill->zoomOutButton()->isVisibleTo(pill));

    // Fit gone from the pill: "⋯" offers Fit and 100% and nothing else of zoom.
    Q_EMIT header->moreMenu()->aboutToShow();
    const std::vector<QAction*>& zoom = header->zoomItems();
    EXPECT_TRUE(!zoom[0]->isVisible() && !zoom[1]->isVisible() && zoom[2]->isVisible() &&
                zoom[3]->isVisible());
    zoom[3]->trigger();
    EXPECT_DOUBLE_EQ(e.c->doc().zoom(), 1.0);
}

// A canvas area too short for both floating bars: the zoom pill gives way rather than lying
// over the style inspector, and comes back when there is room.
TEST(EditorBars, ThePillNeverLiesOverTheInspector)
{
    Lang::overrideForTests("en");
    Editor e;
    QWidget* window = e.c->window();
    window->setMinimumSize(0, 0);
    e.c->doc().setTool(ToolKind::arrow);
    CanvasArea* area = e.c->root()->canvasArea();
    auto* inspector = area->findChild<InspectorBar*>();
    StatusPill* pill = e.c->root()->pill();
    ASSERT_TRUE(inspector);
    for (int height : {600, 160, 600}) {
        SCOPED_TRACE(height);
        window->resize(900, height);
        ASSERT_TRUE(
            test::waitFor([&] { return window->height() == height && inspector->dropOffset() == 0; }));
        QApplication::processEvents();
        if (pill->isVisible())
            EXPECT_FALSE(pill->geometry().intersects(inspector->geometry()))
                << pill->geometry().y() << " and " << inspector->geometry().bottom();
        // Room enough at 600: the pill shows.
        if (height == 600)
            EXPECT_TRUE(pill->isVisible());
        else
            EXPECT_FALSE(pill->isVisible()) << area->height();
    }
}
