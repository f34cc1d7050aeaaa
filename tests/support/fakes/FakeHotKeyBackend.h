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
    // A layout: keysyms that share a physical key (keysym -> key), and each key's base name.
    QHash<quint32, quint32> keyOf;
    QHash<quint32, QString> keyName;

    bool grab(quint32 id, quint32 keysym, quint32 modifiers) override
    {
        if (takenElsewhere.contains(keysym) || combosTakenElsewhere.contains({keysym, modifiers}))
            return false;
        held.insert(id, {keysym, modifiers});
        return true;
    }
    void ungrab(quint32 id) override { held.remove(id); }
    std::optional<quint32> ownHolder(quint32 keysym, quint32 modifiers, quint32 except) const override
    {
        std::optional<quint32> holder;
        for (auto it = held.cbegin(); it != held.cend(); ++it) {
            if (it.key() != except && it->modifiers == modifiers && keyOf.contains(keysym) &&
                keyOf.value(it->keysym) == keyOf.value(keysym) && (!holder || it.key() < *holder))
                holder = it.key();
        }
        return holder;
    }
    QString keyLabel(quint32 keysym) const override { return keyName.value(keyOf.value(keysym)); }
    void press(quint32 id)
    {
        if (onPressed)
            onPressed(id);
    }
};

}  // namespace kx::test
