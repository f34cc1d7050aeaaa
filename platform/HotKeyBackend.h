#pragma once
// What the hot-key manager needs from the system: grab a key combination under an id, let
// it go again, and report presses by id. The X11 backend is the real one; tests use a fake.
#include <QList>
#include <QtGlobal>
#include <functional>

namespace kx {

class HotKeyBackend {
public:
    virtual ~HotKeyBackend() = default;
    // Grabs `keysym` with `modifiers` (KeyCombo bits) system-wide. False when the system
    // refuses (another client holds it, no key produces the keysym, no display).
    virtual bool grab(quint32 id, quint32 keysym, quint32 modifiers) = 0;
    // Releases the grab made under `id`; unknown ids do nothing.
    virtual void ungrab(quint32 id) = 0;

    // Called on the thread that owns the backend whenever a grabbed combination is pressed.
    std::function<void(quint32 id)> onPressed;
    // Called after the backend grabbed every key again by itself (keyboard layout change):
    // the ids it holds now and the ids it could not grab any more (refused, no key, or a key
    // an earlier id already took). A lost id stays known and is tried again next time.
    std::function<void(const QList<quint32>& held, const QList<quint32>& lost)> onRegrabbed;
};

}  // namespace kx
