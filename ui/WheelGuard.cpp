#include "ui/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QScrollBar>
#include <QWidget>

namespace kx::WheelGuard {

namespace {

constexpr char kRoot[] = "kxWheelGuard";

// The controls that change their value under the wheel; a scroll bar only scrolls.
bool takesWheel(const QWidget* w)
{
    if (qobject_cast<const QScrollBar*>(w))
        return false;
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w);
}

bool underGuard(const QWidget* w)
{
    // Popups and popovers are windows of their own whose parent is the widget that opened them.
    for (; w; w = w->parentWidget())
        if (w->property(kRoot).toBool())
            return true;
    return false;
}

bool isKeyboardReason(const QFocusEvent* e)
{
    return e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason ||
           e->reason() == Qt::ShortcutFocusReason;
}

// Qt gives a control of wheel focus the focus before it hands it the wheel, which would let
// the first turn over it change it.
void dropWheelFocus(QWidget* control)
{
    for (QWidget* w : {control, control->focusProxy()})
        if (w && (w->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
            w->setFocusPolicy(Qt::StrongFocus);
}

// Set on a focused control the pointer has left: the page scrolling it back under the
// pointer does not give it the wheel again; a click or the keyboard does.
constexpr char kLeft[] = "kxWheelLeft";

// The guarded control `w` is or lies in (an editable picker's text field lies in its picker).
QWidget* guardedControlOf(QWidget* w)
{
    for (; w && !w->isWindow(); w = w->parentWidget())
        if (guards(w))
            return w;
    return nullptr;
}

class Filter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::FocusIn) {
            const bool keyboard =
                type == QEvent::FocusIn && isKeyboardReason(static_cast<QFocusEvent*>(event));
            if (type == QEvent::MouseButtonPress || keyboard)
                if (QWidget* control = guardedControlOf(qobject_cast<QWidget*>(watched)))
                    control->setProperty(kLeft, false);
            return false;
        }
        if (type == QEvent::Leave) {
            // A picker's own list opening takes the pointer away only for a while.
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && !QApplication::activePopupWidget() && guards(w))
                w->setProperty(kLeft, true);
            return false;
        }
        if (type != QEvent::Wheel && type != QEvent::Show && type != QEvent::ParentChange)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || !guards(w))
            return false;
        if (type != QEvent::Wheel) {
            // Shown, it is in its place on the page; a page is often built before it has one.
            dropWheelFocus(w);
            return false;
        }
        if (w->hasFocus() && !w->property(kLeft).toBool())
            return false;
        // Ignored, the wheel goes on to the parents and so to the page's scroll area.
        event->ignore();
        return true;
    }
};

}  // namespace

bool guards(const QWidget* control)
{
    return control && takesWheel(control) && underGuard(control);
}

void install(QWidget* root)
{
    // One filter for the whole application: it sees the controls a page adds later too.
    static Filter* filter = [] {
        auto* f = new Filter(qApp);
        qApp->installEventFilter(f);
        return f;
    }();
    Q_UNUSED(filter);
    root->setProperty(kRoot, true);
    for (QWidget* w : root->findChildren<QWidget*>())
        if (takesWheel(w))
            dropWheelFocus(w);
}

}  // namespace kx::WheelGuard
