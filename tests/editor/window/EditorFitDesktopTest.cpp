// Small screens under a real window manager: the editor opens with its whole frame, the copy
// chevron and the zoom bar on the work area; the fixed-size palette window shows every control
// whole and offers no minimise or maximise. KX_WORK_AREA names the work area the session was made for
// ("640x360").
#include "../EditorTestPages.h"
#include "ChildProcess.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "analysis/PaletteWindowController.h"
#include "analysis/ai/AIPanel.h"
#include "analysis/ai/AIService.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/ToolKind.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "editor/window/StatusPill.h"
#include "editor/window/controls/InspectorBar.h"
#include "editor/window/controls/InspectorModel.h"
#include "platform/Keychain.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QVariantAnimation>
#include <QWindow>
#include <optional>

using namespace kx;

namespace {

// The windows the window manager has given the focus, as the X FocusIn events that reached this
// process tell. Qt may report a new window active before that event has arrived; on a loaded
// machine it then comes after a click, just before the keyboard grab of the popup the click
// opened, and Qt deactivates the application for a moment and closes the popup.
class FocusGiven : public QAbstractNativeEventFilter {
public:
    static FocusGiven& shared()
    {
        static FocusGiven* given = [] {
            auto* g = new FocusGiven;
            qApp->installNativeEventFilter(g);
            return g;
        }();
        return *given;
    }
    bool to(const QWidget* window) const { return windows_.contains(quint32(window->winId())); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* e = static_cast<const xcb_generic_event_t*>(message);
        if ((e->response_type & 0x7f) == XCB_FOCUS_IN) {
            const auto* in = reinterpret_cast<const xcb_focus_in_event_t*>(e);
            if (in->mode == XCB_NOTIFY_MODE_NORMAL && in->detail != XCB_NOTIFY_DETAIL_POINTER)
                windows_.insert(in->event);
        }
        return false;
    }

private:
    QSet<quint32> windows_;
};

class SmallScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no X display";
        FocusGiven::shared();  // before any window of the test is shown
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

// What of a widget shows: a scroll view's viewport covers the rest of it.
QWidget* seen(QWidget* w)
{
    auto* scroll = qobject_cast<QAbstractScrollArea*>(w);
    return scroll ? scroll->viewport() : w;
}

// Scrolls every scroll area that holds `w` so that all of it shows, as far as it can
// (ensureWidgetVisible() shows only the text cursor of a text view).
void scrollIntoView(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* scroll = qobject_cast<QScrollArea*>(p); scroll && scroll->widget()) {
            const QRect r(w->mapTo(scroll->widget(), QPoint(0, 0)), w->size());
            scroll->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 1, r.height() / 2 + 1);
        }
}

// Shown whole, on the area, at least as wide as it asks (and, where text wraps, as tall):
// nothing of it cut or squeezed. Scrolled into view first where it sits in a scroll area; a part
// taller than that view (a long error beside a short panel) shows whole across and as much of
// it as the view holds. The layouts are given time to settle after a window or popover appeared.
bool wholeOnArea(QWidget* w, const QRect& area, QString* why)
{
    const auto need = [w] {
        QSize n = w->minimumSizeHint();
        if (!n.isValid())
            n = w->sizeHint();
        if (w->hasHeightForWidth())
            n.setHeight(w->heightForWidth(w->width()));
        return n;
    };
    const bool ok = test::waitFor(
        [&] {
            scrollIntoView(w);
            int view = QWIDGETSIZE_MAX;
            for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
                if (auto* scroll = qobject_cast<QScrollArea*>(p))
                    view = std::min(view, scroll->viewport()->height());
            const QRect shown = seen(w)->visibleRegion().boundingRect();
            const bool whole = w->height() <= view
                                   ? seen(w)->visibleRegion() == QRegion(seen(w)->rect())
                                   : shown.width() == seen(w)->width() && shown.height() >= view - 1;
            const QRect g(seen(w)->mapToGlobal(shown.topLeft()), shown.size());
            return w->isVisible() && whole && area.contains(g) && w->width() >= need().width() &&
                   w->height() >= need().height();
        },
        5000);
    const QRect g(w->mapToGlobal(QPoint(0, 0)), w->size());
    *why = QStringLiteral("%1 \"%2\": %3 visible of %4, needs %5×%6")
               .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                    text(seen(w)->visibleRegion().boundingRect()), text(g))
               .arg(need().width())
               .arg(need().height());
    return ok;
}

// The editor's window once the window manager has framed it on the work area and given it the
// focus (its FocusIn has arrived, and Qt agrees), as a user's click would find it.
bool framedOnArea(QWidget* window, const QRect& area, QString* told)
{
    return test::waitFor(
        [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   window->frameGeometry() != window->geometry() && window->isActiveWindow() &&
                   FocusGiven::shared().to(window) && frameOnWorkArea(window, area, told);
        },
        20000);
}

// Keys in memory: Claude has none, OpenAI has one.
struct MemoryKeys : SecretStore {
    MemoryKeys() { Keychain::setStore(this); }
    ~MemoryKeys() override { Keychain::setStore(nullptr); }
    std::optional<QString> get(const QString& account) override
    {
        if (account == QLatin1String("openai.apiKey"))
            return QStringLiteral("sk-test");
        return std::nullopt;
    }
    bool set(const QString&, const QString&) override { return false; }
};

// Answers every request at once with a short answer in both providers' shapes.
class AnswerServer : public QTcpServer {
public:
    AnswerServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    s->setProperty("seen", s->property("seen").toByteArray() + s->readAll());
                    const QByteArray seen = s->property("seen").toByteArray();
                    const qsizetype end = seen.indexOf("\r\n\r\n");
                    const qsizetype at = seen.toLower().indexOf("content-length:");
                    const qsizetype length =
                        at < 0 ? 0
                               : seen.mid(at + 15, seen.indexOf('\r', at) - at - 15).trimmed().toLongLong();
                    if (end < 0 || seen.size() < end + 4 + length)
                        return;
                    const QByteArray body = R"({"content":[{"type":"text","text":"A login form."}],)"
                                            R"("choices":[{"message":{"content":"A login form."}}]})";
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                        "Content-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
        });
    }
};

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
    ASSERT_TRUE(framedOnArea(window, available(), &told)) << "told frame " << told.toStdString();
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
    // The inspector's capsule, its colours folded where the whole row has no room, lies in the
    // canvas, and so in the window.
    auto* bar = qobject_cast<InspectorBar*>(inspector);
    ASSERT_TRUE(test::waitFor([&] { return !bar->springing() && bar->dropOffset() == 0; }));
    const QRect capsule(inspector->mapToGlobal(bar->capsule().topLeft().toPoint()),
                        bar->capsule().size().toSize());
    EXPECT_TRUE(global(editor->root()->canvasArea()).contains(capsule))
        << text(capsule).toStdString() << " in " << text(global(editor->root()->canvasArea())).toStdString();
    test::rootScreenshot(
        test::artifactDir(QStringLiteral("editor")) +
        QStringLiteral("/bars-%1x%2.png").arg(available().width()).arg(available().height()));

    // Zoom keeps a mouse control: what the pill does not show, "⋯" offers.
    menu = header->moreMenu();
    header->moreButton()->click();
    ASSERT_TRUE(test::waitFor([&] { return menu->windowHandle() && menu->windowHandle()->isExposed(); }));
    const std::vector<QAction*>& zoom = header->zoomItems();
    ASSERT_EQ(zoom.size(), 4u);
    const bool steps = pill->isVisible(), fit = steps && pill->showsFit();
    for (size_t i = 0; i < zoom.size(); ++i)
        EXPECT_EQ(zoom[i]->isVisible(), i < 2 ? !steps : !fit) << i;
    menu->close();
    if (!steps) {
        const double before = editor->doc().zoom();
        zoom[0]->trigger();
        EXPECT_NEAR(editor->doc().zoom(), before * 1.25, 1e-6);
    }
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

// Files handed over together on a small screen: each editor is as large as one opened alone,
// with every header control whole, in every language; where the area has room to spare they
// step down and right, and a second hand-over starts after the first one's editors instead of
// lying exactly on them.
TEST_F(SmallScreen, AHandOverOpensEditorsNoSmallerThanOneAlone)
{
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(QString::fromLatin1(lang));
        auto rec = std::make_shared<test::Recorded>();
        // Screenshots of 320 × 200, as a hand-over of 24 files brings them (10 open at once).
        const CaptureResult shot = test::plainCapture(320, 200, 1);
        QString told;
        QSize alone;
        {
            QPointer<EditorWindowController> one =
                EditorWindowController::open(shot, QUuid(), test::fakeServices(rec));
            ASSERT_TRUE(framedOnArea(one->window(), available(), &told)) << told.toStdString();
            alone = one->window()->size();
            delete one.data();
        }
        QList<QPointer<EditorWindowController>> first, second;
        for (int i = 0; i < 10; ++i)
            first << EditorWindowController::open(shot, QUuid(), EditorCascade{i, 10},
                                                  test::fakeServices(rec));
        // Framed, each of them (only the last one has the focus).
        const auto framed = [&](const QList<QPointer<EditorWindowController>>& editors) {
            for (const auto& e : editors)
                if (!test::waitFor([&] {
                        QWidget* w = e->window();
                        return w->windowHandle() && w->windowHandle()->isExposed() &&
                               w->frameGeometry() != w->geometry() && frameOnWorkArea(w, available(), &told);
                    }))
                    return false;
            return true;
        };
        ASSERT_TRUE(framed(first)) << told.toStdString();
        for (int i = 0; i < first.size(); ++i) {
            SCOPED_TRACE(i);
            QWidget* window = first[i]->window();
            EXPECT_GE(window->width(), alone.width());
            EXPECT_GE(window->height(), alone.height());
            HeaderBar* header = first[i]->root()->header();
            EXPECT_GE(header->width(), header->minimumSizeHint().width());
            window->raise();
            QList<QWidget*> controls;
            for (QWidget* c : header->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c->isVisible() && c->width() > 1)
                    controls << c;
            CopyButton* copy = header->copyButton();
            controls << copy->mainButton() << copy->chevron();
            for (QWidget* c : std::as_const(controls)) {
                QString why;
                EXPECT_TRUE(wholeOnArea(c, available(), &why)) << why.toStdString();
            }
            std::sort(controls.begin(), controls.end() - 2,
                      [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
            for (int k = 1; k + 2 < controls.size(); ++k)
                EXPECT_FALSE(controls[k]->geometry().intersects(controls[k - 1]->geometry()))
                    << k << " " << controls[k]->x();
        }
        const QPoint step =
            first[1]->window()->frameGeometry().topLeft() - first[0]->window()->frameGeometry().topLeft();
        test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) +
                             QStringLiteral("/handover-%1-%2x%3.png")
                                 .arg(QLatin1String(lang))
                                 .arg(available().width())
                                 .arg(available().height()));

        // As many files again, of which the first three open (the rest unreadable): laid out
        // like the first run, they would lie exactly on it.
        for (int i = 0; i < 3; ++i)
            second << EditorWindowController::open(shot, QUuid(), EditorCascade{i, 10},
                                                   test::fakeServices(rec));
        ASSERT_TRUE(framed(second)) << told.toStdString();
        QList<QPoint> firstCorners;
        for (const auto& e : std::as_const(first))
            firstCorners << e->window()->frameGeometry().topLeft();
        for (const auto& e : std::as_const(second)) {
            EXPECT_GE(e->window()->width(), alone.width());
            EXPECT_GE(e->window()->height(), alone.height());
            // With room to step, never exactly on an editor of the first hand-over.
            if (!step.isNull())
                EXPECT_FALSE(firstCorners.contains(e->window()->frameGeometry().topLeft()))
                    << text(e->window()->frameGeometry()).toStdString();
        }
        for (const auto& e : first + second)
            delete e.data();
    }
    Lang::overrideForTests("en");
}

// The AI panel open on a small screen: each of its controls, and each colour of the style
// inspector beside it, can be reached and seen whole, in every language; the panel takes the
// width its content needs and scrolls where it is short.
TEST_F(SmallScreen, TheAIPanelAndEverySwatchStayWhole)
{
    MemoryKeys keys;
    AnswerServer server;
    AIService::setBaseUrlForTests(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        Lang::overrideForTests(QString::fromLatin1(lang));
        Prefs::set("ai.provider", "openai");
        auto rec = std::make_shared<test::Recorded>();
        EditorServices services = test::fakeServices(rec);
        services.makeAIPanel = [](EditorDocument& doc, QWidget* parent) -> QWidget* {
            return new AIPanel(
                AIAnalysisModel::create(), [&doc] { return doc.renderFinal(false); }, QUuid(),
                [&doc] { doc.setShowAI(false); }, parent);
        };
        QPointer<EditorWindowController> editor =
            EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), services);
        QWidget* window = editor->window();
        QString told;
        ASSERT_TRUE(framedOnArea(window, available(), &told)) << told.toStdString();
        editor->doc().setTool(ToolKind::arrow);
        editor->doc().setShowAI(true);
        EditorRootView* root = editor->root();
        ASSERT_TRUE(test::waitFor([&] {
            return root->aiPanel() && root->aiSlide()->state() != QAbstractAnimation::Running &&
                   root->aiPanelOpacity() == 1.0;
        }));
        auto* panel = qobject_cast<AIPanel*>(root->aiPanel());
        ASSERT_TRUE(panel);
        // An answer (Copy shows), then a provider without a key (the orange notice) and an
        // Analyze that fails for it (the red one): every part of the panel at once.
        const auto part = [&](const char* name) { return panel->findChild<QWidget*>(QLatin1String(name)); };
        qobject_cast<ChromeButton*>(part("analyze"))->click();
        ASSERT_TRUE(test::waitFor([&] { return part("copy")->isVisibleTo(panel); }, 20000));
        Prefs::set("ai.provider", "claude");
        ASSERT_TRUE(test::waitFor([&] { return part("keyNotice")->isVisibleTo(panel); }, 20000));
        qobject_cast<ChromeButton*>(part("analyze"))->click();
        ASSERT_TRUE(test::waitFor([&] { return part("errorNotice")->isVisibleTo(panel); }, 20000));
        EXPECT_GE(panel->width(), panel->minimumSizeHint().width());
        QList<QWidget*> controls;
        for (const char* name :
             {"title", "modelName", "close", "presetPicker", "analyze", "copy", "errorText"})
            controls << part(name);
        controls << part("keyNotice")->findChild<QLabel*>();
        for (QWidget* w : std::as_const(controls)) {
            ASSERT_TRUE(w);
            QString why;
            EXPECT_TRUE(wholeOnArea(w, available(), &why)) << why.toStdString();
        }
        // The answer scrolls by itself: in view, it is whole across and shows some lines.
        QWidget* answer = part("answer");
        scrollIntoView(answer);
        QApplication::processEvents();
        QWidget* lines = seen(answer);
        const QRect shown = lines->visibleRegion().boundingRect();
        EXPECT_EQ(shown.width(), lines->width());
        EXPECT_GE(shown.height(), std::min(lines->height(), 3 * answer->fontMetrics().height()));
        panel->scrollArea()->verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) + QStringLiteral("/ai-%1-%2x%3.png")
                                                                               .arg(QLatin1String(lang))
                                                                               .arg(available().width())
                                                                               .arg(available().height()));

        // The inspector beside the panel: its controls in the bar, or, where the canvas is too
        // narrow for them, behind the one button the bar folds into.
        auto* bar = root->canvasArea()->findChild<InspectorBar*>();
        ASSERT_TRUE(bar);
        QString why;
        InspectorBar* inspector = bar;
        EXPECT_TRUE(test::waitFor([&] { return root->canvasArea()->rect().contains(bar->geometry()); }))
            << text(bar->geometry()).toStdString() << " in " << root->canvasArea()->width();
        if (bar->collapsed()) {
            EXPECT_TRUE(wholeOnArea(bar->unfoldButton(), available(), &why)) << why.toStdString();
            bar->unfoldButton()->click();
            ASSERT_TRUE(test::waitFor([&] {
                return bar->controlsPopover() && bar->controlsPopover()->windowHandle() &&
                       bar->controlsPopover()->windowHandle()->isExposed();
            }));
            inspector = qobject_cast<InspectorBar*>(bar->controlsPopover()->content());
            ASSERT_TRUE(inspector);
        }
        // The line width: slider and read-out whole, the number inside its label, and the
        // slider moves it.
        auto* slider = inspector->findChild<QSlider*>(QStringLiteral("lineWidth"));
        auto* readout = inspector->findChild<QLabel*>(QStringLiteral("readout.lineWidth"));
        ASSERT_TRUE(slider && readout);
        for (QWidget* w : {static_cast<QWidget*>(slider), static_cast<QWidget*>(readout)})
            EXPECT_TRUE(wholeOnArea(w, available(), &why)) << why.toStdString();
        EXPECT_LE(readout->fontMetrics().horizontalAdvance(readout->text()), readout->contentsRect().width())
            << readout->text().toStdString();
        const double width = editor->doc().style().lineWidth;
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
        EXPECT_GT(editor->doc().style().lineWidth, width);
        EXPECT_EQ(readout->text(), QString::number(inspector::readout(editor->doc().style().lineWidth,
                                                                      editor->doc().scale())));
        test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) +
                             QStringLiteral("/linewidth-%1-%2x%3.png")
                                 .arg(QLatin1String(lang))
                                 .arg(available().width())
                                 .arg(available().height()));

        // Every colour: in the inspector's row, or folded behind one button into a popover.
        QWidget* swatches = inspector;
        if (inspector->colorsFolded()) {
            EXPECT_TRUE(wholeOnArea(inspector->colorFold(), available(), &why)) << why.toStdString();
            qobject_cast<QAbstractButton*>(inspector->colorFold())->click();
            ASSERT_TRUE(test::waitFor([&] {
                return inspector->colorPopover() && inspector->colorPopover()->windowHandle() &&
                       inspector->colorPopover()->windowHandle()->isExposed();
            }));
            swatches = inspector->colorPopover();
        }
        QStringList names = {"customColor"};
        for (int i = 0; i < 8; ++i)
            names << QStringLiteral("swatch%1").arg(i);
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            QWidget* w = nullptr;
            for (QWidget* c : swatches->findChildren<QWidget*>(name))
                if (c->isVisible())
                    w = c;
            ASSERT_TRUE(w);
            EXPECT_TRUE(wholeOnArea(w, available(), &why)) << why.toStdString();
        }
        test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) +
                             QStringLiteral("/swatches-%1-%2x%3.png")
                                 .arg(QLatin1String(lang))
                                 .arg(available().width())
                                 .arg(available().height()));
        if (inspector->colorPopover())
            inspector->colorPopover()->close();
        if (bar->controlsPopover())
            bar->controlsPopover()->close();
        delete editor.data();
    }
    Prefs::remove("ai.provider");
    AIService::setBaseUrlForTests(QUrl());
    Lang::overrideForTests("en");
}
