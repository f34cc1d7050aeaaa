// The hover tip's state machine (with a fake timer and presenter), its attachment to
// widgets and the bubble's placement.
#include "TestSupport.h"
#include "ui/HelpTip.h"
#include "ui/TipBubble.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWidget>

using namespace kx;

namespace {

struct FakeTimer : TipController::Timer {
    int startedMs = -1;
    std::function<void()> fire;
    void start(int ms, std::function<void()> f) override
    {
        startedMs = ms;
        fire = std::move(f);
    }
    void stop() override
    {
        startedMs = -1;
        fire = nullptr;
    }
    void elapse()
    {
        auto f = std::move(fire);
        startedMs = -1;
        if (f)
            f();
    }
};

struct FakePresenter : TipController::Presenter {
    QStringList shown;
    int hides = 0;
    void show(const TipContent& c) override { shown << c.title; }
    void hide() override { ++hides; }
};

struct Rig {
    FakeTimer* timer = new FakeTimer;
    FakePresenter* presenter = new FakePresenter;
    TipController controller{std::unique_ptr<FakeTimer>(timer), std::unique_ptr<FakePresenter>(presenter)};
};

const QUuid A = QUuid::createUuid(), B = QUuid::createUuid();

}  // namespace

TEST(TipController, ArmsForThreeSecondsThenShowsAndLeavingHides)
{
    Rig r;
    r.controller.schedule(A, {"Pin", {}, {}});
    EXPECT_EQ(r.controller.state(), TipController::State::armed);
    EXPECT_EQ(r.timer->startedMs, 3000);
    EXPECT_TRUE(r.presenter->shown.isEmpty());
    r.timer->elapse();
    EXPECT_EQ(r.controller.state(), TipController::State::showing);
    EXPECT_EQ(r.presenter->shown, QStringList{"Pin"});
    r.controller.leave(B);  // another view leaving does not touch this tip
    EXPECT_EQ(r.controller.state(), TipController::State::showing);
    r.controller.leave(A);
    EXPECT_EQ(r.controller.state(), TipController::State::idle);
    EXPECT_EQ(r.presenter->hides, 1);
    EXPECT_FALSE(r.controller.owner().has_value());
}

TEST(TipController, LeavingEarlyOrMovingToAnotherViewRestartsAndNeverShowsTheFirst)
{
    Rig r;
    r.controller.schedule(A, {"Crop", {}, {}});
    r.controller.leave(A);  // left before the delay: nothing, nothing pending
    EXPECT_EQ(r.controller.state(), TipController::State::idle);
    EXPECT_EQ(r.timer->startedMs, -1);

    r.controller.schedule(A, {"Crop", {}, {}});
    r.controller.schedule(B, {"Arrow", {}, {}});  // pointer moved on within the delay
    EXPECT_EQ(r.timer->startedMs, 3000);
    r.controller.leave(A);  // A's late leave must not drop B's tip
    EXPECT_EQ(r.controller.state(), TipController::State::armed);
    r.timer->elapse();
    EXPECT_EQ(r.presenter->shown, QStringList{"Arrow"});

    // Entering another tipped view while a tip shows hides it and arms the new one.
    r.controller.schedule(A, {"Crop", {}, {}});
    EXPECT_EQ(r.presenter->hides, 1);
    EXPECT_EQ(r.controller.state(), TipController::State::armed);
}

TEST(TipController, ClickKeyOrWheelAnywhereHidesTheVisibleTipAndTheEventGoesOn)
{
    struct Counter : QObject {
        QList<QEvent::Type> seen;
        bool eventFilter(QObject*, QEvent* e) override
        {
            seen << e->type();
            return false;
        }
    };
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    for (QEvent* event : std::initializer_list<QEvent*>{&key, &wheel, &press}) {
        Rig r;
        r.controller.schedule(A, {"Blur", "Hides what is below.", "B"});
        r.timer->elapse();
        QWidget target;
        Counter counter;
        target.installEventFilter(&counter);
        QApplication::sendEvent(&target, event);
        EXPECT_EQ(r.controller.state(), TipController::State::idle) << int(event->type());
        EXPECT_EQ(r.presenter->hides, 1);
        EXPECT_TRUE(counter.seen.contains(event->type()));  // the event itself still reached its target
    }
}

TEST(HelpTip, WidgetEnteringArmsAndAWidgetGoingAwayNeverShowsItsTip)
{
    auto* w = new QWidget;
    helpTip(w, "Share");
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &enter);
    TipController& shared = TipController::shared();
    EXPECT_EQ(shared.state(), TipController::State::armed);
    delete w;  // e.g. its window closed while the tip was pending
    EXPECT_EQ(shared.state(), TipController::State::idle);

    QWidget v;
    helpTip(&v, "Old");
    helpTip(&v, "New");  // replaces, does not stack a second tip
    EXPECT_EQ(v.findChildren<QObject*>("kxHelpTip").size(), 1);
}

TEST(TipPlacement, BelowRightOfPointerFlippingAndClampingNearEdges)
{
    const QRect visible(0, 0, 1920, 1056);
    const QSize size(200, 60);
    EXPECT_EQ(tipPosition(QPoint(500, 300), size, visible), QPoint(510, 314));
    // right edge: kept 4 inside
    EXPECT_EQ(tipPosition(QPoint(1900, 300), size, visible).x(), 1920 - 200 - 4);
    // left edge of a second screen: at least 4 inside it
    EXPECT_EQ(tipPosition(QPoint(1920, 300), size, QRect(1920, 0, 1280, 1024)).x(), 1930);
    // bottom edge: 22 above the pointer instead of 14 below
    EXPECT_EQ(tipPosition(QPoint(500, 1000), size, visible), QPoint(510, 1000 - 22 - 60));
    // exactly fitting stays below
    EXPECT_EQ(tipPosition(QPoint(500, 1056 - 4 - 60 - 14), size, visible).y(), 1056 - 4 - 60);
}

TEST(TipBubble, WrapsLongDetailWithinTheMaximumWidth)
{
    TipBubble single("Select", QString(), QString());
    TipBubble keyed("Select", QString(), "V");
    TipBubble wrapped("Backdrop", QString(80, QChar('w')).replace(QRegularExpression("(w{8})"), "\\1 "),
                      QString());
    EXPECT_GT(keyed.sizeHint().width(), single.sizeHint().width());
    EXPECT_LE(wrapped.sizeHint().width(), int(TipBubble::maxTextWidth + 2 * (12 + 10)) + 1);
    EXPECT_GT(wrapped.sizeHint().height(), single.sizeHint().height() + 20);
}
