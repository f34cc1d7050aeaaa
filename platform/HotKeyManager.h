#pragma once
// Registers the global shortcuts of the ten capture actions and the short-lived extra keys
// of the scrolling capture, and turns presses into calls. GUI thread only.
#include "platform/HotKeyBackend.h"
#include "platform/HotKeys.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

namespace kx {

class HotKeyManager : public QObject {
    Q_OBJECT
public:
    // The process-wide manager over the X11 backend, created on first use.
    static HotKeyManager& shared();

    // A manager over another backend (tests). Takes ownership.
    explicit HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject* parent = nullptr);
    ~HotKeyManager() override;

    // What a permanent hot key does; set once at launch.
    std::function<void(HotKeyAction)> onTrigger;

    // Actions whose shortcut was refused (held by another client, or already used by another
    // action), also when a keyboard layout change took the key away. The Shortcuts tab shows
    // a warning for these.
    const QSet<HotKeyAction>& failed() const { return failed_; }
    bool isRegistered(HotKeyAction action) const { return registered_.contains(action); }
    // The action whose grab holds the key this failed action needs. Among Kaptorix's own
    // keys the earlier action in declaration order keeps a shared key, whichever asked first.
    std::optional<HotKeyAction> heldBy(HotKeyAction action) const;
    // The shortcut as menus show it: only while it is grabbed for this action (a key that
    // starts another action is never shown here), with the key named as the current layout
    // names it, so the hint is what the user presses.
    std::optional<KeyCombo> shownCombo(HotKeyAction action) const;
    // `combo` with its key named by the current layout.
    KeyCombo named(KeyCombo combo) const;

    // (Re)registers one action's current shortcut.
    void registerAction(HotKeyAction action);
    // Releases every action's grab, then registers all ten in declaration order.
    void registerAll();
    // The effective shortcut: stored, or the default; none when the user removed it.
    std::optional<KeyCombo> combo(HotKeyAction action) const;
    // Stores a new shortcut (none removes it), re-registers the action and retries every
    // failed one.
    void setCombo(const std::optional<KeyCombo>& combo, HotKeyAction action);
    // Every action back to its default shortcut.
    void resetAll();
    // While a shortcut field records, the ten grabs are let go so their keys reach the field;
    // false takes them again (registering every action anew).
    void setGrabsSuspended(bool suspended);

    // An extra global key (keysym + KeyCombo modifier bits). Returns its id (1001, 1002, ...
    // never reused, used up even when the grab fails), or none when it could not be grabbed.
    std::optional<quint32> registerTemporary(quint32 keysym, quint32 modifiers,
                                             std::function<void()> handler);
    // Releases a temporary key; unknown ids do nothing.
    void unregisterTemporary(quint32 id);

    // Settings key of an action's shortcut, "hotkey.<raw value>".
    static QString settingsKey(HotKeyAction action);

Q_SIGNALS:
    // The grabs were taken again after a keyboard-map change; failed() may have changed.
    void regrabbedAll();

private:
    void pressed(quint32 id);
    void fire(quint32 id);
    // The id (an action's or a temporary key's) already holding the key `combo` needs.
    std::optional<quint32> holderOf(const KeyCombo& combo, quint32 except) const;
    void retryFailed();
    void prefChanged(const QString& key);
    void regrabbed(const QList<quint32>& held, const QList<quint32>& lost);
    void releaseAll();

    std::unique_ptr<HotKeyBackend> backend_;
    QSet<HotKeyAction> failed_;
    QHash<HotKeyAction, HotKeyAction> heldBy_;
    QHash<HotKeyAction, KeyCombo> registered_;
    struct Temporary {
        KeyCombo combo;
        std::function<void()> handler;
    };
    QHash<quint32, Temporary> temporary_;
    quint32 nextTemporaryId_ = 1000;
    bool storing_ = false;  // our own writes: registered by the caller
};

}  // namespace kx
