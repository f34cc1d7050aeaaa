#include "ui/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
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

// Qt gives a control of wheel focus the focus before it hands it the wheel, which would let
// the first turn over it change it.
void dropWheelFocus(QWidget* control)
{
    for (QWidget* w : {control, control->focusProxy()})
        if (w && (w->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
            w->setFocusPolicy(Qt::StrongFocus);
}

class Filter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
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
        if (w->hasFocus())
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
