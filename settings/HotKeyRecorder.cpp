#include "settings/HotKeyRecorder.h"

#include "core/Localisation.h"
#include "platform/KeyLayout.h"
#include "ui/Theme.h"

#include <X11/keysym.h>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QPainterPath>

namespace kx {

namespace {

std::function<std::optional<quint32>(quint32)>& baseLookup()
{
    static std::function<std::optional<quint32>(quint32)> lookup = [](quint32 code) {
        return baseKeysym(code);
    };
    return lookup;
}

bool isModifierKeysym(quint32 sym)
{
    return (sym >= XK_Shift_L && sym <= XK_Hyper_R) ||
           (sym >= XK_ISO_Lock && sym <= XK_ISO_Last_Group_Lock) || sym == XK_Mode_switch ||
           sym == XK_Num_Lock;
}

bool isModifierKey(int key)
{
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
            return true;
        default:
            return false;
    }
}

// A letter keysym in its lower-case (base) form, for events that carry no key code.
quint32 lowerLatin(quint32 sym)
{
    if (sym >= XK_A && sym <= XK_Z)
        return sym + (XK_a - XK_A);
    if (sym == XK_ISO_Left_Tab)
        return XK_Tab;
    return sym;
}

// The keysym of a Qt key for events that carry none: the keys a shortcut is made of.
quint32 keysymOfQtKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return quint32(XK_a + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return quint32(XK_0 + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return quint32(XK_F1 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Escape:
            return XK_Escape;
        case Qt::Key_Backspace:
            return XK_BackSpace;
        case Qt::Key_Delete:
            return XK_Delete;
        case Qt::Key_Space:
            return XK_space;
        case Qt::Key_Return:
            return XK_Return;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return XK_Tab;
        case Qt::Key_Left:
            return XK_Left;
        case Qt::Key_Right:
            return XK_Right;
        case Qt::Key_Up:
            return XK_Up;
        case Qt::Key_Down:
            return XK_Down;
        case Qt::Key_Print:
            return XK_Print;
        default:
            return 0;
    }
}

// The characters of a keysym (Latin-1 and Unicode keysyms), empty for function keys.
QString keysymText(quint32 sym)
{
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff))
        return QString(QChar(char16_t(sym)));
    if (sym >= 0x1000100 && sym <= 0x110ffff) {
        const char32_t cp = char32_t(sym - 0x1000000);
        return QString::fromUcs4(&cp, 1);
    }
    return {};
}

}  // namespace

HotKeyRecorder::HotKeyRecorder(const std::optional<KeyCombo>& combo, QWidget* parent)
    : QWidget(parent), combo_(combo)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_KeyCompression, false);
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
}

QSize HotKeyRecorder::sizeHint() const
{
    return {150, 28};
}

void HotKeyRecorder::setBaseKeysymLookup(std::function<std::optional<quint32>(quint32)> lookup)
{
    baseLookup() = lookup ? std::move(lookup) : [](quint32 code) { return baseKeysym(code); };
}

QString HotKeyRecorder::keyName(quint32 keysym)
{
    // Named keys and F1–F12 only; the layout's label table names them the same way.
    switch (keysym) {
        case XK_space:
        case XK_Return:
        case XK_Tab:
        case XK_Left:
        case XK_Right:
        case XK_Down:
        case XK_Up:
            return keysymLabel(keysym);
        default:
            break;
    }
    if (keysym >= XK_F1 && keysym <= XK_F12)
        return keysymLabel(keysym);
    return {};
}

quint32 HotKeyRecorder::modifiersFromX(quint32 state)
{
    quint32 m = 0;
    if (state & 0x01)  // ShiftMask
        m |= KeyCombo::shift;
    if (state & 0x04)  // ControlMask
        m |= KeyCombo::control;
    if (state & 0x08)  // Mod1Mask: Alt
        m |= KeyCombo::alt;
    if (state & 0x40)  // Mod4Mask: Super
        m |= KeyCombo::super;
    return m;
}

QString HotKeyRecorder::text() const
{
    if (recording_)
        return kx::tr("Press keys…", "Nyomd meg…", "Tasten drücken…");
    if (!combo_)
        return kx::tr("Click to record", "Kattints a rögzítéshez", "Kürzel aufnehmen");
    return combo_->display();
}

void HotKeyRecorder::setRecording(bool on)
{
    if (on == recording_)
        return;
    recording_ = on;
    // Holding the keyboard while recording: a combination another client grabs still
    // reaches the field instead of that client.
    if (on)
        grabKeyboard();
    else
        releaseKeyboard();
    update();
    Q_EMIT recordingChanged(on);
}

bool HotKeyRecorder::event(QEvent* e)
{
    if (recording_) {
        // Window shortcuts and focus keys (Ctrl+Q, Tab) come to the field first.
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();
            return true;
        }
        if (e->type() == QEvent::KeyPress) {
            handleKey(static_cast<QKeyEvent*>(e));
            return true;
        }
    }
    return QWidget::event(e);
}

void HotKeyRecorder::mousePressEvent(QMouseEvent*)
{
    setFocus(Qt::MouseFocusReason);
    setRecording(true);
}

void HotKeyRecorder::keyPressEvent(QKeyEvent* e)
{
    if (recording_) {
        handleKey(e);
        return;
    }
    // From the keyboard, Enter or Space starts recording as a click does.
    const bool starts =
        e->modifiers() == Qt::NoModifier &&
        (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space);
    if (starts) {
        e->accept();
        setRecording(true);
        return;
    }
    QWidget::keyPressEvent(e);
}

void HotKeyRecorder::changeEvent(QEvent* e)
{
    // Another window became active: the keyboard belongs to it again.
    if (e->type() == QEvent::ActivationChange && !isActiveWindow())
        setRecording(false);
    QWidget::changeEvent(e);
}

void HotKeyRecorder::focusOutEvent(QFocusEvent* e)
{
    setRecording(false);
    QWidget::focusOutEvent(e);
}

void HotKeyRecorder::handleKey(QKeyEvent* e)
{
    e->accept();
    quint32 sym = e->nativeVirtualKey();
    if (sym == 0)
        sym = keysymOfQtKey(e->key());  // an event without X data (another platform plugin)
    if (sym == 0)
        return;
    if (isModifierKeysym(sym) || isModifierKey(e->key()))
        return;  // a modifier alone is part of the combination still being pressed
    if (sym == XK_Escape) {
        setRecording(false);
        return;
    }
    if (sym == XK_BackSpace || sym == XK_Delete || sym == XK_KP_Delete) {
        combo_.reset();
        setRecording(false);
        if (onChange)
            onChange(combo_);
        return;
    }
    const std::optional<quint32> base =
        e->nativeScanCode() ? baseLookup()(e->nativeScanCode()) : std::nullopt;
    sym = base ? *base : lowerLatin(sym);
    const quint32 mods =
        e->nativeModifiers() || e->nativeScanCode() ? modifiersFromX(e->nativeModifiers()) : [&] {
            quint32 m = 0;
            const Qt::KeyboardModifiers q = e->modifiers();
            if (q & Qt::ShiftModifier)
                m |= KeyCombo::shift;
            if (q & Qt::ControlModifier)
                m |= KeyCombo::control;
            if (q & Qt::AltModifier)
                m |= KeyCombo::alt;
            if (q & Qt::MetaModifier)
                m |= KeyCombo::super;
            return m;
        }();
    QString label = keyName(sym);
    if (mods == 0 && !label.startsWith('F')) {
        QApplication::beep();
        Q_EMIT refused();
        return;
    }
    if (label.isEmpty())
        label = keysymText(sym).toUpper();
    if (label.isEmpty())
        label = QKeySequence(e->key()).toString(QKeySequence::PortableText);
    if (label.isEmpty())
        label = QStringLiteral("?");
    combo_ = KeyCombo{sym, mods, label};
    setRecording(false);
    if (onChange)
        onChange(combo_);
}

void HotKeyRecorder::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    if (recording_) {
        p.fillPath(path, Theme::accent(palette(), 0.14));
        p.setPen(QPen(Theme::accent(palette()), 1.5));
    } else if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        // Reached by the keyboard and waiting for Enter or Space: the accent ring without the
        // recording fill.
        p.fillPath(path, Theme::primary(palette(), 0.06));
        p.setPen(QPen(Theme::accent(palette()), 2));
    } else {
        p.fillPath(path, Theme::primary(palette(), 0.06));
        p.setPen(QPen(Theme::primary(palette(), 0.12), 0.5));
    }
    p.drawPath(path);
    QColor ink = recording_ ? Theme::accent(palette())
                 : combo_   ? Theme::primary(palette())
                            : Theme::secondary(palette());
    p.setFont(textFont());
    p.setPen(ink);
    p.drawText(textRect(), Qt::AlignCenter, text());
}

QFont HotKeyRecorder::textFont() const
{
    return combo_ && !recording_ ? Theme::font(13, QFont::DemiBold) : Theme::font(12.5, QFont::Medium);
}

}  // namespace kx
