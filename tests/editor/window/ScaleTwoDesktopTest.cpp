// At scale 2 on a 1920×1080 screen (960×540 logical) every window and the backdrop popover
// stay inside the screen's work area, and the popover's last row can still be reached.
#include "../EditorTestPages.h"
#include "ChildProcess.h"
#include "EditorFakes.h"
#include "TestSupport.h"
#include "core/Localisation.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "help/HelpWindowController.h"
#include "ui/ChromeButton.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QAbstractButton>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QWindow>

using namespace kx;

namespace {

class ScaleTwo : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no X display";
        screen_ = QGuiApplication::primaryScreen();
        ASSERT_EQ(screen_->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
        ASSERT_EQ(screen_->geometry().size(), QSize(960, 540));
        Lang::overrideForTests("de");  // the longest texts
    }
    QRect available() const { return screen_->availableGeometry(); }
    QScreen* screen_ = nullptr;
};

// Notes when the X server gives the keyboard focus to a window. Qt takes a window for active
// as soon as its own activation request comes back, before the window manager has given it
// the focus; until the real FocusIn, a deactivation may still be due from a window closed
// just before (Qt waits a moment for a FocusIn after every FocusOut), and it closes any
// popup then open.
class FocusInSeen : public QAbstractNativeEventFilter {
public:
    explicit FocusInSeen(WId window) : window_(xcb_window_t(window)) { qApp->installNativeEventFilter(this); }
    ~FocusInSeen() override { qApp->removeNativeEventFilter(this); }
    bool seen() const { return seen_; }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_FOCUS_IN) {
            const auto* in = static_cast<const xcb_focus_in_event_t*>(message);
            // Qt, too, ignores a FocusIn that only says the pointer is over the window.
            if (in->event == window_ && in->detail != XCB_NOTIFY_DETAIL_POINTER)
                seen_ = true;
        }
        return false;
    }

private:
    xcb_window_t window_;
    bool seen_ = false;
};

}  // namespace

TEST_F(ScaleTwo, TheHelpWindowOpensWholeOnTheScreen)
{
    HelpWindowController::shared().show(std::nullopt);
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == QLatin1String("Kaptorix-Hilfe"))
            help = w;
    ASSERT_TRUE(help);
    // Once the window manager has framed it, title bar included.
    QRect frame;
    const bool inside = test::waitFor(
        [&] {
            frame = help->frameGeometry();
            return help->windowHandle()->isExposed() && frame != help->geometry() &&
                   available().contains(frame);
        },
        20000);
    EXPECT_TRUE(inside) << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "×"
                        << frame.height() << " on " << available().width() << "×" << available().height();
    help->close();
}

TEST_F(ScaleTwo, TheBackdropPopoverStaysOnTheScreenAndItsLastRowCanBeReached)
{
    auto rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> c =
        EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), test::fakeServices(rec));
    // Watched from before it maps: the focus may come with the map.
    FocusInSeen focused(c->window()->winId());
    ASSERT_TRUE(test::waitFor(
        [&] { return c->window()->windowHandle() && c->window()->windowHandle()->isExposed(); }, 20000));
    // A popup opened before the window manager has focused its window closes (and goes) when
    // a deactivation still due from the help window arrives, as it may late on a busy machine.
    c->window()->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return focused.seen() && c->window()->isActiveWindow(); }, 20000));
    HeaderBar* header = c->root()->header();
    header->backdropButton()->click();
    QPointer<Popover> pop = c->window()->findChild<Popover*>();
    ASSERT_TRUE(pop);
    auto* content = pop->findChild<BeautifyPopover*>();
    ASSERT_TRUE(content);
    // The transparency note is the lowest row.
    auto* transparent = content->findChild<QAbstractButton*>("background.transparent");
    ASSERT_TRUE(transparent);
    transparent->click();
    QRect placed;
    ASSERT_TRUE(test::waitFor(
        [&] {
            if (!pop)
                return false;
            placed = QRect(pop->mapToGlobal(QPoint(0, 0)), pop->size());
            return pop->isVisible() && pop->windowHandle() && pop->windowHandle()->isExposed() &&
                   available().contains(placed);
        },
        20000))
        << "popover " << (pop ? "" : "closed; ") << placed.y() << "+" << placed.height() << " on "
        << available().height();
    EXPECT_TRUE(pop->scrolls());

    // Scrolled to the bottom, the note shows whole inside the popover.
    QLabel* note = nullptr;
    for (QLabel* l : content->findChildren<QLabel*>())
        if (l->isVisible() && l->text().contains(QLatin1String("JPEG")))
            note = l;
    ASSERT_TRUE(note);
    ASSERT_TRUE(pop) << "the popover closed";
    QPointer<QScrollArea> scroll = pop->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    scroll->ensureWidgetVisible(note, 0, 0);
    QRect shown;
    EXPECT_TRUE(test::waitFor(
        [&] {
            if (!pop || !scroll)
                return false;
            shown = QRect(note->mapToGlobal(QPoint(0, 0)), note->size());
            const QRect view(scroll->viewport()->mapToGlobal(QPoint(0, 0)), scroll->viewport()->size());
            return view.contains(shown) && available().contains(shown);
        },
        10000))
        << "note at " << shown.y() << "+" << shown.height();
    ASSERT_TRUE(pop) << "the popover closed";
    pop->repaint();  // the scrolled rows on the screen before it is taken
    test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) +
                         QStringLiteral("/scale-two-backdrop.png"));
    pop->close();
    delete c.data();
}
