#pragma once
// A hot-key backend that grabs in memory; a test refuses keys and presses grabbed ids.
#include "platform/HotKeyBackend.h"

#include <QHash>
#include <QPair>
#include <QSet>

namespace kx::test {

class FakeHotKeyBackend : public HotKeyBackend {
public:
    struct Grab {
        quint32 keysym = 0;
        quint32 modifiers = 0;
    };
    QHash<quint32, Grab> held;
    QSet<quint32> takenElsewhere;                        // keysyms another client holds with any modifiers
    QSet<QPair<quint32, quint32>> combosTakenElsewhere;  // (keysym, modifiers) held by another client

    bool grab(quint32 id, quint32 keysym, quint32 modifiers) override
    {
        if (takenElsewhere.contains(keysym) || combosTakenElsewhere.contains({keysym, modifiers}))
            return false;
        held.insert(id, {keysym, modifiers});
        return true;
    }
    void ungrab(quint32 id) override { held.remove(id); }
    void press(quint32 id)
    {
        if (onPressed)
            onPressed(id);
    }
};

}  // namespace kx::test
