#include "platform/HotKeyManager.h"

#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "platform/XHotKeyBackend.h"

#include <QScopedValueRollback>
#include <QVariant>

namespace kx {

namespace {

const QString kNone = QStringLiteral("none");

}  // namespace

HotKeyManager& HotKeyManager::shared()
{
    static HotKeyManager* manager = new HotKeyManager(std::make_unique<XHotKeyBackend>());
    return *manager;
}

HotKeyManager::HotKeyManager(std::unique_ptr<HotKeyBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend))
{
    backend_->onPressed = [this](quint32 id) { pressed(id); };
    backend_->onRegrabbed = [this](const QList<quint32>& held, const QList<quint32>& lost) {
        regrabbed(held, lost);
    };
    // A shortcut stored elsewhere (settings window, another manager) takes effect here too.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, &HotKeyManager::prefChanged);
}

HotKeyManager::~HotKeyManager()
{
    backend_->onPressed = nullptr;
    backend_->onRegrabbed = nullptr;
}

QString HotKeyManager::settingsKey(HotKeyAction action)
{
    return QStringLiteral("hotkey.") + rawValue(action);
}

std::optional<KeyCombo> HotKeyManager::combo(HotKeyAction action) const
{
    const QVariant stored = Prefs::storedValue(settingsKey(action));
    if (stored.isValid()) {
        // QSettings hands text and bytes back in either type; "none" is the only text that counts.
        if (stored.typeId() == QMetaType::QString && stored.toString() == kNone)
            return std::nullopt;
        if (stored.typeId() == QMetaType::QByteArray) {
            if (stored.toByteArray() == kNone.toUtf8())
                return std::nullopt;
            if (auto decoded = KeyCombo::fromJson(stored.toByteArray()))
                return decoded;
        }
    }
    return KeyCombo::defaultFor(action);
}

void HotKeyManager::setCombo(const std::optional<KeyCombo>& combo, HotKeyAction action)
{
    const QScopedValueRollback storing(storing_, true);
    if (combo)
        Prefs::set(settingsKey(action), combo->toJson());
    else
        Prefs::set(settingsKey(action), kNone);
    registerAction(action);
    // The new shortcut may have freed the one another action was refused (a swap).
    retryFailed();
}

void HotKeyManager::retryFailed()
{
    for (HotKeyAction action : allCases<HotKeyAction>()) {
        if (failed_.contains(action))
            registerAction(action);
    }
}

void HotKeyManager::releaseAll()
{
    for (HotKeyAction action : allCases<HotKeyAction>())
        backend_->ungrab(quint32(hotKeyId(action)));
    registered_.clear();
    failed_.clear();
    heldBy_.clear();
}

std::optional<quint32> HotKeyManager::holderOf(const KeyCombo& combo, quint32 except) const
{
    auto same = [&](const KeyCombo& other) {
        return other.keyCode == combo.keyCode && other.modifiers() == combo.modifiers();
    };
    for (auto it = registered_.cbegin(); it != registered_.cend(); ++it) {
        if (quint32(hotKeyId(it.key())) != except && same(it.value()))
            return quint32(hotKeyId(it.key()));
    }
    for (auto it = temporary_.cbegin(); it != temporary_.cend(); ++it) {
        if (it.key() != except && same(it->combo))
            return it.key();
    }
    // Two keysyms on one key (a layout puts "&" and "7" on the same key).
    return backend_->ownHolder(combo.keyCode, combo.modifiers(), except);
}

std::optional<HotKeyAction> HotKeyManager::heldBy(HotKeyAction action) const
{
    const auto it = heldBy_.constFind(action);
    return it == heldBy_.constEnd() ? std::nullopt : std::optional<HotKeyAction>(*it);
}

KeyCombo HotKeyManager::named(KeyCombo combo) const
{
    if (const QString label = backend_->keyLabel(combo.keyCode); !label.isEmpty())
        combo.label = label;
    return combo;
}

std::optional<KeyCombo> HotKeyManager::shownCombo(HotKeyAction action) const
{
    const auto it = registered_.constFind(action);
    if (it == registered_.constEnd())
        return std::nullopt;
    return named(*it);
}

void HotKeyManager::registerAction(HotKeyAction action)
{
    const quint32 id = quint32(hotKeyId(action));
    // Also when not registered: the backend keeps a key lost at a layout change and would
    // grab it again at the next one.
    registered_.remove(action);
    backend_->ungrab(id);
    failed_.remove(action);
    heldBy_.remove(action);
    const std::optional<KeyCombo> c = combo(action);
    if (!c)
        return;
    if (const std::optional<quint32> holder = holderOf(*c, id)) {
        if (*holder > quint32(HotKeyAction::history) || *holder < id) {
            failed_.insert(action);
            if (*holder <= quint32(HotKeyAction::history))
                heldBy_.insert(action, HotKeyAction(*holder));
            return;
        }
        // A later action holds the key: the earlier one takes it, as a layout change would.
        const auto later = HotKeyAction(*holder);
        registered_.remove(later);
        backend_->ungrab(*holder);
        failed_.insert(later);
        heldBy_.insert(later, action);
    }
    if (!backend_->grab(id, c->keyCode, c->modifiers())) {
        failed_.insert(action);
        return;
    }
    registered_.insert(action, *c);
}

void HotKeyManager::prefChanged(const QString& key)
{
    static const QString prefix = QStringLiteral("hotkey.");
    if (storing_ || !key.startsWith(prefix))
        return;
    const std::optional<HotKeyAction> action = fromRaw<HotKeyAction>(key.mid(prefix.size()));
    if (!action)
        return;
    const std::optional<KeyCombo> c = combo(*action);
    const bool unchanged = c ? registered_.contains(*action) && registered_.value(*action) == *c
                             : !registered_.contains(*action) && !failed_.contains(*action);
    if (unchanged)
        return;
    registerAction(*action);
    retryFailed();
}

void HotKeyManager::regrabbed(const QList<quint32>& held, const QList<quint32>& lost)
{
    for (quint32 id : lost) {
        if (id > quint32(HotKeyAction::history))
            continue;
        registered_.remove(HotKeyAction(id));
        failed_.insert(HotKeyAction(id));
        heldBy_.remove(HotKeyAction(id));
    }
    for (quint32 id : held) {
        if (id > quint32(HotKeyAction::history))
            continue;
        if (const std::optional<KeyCombo> c = combo(HotKeyAction(id))) {
            failed_.remove(HotKeyAction(id));
            heldBy_.remove(HotKeyAction(id));
            registered_.insert(HotKeyAction(id), *c);
        }
    }
    // Keys refused before may be free on this layout; a key one of ours holds now is
    // recorded as held by that action, not by another program.
    retryFailed();
    Q_EMIT regrabbedAll();
}

void HotKeyManager::registerAll()
{
    // Registering one action at a time while others still hold their old combinations would
    // refuse any action whose new combination another still holds.
    releaseAll();
    for (HotKeyAction action : allCases<HotKeyAction>())
        registerAction(action);
}

void HotKeyManager::resetAll()
{
    const QScopedValueRollback storing(storing_, true);
    for (HotKeyAction action : allCases<HotKeyAction>())
        Prefs::remove(settingsKey(action));
    registerAll();
}

void HotKeyManager::setGrabsSuspended(bool suspended)
{
    if (!suspended) {
        registerAll();
        return;
    }
    for (auto it = registered_.cbegin(); it != registered_.cend(); ++it)
        backend_->ungrab(quint32(hotKeyId(it.key())));
}

std::optional<quint32> HotKeyManager::registerTemporary(quint32 keysym, quint32 modifiers,
                                                        std::function<void()> handler)
{
    const quint32 id = ++nextTemporaryId_;
    const KeyCombo c{keysym, modifiers & KeyCombo::allModifiers, QString()};
    if (holderOf(c, id) || !backend_->grab(id, c.keyCode, c.modifiers()))
        return std::nullopt;
    temporary_.insert(id, Temporary{c, std::move(handler)});
    return id;
}

void HotKeyManager::unregisterTemporary(quint32 id)
{
    if (temporary_.remove(id))
        backend_->ungrab(id);
}

void HotKeyManager::pressed(quint32 id)
{
    // Handlers run from the event loop, never inside the backend's event reading, so they may
    // register and unregister keys freely.
    QMetaObject::invokeMethod(
        this, [this, id] { fire(id); }, Qt::QueuedConnection);
}

void HotKeyManager::fire(quint32 id)
{
    if (id > 1000) {
        const auto it = temporary_.constFind(id);
        if (it == temporary_.constEnd())
            return;
        const std::function<void()> handler = it->handler;  // the table may change during the call
        if (handler)
            handler();
        return;
    }
    if (id <= 9 && onTrigger)
        onTrigger(static_cast<HotKeyAction>(id));
}

}  // namespace kx
