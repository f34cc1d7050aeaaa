// A picker, slider or spin box on a guarded page ignores the wheel until the user has focused
// it, and the wheel never gives it the focus; elsewhere, and once focused, it takes the wheel.
// That the ignored wheel then scrolls the page is seen with the real wheel in WheelDesktopTest.
#include "ui/WheelGuard.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEnterEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <functional>
#include <memory>

using namespace kx;

namespace {

struct Control {
    const char* name;
    std::function<QWidget*()> make;
    std::function<double(QWidget*)> value;
};

const Control controls[] = {
    {"picker",
     [] {
         auto* c = new QComboBox;
         c->addItems({"a", "b", "c"});
         c->setCurrentIndex(1);
         return c;
     },
     [](QWidget* w) { return double(static_cast<QComboBox*>(w)->currentIndex()); }},
    {"editable picker",
     [] {
         auto* c = new QComboBox;
         c->setEditable(true);
         c->addItems({"a", "b", "c"});
         c->setCurrentIndex(1);
         return c;
     },
     [](QWidget* w) { return double(static_cast<QComboBox*>(w)->currentIndex()); }},
    {"slider",
     [] {
         auto* s = new QSlider(Qt::Horizontal);
         s->setRange(0, 100);
         s->setValue(50);
         return s;
     },
     [](QWidget* w) { return double(static_cast<QSlider*>(w)->value()); }},
    {"spin box",
     [] {
         auto* s = new QSpinBox;
         s->setRange(0, 100);
         s->setValue(50);
         return s;
     },
     [](QWidget* w) { return double(static_cast<QSpinBox*>(w)->value()); }},
    {"decimal spin box",
     [] {
         auto* s = new QDoubleSpinBox;
         s->setRange(0, 1);
         s->setValue(0.5);
         return s;
     },
     [](QWidget* w) { return static_cast<QDoubleSpinBox*>(w)->value(); }},
};

// One notch down over the middle of `w`, as the window system hands it to the widget below.
void turn(QWidget* w)
{
    const QPointF at = QRectF(w->rect()).center();
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// A scrolled page in a window of its own, guarded or not; `control` is added to it.
struct Page {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QVBoxLayout* rows = nullptr;
    explicit Page(bool guarded)
    {
        auto* scroll = new QScrollArea(window.get());
        auto* content = new QWidget;
        rows = new QVBoxLayout(content);
        scroll->setWidget(content);
        scroll->setWidgetResizable(true);
        (new QVBoxLayout(window.get()))->addWidget(scroll);
        if (guarded)
            WheelGuard::install(window.get());
    }
    QWidget* add(QWidget* control)
    {
        rows->addWidget(control);
        window->show();
        control->show();
        return control;
    }
};

bool wheelFocus(const QWidget* w)
{
    return (w->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus;
}

}  // namespace

TEST(WheelGuard, AControlTakesTheWheelOnlyOnceFocusedAndOnlyWhereGuarded)
{
    for (const Control& c : controls) {
        for (const bool before : {true, false}) {  // there when the guard came, or added after
            Page page(false);
            QWidget* control = c.make();
            if (before)
                page.add(control);
            WheelGuard::install(page.window.get());
            if (!before)
                page.add(control);
            EXPECT_TRUE(WheelGuard::guards(control)) << c.name;
            EXPECT_FALSE(wheelFocus(control)) << c.name << " would be focused by the wheel";
            EXPECT_TRUE(control->focusPolicy() & Qt::ClickFocus) << c.name << " must still take a click";
            EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << c.name << " must still take Tab";
            const double was = c.value(control);
            turn(control);
            EXPECT_EQ(c.value(control), was) << c.name << (before ? "" : ", added later");

            QApplication::setActiveWindow(page.window.get());
            control->setFocus(Qt::MouseFocusReason);
            ASSERT_TRUE(control->hasFocus()) << c.name;
            turn(control);
            EXPECT_NE(c.value(control), was) << c.name << " focused";
        }
        // A window that asked for nothing keeps Qt's ways.
        Page plain(false);
        QWidget* control = plain.add(c.make());
        EXPECT_FALSE(WheelGuard::guards(control)) << c.name;
        const double was = c.value(control);
        turn(control);
        EXPECT_NE(c.value(control), was) << c.name << " unguarded";
    }
}

// A scroll bar scrolls: it is no setting, and the guard leaves it the wheel.
TEST(WheelGuard, AScrollBarStillScrolls)
{
    Page page(true);
    auto* bar = static_cast<QScrollBar*>(page.add(new QScrollBar(Qt::Vertical)));
    bar->setRange(0, 100);
    EXPECT_FALSE(WheelGuard::guards(bar));
    turn(bar);
    EXPECT_GT(bar->value(), 0);
}

// A focused control the pointer has left does not take the wheel when the page scrolls it back
// under the pointer; a click or Tab gives the wheel back. Its own list opening is no leaving.
TEST(WheelGuard, AFocusedControlLetsTheWheelGoOnceThePointerHasLeft)
{
    for (const Control& c : controls) {
        Page page(true);
        QWidget* control = page.add(c.make());
        QApplication::setActiveWindow(page.window.get());
        control->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(control->hasFocus()) << c.name;
        const struct {
            const char* step;
            std::function<void()> act;
            bool takes;
        } steps[] = {
            {"left",
             [&] {
                 QEvent leave(QEvent::Leave);
                 QApplication::sendEvent(control, &leave);
             },
             false},
            {"entered again",
             [&] {
                 QEnterEvent e({1, 1}, {1, 1}, {1, 1});
                 QApplication::sendEvent(control, &e);
             },
             false},
            {"clicked",
             [&] {
                 QTest::mousePress(control, Qt::LeftButton, {}, QPoint(2, 2));
                 QTest::mouseRelease(control, Qt::LeftButton, {}, QPoint(2, 2));
             },
             true},
            {"left again",
             [&] {
                 QEvent leave(QEvent::Leave);
                 QApplication::sendEvent(control, &leave);
             },
             false},
            {"tabbed to",
             [&] {
                 control->clearFocus();
                 control->setFocus(Qt::TabFocusReason);
             },
             true},
        };
        int notch = 120;  // up and down in turn, so no turn finds the control at its end
        for (const auto& s : steps) {
            s.act();
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
            const double was = c.value(control);
            const QPointF at = QRectF(control->rect()).center();
            if (s.takes)
                notch = -notch;
            QWheelEvent e(at, control->mapToGlobal(at), QPoint(), QPoint(0, notch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(control, &e);
            EXPECT_EQ(c.value(control) != was, s.takes) << c.name << ", " << s.step;
        }
    }
}
