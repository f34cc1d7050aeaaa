// The editor window offscreen: sizes and texts, rail, header, copy button, zoom.
#include "../EditorTestPages.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "analysis/PaletteWindowController.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorKeys.h"
#include "editor/window/EditorMetrics.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/Popover.h"
#include "editor/window/StatusPill.h"
#include "editor/window/ToolRail.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "editor/window/controls/InspectorBar.h"
#include "help/HelpWindowController.h"
#include "library/pins/PinManager.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QWheelEvent>

using namespace kx;

namespace {

struct Editor {
    std::shared_ptr<test::Recorded> rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> c;
    explicit Editor(int w = 1200, int h = 800, double scale = 2, EditorServices s = {})
    {
        if (!s.toast)
            s = test::fakeServices(rec);
        c = EditorWindowController::open(test::plainCapture(w, h, scale), QUuid(), s);
        test::waitFor([&] { return c->window()->isVisible() && c->canvas()->hasFocus(); }, 3000);
    }
    ~Editor() { delete c.data(); }
    EditorDocument& doc() { return c->doc(); }
    HeaderBar* header() { return c->root()->header(); }
};

const QString kLangs[] = {"en", "de", "hu"};

}  // namespace

TEST(EditorMetrics, WindowSizeFollowsImageWithinScreen)
{
    struct Case {
        QSize px;
        double scale;
        QSizeF expected;
    } cases[] = {
        {{100, 100}, 2, {880, 560}},             // minimums win
        {{5000, 3000}, 1, {1324.8, 805}},        // 92 % of 1440 × 875
        {{1600, 1200}, 2, {884, 742}},           // image + 84 and + 142 points
        {{1600, 1200}, qQNaN(), {1324.8, 805}},  // a bad scale counts as 1
        {{800, 600}, 0, {884, 742}},
        {{800, 600}, -2, {884, 742}},
    };
    for (const Case& c : cases) {
        const QSizeF s = editor::contentSize(c.px, c.scale, QSizeF(1440, 875));
        EXPECT_NEAR(s.width(), c.expected.width(), 1e-9) << c.px.width() << " " << c.scale;
        EXPECT_NEAR(s.height(), c.expected.height(), 1e-9) << c.px.width() << " " << c.scale;
    }
}

// Editors opened together keep the size one has alone and step by 32 pt, less where ten steps
// would take more than a quarter of the area or more than it has to spare, none where it has
// none. A later hand-over starts a step after the latest editor still open, or where none of
// its editors lies exactly on one.
TEST(EditorMetrics, CascadeTopLeft)
{
    const QRect hd(0, 24, 1920, 1056);
    const QList<QPoint> threeOnHd = {{478, 220}, {510, 252}, {542, 284}};
    const struct {
        const char* name;
        QSize frame;
        QRect area;
        int index, count;
        QList<QPoint> open;
        QPoint got;
    } rows[] = {
        {"alone", {900, 600}, hd, 0, 1, {}, {510, 252}},
        {"first of three", {900, 600}, hd, 0, 3, {}, threeOnHd[0]},
        {"last of three", {900, 600}, hd, 2, 3, {}, threeOnHd[2]},
        {"ten on 1080p: 29 pt", {900, 600}, hd, 3, 10, {}, {379 + 87, 121 + 87}},
        {"no room to spare", {320, 180}, {0, 0, 320, 180}, 5, 10, {}, {0, 0}},
        {"a little room: 2 pt", {376, 266}, {0, 0, 400, 300}, 9, 10, {}, {3 + 18, 8 + 18}},
        // Short and wide: the height the area has to spare limits the step, then its quarter.
        {"short area: 4 pt", {900, 600}, {0, 0, 1920, 640}, 9, 10, {}, {492 + 36, 2 + 36}},
        {"a quarter of the height: 27 pt", {900, 600}, {0, 0, 3000, 1000}, 9, 10, {}, {928 + 243, 78 + 243}},
        {"after the editors open", {900, 600}, hd, 0, 3, threeOnHd, {574, 316}},
        {"after them, second", {900, 600}, hd, 1, 3, threeOnHd, {606, 348}},
        // No room after the first run: pulled back onto the area, clear of it.
        {"pulled back", {900, 600}, {0, 0, 1000, 700}, 0, 3, {{18, 18}, {50, 50}, {82, 82}}, {36, 36}},
        // Editors where the run after them and the centred run would lie: beside the centred one.
        {"beside", {900, 600}, {0, 0, 964, 700}, 0, 3, {{0, 18}, {0, 4}, {0, 36}}, {0, 19}},
        {"not one of them", {900, 600}, hd, 4, 3, {}, threeOnHd[2]},
    };
    for (const auto& r : rows) {
        const QPoint got = editor::cascadeTopLeft(r.frame, r.area, r.index, r.count, r.open);
        EXPECT_EQ(got, r.got) << r.name << ": " << got.x() << "," << got.y();
        EXPECT_TRUE(r.area.contains(QRect(got, r.frame))) << r.name;
    }
}

TEST(EditorMetrics, TitlePercentAndBadge)
{
    Lang::overrideForTests("en");
    EXPECT_EQ(editor::windowTitle(SourceKind::area, {1200, 800}), "Kaptorix — Area 1200×800");
    const std::pair<double, const char*> zooms[] = {
        {0.05, "5%"}, {16, "1600%"}, {0.125, "13%"}, {1, "100%"}, {0.985, "99%"}};
    for (const auto& [z, text] : zooms)
        EXPECT_EQ(editor::zoomText(z), QLatin1String(text)) << z;
    const std::pair<double, const char*> badges[] = {{2, "@2x"},         {1.5, "@1.5x"}, {1.25, "@1.25x"},
                                                     {1.3333, "@1.33x"}, {1, ""},        {0.5, ""},
                                                     {qQNaN(), ""},      {3, "@3x"}};
    for (const auto& [s, text] : badges)
        EXPECT_EQ(editor::scaleBadge(s), QLatin1String(text)) << s;
}

TEST(EditorWindow, OpensTitledRegisteredAndFittedWithTheCanvasFocused)
{
    for (const QString& lang : kLangs) {
        Lang::overrideForTests(lang);
        Editor e(1200, 800, 1);
        e.c->window()->resize(1900, 800);
        test::waitFor([&] { return !e.header()->isCompact(); }, 2000);
        EXPECT_EQ(e.c->window()->windowTitle(), editor::windowTitle(SourceKind::area, {1200, 800}));
        EXPECT_TRUE(EditorWindowController::openEditors().contains(e.c.data()));
        EXPECT_EQ(e.c->window()->actions().size(), editorKeys().size());
        EXPECT_EQ(keyHint(EditorKey::redo), "Ctrl+Shift+Z");
        EXPECT_TRUE(e.c->canvas()->hasFocus());
        EXPECT_DOUBLE_EQ(e.doc().zoom(), e.c->scrollView()->magnification());
        EXPECT_LE(e.doc().zoom(), 0.98 + 1e-9);
        EXPECT_EQ(e.header()->saveButton()->title(), kx::tr("Save", "Mentés", "Sichern"));
        EXPECT_EQ(e.header()->ocrButton()->title(), "OCR");
        EXPECT_EQ(e.header()->aiButton()->title(), "AI");
    }
    Lang::overrideForTests("en");
}

// The editor's parts are made inside its window: none shows as a window of its own, not even
// for a moment (the window manager would map it and hand it the focus).
TEST(EditorWindow, OpeningShowsNoWindowButTheEditor)
{
    struct Shown : QObject {
        QList<QPointer<QWidget>> windows;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow())
                windows << static_cast<QWidget*>(o);
            return false;
        }
    } shown;
    qApp->installEventFilter(&shown);
    Editor e;
    qApp->removeEventFilter(&shown);
    QStringList others;
    for (QWidget* w : shown.windows)
        if (w && w != e.c->window())
            others << w->metaObject()->className();
    EXPECT_TRUE(others.isEmpty()) << others.join(", ").toStdString();
}

TEST(EditorWindow, RailChoosesToolsAndKeepsSelectionOnlyForSelect)
{
    Editor e;
    ToolRail* rail = e.c->root()->rail();
    int buttons = 0;
    for (const auto& g : ToolRail::groups())
        buttons += int(g.size());
    EXPECT_EQ(buttons, 15);
    EXPECT_EQ(rail->separatorCount(), 6);
    EXPECT_EQ(rail->button(ToolKind::picture), nullptr);
    for (ToolKind t : tools())
        EXPECT_EQ(rail->button(t)->chromeStyle().selected, t == ToolKind::arrow) << rawValue(t).toStdString();

    Annotation a;
    a.p1 = {10, 10};
    a.p2 = {50, 50};
    e.doc().pushUndo();
    e.doc().add(a);
    ASSERT_EQ(e.doc().selectedID(), a.id);
    rail->button(ToolKind::select)->click();
    EXPECT_EQ(e.doc().selectedID(), a.id);
    EXPECT_TRUE(rail->button(ToolKind::select)->chromeStyle().selected);
    EXPECT_FALSE(rail->button(ToolKind::arrow)->chromeStyle().selected);
    rail->button(ToolKind::rect)->click();
    EXPECT_TRUE(e.doc().selectedID().isNull());
    EXPECT_EQ(e.doc().tool(), ToolKind::rect);
    EXPECT_TRUE(e.c->canvas()->hasFocus());
}

// A 600 × 400 px capture at 2× opens the smallest editor, shorter than the rail: marks at the
// edges show that tools lie beyond, a click scrolls to them, and a tool chosen by its letter
// scrolls into view.
TEST(EditorWindow, AShortRailShowsAndReachesTheToolsBeyondItsEdge)
{
    Editor e(600, 400, 2);
    ToolRail* rail = e.c->root()->rail();
    ASSERT_TRUE(test::waitFor([&] { return rail->height() > 0 && rail->height() < 640; }, 3000))
        << rail->height();
    const auto inView = [rail](QWidget* w) {
        const QRect r(w->mapTo(rail, QPoint(0, 0)), w->size());
        const int top = rail->moreAbove()->isVisible() ? rail->moreAbove()->height() : 0;
        const int bottom =
            rail->height() - (rail->moreBelow()->isVisible() ? rail->moreBelow()->height() : 0);
        return r.top() >= top && r.bottom() < bottom;
    };
    const auto click = [](QWidget* w) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
    };
    EXPECT_TRUE(rail->moreBelow()->isVisible());
    EXPECT_FALSE(rail->moreAbove()->isVisible());
    EXPECT_FALSE(inView(rail->helpButton()));
    EXPECT_TRUE(inView(rail->button(ToolKind::select)));
    for (int i = 0; i < 10 && rail->moreBelow()->isVisible(); ++i)
        click(rail->moreBelow());
    EXPECT_FALSE(rail->moreBelow()->isVisible());
    EXPECT_TRUE(rail->moreAbove()->isVisible());
    EXPECT_TRUE(inView(rail->helpButton()));
    EXPECT_TRUE(inView(rail->button(ToolKind::ruler)));
    EXPECT_FALSE(inView(rail->button(ToolKind::select)));
    e.doc().setTool(ToolKind::select);  // as the V key does
    EXPECT_TRUE(inView(rail->button(ToolKind::select)));
}

TEST(EditorWindow, HeaderEnablesUndoRedoCompactsAndGatesCopyAtOneX)
{
    Editor e(1200, 800, 1);
    HeaderBar* h = e.header();
    EXPECT_FALSE(h->undoButton()->isEnabled());
    e.doc().pushUndo();
    e.doc().add(Annotation{});
    EXPECT_TRUE(h->undoButton()->isEnabled());
    EXPECT_FALSE(h->redoButton()->isEnabled());
    h->undoButton()->click();
    EXPECT_TRUE(h->redoButton()->isEnabled());
    EXPECT_TRUE(e.doc().annotations().isEmpty());

    QAction* copy1x = h->moreMenu()->actions().at(1);
    EXPECT_FALSE(copy1x->isEnabled());
    Editor retina(1200, 800, 2);
    EXPECT_TRUE(retina.header()->moreMenu()->actions().at(1)->isEnabled());

    e.c->window()->resize(1800, 700);
    test::waitFor([&] { return h->width() >= 1700; }, 2000);
    EXPECT_FALSE(h->isCompact());
    EXPECT_EQ(h->redactButton()->title(), "Redact");
    e.c->window()->resize(780, 600);
    test::waitFor([&] { return h->isCompact(); }, 2000);
    EXPECT_TRUE(h->isCompact());
    for (ChromeButton* b : {h->addCaptureButton(), h->backdropButton(), h->redactButton(), h->ocrButton(),
                            h->paletteButton(), h->aiButton(), h->uploadButton()})
        EXPECT_TRUE(b->title().isEmpty());
    EXPECT_EQ(h->saveButton()->title(), "Save");
}

TEST(EditorWindow, CopyButtonReadsBadModesAsCopyAndStoresAChosenRow)
{
    QList<CopyMode> calls;
    EditorActions actions;
    actions.copy = [&](CopyMode m) { calls << m; };
    Prefs::set("copy.mode", "sideways");
    CopyButton button(actions);
    button.mainButton()->click();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0], CopyMode::copy);

    button.setShowChoices(true);
    ASSERT_TRUE(button.choices());
    const auto rows = button.choices()->findChildren<CopyChoiceRow*>();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0]->isChosen());
    rows[1]->click();
    EXPECT_FALSE(button.showChoices());
    EXPECT_EQ(Prefs::string("copy.mode"), "copyAndClose");
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[1], CopyMode::copyAndClose);
    button.mainButton()->click();
    EXPECT_EQ(calls.last(), CopyMode::copyAndClose);
    Prefs::remove("copy.mode");
}

TEST(EditorWindow, ZoomClampsFitsAndMirrorsIntoTheDocument)
{
    Editor e(400, 300, 1);
    auto* scroll = e.c->scrollView();
    const QSize view = scroll->maximumViewportSize();
    // A canvas a quarter of the room each way fits at 4 × 0.98.
    Editor small(view.width() / 4, view.height() / 4, 1);
    small.c->window()->resize(e.c->window()->size());
    test::waitFor([&] { return small.c->scrollView()->maximumViewportSize() == view; }, 2000);
    small.c->cmdZoomFit(4);
    EXPECT_NEAR(small.doc().zoom(), 3.92, 0.05);
    e.c->cmdZoomFit(1);
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 0.98);
    for (int i = 0; i < 30; ++i)
        e.c->cmdZoom(1.25);
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 16);
    e.c->root()->pill()->zoomOutButton()->click();
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 16 * 0.8);
    EXPECT_EQ(e.c->root()->pill()->zoomText(), "1280%");
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum() / 3);
    EXPECT_DOUBLE_EQ(e.doc().zoom(), scroll->magnification());
    scroll->setMagnification(3.0, QPointF(10, 10));  // the scroll view's own zoom, as a pinch
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 3.0);
    for (int i = 0; i < 40; ++i)
        e.c->cmdZoom(0.8);
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 0.05);
    EXPECT_EQ(e.c->root()->pill()->zoomText(), "5%");
    e.c->cmdZoomActual();
    EXPECT_DOUBLE_EQ(e.doc().zoom(), 1);
    // Ctrl+wheel zooms like a pinch; a plain wheel scrolls.
    const QPointF at(20, 20);
    QWheelEvent in(at, scroll->viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::ControlModifier,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(scroll->viewport(), &in);
    EXPECT_NEAR(e.doc().zoom(), 1.1, 1e-9);
    EXPECT_DOUBLE_EQ(e.doc().zoom(), scroll->magnification());
    EXPECT_EQ(e.c->root()->pill()->badgeText(), QString());
    EXPECT_EQ(small.c->root()->pill()->sizeText(),
              QStringLiteral("%1 × %2").arg(view.width() / 4).arg(view.height() / 4));
}

TEST(EditorWindow, LiveServicesReachThePaletteWindow)
{
    EditorServices live = EditorServices::live();
    live.history = nullptr;
    Editor e(300, 200, 1, live);
    ASSERT_TRUE(e.header()->paletteButton()->isEnabled());
    e.header()->paletteButton()->click();
    ASSERT_TRUE(PaletteWindowController::shared().window());
    EXPECT_TRUE(PaletteWindowController::shared().window()->isVisible());
    EXPECT_TRUE(e.header()->redactButton()->isEnabled());
    ASSERT_TRUE(e.c->root()->rail()->helpButton()->isEnabled());
    e.c->root()->rail()->helpButton()->click();
    ASSERT_TRUE(HelpWindowController::shared().window());
    EXPECT_TRUE(HelpWindowController::shared().window()->isVisible());
    ASSERT_TRUE(e.header()->pinButton()->isEnabled());
    const qsizetype pins = PinManager::shared().pins().size();
    e.header()->pinButton()->click();
    EXPECT_EQ(PinManager::shared().pins().size(), pins + 1);
    EXPECT_TRUE(e.header()->uploadButton()->isEnabled());
    EXPECT_TRUE(e.header()->addCaptureButton()->isEnabled());
    e.header()->aiButton()->click();
    ASSERT_TRUE(e.c->root()->aiPanel());
    EXPECT_TRUE(e.c->root()->aiPanel()->isVisible());
    EXPECT_TRUE(
        test::waitFor([&] { return e.c->root()->aiPanel()->width() == EditorRootView::kAIPanelWidth; }));
    e.header()->aiButton()->click();
    EXPECT_TRUE(test::waitFor([&] { return !e.c->root()->aiPanel()->isVisible(); }));

    // The controls: the inspector over the canvas, the backdrop popover from the header.
    auto* inspector = e.c->root()->canvasArea()->findChild<InspectorBar*>();
    ASSERT_TRUE(inspector);
    EXPECT_TRUE(inspector->isVisible());
    e.header()->backdropButton()->click();
    ASSERT_TRUE(e.header()->showBeautify());
    auto* pop = e.c->window()->findChild<Popover*>();
    ASSERT_TRUE(pop);
    EXPECT_TRUE(pop->findChild<BeautifyPopover*>());
    pop->close();
    EXPECT_FALSE(e.header()->showBeautify());
}
