// Small screens under a real window manager: the editor opens with its whole frame, the copy
// chevron and the zoom bar on the work area; the fixed-size palette window shows every control
// whole and offers no minimise or maximise. KX_WORK_AREA names the work area the session was made for
// ("640x360").
#include "../EditorTestPages.h"
#include "ChildProcess.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "analysis/PaletteWindowController.h"
#include "core/Localisation.h"
#include "editor/ToolKind.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "editor/window/StatusPill.h"
#include "editor/window/controls/InspectorBar.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <optional>

using namespace kx;

namespace {

class SmallScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no X display";
        const QStringList wanted = qEnvironmentVariable("KX_WORK_AREA").split(QLatin1Char('x'));
        ASSERT_EQ(wanted.size(), 2) << "set KX_WORK_AREA, e.g. 640x360";
        // Never a larger area than the case is named for.
        ASSERT_LE(available().width(), wanted[0].toInt());
        ASSERT_LE(available().height(), wanted[1].toInt());
    }
    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static QRect global(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }
    // Not cut by the window or any parent: what the user sees of it.
    static bool whole(const QWidget* w) { return w->isVisible() && w->visibleRegion() == QRegion(w->rect()); }
};

QString text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The frame the window manager says it drew around the window, in root pixels, as xprop reads
// it; the session's openbox has a title bar taller than Kaptorix assumes before it is told.
std::optional<QMargins> toldExtents(const QWidget* window)
{
    QByteArray out;
    test::run("xprop", {"-id", QString::number(window->winId()), "_NET_FRAME_EXTENTS"}, &out);
    const QStringList v = QString::fromUtf8(out).section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (v.size() != 4)
        return std::nullopt;
    return QMargins(v[0].toInt(), v[2].toInt(), v[1].toInt(), v[3].toInt());
}

// The window's client rectangle grown by the told frame lies on the work area (in root pixels).
bool frameOnWorkArea(const QWidget* window, const QRect& available, QString* seen)
{
    const std::optional<QMargins> told = toldExtents(window);
    if (!told)
        return false;
    const qreal ratio = window->windowHandle()->devicePixelRatio();
    const auto native = [ratio](const QRect& r) {
        return QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio);
    };
    const QRectF outer = native(window->geometry()).marginsAdded(QMarginsF(*told));
    *seen = text(outer.toRect()) + QStringLiteral(" on ") + text(native(available).toRect());
    return native(available).contains(outer);
}

}  // namespace

TEST_F(SmallScreen, TheEditorOpensWholeOnTheWorkArea)
{
    Lang::overrideForTests("de");  // the longest header
    const struct {
        const char* name;
        int width, height;
        double scale;
    } cases[] = {{"large", 3000, 2000, 1}, {"small", 120, 80, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto rec = std::make_shared<test::Recorded>();
        QPointer<EditorWindowController> editor = EditorWindowController::open(
            test::plainCapture(c.width, c.height, c.scale), QUuid(), test::fakeServices(rec));
        QWidget* window = editor->window();
        // Once the window manager has framed it, title bar included, by Qt's reckoning and by
        // the frame the window manager tells.
        QRect frame;
        QString told;
        const bool inside = test::waitFor(
            [&] {
                frame = window->frameGeometry();
                return window->windowHandle() && window->windowHandle()->isExposed() &&
                       frame != window->geometry() && available().contains(frame) &&
                       frameOnWorkArea(window, available(), &told);
            },
            20000);
        EXPECT_TRUE(inside) << "frame " << text(frame).toStdString() << " on "
                            << text(available()).toStdString() << "; told frame " << told.toStdString();
        const QMargins margins(
            window->geometry().left() - frame.left(), window->geometry().top() - frame.top(),
            frame.right() - window->geometry().right(), frame.bottom() - window->geometry().bottom());
        // The user can never make it larger than the area either.
        const QSize smallest = window->minimumSize().grownBy(margins);
        EXPECT_LE(smallest.width(), available().width());
        EXPECT_LE(smallest.height(), available().height());

        CopyButton* copy = editor->root()->header()->copyButton();
        StatusPill* pill = editor->root()->pill();
        const QList<const QWidget*> seen = {copy->chevron(), copy->mainButton(), pill};
        for (const QWidget* w : seen) {
            SCOPED_TRACE(w->metaObject()->className());
            EXPECT_TRUE(whole(w)) << text(w->visibleRegion().boundingRect()).toStdString() << " of "
                                  << text(w->rect()).toStdString();
            EXPECT_TRUE(available().contains(global(w))) << text(global(w)).toStdString();
        }
        test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) + QStringLiteral("/fit-%1-%2x%3.png")
                                                                               .arg(QLatin1String(c.name))
                                                                               .arg(available().width())
                                                                               .arg(available().height()));
        delete editor.data();
    }
    Lang::overrideForTests("en");
}

// On the smallest screens the backdrop popover and the "⋯" menu stay on the work area (the
// popover's on/off switch with them), the menu in one column; the inspector and the zoom bar
// never lie on top of each other.
TEST_F(SmallScreen, PopoversMenusAndBarsStayOnTheWorkArea)
{
    Lang::overrideForTests("de");  // the longest texts
    auto rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> editor =
        EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), test::fakeServices(rec));
    QWidget* window = editor->window();
    // Framed, placed and given the focus, as before a user's click: a popup shown while the
    // manager still moves the focus to the new window is closed by that move.
    QString told;
    ASSERT_TRUE(test::waitFor(
        [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   window->frameGeometry() != window->geometry() && window->isActiveWindow() &&
                   frameOnWorkArea(window, available(), &told);
        },
        20000))
        << "told frame " << told.toStdString();
    HeaderBar* header = editor->root()->header();

    // The backdrop popover, from its button or, folded away, from "⋯".
    if (header->backdropButton()->isVisible())
        header->backdropButton()->click();
    else
        header->foldedItem(header->backdropButton())->trigger();
    Popover* pop = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        return (pop = window->findChild<Popover*>()) && pop->windowHandle() &&
               pop->windowHandle()->isExposed();
    }));
    EXPECT_TRUE(available().contains(pop->frameGeometry())) << text(pop->frameGeometry()).toStdString();
    auto* toggle = pop->findChild<QWidget*>(QStringLiteral("enabled"));
    ASSERT_TRUE(toggle);
    EXPECT_TRUE(whole(toggle)) << text(toggle->visibleRegion().boundingRect()).toStdString();
    EXPECT_TRUE(available().contains(global(toggle))) << text(global(toggle)).toStdString();
    test::rootScreenshot(
        test::artifactDir(QStringLiteral("editor")) +
        QStringLiteral("/popover-%1x%2.png").arg(available().width()).arg(available().height()));
    pop->close();

    // "⋯" with everything folded into it: one column, on the area.
    header->moreButton()->click();
    QMenu* menu = header->moreMenu();
    ASSERT_TRUE(test::waitFor([&] { return menu->windowHandle() && menu->windowHandle()->isExposed(); }));
    EXPECT_TRUE(available().contains(menu->geometry())) << text(menu->geometry()).toStdString();
    QSet<int> columns;
    for (QAction* a : menu->actions())
        if (a->isVisible() && !menu->actionGeometry(a).isEmpty())
            columns << menu->actionGeometry(a).x();
    EXPECT_EQ(columns.size(), 1);
    test::rootScreenshot(
        test::artifactDir(QStringLiteral("editor")) +
        QStringLiteral("/more-%1x%2.png").arg(available().width()).arg(available().height()));
    menu->close();

    // A tool with a style inspector: the bars keep apart.
    editor->doc().setTool(ToolKind::arrow);
    QWidget* inspector = editor->root()->findChild<InspectorBar*>();
    ASSERT_TRUE(inspector);
    StatusPill* pill = editor->root()->pill();
    ASSERT_TRUE(test::waitFor([&] { return inspector->isVisible() && inspector->height() > 0; }));
    QApplication::processEvents();
    if (pill->isVisible())
        EXPECT_FALSE(global(inspector).intersects(global(pill)))
            << text(global(inspector)).toStdString() << " and " << text(global(pill)).toStdString();
    test::rootScreenshot(
        test::artifactDir(QStringLiteral("editor")) +
        QStringLiteral("/bars-%1x%2.png").arg(available().width()).arg(available().height()));
    delete editor.data();
    Lang::overrideForTests("en");
}

// Every control of the palette window can be brought into view whole and wide enough for its
// text, in each language, with and without colours.
TEST_F(SmallScreen, ThePaletteWindowShowsEveryControlWhole)
{
    QImage eight(400, 80, QImage::Format_ARGB32);
    const QList<QColor> stripes = {Qt::red,  Qt::green,   Qt::blue,  Qt::yellow,
                                   Qt::cyan, Qt::magenta, Qt::black, Qt::white};
    for (int x = 0; x < eight.width(); ++x)
        for (int y = 0; y < eight.height(); ++y)
            eight.setPixelColor(x, y, stripes[x / 50]);
    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const struct {
        const char* lang;
        const QImage& image;
        int swatches;
    } cases[] = {{"en", eight, 8}, {"de", eight, 8}, {"hu", eight, 8}, {"de", clear, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        Lang::overrideForTests(QString::fromLatin1(c.lang));
        PaletteWindowController::shared().show(c.image);
        QWidget* window = PaletteWindowController::shared().window();
        QString told;
        EXPECT_TRUE(test::waitFor(
            [&] {
                // A reused window shows its new content a turn later.
                const auto* all = window->findChild<QPushButton*>("copyAll");
                return window->windowHandle() && window->windowHandle()->isExposed() && all &&
                       all->isVisible() && available().contains(window->frameGeometry()) &&
                       frameOnWorkArea(window, available(), &told);
            },
            20000))
            << "told frame " << told.toStdString();
        // The content fits the window's width: nothing to scroll sideways to.
        for (QScrollArea* scroll : window->findChildren<QScrollArea*>())
            EXPECT_TRUE(test::waitFor([&] { return scroll->horizontalScrollBar()->maximum() == 0; }, 5000))
                << scroll->horizontalScrollBar()->maximum();
        QList<QWidget*> controls = {window->findChild<QPushButton*>("copyAll")};
        for (QLabel* l : window->findChildren<QLabel*>())
            controls << l;
        const QList<SwatchView*> swatches = window->findChildren<SwatchView*>();
        EXPECT_EQ(swatches.size(), c.swatches);
        for (SwatchView* s : swatches)
            controls << s;
        for (QWidget* w : controls) {
            SCOPED_TRACE(w->metaObject()->className());
            // Nothing squeezed below what its text needs.
            QSize need = w->minimumSizeHint();
            if (!need.isValid())
                need = w->sizeHint();
            const auto tall = [&] {
                return w->hasHeightForWidth() ? w->heightForWidth(w->width()) : need.height();
            };
            // Scrolled into view where it sits in a scroll area, once the layouts have settled
            // (content that replaces the window's old one is laid out a turn later).
            test::waitFor(
                [&] {
                    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
                        if (auto* scroll = qobject_cast<QScrollArea*>(p))
                            scroll->ensureWidgetVisible(w, 0, 0);
                    }
                    return whole(w) && available().contains(global(w)) && w->width() >= need.width() &&
                           w->height() >= tall();
                },
                5000);
            EXPECT_TRUE(whole(w)) << text(w->visibleRegion().boundingRect()).toStdString() << " of "
                                  << text(w->rect()).toStdString();
            EXPECT_TRUE(available().contains(global(w))) << text(global(w)).toStdString();
            EXPECT_GE(w->width(), need.width());
            EXPECT_GE(w->height(), tall());
        }
        test::rootScreenshot(test::artifactDir(QStringLiteral("palette")) +
                             QStringLiteral("/fit-%1-%2-%3x%4.png")
                                 .arg(QLatin1String(c.lang))
                                 .arg(c.swatches)
                                 .arg(available().width())
                                 .arg(available().height()));
    }
    PaletteWindowController::shared().window()->close();
    Lang::overrideForTests("en");
}

TEST_F(SmallScreen, ThePaletteWindowAsksForNoMinimiseOrMaximiseAndGetsNoMaximise)
{
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(QColor(30, 144, 255));
    PaletteWindowController::shared().show(image);
    QWidget* window = PaletteWindowController::shared().window();
    ASSERT_TRUE(test::waitFor([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
    const auto property = [&](const char* name) {
        QByteArray out;
        test::run("xprop", {"-id", QString::number(window->winId()), QString::fromLatin1(name)}, &out);
        return QString::fromUtf8(out);
    };
    // The Motif hints: flags, functions, decorations, … with functions 8 minimise, 16 maximise,
    // 32 close.
    const QString motif = property("_MOTIF_WM_HINTS");
    const QStringList fields = motif.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    ASSERT_GE(fields.size(), 3) << motif.toStdString();
    bool ok = false;
    const uint functions = fields[1].trimmed().toUInt(&ok, 16);
    ASSERT_TRUE(ok) << motif.toStdString();
    EXPECT_TRUE(fields[0].trimmed().toUInt(nullptr, 16) & 1) << "functions given";
    EXPECT_EQ(functions & (8 | 16 | 32), 32u) << motif.toStdString();
    // What the window manager allows, as it tells pagers and title bars. Openbox offers
    // minimise to every window whatever it asks, so only maximise is checked here.
    QString actions;
    ASSERT_TRUE(test::waitFor(
        [&] { return (actions = property("_NET_WM_ALLOWED_ACTIONS")).contains("_NET_WM_ACTION_CLOSE"); },
        20000))
        << actions.toStdString();
    for (const char* action : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"}) {
        EXPECT_FALSE(actions.contains(QLatin1String(action))) << action;
    }
    window->close();
}
