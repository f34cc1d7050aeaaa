#include "platform/XHotKeyBackend.h"
#include "platform/XReply.h"

#include "platform/HotKeys.h"
#include "platform/KeyLayout.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace kx {

XHotKeyBackend::XHotKeyBackend(QObject* parent) : QObject(parent)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    c_ = c;
    symbols_ = xcb_key_symbols_alloc(c_);
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c_)); it.rem; xcb_screen_next(&it))
        roots_.append(it.data->root);
    readModifierMapping();
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(c_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &XHotKeyBackend::readEvents);
}

XHotKeyBackend::~XHotKeyBackend()
{
    if (!c_)
        return;
    for (Registration& reg : registrations_)
        releaseKeys(reg);
    xcb_flush(c_);
    xcb_key_symbols_free(symbols_);
    xcb_disconnect(c_);
}

void XHotKeyBackend::readModifierMapping()
{
    altMask_ = XCB_MOD_MASK_1;
    superMask_ = XCB_MOD_MASK_4;
    numLockMask_ = 0;
    Reply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(c_, xcb_get_modifier_mapping(c_), nullptr));
    if (!map)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perMod = map->keycodes_per_modifier;
    bool altFound = false, superFound = false;
    // Mod1...Mod5 are the rows 3...7; Shift, Lock and Control are fixed.
    for (int mod = 3; mod < 8; ++mod) {
        const quint16 mask = quint16(1u << mod);
        for (int k = 0; k < perMod; ++k) {
            const xcb_keycode_t code = codes[mod * perMod + k];
            if (code == 0)
                continue;
            for (int col = 0; col < 4; ++col) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols_, code, col);
                if (sym == XK_Num_Lock)
                    numLockMask_ = mask;
                else if (!altFound &&
                         (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R)) {
                    altMask_ = mask;
                    altFound = true;
                } else if (!superFound && (sym == XK_Super_L || sym == XK_Super_R)) {
                    superMask_ = mask;
                    superFound = true;
                }
            }
        }
    }
}

quint16 XHotKeyBackend::xModifiers(quint32 modifiers) const
{
    quint16 m = 0;
    if (modifiers & KeyCombo::shift)
        m |= XCB_MOD_MASK_SHIFT;
    if (modifiers & KeyCombo::control)
        m |= XCB_MOD_MASK_CONTROL;
    if (modifiers & KeyCombo::alt)
        m |= altMask_;
    if (modifiers & KeyCombo::super)
        m |= superMask_;
    return m;
}

QList<quint8> XHotKeyBackend::keyCodes(quint32 keysym) const
{
    QList<quint8> out;
    if (const Reply<xcb_keycode_t> codes{xcb_key_symbols_get_keycode(symbols_, keysym)}) {
        for (const xcb_keycode_t* c = codes.get(); *c != XCB_NO_SYMBOL; ++c) {
            if (!out.contains(*c))
                out.append(*c);
        }
    }
    return out;
}

std::optional<quint32> XHotKeyBackend::ownHolder(quint32 keysym, quint32 modifiers, quint32 except) const
{
    if (!c_)
        return std::nullopt;
    const QList<quint8> codes = keyCodes(keysym);
    const quint16 xmods = xModifiers(modifiers & KeyCombo::allModifiers);
    std::optional<quint32> holder;
    for (auto it = registrations_.cbegin(); it != registrations_.cend(); ++it) {
        if (it.key() == except || it->grabs.isEmpty() || it->xmods != xmods)
            continue;
        const bool shared =
            std::any_of(codes.cbegin(), codes.cend(), [&](quint8 code) { return it->codes.contains(code); });
        if (shared && (!holder || it.key() < *holder))
            holder = it.key();
    }
    return holder;
}

QString XHotKeyBackend::keyLabel(quint32 keysym) const
{
    if (!c_)
        return {};
    const QList<quint8> codes = keyCodes(keysym);
    for (quint8 code : codes) {
        if (xcb_key_symbols_get_keysym(symbols_, code, 0) == keysym)
            return {};  // a key of its own: the recorded label says it
    }
    for (quint8 code : codes) {
        const xcb_keysym_t base = xcb_key_symbols_get_keysym(symbols_, code, 0);
        if (base == XCB_NO_SYMBOL)
            continue;
        const QString label = keysymLabel(base);
        if (!label.isEmpty())
            return label;
    }
    return {};
}

bool XHotKeyBackend::grabKeys(Registration& reg)
{
    reg.codes = keyCodes(reg.keysym);
    reg.xmods = xModifiers(reg.modifiers);
    if (reg.codes.isEmpty())
        return false;
    // Another of our own combinations on the same key: the server would not object, we do.
    for (const Registration& other : std::as_const(registrations_)) {
        if (&other == &reg || other.grabs.isEmpty() || other.xmods != reg.xmods)
            continue;
        for (quint8 code : reg.codes) {
            if (other.codes.contains(code))
                return false;
        }
    }
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (numLockMask_ && !(reg.xmods & numLockMask_))
        variants << numLockMask_ << quint16(numLockMask_ | XCB_MOD_MASK_LOCK);
    struct Pending {
        xcb_void_cookie_t cookie;
        quint8 code;
        quint16 mods;
    };
    QList<Pending> pending;
    for (xcb_window_t root : std::as_const(roots_)) {
        for (quint8 code : std::as_const(reg.codes)) {
            for (quint16 v : std::as_const(variants)) {
                const quint16 mods = reg.xmods | v;
                pending.append(
                    {xcb_grab_key_checked(c_, 1, root, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                     code, mods});
            }
        }
    }
    bool refused = false;
    for (const Pending& p : std::as_const(pending)) {
        if (const Reply<xcb_generic_error_t> e{xcb_request_check(c_, p.cookie)}) {
            // BadAccess: another client holds this combination.
            refused = true;
        } else if (!reg.grabs.contains(qMakePair(p.code, p.mods))) {
            reg.grabs.append({p.code, p.mods});
        }
    }
    if (refused)
        releaseKeys(reg);
    // Checking requests may have read events off the socket into xcb's queue.
    QMetaObject::invokeMethod(this, &XHotKeyBackend::readEvents, Qt::QueuedConnection);
    return !refused;
}

void XHotKeyBackend::releaseKeys(Registration& reg)
{
    // Only what this backend holds: ungrabbing never touches another client's grabs anyway,
    // but a combination we were refused must not be released on its owner's behalf.
    for (const auto& [code, mods] : std::as_const(reg.grabs)) {
        for (xcb_window_t root : std::as_const(roots_))
            xcb_ungrab_key(c_, code, root, mods);
    }
    reg.grabs.clear();
    xcb_flush(c_);
}

bool XHotKeyBackend::grab(quint32 id, quint32 keysym, quint32 modifiers)
{
    if (!c_)
        return false;
    ungrab(id);
    Registration reg;
    reg.keysym = keysym;
    reg.modifiers = modifiers & KeyCombo::allModifiers;
    auto it = registrations_.insert(id, reg);
    if (!grabKeys(*it)) {
        registrations_.erase(it);
        return false;
    }
    return true;
}

void XHotKeyBackend::ungrab(quint32 id)
{
    auto it = registrations_.find(id);
    if (it == registrations_.end())
        return;
    releaseKeys(*it);
    registrations_.erase(it);
}

void XHotKeyBackend::regrabAll()
{
    const quint16 alt = altMask_, super = superMask_, numLock = numLockMask_;
    readModifierMapping();
    // A keyboard that takes over from another (a second keyboard, xdotool's virtual one) tells
    // of a new map that is the same. Grabs let go and taken again would miss a key pressed in
    // between: the very combination whose first key made the switch. They stay, and a key
    // another client holds stays reported (the manager tries it again).
    const bool same =
        alt == altMask_ && super == superMask_ && numLock == numLockMask_ &&
        std::all_of(registrations_.cbegin(), registrations_.cend(),
                    [this](const Registration& reg) { return reg.codes == keyCodes(reg.keysym); });
    if (same) {
        // Reading the maps may have read events off the socket into xcb's queue.
        QMetaObject::invokeMethod(this, &XHotKeyBackend::readEvents, Qt::QueuedConnection);
        QList<quint32> held, lost;
        for (auto it = registrations_.cbegin(); it != registrations_.cend(); ++it)
            (it->grabs.isEmpty() ? lost : held).append(it.key());
        std::sort(held.begin(), held.end());
        std::sort(lost.begin(), lost.end());
        Q_EMIT regrabbed();
        if (onRegrabbed)
            onRegrabbed(held, lost);
        return;
    }
    for (Registration& reg : registrations_)
        releaseKeys(reg);
    // In id order, which is the actions' declaration order: when the new layout puts two
    // combinations on one key, the earlier action keeps it and the later one is reported.
    QList<quint32> ids = registrations_.keys();
    std::sort(ids.begin(), ids.end());
    QList<quint32> held, lost;
    for (quint32 id : std::as_const(ids))
        (grabKeys(registrations_[id]) ? held : lost).append(id);
    Q_EMIT regrabbed();
    if (onRegrabbed)
        onRegrabbed(held, lost);
}

void XHotKeyBackend::readEvents()
{
    if (!c_)
        return;
    while (const Reply<xcb_generic_event_t> e{xcb_poll_for_event(c_)})
        handle(e.get());
}

void XHotKeyBackend::handle(const void* raw)
{
    auto* event = static_cast<const xcb_generic_event_t*>(raw);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        auto* m = const_cast<xcb_mapping_notify_event_t*>(
            reinterpret_cast<const xcb_mapping_notify_event_t*>(event));
        xcb_refresh_keyboard_mapping(symbols_, m);
        if (m->request == XCB_MAPPING_KEYBOARD || m->request == XCB_MAPPING_MODIFIER)
            QMetaObject::invokeMethod(this, &XHotKeyBackend::regrabAll, Qt::QueuedConnection);
        return;
    }
    if (type == XCB_KEY_RELEASE) {
        auto* r = reinterpret_cast<const xcb_key_release_event_t*>(event);
        lastRelease_ = {r->detail, r->time};
        return;
    }
    if (type != XCB_KEY_PRESS)
        return;
    auto* k = reinterpret_cast<const xcb_key_press_event_t*>(event);
    // A key held down repeats as release + press with one time stamp: one press is one trigger.
    if (lastRelease_.first == k->detail && lastRelease_.second == k->time)
        return;
    const quint16 relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | altMask_ | superMask_;
    const quint16 state = k->state & relevant;
    for (auto it = registrations_.cbegin(); it != registrations_.cend(); ++it) {
        if (it->xmods == state && it->codes.contains(k->detail) && !it->grabs.isEmpty()) {
            if (onPressed)
                onPressed(it.key());
            return;
        }
    }
}

}  // namespace kx
