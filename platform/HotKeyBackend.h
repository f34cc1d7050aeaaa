#pragma once
// What the hot-key manager needs from the system: grab a key combination under an id, let
// it go again, and report presses by id. The X11 backend is the real one; tests use a fake.
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
};

}  // namespace kx
