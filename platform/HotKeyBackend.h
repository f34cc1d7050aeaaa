#pragma once
// What the hot-key manager needs from the system: grab a key combination under an id, let
// it go again, and report presses by id. The X11 backend is the real one; tests use a fake.
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace kx {

class HotKeyBackend {
public:
    virtual ~HotKeyBackend() = default;
    // Grabs `keysym` with `modifiers` (KeyCombo bits) system-wide. False when the system
    // refuses (another client holds it, no key produces the keysym, no display).
    virtual bool grab(quint32 id, quint32 keysym, quint32 modifiers) = 0;
    // Releases the grab made under `id`; unknown ids do nothing.
    virtual void ungrab(quint32 id) = 0;
    // The smallest id other than `except` whose grab sits on a key that `keysym` with
    // `modifiers` would need: a clash with our own keys, which the server would not report.
    virtual std::optional<quint32> ownHolder(quint32 keysym, quint32 modifiers, quint32 except) const
    {
        Q_UNUSED(keysym)
        Q_UNUSED(modifiers)
        Q_UNUSED(except)
        return std::nullopt;
    }
    // The key-cap text of the key that produces `keysym`, as the current layout names that
    // key at its base level (on a French layout XK_2 is typed on the "É" key). Empty when the
    // key names itself or no key produces the keysym.
    virtual QString keyLabel(quint32 keysym) const
    {
        Q_UNUSED(keysym)
        return {};
    }

    // Called on the thread that owns the backend whenever a grabbed combination is pressed.
    std::function<void(quint32 id)> onPressed;
    // Called after the backend grabbed every key again by itself (keyboard layout change):
    // the ids it holds now and the ids it could not grab any more (refused, no key, or a key
    // an earlier id already took). A lost id stays known and is tried again next time.
    std::function<void(const QList<quint32>& held, const QList<quint32>& lost)> onRegrabbed;
};

}  // namespace kx
