#pragma once
// Global keys through XGrabKey on the root windows, on a connection of its own whose events
// arrive through a socket notifier on the thread that created the backend. Each combination
// is grabbed with and without Caps Lock and Num Lock, on every key that yields the keysym,
// and grabbed again when the keyboard or modifier mapping changes.
#include "platform/HotKeyBackend.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>

struct xcb_connection_t;
struct _XCBKeySymbols;

class QSocketNotifier;

namespace kx {

class XHotKeyBackend : public QObject, public HotKeyBackend {
    Q_OBJECT
public:
    explicit XHotKeyBackend(QObject* parent = nullptr);
    ~XHotKeyBackend() override;

    bool connected() const { return c_ != nullptr; }
    bool grab(quint32 id, quint32 keysym, quint32 modifiers) override;
    void ungrab(quint32 id) override;
    std::optional<quint32> ownHolder(quint32 keysym, quint32 modifiers, quint32 except) const override;
    QString keyLabel(quint32 keysym) const override;

Q_SIGNALS:
    // The keyboard or modifier mapping changed and every key was grabbed again (or kept, where
    // the new map gives every key the codes and modifiers it had).
    void regrabbed();

private:
    struct Registration {
        quint32 keysym = 0;
        quint32 modifiers = 0;
        QList<QPair<quint8, quint16>> grabs;  // (keycode, X modifier mask) actually held
        QList<quint8> codes;
        quint16 xmods = 0;
    };

    void readEvents();
    void handle(const void* event);  // an xcb_generic_event_t
    void readModifierMapping();
    QList<quint8> keyCodes(quint32 keysym) const;
    quint16 xModifiers(quint32 modifiers) const;
    bool grabKeys(Registration& reg);
    void releaseKeys(Registration& reg);
    void regrabAll();

    xcb_connection_t* c_ = nullptr;
    _XCBKeySymbols* symbols_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QList<quint32> roots_;
    QHash<quint32, Registration> registrations_;
    quint16 altMask_ = 0, superMask_ = 0, numLockMask_ = 0;
    QPair<quint8, quint32> lastRelease_{0, 0};  // key code and time of the last release
};

}  // namespace kx
